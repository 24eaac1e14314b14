// The custom message box: a modal box drawn with the program's own widgets.
//
// A framed, scrollable text area captioned "Сообщение" and one to three
// owner-drawn buttons with Russian captions, in a fixed geometry, returning
// the id of the pressed button as MessageBoxW does (-1 when the box could not
// be shown or was closed without a button). The window is a DWindow of the
// class "classZelkMsgWnd", registered for the time of the call and
// unregistered on every way out (nested boxes share one registration).
//
// Like every prompt of the program, ShowMsgWnd goes through the prompt hook
// when one is installed (tests answer it there); RunMsgWnd always shows the
// real box, for the tests that drive it with messages.
#pragma once

#include "ui/button.h"
#include "ui/dwindow.h"
#include "ui/widgets.h"

// Shows the box for the button set `type` (MB_OK .. MB_CANCELTRYCONTINUE, 0
// to 6); returns the pressed button's id, or -1.
int ShowMsgWnd(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
// The real box, whatever hook is installed.
int RunMsgWnd(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

class MsgWnd : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"classZelkMsgWnd";
    static constexpr int kMaxButtons = 3;

    MsgWnd(const wchar_t* text, const wchar_t* caption, UINT type, int* result);
    ~MsgWnd() override;

    bool Create(HWND owner, DWORD style, void* param, HMENU menu, DWORD exStyle);
    static bool RegisterClass(HINSTANCE instance);
    static void UnregisterClass(HINSTANCE instance);

    DMessageMap* GetMessageMap() override { return &messageMap; }

    int GetButtonCount() const { return count_; }
    DButton& Button(int i) { return buttons_[i]; }
    ScrollTextPanel& Panel() { return panel_; }

private:
    static DMessageMap messageMap;
    static DMessageMapEntry entries[];
    static const DButtonNotify kButtonNotify;

    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnClose();
    void Finish(int result);

    HFONT font_ = nullptr;
    ScrollTextPanel panel_;
    DrawnGroupFrame frame_;
    int buttonHeight_ = 0;
    // The fixed geometry.
    static constexpr int kTextHeight = 200, kButtonWidth = 120, kThreeButtonsWidth = 400, kMarginLeft = 20,
                         kPanelInset = 15, kMarginRight = 20, kButtonGap = 20, kMarginTop = 20, kTextToButtons = 20,
                         kMarginBottom = 20, kPanelTop = 25;
    DButton buttons_[kMaxButtons];
    int count_ = 0;
    const wchar_t* text_;
    const wchar_t* caption_;
    UINT type_;
    int* result_;
};

// ErrMsgWin: the message pane of the synchronisation window.
//
// A child window (class "ErrMsgWin") that keeps the messages of a long job in
// arrival order (SyncMessageList) and shows one at a time in a scrolling text
// panel, with the counters "Всего сообщений:" and "Текущее сообщение:", the
// buttons "previous" and "next" (their icons greyed while they lead nowhere)
// and "Очистить", which empties the list. The pane never jumps to a new
// message by itself: the first one is shown, later ones raise the total and
// enable "next".
//
// The synchronisation window registers the class for the time it runs,
// creates the pane as its child 1 and feeds it the worker's messages and the
// table errors. AddMessage takes the pane's lock, so another thread could
// call it; in this program only the window's thread does. Previous, Next and
// Clear run on the window's thread through the buttons.
#pragma once

#include "exchange/sync/syncmessages.h"
#include "ui/button.h"
#include "ui/dwindow.h"
#include "ui/std_controls.h"
#include "ui/widgets.h"

#include <string>

class ErrMsgWin : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"ErrMsgWin";

    ErrMsgWin();
    ~ErrMsgWin() override;   // frees the list and destroys the window

    static bool RegisterClass(HINSTANCE instance);
    static void UnregisterClass(HINSTANCE instance);

    // A child at (0, 0) with size 0 (the owner's layout sizes it), style
    // WS_CHILD | WS_BORDER unless one is given; nothing when the window
    // exists. Whether the window exists afterwards.
    bool Create(HWND parent, int id, DWORD style = 0);
    // Appends a message (negative length: up to the terminator); a null text
    // or a length of 0 adds nothing.
    void AddMessage(const wchar_t* text, int length);
    // The three buttons' commands.
    void Previous();
    void Next();
    void Clear();

    DMessageMap* GetMessageMap() override { return &messageMap; }

    // What the pane shows, for its owner and tests.
    UINT Total() const { return list_.Total(); }
    UINT Number() const { return list_.Number(); }
    std::wstring CurrentText() const;
    std::wstring TotalLabel() const;
    std::wstring NumberLabel() const;
    DButton& ClearButton() { return buttons_[kClear]; }
    DButton& PreviousButton() { return buttons_[kPrevious]; }
    DButton& NextButton() { return buttons_[kNext]; }
    ScrollTextPanel& Panel() { return panel_; }

private:
    enum ButtonIndex { kClear, kPrevious, kNext, kButtonCount };

    static DMessageMap messageMap;
    static DMessageMapEntry entries[];
    static const DButtonNotify kButtonNotify;

    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnClose();

    // Shows the current message, both counters and the buttons' states.
    void ShowCurrent();
    void ShowTotal();
    void UpdateNavigation();
    void SetNavigation(ButtonIndex button, bool enabled);
    void Layout(int width, int height);

    CRITICAL_SECTION lock_;             // guards the list
    SyncMessageList list_;
    ScrollTextPanel panel_;             // the current message
    DButton buttons_[kButtonCount];
    bool enabled_[kButtonCount] = {};   // the state each navigation icon shows
    StaticCtl totalCaption_, numberCaption_, totalValue_, numberValue_;
    HFONT font_ = nullptr;              // the forms font, nine tenths as high
    int rowHeight_ = 0;                 // -1.5 times the font's height
    int captionWidth_ = 0;              // the wider of the two captions
    int valueWidth_ = 0;
};

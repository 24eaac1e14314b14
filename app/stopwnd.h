// The "Stoped process" window: a small top-most tool window whose one button,
// "Abort Operation", sets an event the caller waits on. Its class is
// registered by the initialization table (row "Register WinStop"); nothing in
// the program creates one today.
#pragma once

#include "ui/button.h"
#include "ui/dwnd.h"

class StopProcessWnd : public DWnd {
public:
    static constexpr const wchar_t* kClassName = L"Stoped process";

    StopProcessWnd() = default;
    ~StopProcessWnd();

    // Fails when the window exists. Keeps the title (length -1: up to the
    // terminator) and the event, shows the window at 150,100, 300 x 200.
    bool Create(HANDLE event, const wchar_t* title, int length);

    static bool RegisterClass();   // fails when the class is registered already
    static void UnregisterClass(); // nothing when it is not

    DButton* GetButton() { return &button_; }
    const wchar_t* Title() const { return title_; }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void OnAbortClicked(void* cookie, DButton* button);

    LRESULT OnCreate(HWND hwnd, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnSettingChange(WPARAM notice);
    void FreeTitle();

    DButton button_;              // "Abort Operation"
    HANDLE event_ = nullptr;      // set by the button; the caller's
    wchar_t* title_ = nullptr;    // heap copy of the title, drawn at 0,0
};

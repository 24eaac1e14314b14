// IconsBar: the "Pictures" window, a tall narrow popup that shows one
// patient's image strip on its own, for the main image panel.
//
// IconsBar::Run constructs the window object, creates and shows the window
// and runs its own message loop while the window exists (the owner stays
// enabled); choosing an image loads it into the main image panel and closes
// the window, asking for a note opens a read-only note window owned by it.
// The window lives exactly as long as the call.
//
// Creation failures, also an exception thrown while WM_CREATE loads the
// patient, end in message 647 and a result of 0: nothing escapes the window
// procedure and no half-made window stays.
#pragma once

#include "app/iconstrip.h"
#include "app/notesnimok.h"
#include "ui/dwindow.h"

#include <windows.h>

class IconsBar : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"IconsBar";

    // Placement flags of Run.
    static constexpr int kRightEdgeAtX = 8, kCentredOnX = 4, kBottomEdgeAtY = 32, kCentredOnY = 16;

    // The creation parameter: four words.
    struct CreateParam {
        DWORD patientKey;
        int x, y;
        int flags;
    };

    // 1 after the window ran, 0 (after message 647) when it could not be made.
    static int Run(HWND owner, DWORD patientKey, int x, int y, int flags);

    static bool RegisterClass();
    static void UnregisterClass();

    // The window of the Run in progress (null when none), for tests.
    static IconsBar* Current();

    IconsBar();
    ~IconsBar() override;

    IconStrip& Strip() { return strip_; }
    NoteSnimokWnd& Note() { return owner_.note; }
    // Computes the window rectangle for a point and flags, as WM_CREATE does.
    static RECT PlaceWindow(int x, int y, int flags, DWORD style, DWORD exStyle);

    DMessageMap* GetMessageMap() override { return &messageMap; }
    static DMessageMap messageMap;

private:
    class StripOwner : public IconStripOwner {
    public:
        explicit StripOwner(IconsBar* bar) : bar_(bar) {}
        int OpenImage(DWORD imageKey, const wchar_t* fileName) override;
        void ShowNote(DWORD imageKey, DWORD patientKey) override;
        int OnKey(WPARAM) override { return 0; }
        void ImagesCounted(int) override {}
        NoteSnimokWnd note;

    private:
        IconsBar* bar_;
    };

public:
    // Message handlers (the map's entries).
    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM);
    void OnPaint();
    void OnClose();
    LRESULT OnNcHitTest(int x, int y);

private:

    StripOwner owner_;
    IconStrip strip_;
};

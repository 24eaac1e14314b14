// ErrMsgWindow: a small tool window that collects error texts sent from any
// thread and lets the user page through them one at a time ("Error list").
// Nothing in the program registers its class or creates it yet; it is a
// component ready for a caller.
//
// Threads and state:
//   - AddMessage (any thread) copies the text into a record and, under
//     `lock_`, appends it to the pending chain; the first record after the
//     last take posts kTakePendingMessage and sets `posted_`. So at most one
//     such message is on its way, however many texts arrive meanwhile.
//   - The window's thread, on kTakePendingMessage (OnTakePending), takes the
//     whole chain under the lock and clears `posted_`, then appends the
//     records to its list outside the lock. The list, the scroll bar and the
//     text view belong to the window's thread alone.
//   - The view stays on the newest text unless the user paged back; a new
//     text shows a hidden window again. Close (the button or the caption's
//     box) only hides it; Clear empties the list (texts still pending stay
//     pending).
//   - The destructor frees the pending records under the lock and destroys
//     the window; AddMessage must not run on another thread from then on.
#pragma once

#include "ui/button.h"
#include "ui/dwindow.h"

#include <windows.h>

// Posted to the window by AddMessage while texts are pending: no arguments.
constexpr UINT WM_ERRLIST_TAKE_PENDING = WM_APP + 864;   // 0x8360
template <>
struct MsgCrack::PrivateShape<WM_ERRLIST_TAKE_PENDING> : MsgCrack::ShapeIs<MsgCrack::A> {};

class ErrMsgWindow : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"ErrMsgWindow";
    static constexpr UINT kTakePendingMessage = WM_ERRLIST_TAKE_PENDING;
    static constexpr int kTextId = 1, kScrollId = 2;

    // The class (CS_OWNDC | CS_SAVEBITS, button-face background).
    static bool RegisterClass(HINSTANCE instance);
    static void UnregisterClass(HINSTANCE instance);

    ErrMsgWindow();
    ~ErrMsgWindow() override;

    // Creates the window, hidden, at (10, 10), 554 x 260, owned by the
    // parent. FALSE when it exists already or cannot be made.
    BOOL Create(HWND parent);
    // Queues a copy of the text (length -1: up to the terminator; a null
    // text does nothing). Any thread.
    void AddMessage(const wchar_t* text, int length);
    // Empties the list; pending texts stay queued.
    void ClearList();
    void Hide();

    // What the window shows, for its thread.
    int Count() const { return count_; }
    // The index of the text shown: the scroll bar's position; -1 when empty.
    int Current() const;
    const wchar_t* TextAt(int index) const;
    HWND TextView() const { return textView_; }
    HWND ScrollBar() const { return scrollBar_; }
    DButton& ClearButton() { return clear_; }
    DButton& CloseButton() { return close_; }

    DMessageMap* GetMessageMap() override { return &messageMap; }
    static DMessageMap messageMap;

    // Message handlers (the map's entries).
    LRESULT OnCreate(HWND window, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnClose();
    void OnVScroll(int code, int position, LPARAM scrollBar);
    void OnTakePending();

private:
    struct Record {
        Record* next;
        Record* previous;
        wchar_t* text;   // own copy, terminated
        int length;
    };

    static Record* NewRecord(const wchar_t* text, int length);
    static void FreeChain(Record* head);
    void ShowCurrent();
    void UpdateScrollBar(int position);

    DButton clear_;                  // "Clear": ClearList
    DButton close_;                  // "Close": Hide
    HWND textView_ = nullptr;        // STATIC: the current text
    HWND scrollBar_ = nullptr;       // vertical SCROLLBAR: the current index
    CRITICAL_SECTION lock_;          // guards the pending chain, its count and posted_
    Record** list_ = nullptr;        // the texts taken, oldest first (window's thread)
    int count_ = 0;
    Record* head_ = nullptr;         // pending chain, oldest first
    Record* tail_ = nullptr;
    int pendingCount_ = 0;
    bool posted_ = false;            // a kTakePendingMessage is on its way
};

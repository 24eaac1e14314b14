// DProgressLink: the report side of every worker's link to its window (the
// merge, the synchronisation and the archive workers all report through one).
//
// A worker thread reports texts, counters and a word of change bits; the
// window lends the critical section they are kept under and names the message
// that tells it reports are pending. Each report stores its values, ORs its
// bit into the word and posts the message only while none is pending
// ("posted"), so one message carries any number of reports, the window sees
// the OR of the bits and the latest values, and its queue never fills:
//
//   report (worker)  enter lock -> store a heap copy of the text / the count,
//                    OR the bit -> post when nothing is posted (posted = the
//                    post's result) -> leave             SetText, SetCount, Notify
//   take (window, on the message) enter lock -> read the changed parts ->
//                    posted false, bits cleared, texts freed -> leave
//                                                        TakeChanges
//
// A failed post leaves "posted" false and the next report posts again; the
// last report may be lost with it, which is why every window also watches its
// worker's thread. A quiet report (post false) stores and marks without
// posting: the next posted report carries it. Counters stay across
// TakeChanges; texts are handed over once.
//
// States: unbound (no window: reports are stored, nothing is posted)
// -> Bind -> bound -> Unbind (takes what is pending, under the lock) -> unbound.
// Every field is read and written under the window's lock; without a lock
// (unbound, or a test without a window) the caller keeps to one thread.
#pragma once

#include <windows.h>

class DProgressLink {
public:
    static const int kSlots = 4;   // texts 0..3, counters 0..3

    DProgressLink() = default;
    ~DProgressLink();
    DProgressLink(const DProgressLink&) = delete;
    DProgressLink& operator=(const DProgressLink&) = delete;

    // Tests replace the post (null: PostMessageW), to lose messages on
    // purpose; the previous one is returned.
    typedef BOOL(WINAPI* PostFunction)(HWND, UINT, WPARAM, LPARAM);
    static PostFunction SetPostFunction(PostFunction post);

    // --- the window's side ---
    void Bind(HWND window, CRITICAL_SECTION* lock, UINT message);
    // Takes what is pending (under the lock, when there is one) and unbinds.
    void Unbind();
    HWND Window() const { return window_; }
    void Lock();
    void Unlock();
    // Read under the lock.
    DWORD Changes() const { return changes_; }
    bool Changed(DWORD bit) const { return (changes_ & bit) != 0; }
    bool IsPosted() const { return posted_ != FALSE; }
    const wchar_t* Text(int slot) const { return texts_[slot]; }   // null when none
    int TextLength(int slot) const { return texts_[slot] ? lengths_[slot] : 0; }
    DWORD Count(int slot) const { return counts_[slot]; }
    // Clears "posted" and the bits and frees the texts; under the lock.
    void TakeChanges();

    // --- the worker's side; each takes the lock ---
    // A length below 0 means up to the terminator; a null text clears the slot.
    void SetText(int slot, const wchar_t* text, int length, DWORD bit, bool post = true);
    void SetCount(int slot, DWORD value, DWORD bit, bool post = true);
    void Notify(DWORD bit, bool post = true);

    // A report of several values under one bit: inside Lock/Unlock, Put* the
    // values, then Mark the bit.
    void PutText(int slot, const wchar_t* text, int length);
    void PutCount(int slot, DWORD value) { counts_[slot] = value; }
    void Mark(DWORD bit, bool post = true);

private:
    void Post();
    void FreeTexts();

    HWND window_ = nullptr;
    CRITICAL_SECTION* lock_ = nullptr;   // the window's
    UINT message_ = 0;                   // the window's "reports are pending"
    BOOL posted_ = FALSE;                // a message waits in the window's queue
    DWORD changes_ = 0;                  // the owner's change bits
    wchar_t* texts_[kSlots] = {};        // heap copies, terminated, or null
    int lengths_[kSlots] = {};
    DWORD counts_[kSlots] = {};
};

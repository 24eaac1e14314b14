// The progress link from the merge worker to the merge window.
//
// The worker sees only IImportLink: four texts (0 the error, 1 the status,
// 2 the patient, 3 the image), four counters (0 images to merge, 1 images
// merged, 2 images that could not be read; 3 unused) and the end of the run.
// ImportLink, the window's object, keeps them in the workers' progress link
// (foundation/progresslink.h) under the window's critical section and tells
// the window with one posted WM_IMPORT_PROGRESS:
//
//   setter (worker)  enter lock -> store copy, set change bit -> post when no
//                    message is pending (posted = PostMessage's result) -> leave
//   OnProgress (window, on the message) enter lock -> read the changed parts
//                    -> TakeChanges: posted = false, texts freed, bits
//                    cleared -> leave
//
// So at most one message is ever queued, and every change made before the
// window handles it travels with it. A failed post leaves `posted` false and
// the next change posts again; the last change, the end of the run, may
// still be lost with it, which is why the window also watches the worker's
// thread handle (importwnd.h).
#pragma once

#include "foundation/progresslink.h"
#include "ui/msg_shapes.h"

#include <windows.h>

// Posted by the link to the merge window; its handler takes nothing:
// void OnProgress().
const UINT WM_IMPORT_PROGRESS = 0x841C;
template <>
struct MsgCrack::PrivateShape<WM_IMPORT_PROGRESS> : MsgCrack::ShapeIs<MsgCrack::A> {};

// What the merge worker reports through. A length below 0 means up to the
// terminator; a null text counts as empty.
class IImportLink {
public:
    virtual void SetFinished() = 0;
    virtual void SetText0(const wchar_t* text, int length) = 0;
    virtual void SetText1(const wchar_t* text, int length) = 0;
    virtual void SetText2(const wchar_t* text, int length) = 0;
    virtual void SetText3(const wchar_t* text, int length) = 0;
    virtual void SetCount0(DWORD value) = 0;
    virtual void SetCount1(DWORD value) = 0;
    virtual void SetCount3(DWORD value) = 0;
    virtual void SetCount2(DWORD value) = 0;
    // The worker holds an open transaction of the local database from
    // `open` true to false: the window must not end the thread meanwhile.
    virtual void SetInTransaction(bool open) = 0;

protected:
    ~IImportLink() = default;
};

class ImportLink : public IImportLink {
public:
    // Change bits.
    static constexpr DWORD kText0 = 0x1, kText1 = 0x2, kText2 = 0x4, kText3 = 0x8;
    static constexpr DWORD kCount0 = 0x10, kCount1 = 0x20, kCount2 = 0x40, kCount3 = 0x80;
    static constexpr DWORD kFinished = 0x80000000;

    ImportLink() = default;
    ImportLink(const ImportLink&) = delete;
    ImportLink& operator=(const ImportLink&) = delete;

    // The window, its lock and the message to post (WM_IMPORT_PROGRESS).
    void Setup(HWND window, CRITICAL_SECTION* lock, UINT message) { link_.Bind(window, lock, message); }

    void SetFinished() override { link_.Notify(kFinished); }
    void SetText0(const wchar_t* text, int length) override { SetText(0, text, length); }
    void SetText1(const wchar_t* text, int length) override { SetText(1, text, length); }
    void SetText2(const wchar_t* text, int length) override { SetText(2, text, length); }
    void SetText3(const wchar_t* text, int length) override { SetText(3, text, length); }
    void SetCount0(DWORD value) override { SetCount(0, value); }
    void SetCount1(DWORD value) override { SetCount(1, value); }
    void SetCount3(DWORD value) override { SetCount(3, value); }
    void SetCount2(DWORD value) override { SetCount(2, value); }
    void SetInTransaction(bool open) override { InterlockedExchange(&transaction_, open ? 1 : 0); }

    // The window's side, inside the lock.
    bool Changed(DWORD bit) const { return link_.Changed(bit); }
    DWORD Changes() const { return link_.Changes(); }
    const wchar_t* Text(int i, int* length) const;   // never null
    DWORD Count(int i) const { return link_.Count(i); }
    bool IsPosted() const { return link_.IsPosted(); }
    void TakeChanges() { link_.TakeChanges(); }
    // Any thread.
    bool InTransaction() const { return transaction_ != 0; }

    // Tests replace the post (null: PostMessageW), to lose messages on purpose.
    typedef DProgressLink::PostFunction PostFunction;
    static PostFunction SetPostFunction(PostFunction post) { return DProgressLink::SetPostFunction(post); }

private:
    void SetText(int i, const wchar_t* text, int length) { link_.SetText(i, text, length, kText0 << i); }
    void SetCount(int i, DWORD value) { link_.SetCount(i, value, kCount0 << i); }

    DProgressLink link_;
    volatile LONG transaction_ = 0;
};

// A worker's reports to its window: see progresslink.h.
#include "foundation/progresslink.h"

#include <cwchar>

namespace {

DProgressLink::PostFunction gPost = nullptr;

}  // namespace

DProgressLink::PostFunction DProgressLink::SetPostFunction(PostFunction post)
{
    PostFunction previous = gPost;
    gPost = post;
    return previous;
}

DProgressLink::~DProgressLink()
{
    FreeTexts();
}

void DProgressLink::Bind(HWND window, CRITICAL_SECTION* lock, UINT message)
{
    window_ = window;
    lock_ = lock;
    message_ = message;
}

void DProgressLink::Unbind()
{
    if (lock_) {
        Lock();
        TakeChanges();
        Unlock();
    }
    window_ = nullptr;
    lock_ = nullptr;
    message_ = 0;
}

void DProgressLink::Lock()
{
    if (lock_)
        EnterCriticalSection(lock_);
}

void DProgressLink::Unlock()
{
    if (lock_)
        LeaveCriticalSection(lock_);
}

void DProgressLink::FreeTexts()
{
    for (int i = 0; i < kSlots; ++i) {
        if (texts_[i])
            HeapFree(GetProcessHeap(), 0, texts_[i]);
        texts_[i] = nullptr;
        lengths_[i] = 0;
    }
}

void DProgressLink::TakeChanges()
{
    posted_ = FALSE;
    changes_ = 0;
    FreeTexts();
}

void DProgressLink::Post()
{
    if (posted_ || !window_ || !message_)
        return;
    PostFunction post = gPost ? gPost : PostMessageW;
    posted_ = post(window_, message_, 0, 0);
}

void DProgressLink::Mark(DWORD bit, bool post)
{
    changes_ |= bit;
    if (post)
        Post();
}

void DProgressLink::PutText(int slot, const wchar_t* text, int length)
{
    if (texts_[slot])
        HeapFree(GetProcessHeap(), 0, texts_[slot]);
    texts_[slot] = nullptr;
    lengths_[slot] = 0;
    if (!text)
        return;
    if (length < 0)
        length = static_cast<int>(wcslen(text));
    wchar_t* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, ((size_t)length + 1) * sizeof(wchar_t)));
    if (!copy)
        return;
    wmemcpy(copy, text, length);
    copy[length] = 0;
    texts_[slot] = copy;
    lengths_[slot] = length;
}

void DProgressLink::SetText(int slot, const wchar_t* text, int length, DWORD bit, bool post)
{
    Lock();
    PutText(slot, text, length);
    Mark(bit, post);
    Unlock();
}

void DProgressLink::SetCount(int slot, DWORD value, DWORD bit, bool post)
{
    Lock();
    PutCount(slot, value);
    Mark(bit, post);
    Unlock();
}

void DProgressLink::Notify(DWORD bit, bool post)
{
    Lock();
    Mark(bit, post);
    Unlock();
}

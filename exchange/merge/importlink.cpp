// The merge's progress link: see importlink.h.
#include "exchange/merge/importlink.h"

#include <string.h>

namespace {

ImportLink::PostFunction gPost = nullptr;

}  // namespace

ImportLink::PostFunction ImportLink::SetPostFunction(PostFunction post)
{
    PostFunction previous = gPost;
    gPost = post;
    return previous;
}

ImportLink::~ImportLink()
{
    FreeTexts();
}

void ImportLink::Setup(HWND window, CRITICAL_SECTION* lock, UINT message)
{
    window_ = window;
    lock_ = lock;
    message_ = message;
}

void ImportLink::FreeTexts()
{
    for (int i = 0; i < 4; ++i) {
        if (texts_[i])
            HeapFree(GetProcessHeap(), 0, texts_[i]);
        texts_[i] = nullptr;
        lengths_[i] = 0;
    }
}

void ImportLink::Post()
{
    if (posted_ || !window_)
        return;
    PostFunction post = gPost ? gPost : PostMessageW;
    posted_ = post(window_, message_, 0, 0);
}

void ImportLink::MarkChanged(DWORD bit)
{
    changes_ |= bit;
    Post();
}

void ImportLink::SetText(int i, const wchar_t* text, int length)
{
    if (!text)
        length = 0;
    else if (length < 0)
        length = lstrlenW(text);
    if (lock_)
        EnterCriticalSection(lock_);
    if (texts_[i])
        HeapFree(GetProcessHeap(), 0, texts_[i]);
    texts_[i] = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, ((size_t)length + 1) * sizeof(wchar_t)));
    if (texts_[i]) {
        if (length)
            memcpy(texts_[i], text, (size_t)length * sizeof(wchar_t));
        texts_[i][length] = 0;
        lengths_[i] = length;
    } else {
        lengths_[i] = 0;
    }
    MarkChanged(kText0 << i);
    if (lock_)
        LeaveCriticalSection(lock_);
}

void ImportLink::SetCount(int i, DWORD value)
{
    if (lock_)
        EnterCriticalSection(lock_);
    counters_[i] = value;
    MarkChanged(kCount0 << i);
    if (lock_)
        LeaveCriticalSection(lock_);
}

void ImportLink::SetFinished()
{
    if (lock_)
        EnterCriticalSection(lock_);
    MarkChanged(kFinished);
    if (lock_)
        LeaveCriticalSection(lock_);
}

const wchar_t* ImportLink::Text(int i, int* length) const
{
    if (length)
        *length = texts_[i] ? lengths_[i] : 0;
    return texts_[i] ? texts_[i] : L"";
}

void ImportLink::TakeChanges()
{
    if (!posted_ && !changes_)
        return;
    posted_ = FALSE;
    if (changes_) {
        FreeTexts();
        changes_ = 0;
    }
}

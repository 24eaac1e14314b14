#include "exchange/sync/syncmessages.h"

#include <cstddef>
#include <cwchar>

bool SyncMessageList::Add(const wchar_t* text, int length)
{
    if (!text)
        return false;
    if (length < 0)
        length = static_cast<int>(wcslen(text));
    if (length == 0)
        return false;
    const SIZE_T bytes = offsetof(Node, text) + (static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t);
    Node* node = static_cast<Node*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (!node)
        return false;
    node->length = static_cast<UINT>(length);
    wmemcpy(node->text, text, static_cast<size_t>(length));
    node->text[length] = 0;
    if (newest_) {
        node->older = newest_;
        newest_->newer = node;
        newest_ = node;
    } else {
        oldest_ = newest_ = current_ = node;
        number_ = 1;
    }
    ++total_;
    return true;
}

bool SyncMessageList::Previous()
{
    if (!current_ || !current_->older)
        return false;
    current_ = current_->older;
    --number_;
    return true;
}

bool SyncMessageList::Next()
{
    if (!current_ || !current_->newer)
        return false;
    current_ = current_->newer;
    ++number_;
    return true;
}

void SyncMessageList::Clear()
{
    Node* node = newest_;
    while (node) {
        Node* older = node->older;
        HeapFree(GetProcessHeap(), 0, node);
        node = older;
    }
    oldest_ = newest_ = current_ = nullptr;
    number_ = total_ = 0;
}

const wchar_t* SyncMessageList::Current() const
{
    return current_ ? current_->text : nullptr;
}

int SyncMessageList::CurrentLength() const
{
    return current_ ? static_cast<int>(current_->length) : 0;
}

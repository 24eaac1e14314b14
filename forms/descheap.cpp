#include "forms/descheap.h"

#include "forms/fielddesc.h"

namespace {

HANDLE gHeap = GetProcessHeap();
LONG gOutstanding = 0;
LONG gFailAfter = -1;   // allocations still allowed before the refused one; -1: none refused

}  // namespace

void* DescHeap::Alloc(size_t size)
{
    if (gFailAfter >= 0) {
        if (InterlockedDecrement(&gFailAfter) == -1)
            return nullptr;
    }
    void* block = HeapAlloc(gHeap, 0, size);
    if (block)
        InterlockedIncrement(&gOutstanding);
    return block;
}

void DescHeap::Free(void* block)
{
    if (!block)
        return;
    HeapFree(gHeap, 0, block);
    InterlockedDecrement(&gOutstanding);
}

LONG DescHeap::Outstanding() { return gOutstanding; }

void DescHeap::FailAfter(LONG count) { InterlockedExchange(&gFailAfter, count); }

bool DescList::Push(void* item)
{
    Node* node = static_cast<Node*>(DescHeap::Alloc(sizeof(Node)));
    if (!node)
        return false;
    node->next = nullptr;
    node->item = item;
    if (tail_)
        tail_->next = node;
    else
        head_ = node;
    tail_ = node;
    ++count_;
    return true;
}

void* DescList::Pop()
{
    Node* node = head_;
    if (!node)
        return nullptr;
    head_ = node->next;
    if (!head_)
        tail_ = nullptr;
    --count_;
    void* item = node->item;
    DescHeap::Free(node);
    return item;
}

void DescList::Clear(FreeItem freeItem)
{
    while (head_) {
        void* item = Pop();
        if (freeItem)
            freeItem(item);
    }
}

void DescStrArray::Clear()
{
    for (int i = 0; i < count; ++i)
        DescHeap::Free(items[i]);
    DescHeap::Free(items);
    items = nullptr;
    count = 0;
}

bool DescStrArray::MoveFrom(DescList& list)
{
    Clear();
    const int n = list.Count();
    if (n == 0)
        return true;
    FieldBlob** array = static_cast<FieldBlob**>(DescHeap::Alloc(sizeof(FieldBlob*) * n));
    if (!array)
        return false;
    for (int i = 0; i < n; ++i)
        array[i] = static_cast<FieldBlob*>(list.Pop());
    items = array;
    count = n;
    return true;
}

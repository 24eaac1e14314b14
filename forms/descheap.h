// DescHeap: where every description buffer comes from, and the two containers
// that carry parsed items from the parsers into the descriptions.
//
// DescHeap is the process heap, taken once; blocks are plain HeapAlloc and
// HeapFree without flags. It counts the blocks it has handed out and not got
// back, and it can be told to refuse an allocation, so that tests see what a
// description leaves behind and how a parse ends when memory runs out.
#pragma once

#include <windows.h>

class DescHeap {
public:
    // A block of `size` bytes, or null when the heap refuses (or a refusal
    // was asked for with FailAfter).
    static void* Alloc(size_t size);
    // Gives a block back; null is ignored.
    static void Free(void* block);

    // Blocks handed out and not yet given back.
    static LONG Outstanding();
    // For tests: the allocation after `count` more succeeds fails once; -1
    // turns the refusal off.
    static void FailAfter(LONG count);
};

// First-in first-out list of heap items, used while a description is parsed.
// Nodes come from DescHeap; the list owns its items only as far as Clear is
// given a way to free them.
class DescList {
public:
    typedef void (*FreeItem)(void* item);

    DescList() : count_(0), head_(nullptr), tail_(nullptr) {}
    ~DescList() { Clear(nullptr); }
    DescList(const DescList&) = delete;
    DescList& operator=(const DescList&) = delete;

    // Appends; false when no node can be allocated (the item stays the caller's).
    bool Push(void* item);
    // Removes and returns the first item; null when the list is empty.
    void* Pop();
    // Frees every node, and every item through `freeItem` when one is given.
    void Clear(FreeItem freeItem);
    int Count() const { return count_; }

private:
    struct Node {
        Node* next;
        void* item;
    };
    int count_;
    Node* head_;
    Node* tail_;
};

struct FieldBlob;

// The packed fields of one list of a description, in file order. The array
// and every FieldBlob in it belong to the array.
struct DescStrArray {
    FieldBlob** items;   // DescHeap block of `count` pointers, or null
    int count;

    DescStrArray() : items(nullptr), count(0) {}
    ~DescStrArray() { Clear(); }
    DescStrArray(const DescStrArray&) = delete;
    DescStrArray& operator=(const DescStrArray&) = delete;

    // Frees the blobs and the array.
    void Clear();
    // Clears, then takes every blob of the list in order (the list ends
    // empty). False when the array cannot be allocated; the blobs then stay
    // in the list.
    bool MoveFrom(DescList& list);
    FieldBlob* operator[](int i) const { return items[i]; }
};

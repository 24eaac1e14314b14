// SyncMessageList: the messages of a long job in arrival order, one of them
// current, as the synchronisation window's message pane shows them.
//
// The list is doubly linked from the oldest to the newest; each node is one
// heap block holding its text. The current node starts at the first message
// and moves only by Previous and Next: a new message never becomes current
// by itself (except the first, which has nothing to replace), it only raises
// the total.
//
// States:
//   empty    total 0, number 0, no current node     Add -> holding (the message is current, number 1)
//   holding  1 <= number <= total                   Previous / Next move by one
//                                                   Clear -> empty
// The pane shows the current text and the two counters, and enables its
// "previous" button while number > 1 and its "next" button while number <
// total (CanGoBack, CanGoOn).
//
// The list takes no lock: its owner (the pane) guards it.
#pragma once

#include <windows.h>

class SyncMessageList {
public:
    SyncMessageList() = default;
    ~SyncMessageList() { Clear(); }
    SyncMessageList(const SyncMessageList&) = delete;
    SyncMessageList& operator=(const SyncMessageList&) = delete;

    // Appends a copy of the text (a negative length: up to the terminator).
    // False, adding nothing, for a null text, a length of 0, or a node that
    // cannot be allocated (the message is dropped).
    bool Add(const wchar_t* text, int length);
    // One step towards the oldest / the newest; false (nothing changes) at
    // the end of the list.
    bool Previous();
    bool Next();
    // Frees every node; the list is empty again.
    void Clear();

    UINT Total() const { return total_; }
    UINT Number() const { return number_; }   // 1-based; 0 when empty
    // The current text (terminated) and its length; null and 0 when empty.
    const wchar_t* Current() const;
    int CurrentLength() const;
    bool CanGoBack() const { return number_ > 1; }
    bool CanGoOn() const { return number_ < total_; }

private:
    struct Node {
        Node* older;
        Node* newer;
        UINT length;        // characters, without the terminator
        wchar_t text[1];    // the text and its terminator follow in the same block
    };

    Node* oldest_ = nullptr;
    Node* newest_ = nullptr;
    Node* current_ = nullptr;
    UINT number_ = 0;
    UINT total_ = 0;
};

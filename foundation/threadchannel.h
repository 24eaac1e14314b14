// DThreadChannel: the one-slot command channel from a window (the client) to
// its worker thread (the server), with one word of answer back.
//
// One request is outstanding at a time: the client posts two words, the
// worker takes them, answers with one word, and the client collects the
// answer; only then does the slot take the next request. The slot is one
// mutex and four manual-reset events, so that either side can wait with a
// time-out. The states and their events (free, posted, taken, replied):
//
//   Empty     set    reset  set    reset   Post          -> Posted
//   Posted    reset  set    set    reset   Receive       -> Taken
//   Taken     reset  set    reset  reset   Reply         -> Answered
//   Answered  reset  set    reset  set     WaitReply     -> Empty
//
// ReceiveAndAck goes from Posted to Answered in one step. The request and
// reply words change only while the mutex is held (except the server's reply,
// which only the server writes while the client waits for replied), and every
// wait takes the mutex together with the events it needs, so neither side
// sees the words half-written. Post lets go of the mutex before it signals
// posted: nobody holds the mutex while a request waits to be taken, so a
// worker's poll with time-out 0 takes every request that is there.
//
// Exactly one client thread and one server thread use a channel. The owner
// (the client) creates it and destroys it after the worker has ended. Results
// are wait codes: 0 on success, WAIT_TIMEOUT (258) when the time-out elapsed,
// any other wait result passed through. Time-outs are in milliseconds,
// INFINITE meaning none. Nothing here throws.
#pragma once

#include <windows.h>

class DThreadChannel {
public:
    // What the worker receives: the command and its argument.
    struct Request {
        DWORD command;
        DWORD argument;
    };

    DThreadChannel();
    ~DThreadChannel();
    DThreadChannel(const DThreadChannel&) = delete;
    DThreadChannel& operator=(const DThreadChannel&) = delete;

    // Owner. Makes the mutex and the four events (state Empty) and clears the
    // closed mark. False when the channel exists already (it is kept) or when
    // a handle cannot be made (everything made so far is closed again).
    bool Create();
    // Owner. Closes the five handles; false when the channel was not created.
    bool Close();

    // Owner. The closed mark: once set, Post accepts nothing more.
    void SetClosed() { InterlockedExchange(&closed_, 1); }
    void SetOpen() { InterlockedExchange(&closed_, 0); }
    bool IsClosed() const { return closed_ != 0; }

    // Client. Waits until the slot is free, stores the request and signals it;
    // does not wait for the answer. Returns 0 at once, posting nothing, when
    // the channel is closed.
    DWORD Post(DWORD command, DWORD argument, DWORD timeout);
    // Client. Collects the answer to the posted request and frees the slot.
    // WAIT_TIMEOUT at once when nothing is posted.
    DWORD WaitReply(DWORD* reply, DWORD timeout);
    // Client. Post and WaitReply without time-outs; WAIT_FAILED when the
    // channel is closed.
    DWORD Send(DWORD command, DWORD argument, DWORD* reply);
    // Client. Waits, with a time-out, until the posted request is answered
    // without collecting the answer; WAIT_TIMEOUT at once when nothing is posted.
    DWORD WaitReplied(DWORD timeout);

    // Server. Takes the posted request; it stays posted until the client
    // collects the answer.
    DWORD Receive(Request* request, DWORD timeout);
    // Server. Answers the request; WAIT_TIMEOUT (reply untouched) when nothing
    // is posted.
    DWORD Reply(DWORD value);
    // Server. Receive, and on success answer with `value` at once.
    DWORD ReceiveAndAck(Request* request, DWORD value, DWORD timeout);
    // Server. Waits, with a time-out, until a request is posted and not yet
    // taken, without taking it.
    DWORD WaitPosted(DWORD timeout);

private:
    DWORD WaitAll(HANDLE a, HANDLE b, HANDLE c, DWORD timeout);
    void CloseHandles();

    volatile LONG closed_;  // set by the owner: accept no more requests
    HANDLE mutex_;          // guards the request and reply words
    HANDLE free_;           // the slot may take a request
    HANDLE posted_;         // a request is in the slot
    HANDLE taken_;          // no request is being served
    HANDLE replied_;        // the server has answered
    DWORD command_;         // request word 1
    DWORD reply_;           // the answer
    DWORD argument_;        // request word 2
};

// Stopping a window's worker thread without harm.
//
// A worker is never terminated while it holds the database or a file: in a
// transaction or a single statement of its session, a dead thread would keep
// the database's write lock for the rest of the program's life (every later
// write would wait and fail), and a file half copied or deleted would stay
// so. A worker holds neither only while it waits for the user's answer (to a
// prompt of its own, or to a question its window shows for it); it tells its
// gate when such a wait begins and ends (BeginUserWait, EndUserWait, or a
// UserWaitScope), and the window terminates it only there. A worker the user
// gave up on elsewhere is waited for until it ends or reaches such a wait;
// the window asks it to stop first, so it ends at its next poll.
//
// The hand-over is one word changed atomically: working -> waiting for the
// user -> working again, or waiting for the user -> terminating, after which
// the worker never leaves EndUserWait. So the window terminates a thread that
// is inside the wait and can no longer leave it.
//
// The waits of the window's thread keep its windows painted and answer what
// other threads send it (a prompt of the worker owned by the window), but run
// no command of the window (ui/threadwait.h).
#pragma once

#include <windows.h>

#include <functional>

class WorkerStopGate {
public:
    WorkerStopGate() = default;
    WorkerStopGate(const WorkerStopGate&) = delete;
    WorkerStopGate& operator=(const WorkerStopGate&) = delete;

    // The window, before it starts a worker: the worker works.
    void Arm();

    // The worker. Inside the pair it holds no transaction, no statement and
    // no file, and does nothing but wait for the user's answer. EndUserWait
    // never returns to a worker that is being terminated.
    void BeginUserWait();
    void EndUserWait();

    // The window, once the user has given up on the worker: terminates the
    // thread with `exitCode` as soon as it waits for the user, or waits for
    // its end, whichever comes first; true when it was terminated. `what`
    // names the worker in the journal.
    bool TerminateAtUserWait(HANDLE thread, DWORD exitCode, const wchar_t* what);

private:
    enum State : LONG {
        kWorking = 0,       // it may hold the database or a file
        kWaitingUser = 1,   // it waits for the user and holds neither
        kTerminating = 2,   // the window is terminating it
    };
    volatile LONG state_ = kWorking;
};

// The worker's wait for the user, for a scope: a prompt's call or the wait
// for the window's answer, and nothing else (no statement, no file, no report
// to the window), goes inside it. `Worker` has BeginUserWait and EndUserWait;
// a null worker waits unwatched.
template <class Worker>
class UserWaitScope {
public:
    explicit UserWaitScope(Worker* worker) : worker_(worker)
    {
        if (worker_)
            worker_->BeginUserWait();
    }
    ~UserWaitScope()
    {
        if (worker_)
            worker_->EndUserWait();
    }
    UserWaitScope(const UserWaitScope&) = delete;
    UserWaitScope& operator=(const UserWaitScope&) = delete;

private:
    Worker* worker_;
};

// The window's wait for the end of a worker that has been asked to stop:
// waits `askEveryMs` at a time with the thread's windows painted and, each
// time the worker has not ended, asks `waitOn` whether to go on waiting. When
// it says no (or the wait fails), the worker is terminated at its next wait
// for the user (gate), or waited for until it ends. The worker's exit code;
// `terminatedCode` when it was terminated or its code cannot be read. The
// thread handle stays open.
DWORD WaitForWorkerEnd(HANDLE thread, WorkerStopGate& gate, DWORD askEveryMs, const std::function<bool()>& waitOn,
                       DWORD terminatedCode, const wchar_t* what);

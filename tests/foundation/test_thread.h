// Real threads and events for the tests of the locks and the channel.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

// A real second thread running `body`; joined by the destructor.
class Thread {
public:
    explicit Thread(std::function<void()> body) : body_(std::move(body))
    {
        handle_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~Thread() { Join(); }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // True when the thread has ended within the time-out.
    bool Join(DWORD timeout = 5000)
    {
        if (!handle_)
            return true;
        bool ended = WaitForSingleObject(handle_, timeout) == WAIT_OBJECT_0;
        if (ended) {
            CloseHandle(handle_);
            handle_ = nullptr;
        }
        return ended;
    }
    bool Started() const { return handle_ != nullptr; }

private:
    static DWORD WINAPI Run(void* self)
    {
        static_cast<Thread*>(self)->body_();
        return 0;
    }
    std::function<void()> body_;
    HANDLE handle_;
};

// Manual-reset event owned by a test, created non-signalled.
struct Event {
    HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Event() = default;
    ~Event() { CloseHandle(h); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    void Set() { SetEvent(h); }
    bool Wait(DWORD timeout = 5000) { return WaitForSingleObject(h, timeout) == WAIT_OBJECT_0; }
};

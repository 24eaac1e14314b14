// Shared plumbing of the ZelkSQLite OLE DB provider: the platform headers, a
// lock, a small COM pointer, the live-object count that DllCanUnloadNow reads,
// and the guard that keeps C++ exceptions from crossing a COM method.
#pragma once

#ifndef UNICODE
#error The provider is built as a Unicode DLL
#endif

#include <windows.h>
#include <ole2.h>
#include <oledb.h>
#include <oledberr.h>
#include <transact.h>

#include <atomic>
#include <new>
#include <string>
#include <utility>

static_assert(sizeof(void*) == 4, "the provider is a 32-bit DLL");

namespace zelk {

// The provider's class id; the ProgID is "ZelkSQLite.1".
extern const CLSID kClsidProvider;
extern const wchar_t kProgId[];
extern const wchar_t kProviderName[];

// Objects alive and server locks: DllCanUnloadNow answers S_OK when both are 0.
extern std::atomic<long> gLiveObjects;
extern std::atomic<long> gServerLocks;
extern HMODULE gModule;

// Counts one live COM object for the life of the object that embeds it.
struct LiveObject {
    LiveObject() { ++gLiveObjects; }
    ~LiveObject() { --gLiveObjects; }
    LiveObject(const LiveObject&) = delete;
    LiveObject& operator=(const LiveObject&) = delete;
};

// A recursive lock (sessions re-enter it from their commands and rowsets on
// the same thread). Every call of a statement's execution and row reading
// takes one, so taking it free costs one interlocked operation inline, and
// leaving it another: `holders_` counts the thread holding the lock and those
// waiting for it; a thread that finds it held waits on an auto-reset event,
// made at the first contention, which the holder sets as it leaves when
// someone waits (one signal at most is ever pending: only the holder sets
// it, and it holds the lock until a waiter takes it over).
class Lock {
public:
    Lock() = default;
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    void Enter()
    {
        const DWORD me = GetCurrentThreadId();
        if (owner_.load(std::memory_order_relaxed) == me) {
            ++depth_;
            return;
        }
        if (holders_.fetch_add(1, std::memory_order_acquire) != 0)
            WaitForTurn();
        owner_.store(me, std::memory_order_relaxed);
        depth_ = 1;
    }
    void Leave()
    {
        if (--depth_ != 0)
            return;
        owner_.store(0, std::memory_order_relaxed);
        if (holders_.fetch_sub(1, std::memory_order_release) != 1)
            HandOver();
    }

private:
    void WaitForTurn();
    void HandOver();
    HANDLE Event();

    std::atomic<long> holders_{0};
    std::atomic<DWORD> owner_{0};
    unsigned depth_ = 0;  // changed by the holder only
    std::atomic<HANDLE> event_{nullptr};
};

// A lock for the short sections of one object's calls that never nest and
// never wait for anything else but the session's lock (a rowset's row
// handles, its store and the plans of its accessors): taking it free is one
// interlocked exchange and leaving it a plain store, where Lock takes two
// interlocked operations. A thread that finds it held spins a little, then
// gives up its time slice until it is free (SpinLock::Wait).
class SpinLock {
public:
    SpinLock() = default;
    SpinLock(const SpinLock&) = delete;
    SpinLock& operator=(const SpinLock&) = delete;
    void Enter()
    {
        if (held_.exchange(true, std::memory_order_acquire))
            Wait();
    }
    void Leave() { held_.store(false, std::memory_order_release); }

private:
    void Wait();

    std::atomic<bool> held_{false};
};

// Holds a Lock or a SpinLock for its scope.
template <class L>
class Locked {
public:
    explicit Locked(L& lock) : lock_(lock) { lock_.Enter(); }
    ~Locked() { lock_.Leave(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    L& lock_;
};

// Owning COM pointer: one reference, released at the end of its scope.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p, bool addRef = true) : p_(p)
    {
        if (p_ && addRef)
            p_->AddRef();
    }
    ComPtr(const ComPtr& o) : p_(o.p_)
    {
        if (p_)
            p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr o) noexcept
    {
        std::swap(p_, o.p_);
        return *this;
    }
    void Reset()
    {
        if (p_) {
            T* p = p_;
            p_ = nullptr;
            p->Release();
        }
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T** Out()
    {
        Reset();
        return &p_;
    }
    T* Detach()
    {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// Runs a COM method body; a C++ exception that escapes it becomes an HRESULT
// with an error record instead of crossing into the caller.
HRESULT GuardFailure(const wchar_t* method, bool outOfMemory);

template <class F>
HRESULT Guard(const wchar_t* method, F&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return GuardFailure(method, true);
    } catch (...) {
        return GuardFailure(method, false);
    }
}

// UTF-16 <-> UTF-8 for SQLite's narrow entry points.
std::string ToUtf8(const wchar_t* text, size_t length);
inline std::string ToUtf8(const std::wstring& text) { return ToUtf8(text.data(), text.size()); }
std::wstring FromUtf8(const char* text);

// A copy of a text in memory of the COM task allocator (the caller frees it).
wchar_t* TaskStrDup(const wchar_t* text);

// True when two GUIDs are equal (the inline operator of the SDK is not constexpr-safe in all headers).
inline bool SameGuid(REFGUID a, REFGUID b) { return IsEqualGUID(a, b) != 0; }

// IUnknown::Release of an object counted in `refs`: the last reference
// destroys it (the object's own `delete this`, its destructor being private).
template <class F> ULONG ReleaseRef(std::atomic<ULONG>& refs, F destroy)
{
    ULONG n = --refs;
    if (n == 0)
        destroy();
    return n;
}

}  // namespace zelk

#include "ui/window_errors.h"

#include "foundation/messages.h"
#include "resources/strings.h"

#include <new>

namespace {

// The exception kept on a thread lives in a heap cell that the thread's
// fiber-local slot points to; the slot's callback frees the cell when the
// thread ends. Never a thread_local std::exception_ptr: under this
// toolchain's emulated thread-local storage a thread's thread_local objects
// are freed before their destructors run at the thread's end, so that
// destructor released a pointer read out of freed memory. Each window thread
// that ended (the state window of every print) then damaged the heap, and
// after a dozen prints a later allocation or free crashed the program.
void WINAPI FreeKeptCell(void* cell)
{
    delete static_cast<std::exception_ptr*>(cell);
}

DWORD KeptSlot() noexcept
{
    static const DWORD slot = FlsAlloc(&FreeKeptCell);
    return slot;
}

// This thread's cell, made on first need when `make` is set; null when there
// is none (or no memory or slot for one). Leaves the thread's last error as it
// was: the creation functions take and restore the slot between
// CreateWindowExW and their caller's look at its error.
std::exception_ptr* KeptCell(bool make) noexcept
{
    const DWORD slot = KeptSlot();
    if (slot == FLS_OUT_OF_INDEXES)
        return nullptr;
    const DWORD error = GetLastError();
    std::exception_ptr* cell = static_cast<std::exception_ptr*>(FlsGetValue(slot));
    if (!cell && make) {
        cell = new (std::nothrow) std::exception_ptr;
        if (cell && !FlsSetValue(slot, cell)) {
            delete cell;
            cell = nullptr;
        }
    }
    SetLastError(error);
    return cell;
}

// Puts `e` into this thread's empty slot.
void KeepIfEmpty(const std::exception_ptr& e) noexcept
{
    if (!e)
        return;
    std::exception_ptr* cell = KeptCell(true);
    if (cell && !*cell)
        *cell = e;
}

void ShowFoundationException(HWND owner, std::exception_ptr e)
{
    if (!e)
        return;
    try {
        std::rethrow_exception(e);
    } catch (const MsgExcept& message) {
        message.Show(owner, MB_OK | MB_ICONEXCLAMATION);
    } catch (UINT id) {
        if (id)
            MessageBoxId(owner, id, MB_OK | MB_ICONEXCLAMATION);
    } catch (int id) {
        if (id)
            MessageBoxId(owner, static_cast<UINT>(id), MB_OK | MB_ICONEXCLAMATION);
    } catch (...) {
        MessageBoxId(owner, IDS_UNHANDLED_EXCEPTION, MB_OK | MB_ICONSTOP);
    }
}

WindowExceptionShower gShower = &ShowFoundationException;

}  // namespace

WindowExceptionShower SetWindowExceptionShower(WindowExceptionShower shower)
{
    WindowExceptionShower old = gShower;
    gShower = shower ? shower : &ShowFoundationException;
    return old;
}

void ShowWindowException(HWND owner, std::exception_ptr e)
{
    if (e)
        gShower(owner, e);
}

bool DispatchMessageShowing(const MSG& msg, HWND fallbackOwner)
{
    DispatchMessageW(&msg);
    std::exception_ptr e = TakeWindowException();
    if (!e)
        return false;
    HWND owner = msg.hwnd && IsWindow(msg.hwnd) ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (!owner && fallbackOwner && IsWindow(fallbackOwner))
        owner = fallbackOwner;
    ShowWindowException(owner, e);
    return true;
}

void KeepWindowException() noexcept
{
    if (!HasWindowException())
        KeepIfEmpty(std::current_exception());
}

bool HasWindowException() noexcept
{
    const std::exception_ptr* cell = KeptCell(false);
    return cell && *cell;
}

std::exception_ptr TakeWindowException() noexcept
{
    std::exception_ptr e;
    if (std::exception_ptr* cell = KeptCell(false))
        e.swap(*cell);
    return e;
}

void RestoreWindowException(std::exception_ptr e) noexcept
{
    KeepIfEmpty(e);
}

void RethrowWindowException()
{
    if (std::exception_ptr e = TakeWindowException())
        std::rethrow_exception(e);
}

LRESULT DispatchMessageChecked(const MSG& msg)
{
    LRESULT r = DispatchMessageW(&msg);
    RethrowWindowException();
    return r;
}

int RunMessageLoop()
{
    MSG msg;
    for (;;) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1)
            return -1;
        TranslateMessage(&msg);
        DispatchMessageChecked(msg);
    }
}

#include "ui/window_errors.h"

#include "foundation/messages.h"
#include "resources/strings.h"

namespace {

thread_local std::exception_ptr tKept;   // the first exception kept on this thread

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
    if (!tKept)
        tKept = std::current_exception();
}

bool HasWindowException() noexcept
{
    return static_cast<bool>(tKept);
}

std::exception_ptr TakeWindowException() noexcept
{
    std::exception_ptr e = tKept;
    tKept = nullptr;
    return e;
}

void RestoreWindowException(std::exception_ptr e) noexcept
{
    if (!tKept)
        tKept = e;
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

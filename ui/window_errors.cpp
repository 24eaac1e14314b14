#include "ui/window_errors.h"

namespace {
thread_local std::exception_ptr tKept;   // the first exception kept on this thread
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

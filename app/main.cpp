// The workstation program's entry point.
#include <windows.h>

static_assert(sizeof(void*) == 4, "the workstation is a 32-bit program");
#ifndef UNICODE
#error "the workstation is built for the Unicode Win32 API"
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    return 0;
}

// A tiny program the plug-in tests start: it writes the file named by its
// first argument, holding its current folder and its whole command line, one
// per line (UTF-16 with a byte-order mark), so that a test sees that it ran,
// where, and with what.
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    const wchar_t* line = GetCommandLineW();
    HANDLE file = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const wchar_t bom = 0xFEFF, newline = L'\n';
    WriteFile(file, &bom, sizeof bom, &written, nullptr);
    WriteFile(file, folder, lstrlenW(folder) * sizeof(wchar_t), &written, nullptr);
    WriteFile(file, &newline, sizeof newline, &written, nullptr);
    WriteFile(file, line, lstrlenW(line) * sizeof(wchar_t), &written, nullptr);
    CloseHandle(file);
    return 0;
}

// A tiny program the plug-in tests start: it writes the file named by its
// first argument, holding its current folder and its whole command line, one
// per line (UTF-16 with a byte-order mark), so that a test sees that it ran,
// where, and with what. A windows program without a window: starting it opens
// no console that could take the display's focus from another test.
#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int)
{
    const wchar_t* line = GetCommandLineW();
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(line, &argc);
    if (!argv || argc < 2)
        return 2;
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    HANDLE file = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LocalFree(argv);
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

// Files, folders and drives of a test's own: see test_files.h.
#include "test_files.h"

#include "foundation/globals.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace testfix {

namespace {

const DWORD kDefineUnixDrive = (0x6D << 16) | (3 << 14) | (32 << 2);   // CTL_CODE('m', 32, BUFFERED, READ|WRITE)

bool WriteSmallFile(const std::wstring& path, const char* text)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(f, text, static_cast<DWORD>(strlen(text)), &written, nullptr) != 0;
    CloseHandle(f);
    return ok;
}

// Sends Wine's 32-byte define request (type 2 inserts a removable drive on
// the Unix folder, type 1 removes the drive).
bool DefineDrive(wchar_t letter, ULONG type, const char* unixFolder)
{
    BYTE buffer[32 + MAX_PATH * 4] = {};
    DWORD size = 32;
    ULONG* words = reinterpret_cast<ULONG*>(buffer);
    words[1] = type;
    reinterpret_cast<WCHAR*>(buffer + 24)[0] = static_cast<WCHAR>(letter - L'A' + L'a');
    if (unixFolder) {
        const size_t length = strlen(unixFolder);
        if (length + 1 > sizeof buffer - 32)
            return false;
        *reinterpret_cast<USHORT*>(buffer + 26) = 32;
        memcpy(buffer + 32, unixFolder, length + 1);
        size += static_cast<DWORD>(length + 1);
    }
    words[0] = size;
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(manager, kDefineUnixDrive, buffer, size, nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return ok != 0;
}

// The letters leased in this process: a thread that owns a letter's mutex
// would be granted it again, so a second drive of the same test must skip it.
volatile LONG gLeasedHere = 0;

}  // namespace

void RemoveTree(const std::wstring& folder)
{
    std::wstring base = folder;
    if (!base.empty() && base.back() == L'\\')
        base.pop_back();
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((base + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = base + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(base.c_str());
}

std::wstring UniqueName(const wchar_t* prefix)
{
    static LONG counter = 0;
    wchar_t text[96];
    _snwprintf(text, 95, L"%ls%lu_%ld_%lu", prefix, GetCurrentProcessId(), InterlockedIncrement(&counter),
               GetTickCount());
    text[95] = 0;
    return text;
}

TempDir::TempDir(const wchar_t* prefix, const wchar_t* parent)
{
    wchar_t temp[MAX_PATH] = L"";
    if (!parent)
        GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(parent ? parent : temp) + UniqueName(prefix) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir()
{
    RemoveTree(path_);
}

bool StartHostProgram(const std::wstring& commandLine, DWORD flags)
{
    std::wstring command = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    return CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                          &process) != FALSE;
}

void UseDataFolders(const std::wstring& folder)
{
    CreateDirectoryW((folder + L"Image").c_str(), nullptr);
    CreateDirectoryW((folder + L"Icon").c_str(), nullptr);
    wcscpy(DataPath, folder.c_str());
    wcscpy(ImageFolder, (folder + L"Image\\").c_str());
    wcscpy(IconFolder, (folder + L"Icon\\").c_str());
}

SimulatedDrive::SimulatedDrive()
{
    // Bounded: every letter is tried for up to a minute in all.
    for (int round = 0; round < 600 && !letter_; ++round) {
        for (wchar_t c = L'K'; c <= L'X' && !letter_; ++c) {
            if (c == L'Q')
                continue;   // tests name Q: as the drive that is never there
            const LONG bit = 1L << (c - L'K');
            if (InterlockedOr(&gLeasedHere, bit) & bit)
                continue;
            wchar_t name[64];
            _snwprintf(name, 63, L"TobalFluoro test drive %lc", c);
            name[63] = 0;
            HANDLE m = CreateMutexW(nullptr, FALSE, name);
            const DWORD wait = m ? WaitForSingleObject(m, 0) : WAIT_FAILED;
            if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
                mutex_ = m;
                letter_ = c;
            } else {
                if (m)
                    CloseHandle(m);
                InterlockedAnd(&gLeasedHere, ~bit);
            }
        }
        if (!letter_)
            Sleep(100);
    }
    if (letter_)
        DefineDrive(letter_, 1, nullptr);   // whatever an earlier run left behind
}

SimulatedDrive::~SimulatedDrive()
{
    if (letter_)
        DefineDrive(letter_, 1, nullptr);
    if (mutex_) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
    if (letter_)
        InterlockedAnd(&gLeasedHere, ~(1L << (letter_ - L'K')));
}

std::wstring SimulatedDrive::Root() const
{
    return std::wstring(1, letter_) + L":\\";
}

bool SimulatedDrive::Insert(const std::wstring& diskFolder, DWORD serial, const char* label)
{
    char serialText[16];
    snprintf(serialText, sizeof serialText, "%08lx\n", static_cast<unsigned long>(serial));
    if (!WriteSmallFile(diskFolder + L".windows-serial", serialText) ||
        !WriteSmallFile(diskFolder + L".windows-label", label))
        return false;
    typedef char*(CDECL * GetUnixName)(const wchar_t*);
    auto get = reinterpret_cast<GetUnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!get)
        return false;
    char* unix = get(diskFolder.c_str());
    if (!unix)
        return false;
    std::string folder = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    DefineDrive(letter_, 1, nullptr);
    return DefineDrive(letter_, 2, folder.c_str());
}

bool SimulatedDrive::Eject()
{
    return DefineDrive(letter_, 1, nullptr);
}

bool SimulatedDrive::HasDisk() const
{
    DWORD serial = 0;
    return GetVolumeInformationW(Root().c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) != 0;
}

}  // namespace testfix

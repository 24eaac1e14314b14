// The send queues: see spool.h.
#include "tools/dicomsrv/spool.h"

#include "tools/dicomsrv/imagewriter.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

namespace dicomsrv {

namespace {

class Lock
{
public:
    Lock() { EnterCriticalSection(Section()); }
    ~Lock() { LeaveCriticalSection(Section()); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    static CRITICAL_SECTION* Section()
    {
        static CRITICAL_SECTION section;
        static LONG once = 0;
        static volatile LONG ready = 0;
        if (InterlockedCompareExchange(&once, 1, 0) == 0) {
            InitializeCriticalSection(&section);
            InterlockedExchange(&ready, 1);
        }
        while (!ready)
            Sleep(0);
        return &section;
    }
};

// A name as a file name: characters a file name may not hold become "_".
std::wstring FileSafe(const std::wstring& name)
{
    std::wstring out = name.empty() ? L"_" : name;
    for (wchar_t& c : out)
        if (c < 32 || wcschr(L"<>:\"/\\|?*", c))
            c = L'_';
    return out;
}

std::wstring QueueFolder(const std::wstring& target)
{
    const std::wstring folder = SpoolFolder() + FileSafe(target) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Every queue folder below the spool folder.
std::vector<std::wstring> QueueFolders()
{
    std::vector<std::wstring> folders;
    const std::wstring spool = SpoolFolder();
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((spool + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return folders;
    do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
            folders.push_back(spool + name + L"\\");
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return folders;
}

// The entry names of a queue folder ("<entry>.dcm"), oldest first.
std::vector<std::wstring> EntriesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*.dcm").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = found.cFileName;
        if (name.size() > 4)
            names.push_back(name.substr(0, name.size() - 4));
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return wcstoul(a.c_str(), nullptr, 10) <
                                                                        wcstoul(b.c_str(), nullptr, 10); });
    return names;
}

unsigned long NextNumber()
{
    unsigned long top = 0;
    for (const std::wstring& folder : QueueFolders())
        for (const std::wstring& entry : EntriesIn(folder))
            top = std::max(top, wcstoul(entry.c_str(), nullptr, 10));
    return top + 1;
}

bool WriteState(const std::wstring& statePath, int attempts, const std::wstring& error)
{
    HANDLE file = CreateFileW(statePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::wstring text = std::to_wstring(attempts) + L"\n" + error;
    DWORD done = 0;
    const BOOL ok = WriteFile(file, text.data(), (DWORD)(text.size() * sizeof(wchar_t)), &done, nullptr);
    CloseHandle(file);
    return ok != 0;
}

void ReadState(const std::wstring& statePath, QueueEntry& entry)
{
    entry.attempts = 0;
    entry.error.clear();
    HANDLE file = CreateFileW(statePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    wchar_t text[2048] = {};
    DWORD done = 0;
    ReadFile(file, text, sizeof text - sizeof(wchar_t), &done, nullptr);
    CloseHandle(file);
    text[done / sizeof(wchar_t)] = 0;
    entry.attempts = (int)wcstol(text, nullptr, 10);
    const wchar_t* line = wcschr(text, L'\n');
    if (line)
        entry.error = line + 1;
}

// The folder that holds the entry, or "" when no queue has it.
std::wstring FindEntry(const std::wstring& entry)
{
    if (entry.empty() || FileSafe(entry) != entry)
        return std::wstring();
    for (const std::wstring& folder : QueueFolders())
        if (GetFileAttributesW((folder + entry + L".dcm").c_str()) != INVALID_FILE_ATTRIBUTES)
            return folder;
    return std::wstring();
}

}  // namespace

std::wstring EnqueueImage(const Target& target, const VARIANT& attributes, const std::wstring& section)
{
    Lock lock;
    const std::wstring folder = QueueFolder(target.name);
    const unsigned long number = NextNumber();
    const std::wstring temp = folder + std::to_wstring(number) + L".new";
    ImageFacts facts;
    const std::wstring error = WriteDicomImage(temp, attributes, section, &facts);
    if (!error.empty())
        return error;
    wchar_t prefix[16];
    _snwprintf(prefix, 15, L"%06lu", number);
    prefix[15] = 0;
    const std::wstring entry = FileSafe(std::wstring(prefix) + L"_" + facts.patientId + L"_" + facts.accession);
    const std::wstring image = folder + entry + L".dcm";
    if (!MoveFileExW(temp.c_str(), image.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temp.c_str());
        return L"The image cannot be queued (error " + std::to_wstring(GetLastError()) + L").";
    }

    // Delivery: a copy into the target's folder.
    std::wstring reason;
    const DWORD attributesOfFolder = target.destination.empty() ? INVALID_FILE_ATTRIBUTES
                                                                 : GetFileAttributesW(target.destination.c_str());
    if (target.destination.empty()) {
        reason = L"No folder is configured for the target.";
    } else if (attributesOfFolder == INVALID_FILE_ATTRIBUTES || !(attributesOfFolder & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = L"The target's folder " + target.destination + L" cannot be reached.";
    } else {
        std::wstring to = target.destination;
        if (to.back() != L'\\')
            to += L'\\';
        if (CopyFileW(image.c_str(), (to + entry + L".dcm").c_str(), FALSE)) {
            DeleteFileW(image.c_str());
            return std::wstring();
        }
        reason = L"The image cannot be copied to " + to + L" (error " + std::to_wstring(GetLastError()) + L").";
    }
    WriteState(folder + entry + L".state", 1, reason);
    return std::wstring();
}

std::vector<QueueEntry> ListQueue(const std::wstring& target)
{
    Lock lock;
    std::vector<QueueEntry> entries;
    const std::wstring folder = QueueFolder(target);
    for (const std::wstring& name : EntriesIn(folder)) {
        QueueEntry entry;
        entry.name = name;
        ReadState(folder + name + L".state", entry);
        entries.push_back(entry);
    }
    return entries;
}

std::wstring DeleteEntry(const std::wstring& entry)
{
    Lock lock;
    const std::wstring folder = FindEntry(entry);
    if (folder.empty())
        return L"The queue has no entry \"" + entry + L"\".";
    if (!DeleteFileW((folder + entry + L".dcm").c_str()))
        return L"The entry \"" + entry + L"\" cannot be deleted (error " + std::to_wstring(GetLastError()) + L").";
    DeleteFileW((folder + entry + L".state").c_str());
    return std::wstring();
}

std::wstring ResetEntry(const std::wstring& entry)
{
    Lock lock;
    const std::wstring folder = FindEntry(entry);
    if (folder.empty())
        return L"The queue has no entry \"" + entry + L"\".";
    QueueEntry state;
    ReadState(folder + entry + L".state", state);
    if (!WriteState(folder + entry + L".state", 0, state.error))
        return L"The entry \"" + entry + L"\" cannot be reset (error " + std::to_wstring(GetLastError()) + L").";
    return std::wstring();
}

}  // namespace dicomsrv

#include "archive/arjroom.h"

ULONGLONG AllocatedSize(bool sizeKnown, ULONGLONG size, ULONGLONG clusterBytes)
{
    if (!sizeKnown)
        return kUnknownFileRoom;
    if (clusterBytes == 0)
        return size;
    return (size / clusterBytes + 1) * clusterBytes;
}

bool RoomForCopy(ULONGLONG freeBytes, ULONGLONG needed, ULONGLONG outstandingReserve)
{
    if (freeBytes <= needed)
        return false;
    return freeBytes - needed > outstandingReserve;
}

DWORD NextAverageSize(DWORD average, DWORD size)
{
    if (average == 0)
        average = size;
    return (average * 9u + size) / 10u;
}

DWORD NextBackupSlot(DWORD lastFile, DWORD maxFiles)
{
    if (maxFiles == 0)
        return 0;
    const DWORD slot = lastFile + 1;
    return slot > maxFiles || slot == 0 ? 1 : slot;
}

std::wstring BackupStatement(const wchar_t* catalog, const wchar_t* path)
{
    std::wstring text = L"BACKUP DATABASE [";
    for (const wchar_t* c = catalog ? catalog : L""; *c; ++c) {
        text += *c;
        if (*c == L']')
            text += L']';
    }
    text += L"] TO DISK='";
    for (const wchar_t* c = path ? path : L""; *c; ++c) {
        text += *c;
        if (*c == L'\'')
            text += L'\'';
    }
    text += L"' WITH INIT";
    return text;
}

bool GetPathRoot2(const wchar_t* path, std::wstring* root)
{
    root->clear();
    if (!path || !path[0])
        return false;
    const wchar_t* end = nullptr;
    if (path[0] == L'\\' && path[1] == L'\\') {
        const wchar_t* server = path + 2;
        const wchar_t* share = server;
        while (*share && *share != L'\\')
            ++share;
        if (!*share)
            return false;
        end = share + 1;
        while (*end && *end != L'\\')
            ++end;
        if (!*end)
            return false;
    } else {
        end = path;
        while (*end && *end != L'\\')
            ++end;
        if (!*end)
            return false;
    }
    root->assign(path, static_cast<size_t>(end - path + 1));
    return true;
}

std::wstring WithBackslash(const wchar_t* folder)
{
    std::wstring text = folder ? folder : L"";
    if (!text.empty() && text.back() != L'\\')
        text += L'\\';
    return text;
}

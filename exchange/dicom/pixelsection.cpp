// The pixel section of a DICOM send or save: see pixelsection.h.
#include "exchange/dicom/pixelsection.h"

#include "exchange/dicom/exchangelog.h"

PixelSection::PixelSection(const wchar_t* name, const void* pixels, size_t bytes)
{
    wchar_t folder[MAX_PATH], path[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || !GetTempFileNameW(folder, L"zdc", 0, path)) {
        const DWORD error = GetLastError();
        LogCallFailure(L"GetTempFileNameW", folder, error);
        throw error;
    }
    // Deleted when the last handle (ours, or the section's) goes.
    file_ = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        DeleteFileW(path);
        LogCallFailure(L"CreateFileW", path, error);
        throw error;
    }
    DWORD done = 0;
    if (!WriteFile(file_, pixels, (DWORD)bytes, &done, nullptr) || done != bytes) {
        const DWORD error = done != bytes && GetLastError() == NO_ERROR ? ERROR_HANDLE_DISK_FULL : GetLastError();
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        LogCallFailure(L"WriteFile", path, error);
        throw error;
    }
    mapping_ = CreateFileMappingW(file_, nullptr, PAGE_READWRITE, 0, (DWORD)bytes, name);
    if (!mapping_ || GetLastError() == ERROR_ALREADY_EXISTS) {
        // Someone else's section: its size is not ours, and its reader is not ours either.
        const DWORD error = mapping_ ? (DWORD)ERROR_ALREADY_EXISTS : GetLastError();
        if (mapping_)
            CloseHandle(mapping_);
        mapping_ = nullptr;
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        LogCallFailure(L"CreateFileMappingW", name, error);
        throw error;
    }
}

namespace {

DWORD WINAPI CloseInBackground(void* file)
{
    CloseHandle(static_cast<HANDLE>(file));
    return 0;
}

}  // namespace

PixelSection::~PixelSection()
{
    if (mapping_)
        CloseHandle(mapping_);
    if (file_ == INVALID_HANDLE_VALUE)
        return;
    // The section is gone with its handle. Deleting its file gives back
    // megabytes of cached pages, which takes as long as writing them: that
    // happens on a thread of its own, not in the user's way.
    HANDLE closer = CreateThread(nullptr, 0, CloseInBackground, file_, 0, nullptr);
    if (closer)
        CloseHandle(closer);
    else
        CloseHandle(file_);
}


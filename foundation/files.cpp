#include "foundation/files.h"

#include <string.h>
#include <wchar.h>

// ---------------------------------------------------------------------------
// Shared handle blocks

static DHandleBlock* NewHandleBlock()
{
    DHandleBlock* block = static_cast<DHandleBlock*>(HeapAlloc(GetProcessHeap(), 0, sizeof(DHandleBlock)));
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    block->refCount.Init();
    block->handle = INVALID_HANDLE_VALUE;
    return block;
}

// Drops one holder's share; the last holder closes the handle with `closer`
// and frees the block. The caller's last error survives.
static void ReleaseHandleBlock(DHandleBlock*& block, BOOL(WINAPI* closer)(HANDLE))
{
    if (!block)
        return;
    if (block->refCount.ReleaseLast()) {
        DWORD saved = GetLastError();
        if (block->handle != INVALID_HANDLE_VALUE)
            closer(block->handle);
        HeapFree(GetProcessHeap(), 0, block);
        SetLastError(saved);
    }
    block = nullptr;
}

// A new holder's share of the block (null stays null).
static DHandleBlock* ShareHandleBlock(DHandleBlock* block)
{
    if (block)
        block->refCount.AddRef();
    return block;
}

// Makes `block` share `other` (which may be `block` itself or share it): the
// new share is taken before the old one is dropped.
static void AssignHandleBlock(DHandleBlock*& block, DHandleBlock* other, BOOL(WINAPI* closer)(HANDLE))
{
    ShareHandleBlock(other);
    ReleaseHandleBlock(block, closer);
    block = other;
}

// Before a new open: makes the block on first use, or closes the handle it
// holds (for every holder). False (last error 8) when no block can be made.
static bool ReadyForOpen(DHandleBlock*& block, BOOL(WINAPI* closer)(HANDLE))
{
    if (!block) {
        block = NewHandleBlock();
        return block != nullptr;
    }
    if (block->handle != INVALID_HANDLE_VALUE) {
        closer(block->handle);
        block->handle = INVALID_HANDLE_VALUE;
    }
    return true;
}

// ---------------------------------------------------------------------------
// DFile

DFile::DFile(const DFile& other) : block_(ShareHandleBlock(other.block_)) {}

DFile& DFile::operator=(const DFile& other)
{
    AssignHandleBlock(block_, other.block_, CloseHandle);
    return *this;
}

DFile::~DFile()
{
    Release();
}

void DFile::Release()
{
    ReleaseHandleBlock(block_, CloseHandle);
}

bool DFile::Ready()
{
    if (block_)
        return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

BOOL DFile::Create(const wchar_t* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile)
{
    if (!ReadyForOpen(block_, CloseHandle))
        return FALSE;
    block_->handle = CreateFileW(name, access, share, security, disposition, flags, templateFile);
    return block_->handle != INVALID_HANDLE_VALUE;
}

BOOL DFile::Read(void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped)
{
    return Ready() ? ReadFile(block_->handle, buffer, count, done, overlapped) : FALSE;
}

BOOL DFile::Write(const void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped)
{
    return Ready() ? WriteFile(block_->handle, buffer, count, done, overlapped) : FALSE;
}

BOOL DFile::SetEnd()
{
    return Ready() ? SetEndOfFile(block_->handle) : FALSE;
}

DWORD DFile::Seek(LONG distance, LONG* highPart, DWORD method)
{
    // Position 0 is a valid answer, so a missing handle must look like
    // SetFilePointer's own failure.
    return Ready() ? SetFilePointer(block_->handle, distance, highPart, method) : INVALID_SET_FILE_POINTER;
}

BOOL DFile::CancelIo()
{
    return Ready() ? ::CancelIo(block_->handle) : FALSE;
}

BOOL DFile::Flush()
{
    return Ready() ? FlushFileBuffers(block_->handle) : FALSE;
}

BOOL DFile::GetInformation(BY_HANDLE_FILE_INFORMATION* info)
{
    return Ready() ? GetFileInformationByHandle(block_->handle, info) : FALSE;
}

DWORD DFile::GetSize(DWORD* highPart)
{
    return Ready() ? GetFileSize(block_->handle, highPart) : INVALID_FILE_SIZE;
}

DWORD DFile::GetType()
{
    return Ready() ? GetFileType(block_->handle) : FILE_TYPE_UNKNOWN;
}

BOOL DFile::Close()
{
    if (!Ready())
        return FALSE;
    if (block_->handle == INVALID_HANDLE_VALUE) {
        // CloseHandle(-1) would "close" the process pseudo-handle and succeed.
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!CloseHandle(block_->handle))
        return FALSE;
    block_->handle = INVALID_HANDLE_VALUE;
    return TRUE;
}

// ---------------------------------------------------------------------------
// DFindFile

DFindFile::DFindFile(const DFindFile& other) : block_(ShareHandleBlock(other.block_)) {}

DFindFile& DFindFile::operator=(const DFindFile& other)
{
    AssignHandleBlock(block_, other.block_, FindClose);
    return *this;
}

DFindFile::~DFindFile()
{
    Release();
}

void DFindFile::Release()
{
    ReleaseHandleBlock(block_, FindClose);
}

BOOL DFindFile::First(const wchar_t* pattern, WIN32_FIND_DATAW* data)
{
    if (!ReadyForOpen(block_, FindClose))
        return FALSE;
    block_->handle = FindFirstFileW(pattern, data);
    return block_->handle != INVALID_HANDLE_VALUE;
}

BOOL DFindFile::Next(WIN32_FIND_DATAW* data)
{
    if (!block_) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return FindNextFileW(block_->handle, data);
}

BOOL DFindFile::Close()
{
    if (!block_ || block_->handle == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!FindClose(block_->handle))
        return FALSE;
    block_->handle = INVALID_HANDLE_VALUE;
    return TRUE;
}

// ---------------------------------------------------------------------------
// DFileBuf

static void* CommitPages(DWORD bytes)
{
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

static void ReleasePages(void* data)
{
    if (data) {
        DWORD saved = GetLastError();
        VirtualFree(data, 0, MEM_RELEASE);
        SetLastError(saved);
    }
}

bool DFileBuf::Alloc(LONG size)
{
    Free();
    if (size <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    data_ = CommitPages(static_cast<DWORD>(size));
    if (!data_)
        return false;
    size_ = size;
    return true;
}

void DFileBuf::Attach(void* data, LONG size)
{
    Free();
    data_ = data;
    size_ = data ? size : 0;
}

void DFileBuf::Free()
{
    ReleasePages(data_);
    data_ = nullptr;
    size_ = 0;
}

// ---------------------------------------------------------------------------
// Whole-file text

bool GetFileSize32(HANDLE file, DWORD* size)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info))
        return false;
    if (info.nFileSizeHigh != 0) {
        SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }
    *size = info.nFileSizeLow;
    return true;
}

// ReadFile of exactly `count` bytes; a short read (the file shrank, or the
// handle was not at its start) fails rather than hand over unread bytes.
static bool ReadExactly(HANDLE file, void* buffer, DWORD count)
{
    DWORD done = 0;
    if (!ReadFile(file, buffer, count, &done, nullptr))
        return false;
    if (done != count) {
        SetLastError(ERROR_HANDLE_EOF);
        return false;
    }
    return true;
}

bool ReadTextFile(HANDLE file, DFileBuf& out)
{
    out.Free();

    DWORD fileSize;
    if (!GetFileSize32(file, &fileSize))
        return false;
    // The size must fit the buffer's signed byte count.
    if (fileSize > 0x7FFFFFFF) {
        SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }

    // The first two bytes decide: a byte-order mark is dropped, anything else
    // is ANSI text and stays at the front.
    BYTE head[2] = {0, 0};
    DWORD headKept = 0;  // leading bytes already read that belong to the text
    bool unicode = false, swapped = false;
    if (fileSize >= 2) {
        if (!ReadExactly(file, head, 2))
            return false;
        if (head[0] == 0xFF && head[1] == 0xFE)
            unicode = true;
        else if (head[0] == 0xFE && head[1] == 0xFF)
            unicode = swapped = true;
        else
            headKept = 2;
    }

    DWORD textBytes = unicode ? fileSize - 2 : fileSize;
    if (textBytes == 0) {
        SetLastError(ERROR_HANDLE_EOF);
        return false;
    }

    BYTE* raw = static_cast<BYTE*>(CommitPages(textBytes));
    if (!raw)
        return false;
    memcpy(raw, head, headKept);
    if (!ReadExactly(file, raw + headKept, textBytes - headKept)) {
        ReleasePages(raw);
        return false;
    }

    if (unicode) {
        if (swapped) {
            // Whole characters only: an odd last byte is left as it is.
            for (DWORD i = 0; i + 1 < textBytes; i += 2) {
                BYTE b = raw[i];
                raw[i] = raw[i + 1];
                raw[i + 1] = b;
            }
        }
        out.Attach(raw, static_cast<LONG>(textBytes));
        return true;
    }

    const char* ansi = reinterpret_cast<const char*>(raw);
    int chars = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, ansi, static_cast<int>(textBytes), nullptr, 0);
    if (chars <= 0 || chars > 0x3FFFFFFF) {
        ReleasePages(raw);
        return false;
    }
    wchar_t* text = static_cast<wchar_t*>(CommitPages(static_cast<DWORD>(chars) * 2));
    if (!text) {
        ReleasePages(raw);
        return false;
    }
    int converted = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, ansi, static_cast<int>(textBytes), text, chars);
    ReleasePages(raw);
    if (converted != chars) {
        ReleasePages(text);
        return false;
    }
    out.Attach(text, chars * 2);
    return true;
}

bool ReadTextFileByName(const wchar_t* name, DFileBuf& out)
{
    out.Free();
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = ReadTextFile(file, out);
    DWORD saved = GetLastError();
    CloseHandle(file);
    SetLastError(saved);
    return ok;
}

// ---------------------------------------------------------------------------
// Paths

bool FileExists(const wchar_t* name)
{
    // No access rights and backup semantics: folders open too, and an open
    // that asks for no data access is not refused by a holder's sharing mode.
    HANDLE h = CreateFileW(name, 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return true;
    }
    // Systems outside the NT family refuse to open folders this way.
    if (GetLastError() == ERROR_ACCESS_DENIED && (GetVersion() & 0x80000000))
        return true;
    return false;
}

// Length of the root of an absolute path: "X:\" or "\\server\"; 0 when the
// path has neither.
static size_t PathRootLength(const wchar_t* path)
{
    if (((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) && path[1] == L':' &&
        path[2] == L'\\')
        return 3;
    if (path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\0' && path[2] != L'\\') {
        const wchar_t* slash = wcschr(path + 2, L'\\');
        if (slash)
            return static_cast<size_t>(slash - path) + 1;
    }
    return 0;
}

static bool IsFolder(const wchar_t* path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates one folder of the chain unless something of that name is there.
static bool EnsureFolder(const wchar_t* path)
{
    if (FileExists(path))
        return true;
    if (CreateDirectoryW(path, nullptr))
        return true;
    // Another thread or program may have made it meanwhile.
    return GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(path);
}

bool CreateDirectoryPath(const wchar_t* path)
{
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    size_t root = PathRootLength(path);
    if (root == 0) {
        SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }

    size_t length = wcslen(path);
    wchar_t* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
    if (!copy) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    memcpy(copy, path, (length + 1) * sizeof(wchar_t));
    if (length > root && copy[length - 1] == L'\\')
        copy[--length] = L'\0';

    bool ok = true;
    for (size_t i = root; ok && i < length; ++i) {
        if (copy[i] != L'\\')
            continue;
        copy[i] = L'\0';
        ok = EnsureFolder(copy);
        copy[i] = L'\\';
    }
    if (ok) {
        ok = EnsureFolder(copy);
        // A file of the folder's name is not the folder the caller asked for.
        if (ok && !IsFolder(copy)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            ok = false;
        }
    }

    DWORD saved = GetLastError();
    HeapFree(GetProcessHeap(), 0, copy);
    SetLastError(saved);
    return ok;
}

bool AddBackslash(wchar_t* path, int capacity)
{
    if (!path || capacity < 1)
        return false;
    int length = (int)wcsnlen(path, (size_t)capacity);
    if (length == capacity)
        return false;  // not terminated within its buffer
    if (length > 0 && path[length - 1] == L'\\')
        return true;
    if (length + 2 > capacity)
        return false;
    path[length] = L'\\';
    path[length + 1] = L'\0';
    return true;
}

const wchar_t* FindExtension(const wchar_t* name)
{
    if (!name)
        return nullptr;
    for (const wchar_t* p = name + wcslen(name); p != name;) {
        --p;
        if (*p == L'.')
            return p + 1;
        if (*p == L'\\')
            return nullptr;
    }
    return nullptr;
}

bool AddDefaultExtension(wchar_t* name, int capacity, const wchar_t* extension)
{
    if (!name || !extension || capacity < 1)
        return false;
    int length = (int)wcsnlen(name, (size_t)capacity);
    if (length == capacity)
        return false;  // not terminated within its buffer
    if (FindExtension(name))
        return true;
    size_t extra = wcslen(extension);
    if ((size_t)length + extra + 1 > (size_t)capacity)
        return false;
    memcpy(name + length, extension, (extra + 1) * sizeof(wchar_t));
    return true;
}

// File handles, whole-file text and paths.
//
// DFile and DFindFile are thin holders of a Win32 file or find handle. Copies
// share one DHandleBlock; the handle is closed when the last holder lets go
// (or earlier by Close, which closes it for every holder). Every operation
// returns the Win32 result and leaves the reason in the thread's last error;
// nothing here throws. A holder that has no block yet fails with last error
// ERROR_INVALID_HANDLE. Blocks are counted with DRefCount; a handle and its
// copies stay on one thread.
//
// ReadTextFile turns a whole text file into UTF-16 in committed pages: UTF-16
// with either byte-order mark, or ANSI text in the system's default code page.
#pragma once

#include "foundation/refcount.h"

#include <windows.h>

// The block that the copies of one DFile or DFindFile share.
struct DHandleBlock {
    DRefCount refCount;   // holders of the block; starts at 1
    HANDLE handle;  // INVALID_HANDLE_VALUE while no file is open
};

// A file handle shared by its copies; the last holder closes it.
class DFile {
public:
    DFile() : block_(nullptr) {}
    DFile(const DFile& other);
    DFile& operator=(const DFile& other);
    ~DFile();

    // Makes the block on first use (else closes the handle it holds, for every
    // holder), then CreateFileW with these arguments. TRUE when the handle is valid.
    BOOL Create(const wchar_t* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                DWORD disposition, DWORD flags, HANDLE templateFile);

    BOOL Read(void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped);
    BOOL Write(const void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped);
    BOOL SetEnd();
    // SetFilePointer: INVALID_SET_FILE_POINTER (with the last error set) on failure.
    DWORD Seek(LONG distance, LONG* highPart, DWORD method);
    BOOL CancelIo();
    BOOL Flush();
    BOOL GetInformation(BY_HANDLE_FILE_INFORMATION* info);
    // GetFileSize: 0xFFFFFFFF (with the last error set) on failure.
    DWORD GetSize(DWORD* highPart);
    // GetFileType: FILE_TYPE_UNKNOWN (with the last error set) on failure.
    DWORD GetType();
    // CloseHandle; the block then holds INVALID_HANDLE_VALUE for every holder.
    BOOL Close();

    // The handle held, INVALID_HANDLE_VALUE when there is none.
    HANDLE Handle() const { return block_ ? block_->handle : INVALID_HANDLE_VALUE; }

private:
    bool Ready();  // sets ERROR_INVALID_HANDLE when there is no block
    void Release();

    DHandleBlock* block_;
};

// A directory search handle shared by its copies; the last holder calls FindClose.
class DFindFile {
public:
    DFindFile() : block_(nullptr) {}
    DFindFile(const DFindFile& other);
    DFindFile& operator=(const DFindFile& other);
    ~DFindFile();

    // Makes or reuses the block as DFile::Create does, then FindFirstFileW.
    // TRUE when the handle is valid.
    BOOL First(const wchar_t* pattern, WIN32_FIND_DATAW* data);
    BOOL Next(WIN32_FIND_DATAW* data);
    // FindClose; the block then holds INVALID_HANDLE_VALUE for every holder.
    BOOL Close();

private:
    void Release();

    DHandleBlock* block_;
};

// A whole text file in committed pages. Owns its data.
class DFileBuf {
public:
    DFileBuf() : size_(0), data_(nullptr) {}
    ~DFileBuf() { Free(); }
    DFileBuf(const DFileBuf&) = delete;
    DFileBuf& operator=(const DFileBuf&) = delete;

    // Frees the held data and commits a new buffer of `size` bytes; false
    // (and empty) when that fails.
    bool Alloc(LONG size);
    // Frees the held data and takes over `data` (committed pages) of `size` bytes.
    void Attach(void* data, LONG size);
    void Close() { Free(); }
    void Free();

    void* Data() const { return data_; }
    LONG Size() const { return size_; }

private:
    LONG size_;   // bytes
    void* data_;  // committed pages, or null
};

// Cursor over a UTF-16 text that the configuration readers move with their
// own reading operations. It does not own the text.
struct DTextScan {
    LONG length;           // characters of the text
    LONG line;             // current line number, from 0
    LONG lineStart;        // position of the current line's first character
    LONG pos;              // characters from the start of the text
    const wchar_t* data;   // the text

    void Init(const wchar_t* text, LONG chars)
    {
        length = chars;
        line = 0;
        lineStart = 0;
        pos = 0;
        data = text;
    }
    const wchar_t* Current() const { return data + pos; }
};

// Opens `name` for reading (shared reading, existing only, sequential scan),
// reads it with ReadTextFile and closes it.
bool ReadTextFileByName(const wchar_t* name, DFileBuf& out);

// Reads the whole file from its current position (the start for a fresh
// handle) as UTF-16 into `out`: the size is in bytes. A text of 0 bytes fails.
// On failure `out` is left empty and the last error says why.
bool ReadTextFile(HANDLE file, DFileBuf& out);

// True when the file or folder `name` exists.
bool FileExists(const wchar_t* name);

// Creates every missing folder of the absolute path `path` ("X:\..." or
// "\\server\..."); a trailing backslash is allowed. True when the whole path
// is a folder afterwards; on failure the last error is that of the failing step.
bool CreateDirectoryPath(const wchar_t* path);

// The size of an open file; false (last error ERROR_OUTOFMEMORY) for 4 GB and more.
bool GetFileSize32(HANDLE file, DWORD* size);

// Appends a backslash to the path in `path` (a buffer of `capacity`
// characters, terminator included) unless it already ends with one; an empty
// path becomes "\". False, leaving the path unchanged, when it does not fit.
bool AddBackslash(wchar_t* path, int capacity);

// The extension of `name`: the text after the last "." that follows the last
// backslash (possibly empty), or null when there is none.
const wchar_t* FindExtension(const wchar_t* name);
inline wchar_t* FindExtension(wchar_t* name)
{
    return const_cast<wchar_t*>(FindExtension(static_cast<const wchar_t*>(name)));
}

// Appends `extension` (with its dot, as L".cfg") to the name in `name` (a
// buffer of `capacity` characters) when the name has no extension. True when
// the name has an extension afterwards; false, leaving the name unchanged,
// when the extension does not fit.
bool AddDefaultExtension(wchar_t* name, int capacity, const wchar_t* extension);

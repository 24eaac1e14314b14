// DString: the program's growable UTF-16 string.
//
// A DString is one pointer to a shared DStringData block. Copying a DString
// shares the block and counts a reference (interlocked); the holder that lets
// go last frees the buffer and the block.
//
// Sharing is deliberate and total: there is no copy on write. Every modifying
// operation changes the shared block in place, so all holders see the change.
// A holder that needs a private copy appends the text to a null DString,
// which makes a block of its own (or uses Left/Right/Mid).
//
// Only the reference count is thread-safe: a shared block may be read by many
// threads, but a thread that modifies it must be its only user at that time.
//
// Failures: New, Reserve and what is built on Reserve (LoadString,
// LoadStringN, GetWindowText, FromGuid) throw DString::Exception when the
// buffer cannot be allocated. Appending and assigning never throw: when the
// buffer cannot grow, the string keeps the text it had.
#pragma once

#include "foundation/refcount.h"

#include <windows.h>
#include <oleauto.h>

#include <stdarg.h>

// The shared block. Buffers of 32,000 characters and more are committed pages,
// smaller ones come from the process heap.
struct DStringData
{
    // How the buffer was obtained and how it is given back.
    enum Storage
    {
        kBstr = 0,          // a BSTR adopted from COM: SysFreeString
        kHeap = 1,          // the process heap: HeapFree
        kPages = 2,         // VirtualAlloc: VirtualFree(MEM_RELEASE)
        kLocalAlloc = 3,    // adopted from FormatMessageW: LocalFree
        kCallerBuffer = 4   // the caller's buffer: never freed here
    };

    DWORD reserved;         // always 0
    int capacity;           // characters the buffer holds, terminator excluded
    int length;             // characters in use
    wchar_t* buffer;        // the text, terminated after a write; null until allocated
    DWORD storage;          // a Storage value
    DRefCount refs;         // holders of the block

    // Allocates a buffer for n characters by the allocation rule, replacing
    // the buffer pointer without freeing the old one: first character 0,
    // length unchanged. False, with nothing changed, when that fails.
    bool Allocate(int n);
    // Makes room for n characters keeping the text; false (text kept) on failure.
    bool Grow(int n);
    // Gives the buffer back by its storage kind; the block stays, without buffer.
    void FreeBuffer();
};

class DString
{
public:
    // What DString throws when it cannot allocate; the code is always 0.
    class Exception
    {
    public:
        explicit Exception(int code = 0) : code(code) {}
        int code;
    };

    DString() : data(nullptr) {}
    DString(const DString& other);          // shares the other's block
    DString(const wchar_t* s);              // a block of its own holding s
    ~DString();

    DString& operator=(const DString& other);   // shares; self-assignment changes nothing
    DString& operator=(const wchar_t* s);       // null releases the block

    // Drop this holder's reference; the string becomes null.
    void Release();
    void Clear() { Release(); }

    const wchar_t* c_str() const;           // null for a null string or a block without buffer
    wchar_t* GetBuffer() const;
    int Length() const;
    int ByteLength() const;
    int BufferSize() const;                 // capacity + 1; 0 for a null string

    void New(int n);                        // a fresh block (allocated when n != 0); throws
    void Reserve(int n);                    // room for n characters; throws
    void SetLength(int n);                  // when n fits: length n, terminator at n
    void Empty();                           // length 0, storage kept

    wchar_t At(int i) const;                // 0 outside the text
    bool SetAt(int i, wchar_t c);

    // Assignment and appending: never throw; the text stays when growth fails.
    void Assign(const wchar_t* s);
    void AssignN(const wchar_t* p, int n);
    void AppendN(const wchar_t* p, int n);
    void AppendSz(const wchar_t* s);
    void AppendSzIfSet(const wchar_t* s);
    void Append(const DString& other);
    void Append(const wchar_t* s) { AppendSz(s); }
    void AppendChar(wchar_t c);
    void AppendList(const wchar_t* const* texts, int count);
    // Empties this string's own block in place (holders sharing it see that)
    // and appends the other's text. No exception.
    void CopyFrom(const DString& other);

    // printf-style (%s is a wide string) within the present capacity; no growth.
    int Format(const wchar_t* format, ...);
    int FormatV(const wchar_t* format, va_list args);
    int AppendFormat(const wchar_t* format, ...);
    int AppendFormatV(const wchar_t* format, va_list args);

    // FormatMessageW texts, adopted as the buffer. Return the length, 0 when
    // the formatter failed (the string is then empty without buffer).
    int FormatMessage(const wchar_t* format, ...);
    int FormatMessageArgs(const wchar_t* format, const DWORD_PTR* args);
    int FormatSystemMessage(DWORD code);

    // Text of a string-table id or of a window; return the length; throw when
    // the buffer cannot be reserved.
    int LoadString(HINSTANCE module, UINT id);
    int LoadStringN(HINSTANCE module, UINT id, int n);
    int GetWindowText(HWND window);

    // BSTR exchange with COM.
    BSTR AllocSysString() const;            // a new BSTR, or null without text buffer
    void AttachBSTR(BSTR bstr);             // adopts the BSTR (freed with the block)
    void AttachBuffer(wchar_t* buffer, int size, int length);  // never freed here

    void MakeLower();
    void MakeUpper();
    void Reverse();
    DString Left(int n) const;
    DString Right(int n) const;
    DString Mid(int pos, int n) const;
    void DeleteLeft(int n);
    void DeleteRight(int n);
    void DeleteRange(int pos, int n);

    // Whole text as a decimal number; the flag tells whether it was valid.
    int ToInt(bool* valid = nullptr) const;
    unsigned ToUInt(bool* valid = nullptr) const;

    int TrimLeftChar(wchar_t c, int n);     // -> characters removed
    int TrimRightChar(wchar_t c, int n);    // never removes the first character

    bool Equals(const DString& other) const;
    // -1, 0 or 1. An empty string is equal to an empty text and greater than
    // any other.
    int Compare(LCID locale, DWORD flags, const wchar_t* other, int otherLength) const;
    int CompareStringSort(const DString& other) const;

    // Registry form of a GUID: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
    void FromGuid(const GUID& guid);
    bool ToGuid(GUID& guid) const;

    // Date and time texts from a picture (d, M, y, h, H, m, s, t letters and
    // 'quoted' text), with day and month names of the locale. Return the
    // length, -1 when the time is invalid.
    int FormatDateTime(LCID locale, const wchar_t* picture, const SYSTEMTIME& time);
    int FormatFileTime(LCID locale, const wchar_t* picture, const FILETIME& time);

private:
    DStringData* data;

    bool EnsureBlock();                     // false when the block cannot be made
    void AdoptFormatted(wchar_t* text, DWORD count);
};

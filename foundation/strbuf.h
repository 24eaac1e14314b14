// DStrBuf: the program's everyday text buffer.
//
// A UTF-16 array of fixed capacity that either belongs to the caller (usually
// a local array, so that building a message costs no allocation) or is owned
// by the buffer itself. Messages, paths, SQL texts, registry strings and
// journal texts are built in it.
//
// Invariants:
//  - capacity counts characters including the terminator; capacity 0 means
//    no storage, and every writing operation on such a buffer does nothing.
//  - after any text operation length <= capacity - 1 and chars[length] == 0.
//    Nothing is ever written at index capacity, so the terminator always fits.
//  - every copy or append cuts silently at capacity - 1 characters; only the
//    counts some operations return tell what fitted.
//  - no operation grows a buffer; a buffer is never shared.
//
// Own storage: the process heap below 40,960 bytes, committed pages from
// there on (whole pages, so the capacity is then usually larger than asked).
#pragma once

#include <windows.h>

#include <stdarg.h>

class DStrBuf
{
public:
    // Who owns the array and how it is given back.
    enum Storage
    {
        kCallerArray = 0,   // the caller's array: never freed here
        kLocalAlloc = 1,    // adopted from FormatMessageW: LocalFree
        kPages = 2,         // VirtualAlloc: VirtualFree(MEM_RELEASE)
        kHeap = 3           // the process heap: HeapFree
    };

    DStrBuf();
    // Over a caller's array; nothing is written into it (not even a terminator).
    DStrBuf(wchar_t* array, int capacity);
    // Over a caller's array holding a text of the given length (see Attach).
    DStrBuf(wchar_t* array, int capacity, int length);
    // Own storage for n characters plus the terminator; no storage when that fails.
    explicit DStrBuf(int n);
    // A private copy in own storage; no storage when the source is empty or
    // allocation fails.
    DStrBuf(const DStrBuf& other);
    DStrBuf& operator=(const DStrBuf&) = delete;
    ~DStrBuf();

    // Frees any storage, then allocates room for n + 1 characters holding an
    // empty text. False (and no storage) when that fails.
    bool Alloc(int n);
    // Gives back own storage and zeroes the four fields; nothing without storage.
    void Free();
    // Frees own storage, then takes the caller's array. A length from 0 to the
    // capacity is kept, any other becomes capacity - 1. Nothing is written.
    void Attach(wchar_t* array, int capacity, int length);
    // Allocates exactly for s and copies it; false when allocation fails.
    bool Dup(const wchar_t* s);

    wchar_t* GetBuffer() const { return chars; }
    const wchar_t* GetString() const { return chars; }
    const wchar_t* c_str() const { return chars; }
    int Length() const { return length; }
    int Capacity() const { return capacity; }

    // Text operations: all cut at capacity - 1 without reporting.
    void Clear();
    int Truncate(int n);                            // -> the length
    int Copy(const wchar_t* s);                     // -> characters copied
    int Assign(const wchar_t* p, int n);            // -> characters copied (zeros included)
    int AssignBuf(const DStrBuf& other);            // -> the new length
    DStrBuf& Append(const wchar_t* s);
    DStrBuf& operator+=(const wchar_t* s) { return Append(s); }
    DStrBuf& AppendBuf(const DStrBuf& other);
    int AppendN(const wchar_t* p, int n);           // -> the new length, 0 when nothing fitted
    void AppendSzCount(const wchar_t* s);
    int AppendBufCount(const DStrBuf& other);       // -> characters appended

    // Replaces the buffer by the system's text of a Win32 error code, adopted
    // from FormatMessageW (capacity = length + 1). Returns the text, or null
    // (and no storage) when the code has no system text.
    const wchar_t* FormatSystemMessage(DWORD code);
    // Loads a string-table text into the array; true when it is not empty.
    bool LoadString(HINSTANCE module, UINT id);
    // The same from the program's own string table (hInstance).
    bool LoadString(UINT id);
    // Loads behind the text into the remaining space; false when no space
    // remains or nothing was loaded.
    bool AppendLoadString(HINSTANCE module, UINT id);

    // printf-style into the remaining space (%s is a wide string); a text that
    // does not fit is cut. Returns the characters appended.
    int AppendFormat(const wchar_t* format, ...);
    int AppendFormatV(const wchar_t* format, va_list args);
    // Replaces the text by FormatMessageW output of a format with "%1" or
    // "%1!u!" inserts. Returns the length; 0 (and an empty text) when the
    // formatter fails, as it does when the result does not fit.
    int Format(const wchar_t* format, ...);
    int FormatV(const wchar_t* format, va_list args);
    // Frees own storage and adopts the formatter's own allocation instead.
    int FormatAlloc(const wchar_t* format, ...);
    int FormatAllocV(const wchar_t* format, va_list args);

    // Date and time texts behind the text (defined with the date utilities).
    // They write only into the room left; a text that does not fit, or a
    // picture the formatter refuses, appends nothing. Return the formatter's count.
    int AppendDate(const wchar_t* picture, const SYSTEMTIME& time);
    int AppendTime(const wchar_t* picture, const FILETIME& time);

private:
    wchar_t* chars;     // the array, or null
    int capacity;       // characters in the array, terminator included; 0 = no storage
    int length;         // characters in use, terminator excluded
    int storage;        // a Storage value: who frees the array

    int Room() const;   // characters that may still be appended
    void Adopt(wchar_t* text, int count);
};

#include "foundation/strbuf.h"

#include "foundation/globals.h"

#include <string.h>
#include <wchar.h>

// _vsnwprintf here is msvcrt's: it reads %s as a wide string (mingw's own
// swprintf family reads it as narrow). On overflow it returns -1 and writes no
// terminator, so every caller below terminates the text itself.

namespace {

// Own storage below this many bytes comes from the process heap.
const int kHeapLimitBytes = 40960;

// Characters of s before its terminator, counting no further than limit.
int BoundedLength(const wchar_t* s, int limit)
{
    int n = 0;
    while (n < limit && s[n] != 0)
        ++n;
    return n;
}

} // namespace

DStrBuf::DStrBuf() : chars(nullptr), capacity(0), length(0), storage(kCallerArray) {}

DStrBuf::DStrBuf(wchar_t* array, int capacity)
    : chars(array), capacity(capacity), length(0), storage(kCallerArray)
{
    if (array == nullptr || capacity <= 0) {
        chars = nullptr;
        this->capacity = 0;
    }
}

DStrBuf::DStrBuf(wchar_t* array, int capacity, int length)
    : chars(nullptr), capacity(0), length(0), storage(kCallerArray)
{
    Attach(array, capacity, length);
}

DStrBuf::DStrBuf(int n) : chars(nullptr), capacity(0), length(0), storage(kCallerArray)
{
    Alloc(n);
}

DStrBuf::DStrBuf(const DStrBuf& other) : chars(nullptr), capacity(0), length(0), storage(kCallerArray)
{
    if (other.length <= 0 || other.chars == nullptr)
        return;
    if (Alloc(other.capacity - 1))
        Assign(other.chars, other.length);
}

DStrBuf::~DStrBuf()
{
    Free();
}

bool DStrBuf::Alloc(int n)
{
    Free();
    if (n < 0)
        return false;
    // Counted in 64 bits: a request near 2^31 characters must fail, not wrap.
    const long long bytes = ((long long)n + 1) * 2;
    if (bytes > 0x7FFFFFFFLL)
        return false;

    if (bytes < kHeapLimitBytes) {
        wchar_t* p = (wchar_t*)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)bytes);
        if (p != nullptr) {
            p[0] = 0;
            chars = p;
            capacity = n + 1;
            storage = kHeap;
            return true;
        }
        // A heap that cannot serve a small block may still have pages to give.
    }

    void* pages = VirtualAlloc(nullptr, (SIZE_T)bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (pages == nullptr)
        return false;
    MEMORY_BASIC_INFORMATION info;
    SIZE_T regionBytes = (SIZE_T)bytes;
    if (VirtualQuery(pages, &info, sizeof(info)) == sizeof(info) && info.RegionSize >= (SIZE_T)bytes)
        regionBytes = info.RegionSize;
    // Fresh pages are zero: the text is already empty. The whole pages count.
    chars = (wchar_t*)pages;
    capacity = (int)(regionBytes / 2);
    storage = kPages;
    return true;
}

void DStrBuf::Free()
{
    if (capacity == 0)
        return;
    switch (storage) {
    case kLocalAlloc:
        LocalFree(chars);
        break;
    case kPages:
        VirtualFree(chars, 0, MEM_RELEASE);
        break;
    case kHeap:
        HeapFree(GetProcessHeap(), 0, chars);
        break;
    default: // the caller's array stays the caller's
        break;
    }
    chars = nullptr;
    capacity = 0;
    length = 0;
    storage = kCallerArray;
}

void DStrBuf::Attach(wchar_t* array, int capacity, int length)
{
    Free();
    if (array == nullptr || capacity <= 0)
        return;
    chars = array;
    this->capacity = capacity;
    this->length = (length >= 0 && length <= capacity) ? length : capacity - 1;
    storage = kCallerArray;
}

bool DStrBuf::Dup(const wchar_t* s)
{
    const int n = s != nullptr ? (int)wcslen(s) : 0;
    if (!Alloc(n))
        return false;
    Assign(s, n);
    return true;
}

int DStrBuf::Room() const
{
    // An attached text may fill the whole array (length == capacity): no room then.
    const int room = capacity - 1 - length;
    return room > 0 ? room : 0;
}

void DStrBuf::Clear()
{
    if (capacity == 0)
        return;
    length = 0;
    chars[0] = 0;
}

int DStrBuf::Truncate(int n)
{
    if (n < 0)
        n = 0;
    if (capacity != 0 && length > n) {
        length = n;
        chars[n] = 0;
    }
    return length;
}

int DStrBuf::Copy(const wchar_t* s)
{
    if (capacity == 0)
        return 0;
    const int n = s != nullptr ? BoundedLength(s, capacity - 1) : 0;
    // memmove: the source may be a later part of this very text.
    if (n != 0)
        memmove(chars, s, n * sizeof(wchar_t));
    length = n;
    chars[n] = 0;
    return n;
}

int DStrBuf::Assign(const wchar_t* p, int n)
{
    if (capacity == 0)
        return 0;
    if (p == nullptr || n < 0)
        n = 0;
    if (n > capacity - 1)
        n = capacity - 1;
    if (n != 0)
        memmove(chars, p, n * sizeof(wchar_t));
    length = n;
    chars[n] = 0;
    return n;
}

int DStrBuf::AssignBuf(const DStrBuf& other)
{
    if (&other == this)
        return length;
    Assign(other.chars, other.length);
    return length;
}

DStrBuf& DStrBuf::Append(const wchar_t* s)
{
    AppendSzCount(s);
    return *this;
}

void DStrBuf::AppendSzCount(const wchar_t* s)
{
    const int room = Room();
    if (room == 0 || s == nullptr)
        return;
    // Measured before copying, so that appending a piece of this very text
    // copies that piece once rather than chasing its own output.
    const int n = BoundedLength(s, room);
    memmove(chars + length, s, n * sizeof(wchar_t));
    length += n;
    chars[length] = 0;
}

DStrBuf& DStrBuf::AppendBuf(const DStrBuf& other)
{
    AppendBufCount(other);
    return *this;
}

int DStrBuf::AppendBufCount(const DStrBuf& other)
{
    int n = other.length;
    const int room = Room();
    if (n <= 0 || room == 0)
        return 0;
    if (n > room)
        n = room;
    memmove(chars + length, other.chars, n * sizeof(wchar_t));
    length += n;
    chars[length] = 0;
    return n;
}

int DStrBuf::AppendN(const wchar_t* p, int n)
{
    const int room = Room();
    if (p == nullptr || n <= 0 || room == 0)
        return 0;
    if (n > room)
        n = room;
    memmove(chars + length, p, n * sizeof(wchar_t));
    length += n;
    chars[length] = 0;
    return length;
}

void DStrBuf::Adopt(wchar_t* text, int count)
{
    chars = text;
    length = count;
    capacity = count + 1;
    storage = kLocalAlloc;
    chars[count] = 0;
}

const wchar_t* DStrBuf::FormatSystemMessage(DWORD code)
{
    Free();
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, LANG_USER_DEFAULT, (LPWSTR)&text, 0, nullptr);
    if (n == 0 || text == nullptr) {
        if (text != nullptr)
            LocalFree(text);
        return nullptr;
    }
    Adopt(text, (int)n);
    return chars;
}

bool DStrBuf::LoadString(HINSTANCE module, UINT id)
{
    if (capacity == 0)
        return false;
    int n = ::LoadStringW(module, id, chars, capacity);
    if (n < 0)
        n = 0;
    if (n > capacity - 1)
        n = capacity - 1;
    length = n;
    chars[n] = 0;
    return n != 0;
}

bool DStrBuf::LoadString(UINT id)
{
    return LoadString(hInstance, id);
}

bool DStrBuf::AppendLoadString(HINSTANCE module, UINT id)
{
    // LoadStringW needs room for one character and the terminator at least;
    // with less it would only write a terminator.
    const int room = capacity - length;
    if (room < 2)
        return false;
    int n = ::LoadStringW(module, id, chars + length, room);
    if (n < 0)
        n = 0;
    if (n > room - 1)
        n = room - 1;
    length += n;
    chars[length] = 0;
    return n != 0;
}

int DStrBuf::AppendFormat(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = AppendFormatV(format, args);
    va_end(args);
    return n;
}

int DStrBuf::AppendFormatV(const wchar_t* format, va_list args)
{
    const int room = Room();
    if (room == 0 || format == nullptr)
        return 0;
    // The room left excludes the terminator's place, so the terminator
    // written below always lies inside the array.
    wchar_t* out = chars + length;
    out[0] = 0;
    int n = _vsnwprintf(out, (size_t)room, format, args);
    if (n < 0 || n > room) {
        // Did not fit: keep what was written (it is cut), which the formatter
        // leaves unterminated.
        n = BoundedLength(out, room);
    }
    length += n;
    chars[length] = 0;
    return n;
}

int DStrBuf::Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = FormatV(format, args);
    va_end(args);
    return n;
}

int DStrBuf::FormatV(const wchar_t* format, va_list args)
{
    if (capacity == 0)
        return 0;
    va_list copy;
    va_copy(copy, args);
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_STRING, format, 0, 0, chars, (DWORD)capacity, &copy);
    va_end(copy);
    // A failed or overflowing format may leave a partial, unterminated text
    // behind: the buffer is emptied then.
    if (n > (DWORD)(capacity - 1))
        n = 0;
    length = (int)n;
    chars[length] = 0;
    return length;
}

int DStrBuf::FormatAlloc(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = FormatAllocV(format, args);
    va_end(args);
    return n;
}

int DStrBuf::FormatAllocV(const wchar_t* format, va_list args)
{
    Free();
    wchar_t* text = nullptr;
    va_list copy;
    va_copy(copy, args);
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING, format, 0, 0,
                                   (LPWSTR)&text, 0, &copy);
    va_end(copy);
    if (n == 0 || text == nullptr) {
        if (text != nullptr)
            LocalFree(text);
        return 0;
    }
    Adopt(text, (int)n);
    return length;
}

#include "foundation/textutil.h"

#include "foundation/globals.h"

#include <stdarg.h>
#include <wchar.h>

static bool IsDigit(wchar_t ch)
{
    return ch >= L'0' && ch <= L'9';
}

// Reads one or more digits up to the end of the text; false for anything
// else. The value wraps beyond 32 bits.
static bool ReadDigitsToEnd(const wchar_t* p, unsigned* value)
{
    if (!IsDigit(*p))
        return false;
    unsigned v = 0;
    for (; IsDigit(*p); ++p)
        v = v * 10u + (unsigned)(*p - L'0');
    if (*p != 0)
        return false;
    *value = v;
    return true;
}

int ParseInt(const wchar_t* text, bool* ok)
{
    unsigned magnitude = 0;
    bool valid = false;
    bool negative = false;
    if (text) {
        const wchar_t* p = text;
        if (*p == L'-') {
            negative = true;
            ++p;
        }
        if (*p == L'+')
            ++p;
        valid = ReadDigitsToEnd(p, &magnitude);
    }
    if (ok)
        *ok = valid;
    if (!valid)
        return 0;
    // Unsigned arithmetic: a value past 32 bits wraps instead of overflowing.
    return (int)(negative ? 0u - magnitude : magnitude);
}

unsigned ParseUInt(const wchar_t* text, bool* ok)
{
    unsigned value = 0;
    bool valid = text && ReadDigitsToEnd(text, &value);
    if (ok)
        *ok = valid;
    return valid ? value : 0;
}

// Digits of a value, most significant first, into `digits` (at least 10).
static int Digits(unsigned value, wchar_t* digits)
{
    wchar_t reversed[10];
    int n = 0;
    do {
        reversed[n++] = (wchar_t)(L'0' + value % 10u);
        value /= 10u;
    } while (value != 0);
    for (int i = 0; i < n; ++i)
        digits[i] = reversed[n - 1 - i];
    return n;
}

// Writes a sign (when negative) and the digits of the magnitude, keeping the
// leading characters that fit in `size` (size < 0: no limit).
static int WriteNumber(wchar_t* dest, bool negative, unsigned magnitude, int size)
{
    wchar_t text[12];
    int n = 0;
    if (negative)
        text[n++] = L'-';
    n += Digits(magnitude, text + n);
    if (size >= 0) {
        if (size < 1)
            return 0;
        if (n > size - 1)
            n = size - 1;
    }
    for (int i = 0; i < n; ++i)
        dest[i] = text[i];
    dest[n] = 0;
    return n;
}

int UIntToText(wchar_t* dest, unsigned value)
{
    return WriteNumber(dest, false, value, -1);
}

int IntToText(wchar_t* dest, int value)
{
    unsigned magnitude = value < 0 ? 0u - (unsigned)value : (unsigned)value;
    return WriteNumber(dest, value < 0, magnitude, -1);
}

int UIntToTextN(wchar_t* dest, unsigned value, int size)
{
    return WriteNumber(dest, false, value, size < 0 ? 0 : size);
}

int IntToTextN(wchar_t* dest, int value, int size)
{
    unsigned magnitude = value < 0 ? 0u - (unsigned)value : (unsigned)value;
    return WriteNumber(dest, value < 0, magnitude, size < 0 ? 0 : size);
}

int StrCopyN(wchar_t* dest, const wchar_t* source, int size)
{
    if (size < 1)
        return 0;
    int n = 0;
    if (source) {
        while (n < size - 1 && source[n] != 0) {
            dest[n] = source[n];
            ++n;
        }
    }
    dest[n] = 0;
    return n;
}

int StrCopy(wchar_t* dest, const wchar_t* source)
{
    // A null text counts as empty, as it does for StrCopyN and StrConcatN.
    if (!source)
        source = L"";
    int n = 0;
    while ((dest[n] = source[n]) != 0)
        ++n;
    return n;
}

int StrConcatN(wchar_t* dest, int size, int count, ...)
{
    if (size < 1)
        return 0;
    va_list args;
    va_start(args, count);
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const wchar_t* text = va_arg(args, const wchar_t*);
        if (!text)
            continue;
        while (n < size - 1 && *text != 0)
            dest[n++] = *text++;
    }
    va_end(args);
    dest[n] = 0;
    return n;
}

// Upper-case hexadecimal digits of a value, `digits` long, most significant first.
static wchar_t* WriteHex(wchar_t* p, unsigned value, int digits)
{
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i)
        *p++ = kHex[(value >> (4 * i)) & 0xF];
    return p;
}

int GuidToText(const GUID& guid, wchar_t* dest)
{
    wchar_t* p = dest;
    *p++ = L'{';
    p = WriteHex(p, guid.Data1, 8);
    *p++ = L'-';
    p = WriteHex(p, guid.Data2, 4);
    *p++ = L'-';
    p = WriteHex(p, guid.Data3, 4);
    *p++ = L'-';
    p = WriteHex(p, guid.Data4[0], 2);
    p = WriteHex(p, guid.Data4[1], 2);
    *p++ = L'-';
    for (int i = 2; i < 8; ++i)
        p = WriteHex(p, guid.Data4[i], 2);
    *p++ = L'}';
    *p = 0;
    return (int)(p - dest);
}

const wchar_t* StrChr(const wchar_t* text, wchar_t ch)
{
    return text ? wcschr(text, ch) : nullptr;
}

wchar_t* StrChr(wchar_t* text, wchar_t ch)
{
    return text ? wcschr(text, ch) : nullptr;
}

wchar_t* EscapeQuotes(const wchar_t* source, wchar_t* dest, int destSize)
{
    if (destSize < 1)
        return dest;
    int n = 0;
    const int limit = destSize - 1;   // room for characters; the terminator always fits
    const wchar_t* p = source ? source : L"";
    while (*p != 0) {
        const wchar_t* quote = StrChr(p, L'\'');
        const wchar_t* end = quote ? quote : p + wcslen(p);
        while (p < end && n < limit)
            dest[n++] = *p++;
        if (p < end || !quote)
            break;   // cut, or the whole text copied
        // A doubled quote goes in whole or not at all: half of it would end
        // the SQL literal.
        if (n + 2 > limit)
            break;
        dest[n++] = L'\'';
        dest[n++] = L'\'';
        ++p;
    }
    dest[n] = 0;
    return dest;
}

HICON LoadIconRes(UINT id)
{
    return (HICON)LoadImageW(hInstance, MAKEINTRESOURCEW(id), IMAGE_ICON, IconSize, IconSize, LR_DEFAULTSIZE);
}

WNDPROC GetWindowProc(HWND window)
{
    return reinterpret_cast<WNDPROC>(static_cast<LONG_PTR>(GetWindowLongW(window, GWL_WNDPROC)));
}

WNDPROC SetWindowProc(HWND window, WNDPROC procedure)
{
    LONG old = SetWindowLongW(window, GWL_WNDPROC, static_cast<LONG>(reinterpret_cast<LONG_PTR>(procedure)));
    return reinterpret_cast<WNDPROC>(static_cast<LONG_PTR>(old));
}

// Texts of the string table are at most 255 characters long.
const int kStringTableMax = 255;

char* LoadStringAllocA(HINSTANCE module, UINT id, int* length)
{
    char text[kStringTableMax + 1];
    int n = LoadStringA(module, id, text, kStringTableMax + 1);
    if (length)
        *length = n > 0 ? n : 0;
    if (n <= 0)
        return nullptr;
    char* copy = (char*)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)n + 1);
    if (!copy) {
        if (length)
            *length = 0;
        return nullptr;
    }
    CopyMemory(copy, text, (SIZE_T)n);
    copy[n] = 0;
    return copy;
}

std::wstring VolumeSerialText(DWORD serial)
{
    wchar_t text[10];
    _snwprintf(text, 10, L"%04X-%04X", static_cast<unsigned>(HIWORD(serial)), static_cast<unsigned>(LOWORD(serial)));
    text[9] = 0;
    return text;
}

std::wstring DiskNameWithSerial(const wchar_t* name, DWORD serial)
{
    return std::wstring(name ? name : L"") + L" (" + VolumeSerialText(serial) + L")";
}

std::wstring LoadText(UINT id)
{
    wchar_t text[512];
    const int n = LoadStringW(hInstance, id, text, 512);
    return n > 0 ? std::wstring(text, n) : std::wstring();
}

wchar_t* LoadStringAllocW(HINSTANCE module, UINT id, int* length)
{
    wchar_t text[kStringTableMax + 1];
    int n = LoadStringW(module, id, text, kStringTableMax + 1);
    if (length)
        *length = n > 0 ? n : 0;
    if (n <= 0)
        return nullptr;
    wchar_t* copy = (wchar_t*)HeapAlloc(GetProcessHeap(), 0, ((SIZE_T)n + 1) * sizeof(wchar_t));
    if (!copy) {
        if (length)
            *length = 0;
        return nullptr;
    }
    CopyMemory(copy, text, (SIZE_T)n * sizeof(wchar_t));
    copy[n] = 0;
    return copy;
}

void FreeStringAllocA(char* text)
{
    if (text)
        HeapFree(GetProcessHeap(), 0, text);
}

void FreeStringAllocW(wchar_t* text)
{
    if (text)
        HeapFree(GetProcessHeap(), 0, text);
}

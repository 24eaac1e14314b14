#include "foundation/dstring.h"

#include <new>
#include <string.h>
#include <wchar.h>

// _vsnwprintf here is msvcrt's: it reads %s as a wide string (mingw's own
// swprintf family reads it as narrow). On overflow it returns -1 and writes no
// terminator, so every caller below terminates the text itself.

namespace {

// Buffers for this many characters (terminator included) and more are pages.
const long long kPagesFrom = 32000;
// The largest buffer in bytes we ever ask for; beyond it a request fails
// instead of wrapping around in 32-bit arithmetic.
const long long kMaxBytes = 0x7FFFFFF0LL;

DStringData* NewBlock()
{
    DStringData* block = new (std::nothrow) DStringData;
    if (block == nullptr)
        return nullptr;
    block->reserved = 0;
    block->capacity = 0;
    block->length = 0;
    block->buffer = nullptr;
    block->storage = 0;
    block->refs = 1;
    return block;
}

bool IsEmptyText(const wchar_t* s, int n)
{
    return s == nullptr || n == 0 || (n < 0 && s[0] == 0);
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}

wchar_t* PutHex(wchar_t* out, unsigned long value, int digits)
{
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = kDigits[value & 15];
        value >>= 4;
    }
    return out + digits;
}

// Reads exactly `digits` hexadecimal digits; false on anything else.
bool GetHex(const wchar_t*& in, int digits, unsigned long& value)
{
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const int v = HexValue(in[i]);
        if (v < 0)
            return false;
        value = (value << 4) | (unsigned long)v;
    }
    in += digits;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// DStringData

bool DStringData::Allocate(int n)
{
    if (n < 0)
        return false;
    const long long k = (long long)n + 1; // room for the terminator
    wchar_t* p = nullptr;
    long long held = 0;
    DWORD kind = kHeap;
    if (k >= kPagesFrom) {
        // Bit 16 is OR-ed in when the size is not a multiple of 64 KB: the
        // capacity then follows from that size, not from the pages rounded up.
        long long bytes = 2 * k;
        if ((bytes & 0xFFFF) != 0)
            bytes |= 0x10000;
        if (bytes > kMaxBytes)
            return false;
        p = (wchar_t*)VirtualAlloc(nullptr, (SIZE_T)bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        held = bytes / 2;
        kind = kPages;
    } else {
        held = (k & ~15LL) + 16;
        p = (wchar_t*)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)(held * 2));
    }
    if (p == nullptr)
        return false;
    p[0] = 0;
    buffer = p;
    storage = kind;
    capacity = (int)(held - 1);
    return true;
}

void DStringData::FreeBuffer()
{
    if (buffer != nullptr) {
        switch (storage) {
        case kBstr:
            SysFreeString(buffer);
            break;
        case kHeap:
            HeapFree(GetProcessHeap(), 0, buffer);
            break;
        case kPages:
            VirtualFree(buffer, 0, MEM_RELEASE);
            break;
        case kLocalAlloc:
            LocalFree(buffer);
            break;
        default: // the caller's buffer stays the caller's
            break;
        }
    }
    buffer = nullptr;
    capacity = 0;
    length = 0;
}

bool DStringData::Grow(int n)
{
    if (buffer != nullptr && n <= capacity)
        return true;
    wchar_t* oldBuffer = buffer;
    const DWORD oldStorage = storage;
    const int oldCapacity = capacity;
    if (!Allocate(n)) {
        buffer = oldBuffer;
        storage = oldStorage;
        capacity = oldCapacity;
        return false;
    }
    if (oldBuffer == nullptr) {
        length = 0;
        return true;
    }
    if (length != 0)
        memcpy(buffer, oldBuffer, (length + 1) * sizeof(wchar_t));
    // Give the old buffer back by its own kind.
    wchar_t* newBuffer = buffer;
    const DWORD newStorage = storage;
    const int newCapacity = capacity;
    const int keptLength = length;
    buffer = oldBuffer;
    storage = oldStorage;
    FreeBuffer();
    buffer = newBuffer;
    storage = newStorage;
    capacity = newCapacity;
    length = keptLength;
    return true;
}

// ---------------------------------------------------------------------------
// Life cycle

DString::DString(const DString& other) : data(other.data)
{
    if (data != nullptr)
        InterlockedIncrement(&data->refs);
}

DString::DString(const wchar_t* s) : data(nullptr)
{
    AppendSz(s);
}

DString::~DString()
{
    Release();
}

void DString::Release()
{
    DStringData* block = data;
    data = nullptr;
    if (block != nullptr && InterlockedDecrement(&block->refs) == 0) {
        block->FreeBuffer();
        delete block;
    }
}

DString& DString::operator=(const DString& other)
{
    if (other.data == data)
        return *this;
    // Count the new reference first: releasing ours may free what `other`
    // lives in when it is a string held inside our own text's owner.
    DStringData* block = other.data;
    if (block != nullptr)
        InterlockedIncrement(&block->refs);
    Release();
    data = block;
    return *this;
}

DString& DString::operator=(const wchar_t* s)
{
    if (s == nullptr)
        Release();
    else
        Assign(s);
    return *this;
}

bool DString::EnsureBlock()
{
    if (data == nullptr)
        data = NewBlock();
    return data != nullptr;
}

const wchar_t* DString::c_str() const
{
    return data != nullptr ? data->buffer : nullptr;
}

wchar_t* DString::GetBuffer() const
{
    return data != nullptr ? data->buffer : nullptr;
}

int DString::Length() const
{
    return data != nullptr ? data->length : 0;
}

int DString::ByteLength() const
{
    return Length() * 2;
}

int DString::BufferSize() const
{
    return data != nullptr ? data->capacity + 1 : 0;
}

void DString::New(int n)
{
    Release();
    data = NewBlock();
    if (data == nullptr)
        throw Exception(0);
    if (n != 0 && !data->Allocate(n))
        throw Exception(0);
}

void DString::Reserve(int n)
{
    if (data != nullptr) {
        if (data->capacity < n && !data->Grow(n))
            throw Exception(0);
        return;
    }
    DStringData* block = NewBlock();
    if (block == nullptr)
        throw Exception(0);
    if (!block->Allocate(n)) {
        delete block;
        throw Exception(0);
    }
    data = block;
}

void DString::SetLength(int n)
{
    if (data == nullptr || data->buffer == nullptr || n < 0 || n > data->capacity)
        return;
    data->length = n;
    data->buffer[n] = 0;
}

void DString::Empty()
{
    if (data == nullptr)
        return;
    data->length = 0;
    if (data->buffer != nullptr)
        data->buffer[0] = 0;
}

wchar_t DString::At(int i) const
{
    if (data == nullptr || data->buffer == nullptr || i < 0 || i >= data->length)
        return 0;
    return data->buffer[i];
}

bool DString::SetAt(int i, wchar_t c)
{
    if (data == nullptr || data->buffer == nullptr || i < 0 || i >= data->length)
        return false;
    data->buffer[i] = c;
    return true;
}

// ---------------------------------------------------------------------------
// Assignment and appending

void DString::Assign(const wchar_t* s)
{
    AssignN(s, s != nullptr ? (int)wcslen(s) : 0);
}

void DString::AssignN(const wchar_t* p, int n)
{
    if (p == nullptr || n < 0)
        n = 0;
    // A piece of our own text: emptying first would overwrite it, so it is
    // moved to the front instead.
    if (data != nullptr && data->buffer != nullptr && n != 0 && p >= data->buffer &&
        p < data->buffer + data->capacity + 1) {
        const int available = (int)(data->buffer + data->length - p);
        if (n > available)
            n = available > 0 ? available : 0;
        memmove(data->buffer, p, n * sizeof(wchar_t));
        data->length = n;
        data->buffer[n] = 0;
        return;
    }
    Empty();
    AppendN(p, n);
}

void DString::AppendN(const wchar_t* p, int n)
{
    if (n < 0 || (p == nullptr && n != 0))
        return;
    if (data == nullptr) {
        DStringData* block = NewBlock();
        if (block == nullptr)
            return;
        if (!block->Allocate(n)) {
            delete block;
            return;
        }
        data = block;
    } else {
        const long long needed = (long long)data->length + n;
        if (needed > 0x7FFFFFFFLL)
            return;
        if (data->buffer == nullptr || data->capacity < (int)needed) {
            // The source may lie in the buffer that growth gives back (a
            // string appended to itself): find it again in the new buffer.
            const wchar_t* oldBuffer = data->buffer;
            const bool inside = oldBuffer != nullptr && p >= oldBuffer && p <= oldBuffer + data->capacity;
            const int offset = inside ? (int)(p - oldBuffer) : 0;
            if (!data->Grow((int)needed))
                return;
            if (inside)
                p = data->buffer + offset;
        }
    }
    if (n != 0)
        memmove(data->buffer + data->length, p, n * sizeof(wchar_t));
    data->length += n;
    data->buffer[data->length] = 0;
}

void DString::AppendSz(const wchar_t* s)
{
    if (s == nullptr)
        return;
    AppendN(s, (int)wcslen(s));
}

void DString::AppendSzIfSet(const wchar_t* s)
{
    if (s != nullptr)
        AppendSz(s);
}

void DString::Append(const DString& other)
{
    if (other.data == nullptr || other.data->buffer == nullptr || other.data->length == 0)
        return;
    AppendN(other.data->buffer, other.data->length);
}

void DString::AppendChar(wchar_t c)
{
    AppendN(&c, 1);
}

void DString::AppendList(const wchar_t* const* texts, int count)
{
    if (texts == nullptr || count <= 0)
        return;
    // A text of the list that lies in our own buffer would move or change
    // while the list is appended: the list is joined in a private copy first.
    if (data != nullptr && data->buffer != nullptr) {
        for (int i = 0; i < count; ++i) {
            if (texts[i] != nullptr && texts[i] >= data->buffer && texts[i] <= data->buffer + data->capacity) {
                DString copy;
                copy.AppendList(texts, count);
                Append(copy);
                return;
            }
        }
    }
    long long total = 0;
    for (int i = 0; i < count; ++i)
        if (texts[i] != nullptr)
            total += (long long)wcslen(texts[i]);
    if (total + Length() > 0x7FFFFFFFLL)
        return;
    // One growth for the whole list; when it fails nothing is appended.
    if (data == nullptr) {
        DStringData* block = NewBlock();
        if (block == nullptr)
            return;
        if (!block->Allocate((int)total)) {
            delete block;
            return;
        }
        data = block;
    } else if (!data->Grow(data->length + (int)total)) {
        return;
    }
    for (int i = 0; i < count; ++i)
        AppendSz(texts[i]);
}

void DString::CopyFrom(const DString& other)
{
    // Sharing one block already: emptying it would lose the very text to copy.
    if (other.data == data)
        return;
    Empty();
    Append(other);
}

// ---------------------------------------------------------------------------
// Formatting and system texts

int DString::Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = FormatV(format, args);
    va_end(args);
    return n;
}

int DString::FormatV(const wchar_t* format, va_list args)
{
    if (!EnsureBlock())
        return 0;
    if ((data->buffer == nullptr || data->capacity == 0) && !data->Grow(255))
        return 0;
    if (format == nullptr) {
        Empty();
        return 0;
    }
    // The buffer holds capacity + 1 characters: capacity for the text, one
    // for the terminator that we write ourselves.
    int n = _vsnwprintf(data->buffer, (size_t)data->capacity, format, args);
    if (n < 0 || n > data->capacity)
        n = (int)wcsnlen(data->buffer, (size_t)data->capacity);
    data->length = n;
    data->buffer[n] = 0;
    return n;
}

int DString::AppendFormat(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = AppendFormatV(format, args);
    va_end(args);
    return n;
}

int DString::AppendFormatV(const wchar_t* format, va_list args)
{
    if (data == nullptr || data->buffer == nullptr || format == nullptr)
        return 0;
    const int room = data->capacity - data->length;
    if (room <= 0)
        return 0;
    wchar_t* out = data->buffer + data->length;
    out[0] = 0;
    int n = _vsnwprintf(out, (size_t)room, format, args);
    if (n < 0 || n > room)
        n = (int)wcsnlen(out, (size_t)room);
    data->length += n;
    data->buffer[data->length] = 0;
    return n;
}

void DString::AdoptFormatted(wchar_t* text, DWORD count)
{
    // The formatter ran before the old buffer is given back: its inserts may
    // have been this very string's text.
    if (!EnsureBlock()) {
        if (text != nullptr)
            LocalFree(text);
        return;
    }
    data->FreeBuffer();
    if (count == 0 || text == nullptr) {
        if (text != nullptr)
            LocalFree(text);
        return;
    }
    data->buffer = text;
    data->storage = DStringData::kLocalAlloc;
    data->capacity = (int)count;
    data->length = (int)count;
}

int DString::FormatMessage(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING, format, 0, 0,
                                   (LPWSTR)&text, 0, &args);
    va_end(args);
    AdoptFormatted(text, n);
    return Length();
}

int DString::FormatMessageArgs(const wchar_t* format, const DWORD_PTR* args)
{
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING |
                                       FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                   format, 0, 0, (LPWSTR)&text, 0, (va_list*)args);
    AdoptFormatted(text, n);
    return Length();
}

int DString::FormatSystemMessage(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                       FORMAT_MESSAGE_FROM_SYSTEM,
                                   nullptr, code, LANG_USER_DEFAULT, (LPWSTR)&text, 0, nullptr);
    AdoptFormatted(text, n);
    return Length();
}

int DString::LoadString(HINSTANCE module, UINT id)
{
    return LoadStringN(module, id, 255);
}

int DString::LoadStringN(HINSTANCE module, UINT id, int n)
{
    Empty();
    Reserve(n);
    if (data->buffer == nullptr)
        return 0;
    int loaded = ::LoadStringW(module, id, data->buffer, data->capacity + 1);
    if (loaded < 0)
        loaded = 0;
    if (loaded > data->capacity)
        loaded = data->capacity;
    data->length = loaded;
    data->buffer[loaded] = 0;
    return loaded;
}

int DString::GetWindowText(HWND window)
{
    Empty();
    const int n = ::GetWindowTextLengthW(window);
    if (n <= 0)
        return Length();
    Reserve(n);
    int got = ::GetWindowTextW(window, data->buffer, data->capacity + 1);
    if (got < 0)
        got = 0;
    if (got > data->capacity)
        got = data->capacity;
    data->length = got;
    data->buffer[got] = 0;
    return got;
}

BSTR DString::AllocSysString() const
{
    if (data == nullptr || data->buffer == nullptr)
        return nullptr;
    return SysAllocStringLen(data->buffer, (UINT)data->length);
}

void DString::AttachBSTR(BSTR bstr)
{
    if (!EnsureBlock()) {
        // The BSTR was handed over to us: it must not leak.
        SysFreeString(bstr);
        return;
    }
    data->FreeBuffer();
    if (bstr == nullptr)
        return;
    const int n = (int)SysStringLen(bstr);
    data->buffer = bstr;
    data->storage = DStringData::kBstr;
    data->capacity = n;
    data->length = n;
}

void DString::AttachBuffer(wchar_t* buffer, int size, int length)
{
    if (buffer == nullptr || size < 1 || !EnsureBlock())
        return;
    data->FreeBuffer();
    data->buffer = buffer;
    data->storage = DStringData::kCallerBuffer;
    data->capacity = size - 1;
    data->length = length < 0 ? 0 : (length > size - 1 ? size - 1 : length);
}

// ---------------------------------------------------------------------------
// Text operations

void DString::MakeLower()
{
    if (data != nullptr && data->buffer != nullptr && data->length > 0)
        CharLowerBuffW(data->buffer, (DWORD)data->length);
}

void DString::MakeUpper()
{
    if (data != nullptr && data->buffer != nullptr && data->length > 0)
        CharUpperBuffW(data->buffer, (DWORD)data->length);
}

void DString::Reverse()
{
    if (data == nullptr || data->buffer == nullptr)
        return;
    for (int i = 0, j = data->length - 1; i < j; ++i, --j) {
        const wchar_t c = data->buffer[i];
        data->buffer[i] = data->buffer[j];
        data->buffer[j] = c;
    }
}

DString DString::Left(int n) const
{
    return Mid(0, n);
}

DString DString::Right(int n) const
{
    const int length = Length();
    if (n > length)
        n = length;
    return Mid(length - n, n);
}

DString DString::Mid(int pos, int n) const
{
    DString part;
    const int length = Length();
    if (pos < 0)
        pos = 0;
    if (n <= 0 || pos >= length)
        return part;
    if (n > length - pos)
        n = length - pos;
    part.AppendN(data->buffer + pos, n);
    return part;
}

void DString::DeleteLeft(int n)
{
    if (n <= 0 || data == nullptr || data->buffer == nullptr)
        return;
    if (n >= data->length) {
        Empty();
        return;
    }
    memmove(data->buffer, data->buffer + n, (data->length - n + 1) * sizeof(wchar_t));
    data->length -= n;
}

void DString::DeleteRight(int n)
{
    if (n <= 0 || data == nullptr || data->buffer == nullptr)
        return;
    if (n >= data->length) {
        Empty();
        return;
    }
    data->length -= n;
    data->buffer[data->length] = 0;
}

void DString::DeleteRange(int pos, int n)
{
    if (n < 1 || pos < 0 || data == nullptr || data->buffer == nullptr)
        return;
    if (pos >= data->length) {
        Empty();
        return;
    }
    if ((long long)pos + n >= data->length) {
        data->length = pos;
        data->buffer[pos] = 0;
        return;
    }
    memmove(data->buffer + pos, data->buffer + pos + n, (data->length - pos - n + 1) * sizeof(wchar_t));
    data->length -= n;
}

int DString::ToInt(bool* valid) const
{
    const int length = Length();
    const wchar_t* p = c_str();
    bool ok = length > 0 && p != nullptr;
    int i = 0;
    bool negative = false;
    if (ok && p[0] == L'-') {
        negative = true;
        i = 1;
        ok = length > 1;
    }
    // The magnitude may reach 2^31 only for a negative number.
    const unsigned long long limit = negative ? 2147483648ULL : 2147483647ULL;
    unsigned long long value = 0;
    for (; ok && i < length; ++i) {
        if (p[i] < L'0' || p[i] > L'9') {
            ok = false;
            break;
        }
        value = value * 10 + (unsigned)(p[i] - L'0');
        if (value > limit)
            ok = false;
    }
    if (valid != nullptr)
        *valid = ok;
    if (!ok)
        return 0;
    return negative ? (int)(0 - (unsigned)value) : (int)value;
}

unsigned DString::ToUInt(bool* valid) const
{
    const int length = Length();
    const wchar_t* p = c_str();
    bool ok = length > 0 && p != nullptr;
    unsigned long long value = 0;
    for (int i = 0; ok && i < length; ++i) {
        if (p[i] < L'0' || p[i] > L'9') {
            ok = false;
            break;
        }
        value = value * 10 + (unsigned)(p[i] - L'0');
        if (value > 0xFFFFFFFFULL)
            ok = false;
    }
    if (valid != nullptr)
        *valid = ok;
    return ok ? (unsigned)value : 0;
}

int DString::TrimLeftChar(wchar_t c, int n)
{
    if (n == 0 || data == nullptr || data->buffer == nullptr)
        return 0;
    int count = 0;
    while (count < data->length && data->buffer[count] == c && (n < 0 || count < n))
        ++count;
    DeleteLeft(count);
    return count;
}

int DString::TrimRightChar(wchar_t c, int n)
{
    if (n == 0 || data == nullptr || data->buffer == nullptr)
        return 0;
    int count = 0;
    // Index 0 is never looked at: the first character always stays.
    for (int i = data->length - 1; i > 0 && data->buffer[i] == c && (n < 0 || count < n); --i)
        ++count;
    if (count != 0) {
        data->length -= count;
        data->buffer[data->length] = 0;
    }
    return count;
}

bool DString::Equals(const DString& other) const
{
    const int length = Length();
    if (length != other.Length())
        return false;
    return length == 0 || memcmp(data->buffer, other.data->buffer, length * sizeof(wchar_t)) == 0;
}

int DString::Compare(LCID locale, DWORD flags, const wchar_t* other, int otherLength) const
{
    const bool otherEmpty = IsEmptyText(other, otherLength);
    if (Length() == 0)
        return otherEmpty ? 0 : 1;
    if (other == nullptr) {
        other = L"";
        otherLength = 0;
    }
    const int r = CompareStringW(locale, flags, data->buffer, data->length, other, otherLength);
    if (r == 0) {
        // The locale or the flags were refused: fall back to code-point order
        // rather than report a value outside -1..1.
        const int n = otherLength < 0 ? (int)wcslen(other) : otherLength;
        const int common = n < data->length ? n : data->length;
        const int c = wmemcmp(data->buffer, other, common);
        if (c != 0)
            return c < 0 ? -1 : 1;
        return data->length == n ? 0 : (data->length < n ? -1 : 1);
    }
    return r - CSTR_EQUAL;
}

int DString::CompareStringSort(const DString& other) const
{
    const bool otherEmpty = other.Length() == 0;
    if (Length() == 0)
        return otherEmpty ? 0 : 1;
    if (otherEmpty)
        return -1;
    return Compare(GetThreadLocale(), SORT_STRINGSORT, other.data->buffer, other.data->length);
}

void DString::FromGuid(const GUID& guid)
{
    Reserve(38);
    // Read everything first: the GUID may not move, but be safe with our buffer.
    const GUID g = guid;
    wchar_t* out = data->buffer;
    *out++ = L'{';
    out = PutHex(out, g.Data1, 8);
    *out++ = L'-';
    out = PutHex(out, g.Data2, 4);
    *out++ = L'-';
    out = PutHex(out, g.Data3, 4);
    *out++ = L'-';
    out = PutHex(out, g.Data4[0], 2);
    out = PutHex(out, g.Data4[1], 2);
    *out++ = L'-';
    for (int i = 2; i < 8; ++i)
        out = PutHex(out, g.Data4[i], 2);
    *out++ = L'}';
    *out = 0;
    data->length = 38;
}

bool DString::ToGuid(GUID& guid) const
{
    if (Length() != 38)
        return false;
    const wchar_t* in = data->buffer;
    GUID g;
    unsigned long v = 0;
    if (*in++ != L'{' || !GetHex(in, 8, v))
        return false;
    g.Data1 = v;
    if (*in++ != L'-' || !GetHex(in, 4, v))
        return false;
    g.Data2 = (unsigned short)v;
    if (*in++ != L'-' || !GetHex(in, 4, v))
        return false;
    g.Data3 = (unsigned short)v;
    if (*in++ != L'-')
        return false;
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && *in++ != L'-')
            return false;
        if (!GetHex(in, 2, v))
            return false;
        g.Data4[i] = (unsigned char)v;
    }
    if (*in != L'}')
        return false;
    guid = g;
    return true;
}

// ---------------------------------------------------------------------------
// Date and time pictures
//
// The picture is cut into runs of one letter; date letters (d, M, y, g) go
// to GetDateFormatW and time letters (h, H, m, s, t) to GetTimeFormatW one run
// at a time, so that a month name holding such a letter is never read again
// as a picture. Text in single quotes is copied ('' is a quote).

int DString::FormatDateTime(LCID locale, const wchar_t* picture, const SYSTEMTIME& time)
{
    Empty();
    if (picture == nullptr)
        return Length();
    wchar_t run[64];
    wchar_t piece[128];
    const wchar_t* p = picture;
    while (*p != 0) {
        const wchar_t c = *p;
        if (c == L'\'') {
            ++p;
            while (*p != 0) {
                if (*p == L'\'') {
                    if (p[1] != L'\'')
                        break;
                    ++p;
                }
                AppendChar(*p++);
            }
            if (*p == L'\'')
                ++p;
            continue;
        }
        const bool isDate = c == L'd' || c == L'M' || c == L'y' || c == L'g';
        const bool isTime = c == L'h' || c == L'H' || c == L'm' || c == L's' || c == L't';
        if (!isDate && !isTime) {
            AppendChar(c);
            ++p;
            continue;
        }
        int n = 0;
        while (p[n] == c && n < 62)
            ++n;
        // One run of one letter: the formatter sees nothing else.
        for (int i = 0; i < n; ++i)
            run[i] = c;
        run[n] = 0;
        p += n;
        const int got = isDate ? GetDateFormatW(locale, 0, &time, run, piece, 128)
                               : GetTimeFormatW(locale, 0, &time, run, piece, 128);
        if (got <= 0)
            return -1;
        AppendSz(piece);
    }
    return Length();
}

int DString::FormatFileTime(LCID locale, const wchar_t* picture, const FILETIME& time)
{
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&time, &st))
        return -1;
    return FormatDateTime(locale, picture, st);
}

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
    block->refs.Init();
    return block;
}

// Frees a buffer by the way it was obtained.
void GiveBack(wchar_t* buffer, DWORD storage)
{
    if (buffer == nullptr)
        return;
    switch (storage) {
    case DStringData::kBstr:
        SysFreeString(buffer);
        break;
    case DStringData::kHeap:
        HeapFree(GetProcessHeap(), 0, buffer);
        break;
    case DStringData::kPages:
        VirtualFree(buffer, 0, MEM_RELEASE);
        break;
    case DStringData::kLocalAlloc:
        LocalFree(buffer);
        break;
    default: // the caller's buffer stays the caller's
        break;
    }
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
    GiveBack(buffer, storage);
    buffer = nullptr;
    capacity = 0;
    length = 0;
}

bool DStringData::Grow(int n)
{
    if (buffer != nullptr && n <= capacity)
        return true;
    wchar_t* const oldBuffer = buffer;
    const DWORD oldStorage = storage;
    // Allocate changes nothing when it fails: the old buffer stays in place.
    if (!Allocate(n))
        return false;
    if (oldBuffer == nullptr) {
        length = 0;
        return true;
    }
    // The text is terminated here rather than copied with its terminator: an
    // adopted buffer (a caller's, attached with a length) need not hold one.
    if (length != 0)
        memcpy(buffer, oldBuffer, length * sizeof(wchar_t));
    buffer[length] = 0;
    GiveBack(oldBuffer, oldStorage);
    return true;
}

// ---------------------------------------------------------------------------
// Life cycle

DString::DString(const DString& other) : data(other.data)
{
    if (data != nullptr)
        data->refs.AddRef();
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
    if (block != nullptr && block->refs.ReleaseLast()) {
        block->FreeBuffer();
        delete block;
    }
}

DString& DString::operator=(const DString& other)
{
    if (other.data == data)
        return *this;
    // Count the new reference before dropping ours: `other` may be held by
    // an object that only our reference keeps alive.
    DStringData* block = other.data;
    if (block != nullptr)
        block->refs.AddRef();
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
    // The whole capacity is the room: the text is replaced.
    Empty();
    return AppendFormatV(format, args);
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
    // The buffer holds capacity + 1 characters: the room for the text ends
    // one short of it, for the terminator that we write ourselves.
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

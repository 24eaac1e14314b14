// DString's text operations: pieces, deletion, trimming, numbers,
// comparison, GUIDs and date pictures. None of them throws except FromGuid
// (through Reserve).
#include "foundation/dstring.h"

#include "foundation/textutil.h"

#include <string.h>
#include <wchar.h>

namespace {

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
    // The text is built aside first: the GUID may lie in this very buffer.
    wchar_t text[kGuidTextLength + 1];
    GuidToText(guid, text);
    Reserve(kGuidTextLength);
    memcpy(data->buffer, text, sizeof text);
    data->length = kGuidTextLength;
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

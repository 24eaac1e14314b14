#include "forms/fieldvalue.h"

#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "resources/strings.h"

#include <stdio.h>

namespace {

// Range of a base type's column.
void IntegerRange(DWORD type, long long* low, long long* high)
{
    const bool isUnsigned = (type & kFieldUnsigned) != 0;
    switch (FieldBase(type)) {
    case kFieldInt8:
        *low = isUnsigned ? 0 : -128;
        *high = isUnsigned ? 255 : 127;
        break;
    case kFieldInt16:
        *low = isUnsigned ? 0 : -32768;
        *high = isUnsigned ? 65535 : 32767;
        break;
    default:
        *low = isUnsigned ? 0 : -2147483648LL;
        *high = isUnsigned ? 4294967295LL : 2147483647LL;
        break;
    }
}

// True when the picture holds exactly one integer conversion ("%d", "%5i",
// "%-04u", "%x"...) and otherwise only literal text and "%%".
bool IsIntegerPicture(const wchar_t* picture)
{
    int conversions = 0;
    for (const wchar_t* p = picture; *p; ++p) {
        if (*p != L'%')
            continue;
        ++p;
        if (*p == L'%')
            continue;
        while (*p == L'-' || *p == L'+' || *p == L' ' || *p == L'0' || *p == L'#')
            ++p;
        while (*p >= L'0' && *p <= L'9')
            ++p;
        if (*p == L'.') {
            ++p;
            while (*p >= L'0' && *p <= L'9')
                ++p;
        }
        if (*p != L'd' && *p != L'i' && *p != L'u' && *p != L'x' && *p != L'X' && *p != L'o')
            return false;
        ++conversions;
    }
    return conversions == 1;
}

}  // namespace

FieldParse ParseFieldInteger(const wchar_t* text, DWORD type, bool allowSign, DWORD* value)
{
    if (text == nullptr)
        return kParseBadFormat;
    const wchar_t* p = text;
    bool negative = false;
    if (allowSign && (*p == L'-' || *p == L'+')) {
        negative = *p == L'-';
        ++p;
    }
    if (*p < L'0' || *p > L'9')
        return kParseBadFormat;
    long long number = 0;
    bool huge = false;
    for (; *p; ++p) {
        if (*p < L'0' || *p > L'9')
            return kParseBadFormat;
        if (number < 100000000000LL)
            number = number * 10 + (*p - L'0');
        else
            huge = true;
    }
    if (negative)
        number = -number;
    long long low = 0, high = 0;
    IntegerRange(type, &low, &high);
    if (huge || number < low || number > high)
        return kParseOutOfRange;
    *value = static_cast<DWORD>(number);
    return kParseOk;
}

int FormatFieldInteger(wchar_t* out, int capacity, const FieldBlob& field, DWORD value)
{
    if (capacity < 1)
        return 0;
    const wchar_t* picture = field.FormatText();
    int n;
    if (picture != nullptr && picture[0] != 0 && IsIntegerPicture(picture))
        n = _snwprintf(out, capacity, picture, value);
    else if (field.type & kFieldUnsigned)
        n = _snwprintf(out, capacity, L"%u", value);
    else
        n = _snwprintf(out, capacity, L"%i", static_cast<int>(value));
    if (n < 0 || n >= capacity)
        n = capacity - 1;
    out[n] = 0;
    return n;
}

bool ParseFieldDate(const wchar_t* text, DWORD base, DWORD dateTimeFlags, FILETIME* value)
{
    DWORD flags;
    switch (base) {
    case kFieldDateTime:
        flags = dateTimeFlags;
        break;
    case kFieldDate:
        flags = kParseDate;
        break;
    case kFieldTime:
        flags = kParseTime;
        break;
    default:
        return false;
    }
    return ParseDateToFileTime(text, value, flags);
}

int FormatFieldDate(wchar_t* out, int capacity, const wchar_t* picture, DWORD base, const FILETIME& value)
{
    if (capacity < 1)
        return 0;
    if (picture == nullptr || picture[0] == 0)
        picture = base == kFieldDate ? DatePicture : base == kFieldTime ? TimePicture : DateTimePicture;
    int n = FormatFileTime(out, capacity, picture, &value);
    if (n < 0) {
        out[0] = 0;
        return 0;
    }
    return n;
}

const wchar_t* YesNoText(const FieldBlob& field, bool value, int* length)
{
    const FieldBoolTexts* texts = field.BoolTexts();
    if (texts != nullptr) {
        *length = static_cast<int>(value ? texts->length1 : texts->length2);
        return value ? texts->text1 : texts->text2;
    }
    // "Yes" and "No" are loaded once and kept.
    static wchar_t yes[64];
    static wchar_t no[64];
    static bool loaded = false;
    if (!loaded) {
        if (LoadStringW(hInstance, IDS_YES, yes, 64) <= 0)
            wcscpy(yes, L"Yes");
        if (LoadStringW(hInstance, IDS_NO, no, 64) <= 0)
            wcscpy(no, L"No");
        loaded = true;
    }
    const wchar_t* text = value ? yes : no;
    *length = static_cast<int>(wcslen(text));
    return text;
}

int YesNoTextWidth(const FieldBlob& field)
{
    const FieldBoolTexts* texts = field.BoolTexts();
    if (texts == nullptr)
        return 4;
    return static_cast<int>(texts->length1 > texts->length2 ? texts->length1 : texts->length2);
}

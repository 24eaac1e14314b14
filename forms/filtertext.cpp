#include "forms/filtertext.h"

#include "forms/fielddesc.h"
#include "forms/fieldvalue.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "resources/strings.h"

#include <string.h>

void FilterReadText(FilterCondition& c, int index, const wchar_t* text)
{
    const FieldBlob* f = c.field;
    if (f->reference != nullptr || f->Base() == kFieldBool)
        throw EMsg(IDS_CONTROL_TYPE_MISMATCH);
    const bool empty = text == nullptr || text[0] == 0;
    switch (f->Base()) {
    case kFieldInt8:
    case kFieldInt16:
    case kFieldInt32: {
        if (empty) {
            c.SetValue(index, nullptr, 0);
            return;
        }
        DWORD value = 0;
        const FieldParse parsed = ParseFieldInteger(text, f->type, (f->type & kFieldUnsigned) == 0, &value);
        if (parsed == kParseBadFormat)
            throw EMsg(IDS_INVALID_VALUE_FORMAT);
        if (parsed == kParseOutOfRange)
            throw EMsg(IDS_VALUE_OUT_OF_RANGE);
        c.SetValue(index, &value, 4);
        return;
    }
    case kFieldText: {
        int chars = empty ? 0 : static_cast<int>(wcslen(text));
        if (chars > static_cast<int>(f->textSize))
            chars = static_cast<int>(f->textSize);
        c.SetValue(index, text, chars * 2);
        return;
    }
    case kFieldDateTime:
    case kFieldDate:
    case kFieldTime: {
        if (empty) {
            c.SetValue(index, nullptr, 0);
            return;
        }
        FILETIME time;
        if (!ParseFieldDate(text, f->Base(), kParseDate | kParseTime | kParseTimeOptional, &time))
            throw EMsg(IDS_INVALID_VALUE_FORMAT);
        c.SetValue(index, &time, 8);
        return;
    }
    default:
        throw EMsg(IDS_UNKNOWN_VALUE_TYPE);
    }
}

int FilterSubstringText(wchar_t* text, int length, int textSize)
{
    if (length < textSize && (length == 0 || text[length - 1] != L'%')) {
        text[length++] = L'%';
        text[length] = 0;
    }
    if (length == 1 && text[0] == L'%') {
        text[0] = 0;
        length = 0;
    }
    return length;
}

std::wstring FilterValueText(const FilterCondition& c, int index)
{
    if (index < 0 || index >= c.valueCount || c.values == nullptr)
        return std::wstring();
    const FilterValue& v = c.values[index];
    const FieldBlob* f = c.field;
    if (f->Base() == kFieldBool && f->reference == nullptr) {
        wchar_t text[64] = {};
        LoadStringW(hInstance, !v.IsEmpty() && *reinterpret_cast<const DWORD*>(v.data) != 0 ? IDS_YES : IDS_NO, text,
                    64);
        return text;
    }
    if (v.IsEmpty())
        return std::wstring();
    wchar_t text[64] = {};
    switch (f->Base()) {
    case kFieldInt8:
    case kFieldInt16:
    case kFieldInt32:
        _snwprintf(text, 63, L"%i", *reinterpret_cast<const int*>(v.data));
        return text;
    case kFieldText:
        return std::wstring(reinterpret_cast<const wchar_t*>(v.data), v.length / 2);
    case kFieldDateTime:
    case kFieldDate:
    case kFieldTime:
        FormatFieldDate(text, 64, nullptr, f->Base(), *reinterpret_cast<const FILETIME*>(v.data));
        return text;
    default:
        return std::wstring();
    }
}

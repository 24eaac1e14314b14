#include "forms/kartfield.h"

#include "forms/dbformdesc.h"
#include "forms/descheap.h"
#include "forms/fieldvalue.h"
#include "foundation/datetime.h"
#include "ui/button.h"

#include <string.h>

namespace {

[[noreturn]] void Fail(KartField* field, int code)
{
    throw KartError{field, code};
}

// Reads the control's text into the buffer (at most capacity - 1
// characters); throws code 1 when the control cannot be read.
int ReadControlText(KartField* field, wchar_t* buffer, int capacity)
{
    if (field->control == nullptr || !IsWindow(field->control))
        Fail(field, kKartErrorRead);
    SetLastError(0);
    int n = GetWindowTextW(field->control, buffer, capacity);
    if (n <= 0) {
        if (GetLastError() != 0)
            Fail(field, kKartErrorRead);
        n = 0;
    }
    buffer[n] = 0;
    return n;
}

}  // namespace

KartField* KartField::Create(const DbFormDesc* owner, const FieldBlob* desc)
{
    // Two bytes more than the value: a text value can always be terminated.
    const size_t size = sizeof(KartField) + desc->valueSize + 2;
    KartField* field = static_cast<KartField*>(DescHeap::Alloc(size));
    if (field == nullptr)
        return nullptr;
    memset(field, 0, size);
    field->owner = owner;
    field->desc = desc;
    field->length = -1;
    return field;
}

void KartField::Free(KartField* field)
{
    DescHeap::Free(field);
}

void KartField::SetWord(DWORD value)
{
    memcpy(Value(), &value, 4);
    length = 4;
}

void KartField::SetTime(const FILETIME& value)
{
    memcpy(Value(), &value, 8);
    length = static_cast<int>(desc->valueSize);
}

void KartField::SetChars(const wchar_t* text, int count)
{
    if (count > MaxChars())
        count = MaxChars();
    if (text == nullptr || count <= 0) {
        SetNull();
        return;
    }
    wchar_t* chars = reinterpret_cast<wchar_t*>(Value());
    memmove(chars, text, count * sizeof(wchar_t));
    chars[count] = 0;
    length = count * 2;
}

void KartField::ParseText(const wchar_t* text)
{
    const DWORD base = Base();
    const bool empty = text == nullptr || text[0] == 0;
    switch (base) {
    case kFieldInt8:
    case kFieldInt16:
    case kFieldInt32: {
        if (empty) {
            SetNull();
            return;
        }
        DWORD word = 0;
        if (ParseFieldInteger(text, desc->type, true, &word) != kParseOk)
            Fail(this, kKartErrorFormat);
        SetWord(word);
        return;
    }
    case kFieldText:
        SetChars(text, empty ? 0 : static_cast<int>(wcslen(text)));
        return;
    case kFieldDateTime:
    case kFieldDate:
    case kFieldTime: {
        if (empty) {
            SetNull();
            return;
        }
        FILETIME time;
        if (!ParseFieldDate(text, base, kParseDate | kParseTime, &time))
            Fail(this, kKartErrorFormat);
        SetTime(time);
        return;
    }
    default:
        Fail(this, kKartErrorInternal);
    }
}

int KartField::FormatText(wchar_t* out, int capacity) const
{
    if (capacity < 1)
        return -1;
    out[0] = 0;
    switch (Base()) {
    case kFieldInt8:
    case kFieldInt16:
    case kFieldInt32:
        return IsNull() ? 0 : FormatFieldInteger(out, capacity, *desc, Word());
    case kFieldText: {
        int n = CharCount();
        if (n > capacity - 1)
            n = capacity - 1;
        memcpy(out, Chars(), n * sizeof(wchar_t));
        out[n] = 0;
        return n;
    }
    case kFieldDateTime:
    case kFieldDate:
    case kFieldTime:
        return IsNull() ? 0 : FormatFieldDate(out, capacity, desc->FormatText(), Base(), Time());
    default:
        return -1;
    }
}

void KartField::ReadFromControl(KartField* field)
{
    switch (field->desc->controlKind) {
    case kControlEdit: {
        const DWORD base = field->Base();
        if (base == kFieldText) {
            const int capacity = field->MaxChars() + 1;
            wchar_t* buffer = reinterpret_cast<wchar_t*>(field->Value());
            int n = ReadControlText(field, buffer, capacity);
            field->length = n > 0 ? n * 2 : -1;
            return;
        }
        wchar_t text[32];
        if (base == kFieldInt8 || base == kFieldInt16 || base == kFieldInt32) {
            ReadControlText(field, text, 32);
            field->ParseText(text);
            return;
        }
        if (base == kFieldDateTime || base == kFieldDate || base == kFieldTime) {
            ReadControlText(field, text, 32);
            field->ParseText(text);
            Show(field);   // the control shows the normalised text
            return;
        }
        Fail(field, kKartErrorInternal);
    }
    case kControlList: {
        if (field->desc->reference == nullptr || field->control == nullptr)
            Fail(field, kKartErrorInternal);
        LRESULT item = SendMessageW(field->control, CB_GETCURSEL, 0, 0);
        if (item == CB_ERR) {
            field->SetNull();
            return;
        }
        LRESULT data = SendMessageW(field->control, CB_GETITEMDATA, item, 0);
        field->SetWord(static_cast<DWORD>(data));
        return;
    }
    case kControlCheck:
        if (field->Base() != kFieldBool)
            Fail(field, kKartErrorInternal);
        field->length = 4;
        return;
    default:
        Fail(field, kKartErrorInternal);
    }
}

bool KartField::Show(KartField* field)
{
    switch (field->desc->controlKind) {
    case kControlEdit: {
        if (field->control == nullptr)
            return false;
        const int capacity = field->Base() == kFieldText ? field->MaxChars() + 1 : 64;
        wchar_t small[64];
        wchar_t* text = small;
        if (capacity > 64) {
            text = static_cast<wchar_t*>(DescHeap::Alloc(capacity * sizeof(wchar_t)));
            if (text == nullptr)
                return false;
        }
        const int n = field->FormatText(text, capacity);
        const bool shown = n >= 0 && SetWindowTextW(field->control, text);
        if (text != small)
            DescHeap::Free(text);
        return shown;
    }
    case kControlList:
        return FillLookup(field);
    case kControlCheck: {
        if (field->Base() != kFieldBool)
            Fail(field, kKartErrorInternal);
        if (field->check == nullptr)
            return false;
        const bool value = field->Word() != 0;
        field->check->SetCheck(!value);
        int length = 0;
        const wchar_t* caption = YesNoText(*field->desc, value, &length);
        field->check->SetText(caption, length);
        return true;
    }
    default:
        return false;
    }
}

bool MaskMatches(wchar_t* text, const wchar_t* mask, int textLength, int maskLength)
{
    int t = 0;
    for (int m = 0; m < maskLength; ++m) {
        const wchar_t c = mask[m];
        switch (c) {
        case L'A':
        case L'a':
            if (t >= textLength || !IsCharAlphaW(text[t]))
                return false;
            text[t] = static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(
                c == L'A' ? CharUpperW(reinterpret_cast<wchar_t*>(static_cast<UINT_PTR>(text[t])))
                          : CharLowerW(reinterpret_cast<wchar_t*>(static_cast<UINT_PTR>(text[t])))));
            ++t;
            break;
        case L'0':
            if (t >= textLength || text[t] < L'0' || text[t] > L'9')
                return false;
            ++t;
            break;
        case L'_':
            if (t >= textLength)
                return false;
            ++t;
            break;
        default:
            return c == L'*';
        }
    }
    return t == textLength;
}

namespace KartForm {

void ReadAll(int count, KartField** fields)
{
    for (int i = 0; i < count; ++i)
        KartField::ReadFromControl(fields[i]);
}

int ReadKeyFields(int count, KartField** fields)
{
    int keys = 0;
    for (int i = 0; i < count; ++i) {
        if (fields[i]->desc->type & kFieldRowId) {
            KartField::ReadFromControl(fields[i]);
            ++keys;
        }
    }
    return keys;
}

bool ShowAll(int count, KartField** fields)
{
    for (int i = 0; i < count; ++i)
        if (!KartField::Show(fields[i]))
            return false;
    return true;
}

void ApplyDateDefaults(int count, KartField** fields)
{
    for (int i = 0; i < count; ++i) {
        KartField* f = fields[i];
        const FieldDefault* d = f->desc->defaultValue;
        bool given = false;
        if (d != nullptr) {
            SYSTEMTIME now;
            GetLocalTime(&now);
            FILETIME time;
            switch (d->kind) {
            case kDefaultNow:
                given = SystemTimeToFileTime(&now, &time) != FALSE;
                break;
            case kDefaultTimeNow:
                SetTimeValueDate(&now);
                given = SystemTimeToFileTime(&now, &time) != FALSE;
                break;
            case kDefaultToday:
                now.wHour = now.wMinute = now.wSecond = 0;
                given = SystemTimeToFileTime(&now, &time) != FALSE;
                break;
            case kDefaultFileTime:
                if (d->dataSize <= f->desc->valueSize) {
                    memcpy(f->Value(), d->data, d->dataSize);
                    f->length = static_cast<int>(d->dataSize);
                    continue;
                }
                break;
            default:
                break;
            }
            if (given) {
                f->SetTime(time);
                continue;
            }
        }
        switch (f->Base()) {
        case kFieldInt8:
        case kFieldInt16:
        case kFieldInt32:
        case kFieldText:
        case kFieldDateTime:
        case kFieldDate:
        case kFieldTime:
            f->SetNull();
            break;
        case kFieldBool: {
            // The value 1, with the length as it was.
            DWORD one = 1;
            memcpy(f->Value(), &one, 4);
            break;
        }
        default:
            return;
        }
    }
}

bool ReadAndCheckKeys(int count, KartField** fields)
{
    if (ReadKeyFields(count, fields) == 0)
        return false;
    KartFields::Check(count, fields);
    return true;
}

}  // namespace KartForm

namespace KartFields {

void Check(int count, KartField** fields)
{
    for (int i = 0; i < count; ++i) {
        KartField* f = fields[i];
        if ((f->desc->type & kFieldNotNull) && f->IsNull())
            Fail(f, kKartErrorRequired);
        const wchar_t* mask = f->desc->FormatText();
        if (f->Base() == kFieldText && mask != nullptr && f->desc->formatLength > 0 && !f->IsNull()) {
            if (!MaskMatches(reinterpret_cast<wchar_t*>(f->Value()), mask, f->CharCount(),
                             static_cast<int>(f->desc->formatLength)))
                Fail(f, kKartErrorFormat);
        }
    }
}

}  // namespace KartFields

#include "forms/dbfilter.h"

#include "forms/descheap.h"
#include "forms/fielddesc.h"
#include "forms/formdesc.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "resources/strings.h"

#include <string.h>

#include <new>
#include <utility>

namespace {

// What a value buffer of the field holds: the value and a terminator.
DWORD BufferSize(const FieldBlob* field)
{
    return field->valueSize + 2;
}

BYTE* NewBuffer(const FieldBlob* field)
{
    BYTE* data = static_cast<BYTE*>(DescHeap::Alloc(BufferSize(field)));
    if (data != nullptr)
        memset(data, 0, BufferSize(field));
    return data;
}

// Frees an array of n values and their buffers.
void FreeValueArray(FilterValue* values, int n)
{
    if (values == nullptr)
        return;
    for (int i = 0; i < n; ++i)
        DescHeap::Free(values[i].data);
    DescHeap::Free(values);
}

// A new array of n values with buffers, all empty; null when memory runs out.
FilterValue* NewValueArray(const FieldBlob* field, int n)
{
    FilterValue* values = static_cast<FilterValue*>(DescHeap::Alloc(n * sizeof(FilterValue)));
    if (values == nullptr)
        return nullptr;
    memset(values, 0, n * sizeof(FilterValue));
    for (int i = 0; i < n; ++i) {
        values[i].data = NewBuffer(field);
        if (values[i].data == nullptr) {
            FreeValueArray(values, n);
            return nullptr;
        }
    }
    return values;
}

void CopyValue(const FieldBlob* field, FilterValue& to, const FilterValue& from)
{
    memset(to.data, 0, BufferSize(field));
    int length = from.length;
    if (length > static_cast<int>(field->valueSize))
        length = static_cast<int>(field->valueSize);
    if (length > 0 && from.data != nullptr) {
        memcpy(to.data, from.data, length);
        to.length = length;
    } else {
        to.length = 0;
    }
}

}  // namespace

UINT FilterKindCaption(int kind)
{
    return kind >= kFilterEqual && kind <= kFilterNow ? IDS_CONDITION_EQUAL + (kind - 1) : 0;
}

int FilterKindValues(int kind)
{
    switch (kind) {
    case kFilterEqual:
    case kFilterLess:
    case kFilterMore:
    case kFilterLike:
    case kFilterSubstring:
    case kFilterNow:
        return 1;
    case kFilterBetween:
        return 2;
    default:
        return 0;
    }
}

std::wstring EMsg::Text() const
{
    std::wstring text(TextLength() + 1, L'\0');
    text.resize(GetText(&text[0], static_cast<int>(text.size())));
    return text;
}

// ---------------------------------------------------------------- conditions

bool FilterCondition::Offers(const FieldBlob* field, int kind)
{
    static const int kList[] = {kFilterEqual, kFilterEmpty, kFilterNotEmpty};
    static const int kInteger[] = {kFilterEqual, kFilterLess, kFilterMore, kFilterBetween};
    static const int kBool[] = {kFilterEqual, kFilterNotUsed};
    static const int kText[] = {kFilterEqual, kFilterEmpty, kFilterLess, kFilterMore,
                                kFilterLike, kFilterSubstring, kFilterNotEmpty};
    static const int kDate[] = {kFilterEqual, kFilterEmpty, kFilterLess, kFilterMore,
                                kFilterBetween, kFilterNotEmpty, kFilterNow};
    const int* kinds = nullptr;
    int n = 0;
    auto use = [&](const int* k, int count) {
        kinds = k;
        n = count;
    };
    if (field->reference != nullptr) {
        use(kList, 3);
    } else {
        switch (field->Base()) {
        case kFieldInt8:
        case kFieldInt16:
        case kFieldInt32:
            use(kInteger, 4);
            break;
        case kFieldBool:
            use(kBool, 2);
            break;
        case kFieldText:
            use(kText, 7);
            break;
        case kFieldDateTime:
        case kFieldDate:
        case kFieldTime:
            use(kDate, 7);
            break;
        default:
            break;
        }
    }
    for (int i = 0; i < n; ++i)
        if (kinds[i] == kind)
            return true;
    return false;
}

bool FilterCondition::SetKind(FilterCondition* c, int kind)
{
    if (kind == c->kind || !Offers(c->field, kind))
        return false;
    const int needed = FilterKindValues(kind);
    FilterValue* fresh = nullptr;
    if (needed > 0) {
        fresh = NewValueArray(c->field, needed);
        if (fresh == nullptr)
            return false;
        for (int i = 0; i < needed; ++i) {
            // The second value of "Between" starts from the old second, or
            // from the old first when there was only one.
            int from = i < c->valueCount ? i : c->valueCount - 1;
            if (from >= 0 && c->values != nullptr)
                CopyValue(c->field, fresh[i], c->values[from]);
        }
    }
    const DWORD base = c->field->Base();
    if (kind == kFilterNow) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        if (base == kFieldDate) {
            now.wHour = now.wMinute = now.wSecond = now.wMilliseconds = 0;
        } else if (base == kFieldTime) {
            SetTimeValueDate(&now);
        }
        FILETIME time;
        SystemTimeToFileTime(&now, &time);
        memcpy(fresh[0].data, &time, 8);
        fresh[0].length = 8;
        kind = kFilterEqual;
    } else if (kind == kFilterEqual && base == kFieldBool && c->field->reference == nullptr) {
        DWORD yes = 1;
        memcpy(fresh[0].data, &yes, 4);
        fresh[0].length = 4;
    }
    c->FreeValues();
    c->values = fresh;
    c->valueCount = needed;
    c->kind = kind;
    Normalize(c);
    return true;
}

void FilterCondition::Normalize(FilterCondition* c)
{
    auto empty = [c](int i) { return i >= c->valueCount || c->values == nullptr || c->values[i].IsEmpty(); };
    switch (c->kind) {
    case kFilterEqual:
    case kFilterLess:
    case kFilterMore:
    case kFilterLike:
    case kFilterSubstring:
        c->effective = empty(0) ? kFilterNotUsed : c->kind;
        break;
    case kFilterEmpty:
    case kFilterNotEmpty:
    case kFilterNotUsed:
        c->effective = c->kind;
        break;
    case kFilterBetween:
        c->effective = empty(0) || empty(1) ? kFilterNotUsed : kFilterBetween;
        break;
    default:
        throw EMsg(IDS_UNKNOWN_FILTER_METHOD);
    }
}

int FilterCondition::DefaultKind(const FilterCondition* c)
{
    if (c->field->reference != nullptr)
        return kFilterEqual;
    switch (c->field->Base()) {
    case kFieldInt8:
    case kFieldInt16:
    case kFieldInt32:
    case kFieldDateTime:
    case kFieldDate:
    case kFieldTime:
        return kFilterEqual;
    case kFieldBool:
        return kFilterNotUsed;
    case kFieldText:
        return kFilterSubstring;
    default:
        throw DException{kDExceptionParameterType};
    }
}

bool FilterCondition::CopyFrom(FilterCondition* c, const FilterCondition& source)
{
    c->FreeValues();
    c->field = source.field;
    c->kind = source.kind;
    c->effective = source.effective;
    if (source.valueCount > 0 && source.values != nullptr) {
        FilterValue* fresh = NewValueArray(source.field, source.valueCount);
        if (fresh == nullptr)
            return false;
        for (int i = 0; i < source.valueCount; ++i)
            CopyValue(source.field, fresh[i], source.values[i]);
        c->values = fresh;
        c->valueCount = source.valueCount;
    }
    return true;
}

void FilterCondition::FreeValues()
{
    FreeValueArray(values, valueCount);
    values = nullptr;
    valueCount = 0;
}

void FilterCondition::SetValue(int i, const void* data, int length)
{
    if (i < 0 || i >= valueCount || values == nullptr)
        return;
    FilterValue from = {length, static_cast<BYTE*>(const_cast<void*>(data))};
    CopyValue(field, values[i], from);
}

// ---------------------------------------------------------------- arrays

DbFilterValues::~DbFilterValues()
{
    Free();
}

void DbFilterValues::Free()
{
    if (conditions != nullptr) {
        for (int i = 0; i < count; ++i)
            conditions[i].FreeValues();
        DescHeap::Free(conditions);
    }
    conditions = nullptr;
    count = 0;
}

bool DbFilterValues::Allocate(int n)
{
    Free();
    if (n <= 0)
        return true;
    conditions = static_cast<FilterCondition*>(DescHeap::Alloc(n * sizeof(FilterCondition)));
    if (conditions == nullptr)
        return false;
    memset(conditions, 0, n * sizeof(FilterCondition));
    count = n;
    return true;
}

// ---------------------------------------------------------------- filter

DbFilter::DbFilter() : loaded_(0), form_(nullptr), sections_(nullptr), sectionCount_(0)
{
}

DbFilter::~DbFilter()
{
    Clear();
    own_.Free();
}

void DbFilter::Clear()
{
    own_.Free();
    if (sections_ != nullptr) {
        for (int i = 0; i < sectionCount_; ++i)
            sections_[i].~DbFilterValues();
        DescHeap::Free(sections_);
    }
    sections_ = nullptr;
    sectionCount_ = 0;
    form_ = nullptr;
    loaded_ = 0;
}

void DbFilter::Swap(DbFilter& other)
{
    std::swap(loaded_, other.loaded_);
    std::swap(form_, other.form_);
    std::swap(own_.conditions, other.own_.conditions);
    std::swap(own_.count, other.own_.count);
    std::swap(sections_, other.sections_);
    std::swap(sectionCount_, other.sectionCount_);
}

namespace {

// Sets up one array of conditions over a field list; throws `failure`.
void LoadConditions(DbFilterValues& values, const DescStrArray& fields, int failure)
{
    if (!values.Allocate(fields.count))
        throw failure;
    for (int i = 0; i < fields.count; ++i) {
        FilterCondition& c = values.conditions[i];
        c.field = fields[i];
        if (!FilterCondition::SetKind(&c, FilterCondition::DefaultKind(&c)))
            throw i;
        for (int v = 0; v < c.valueCount; ++v)
            c.values[v].length = 0;
        FilterCondition::Normalize(&c);
    }
}

}  // namespace

bool DbFilter::Load(const FormDesc* form)
{
    if (form_ != nullptr || form == nullptr)
        return false;
    try {
        LoadConditions(own_, form->Fields(), -1);
        if (form->RefCount() > 0) {
            sections_ = static_cast<DbFilterValues*>(DescHeap::Alloc(form->RefCount() * sizeof(DbFilterValues)));
            if (sections_ == nullptr)
                throw 1;
            for (int s = 0; s < form->RefCount(); ++s)
                new (&sections_[s]) DbFilterValues;
            sectionCount_ = form->RefCount();
            for (int s = 0; s < sectionCount_; ++s)
                LoadConditions(sections_[s], form->Ref(s)->fields, 2);
        }
    } catch (...) {
        Clear();
        return false;
    }
    form_ = form;
    loaded_ = 1;
    return true;
}

bool DbFilter::CopyFrom(const DbFilter& source)
{
    form_ = source.form_;
    if (!own_.Allocate(source.own_.count))
        return false;
    for (int i = 0; i < own_.count; ++i)
        if (!FilterCondition::CopyFrom(&own_.conditions[i], source.own_.conditions[i]))
            return false;
    if (source.sectionCount_ > 0) {
        sections_ = static_cast<DbFilterValues*>(DescHeap::Alloc(source.sectionCount_ * sizeof(DbFilterValues)));
        if (sections_ == nullptr)
            return false;
        for (int s = 0; s < source.sectionCount_; ++s)
            new (&sections_[s]) DbFilterValues;
        sectionCount_ = source.sectionCount_;
        for (int s = 0; s < sectionCount_; ++s) {
            const DbFilterValues& from = source.sections_[s];
            if (!sections_[s].Allocate(from.count))
                return false;
            for (int i = 0; i < from.count; ++i)
                if (!FilterCondition::CopyFrom(&sections_[s].conditions[i], from.conditions[i]))
                    return false;
        }
    }
    loaded_ = 1;
    return true;
}

bool DbFilter::Assign(const DbFilter& source)
{
    if (&source == this)
        return true;
    DbFilter copy;
    if (!copy.CopyFrom(source))
        return false;   // the copy cleans itself up; this filter is untouched
    Swap(copy);
    return true;
}

void DbFilter::Describe(std::wstring& out) const
{
    out.clear();
    wchar_t prefix[128] = {};
    LoadStringW(hInstance, IDS_FILTER_ON, prefix, 128);
    auto start = [&]() {
        if (out.empty())
            out = prefix;
        else
            out += L", ";
    };
    if (form_ != nullptr) {
        for (int i = 0; i < own_.count; ++i) {
            const FilterCondition& c = own_.conditions[i];
            if (c.effective == kFilterNotUsed)
                continue;
            start();
            out.append(c.field->caption, c.field->captionLength);
        }
        for (int s = 0; s < sectionCount_; ++s) {
            bool opened = false;
            for (int i = 0; i < sections_[s].count; ++i) {
                const FilterCondition& c = sections_[s].conditions[i];
                if (c.effective == kFilterNotUsed)
                    continue;
                if (!opened) {
                    start();
                    const FormRefDesc* ref = form_->Ref(s);
                    if (ref->String(kRefName) != nullptr)
                        out.append(ref->String(kRefName), ref->StringLength(kRefName));
                    out += L" (";
                    opened = true;
                } else {
                    out += L", ";
                }
                out.append(c.field->caption, c.field->captionLength);
            }
            if (opened)
                out += L")";
        }
    }
    if (out.empty()) {
        wchar_t none[128] = {};
        LoadStringW(hInstance, IDS_FILTERS_NOT_DEFINED, none, 128);
        out = none;
    }
}

void DbFilter::Describe(DStrBuf& out) const
{
    std::wstring text;
    Describe(text);
    out.Copy(text.c_str());
}

#include "database/dbparams.h"

#include "database/dberrors.h"
#include "resources/strings.h"

namespace {

const DBSTATUS kUnavailable = DBSTATUS_E_UNAVAILABLE;   // 12: "no status to be had"
const ULONG kMaxBufferBytes = 0x7FFFFFFF;

bool HasLengthPart(const DBBINDING& b)
{
    return (b.dwPart & DBPART_LENGTH) != 0;
}

bool AcceptableStatus(DBSTATUS s)
{
    return s == DBSTATUS_S_OK || s == DBSTATUS_S_ISNULL || s == DBSTATUS_S_DEFAULT;
}

}  // namespace

ULONG DODBFixedSize(DBTYPE type)
{
    switch (type) {
    case DBTYPE_I1:
    case DBTYPE_UI1:
        return 1;
    case DBTYPE_I2:
    case DBTYPE_UI2:
    case DBTYPE_BOOL:
        return 2;
    case DBTYPE_I4:
    case DBTYPE_R4:
    case DBTYPE_UI4:
        return 4;
    case DBTYPE_R8:
    case DBTYPE_I8:
    case DBTYPE_UI8:
    case DBTYPE_FILETIME:
        return 8;
    default:
        return 0;
    }
}

void DODBMapProviderType(DBTYPE type, DBLENGTH size, DBTYPE* boundType, DBLENGTH* boundSize)
{
    ULONGLONG bytes = size;
    switch (type) {
    case DBTYPE_BOOL:
        type = DBTYPE_I4;
        break;
    case DBTYPE_STR:
    case DBTYPE_WSTR:
        type = DBTYPE_WSTR;
        bytes = (ULONGLONG)size * 2;
        break;
    case DBTYPE_DATE:
    case DBTYPE_DBDATE:
    case DBTYPE_DBTIME:
    case DBTYPE_DBTIMESTAMP:
        type = DBTYPE_FILETIME;
        break;
    default:
        break;
    }
    if (bytes > kDODBMaxBindBytes)
        bytes = kDODBMaxBindBytes;
    *boundType = type;
    *boundSize = (DBLENGTH)bytes;
}

DODBParams::DODBParams()
    : count(0), bindings(nullptr), data(nullptr), dataSize(0), accessorOwner(nullptr), accessor(0)
{
}

DODBParams::DODBParams(int n) : DODBParams()
{
    SetNumParams((ULONG)n);
}

DODBParams::~DODBParams()
{
    Clear();
}

void DODBParams::FreeBindings()
{
    if (bindings != nullptr) {
        DODBFree(bindings);
        bindings = nullptr;
    }
}

void DODBParams::FreeBuffer()
{
    if (data != nullptr) {
        DODBFree(data);
        data = nullptr;
    }
    dataSize = 0;
}

void DODBParams::ReleaseAccessor()
{
    if (accessorOwner != nullptr) {
        if (accessor != 0)
            accessorOwner->ReleaseAccessor(accessor, nullptr);
        accessorOwner->Release();
        accessorOwner = nullptr;
    }
    accessor = 0;
}

void DODBParams::Clear()
{
    count = 0;
    FreeBindings();
    FreeBuffer();
    ReleaseAccessor();
}

HRESULT DODBParams::SetNumParams(ULONG n)
{
    DODBClearError();
    FreeBindings();
    count = 0;
    if ((n & 0xFFFF) == 0)
        return S_OK;
    bindings = static_cast<DBBINDING*>(DODBAlloc(sizeof(DBBINDING) * (n & 0xFFFF)));
    if (bindings == nullptr) {
        DODBSetError(E_OUTOFMEMORY, IDS_DB_BINDINGS_ALLOC, L"DODBParams::SetNumParams");
        return E_FAIL;
    }
    count = n & 0xFFFF;
    return S_OK;
}

HRESULT DODBParams::SetParamBind(ULONG index, DBORDINAL ordinal, DBTYPE type, DBLENGTH maxLength, DBPARAMIO io)
{
    static const wchar_t kSource[] = L"DODBParams::SetParamBind";
    DODBClearError();
    if (index >= count) {
        DODBSetError(E_FAIL, IDS_DB_PARAMETER_NUMBER, kSource);
        return E_FAIL;
    }
    if (bindings == nullptr) {
        DODBSetError(E_FAIL, IDS_DB_NO_BINDINGS, kSource);
        return E_FAIL;
    }
    DBBINDING b = {};
    b.iOrdinal = ordinal != 0 ? ordinal : index + 1;
    b.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
    b.eParamIO = io;
    b.wType = type;
    b.dwPart = DBPART_VALUE | DBPART_STATUS;
    if (type & DBTYPE_BYREF) {
        b.cbMaxLen = sizeof(void*);
        if ((type & ~DBTYPE_BYREF) == DBTYPE_WSTR)
            b.dwPart |= DBPART_LENGTH;
    } else if (type == DBTYPE_STR) {
        b.cbMaxLen = maxLength + 1;
        b.dwPart |= DBPART_LENGTH;
    } else if (type == DBTYPE_WSTR) {
        b.cbMaxLen = maxLength + 2;
        b.dwPart |= DBPART_LENGTH;
    } else if (type != DBTYPE_BOOL && DODBFixedSize(type) != 0) {
        b.cbMaxLen = DODBFixedSize(type);
    } else {
        DODBAddError(E_FAIL, IDS_DB_PARAMETER_TYPE, kSource);
        return E_FAIL;
    }
    if ((type == DBTYPE_STR || type == DBTYPE_WSTR) && b.cbMaxLen < maxLength) {
        // The terminator's room wrapped the size around: no buffer can hold it.
        DODBAddError(E_FAIL, IDS_DB_PARAMETER_ALLOC, kSource);
        return E_FAIL;
    }

    if (data == nullptr) {
        bindings[index] = b;
        return S_OK;
    }
    // Laid out already: lay the block out again with the changed binding and
    // bring the other values over. The old accessor describes the old layout,
    // so it goes too.
    DODBParams old;
    HRESULT hr = old.CopyFrom(*this);
    if (FAILED(hr))
        return hr;
    ReleaseAccessor();
    bindings[index] = b;
    hr = AllocStructForParams();
    if (FAILED(hr))
        return hr;
    CopyValuesExcept(old, index);
    return S_OK;
}

HRESULT DODBParams::SetParamBindW(ULONG index, DBTYPE type, DBLENGTH maxLength)
{
    return SetParamBind(index, index + 1, type, maxLength, DBPARAMIO_INPUT);
}

HRESULT DODBParams::SetParamBindInOut(ULONG index, DBORDINAL ordinal, DBTYPE type, DBLENGTH maxLength)
{
    return SetParamBind(index, ordinal, type, maxLength, DBPARAMIO_INPUT | DBPARAMIO_OUTPUT);
}

BOOL DODBParams::SetBindings(ULONG n, const DODBBindRow* table)
{
    Clear();
    if (FAILED(SetNumParams(n))) {
        Clear();
        return FALSE;
    }
    for (ULONG i = 0; i < count; ++i) {
        if (FAILED(SetParamBind(i, table[i].ordinal, table[i].type, table[i].maxLength, DBPARAMIO_INPUT))) {
            Clear();
            return FALSE;
        }
    }
    if (FAILED(AllocStructForParams())) {
        Clear();
        return FALSE;
    }
    return TRUE;
}

void DODBParams::ClearStatuses()
{
    if (data == nullptr)
        return;
    for (ULONG i = 0; i < count; ++i)
        *StatusOf(bindings[i]) = DBSTATUS_S_OK;
}

HRESULT DODBParams::AllocStructForParams()
{
    static const wchar_t kSource[] = L"DODBParams::AllocStructForParams";
    ULONGLONG offset = 0;
    for (ULONG i = 0; i < count; ++i) {
        DBBINDING& b = bindings[i];
        if (b.wType == 0) {
            DODBAddError(E_FAIL, IDS_DB_NO_PARAMETER_INFO, kSource);
            return E_FAIL;
        }
        offset = (offset + 3) & ~3ULL;
        b.obStatus = (DBBYTEOFFSET)offset;
        ULONGLONG value = offset + 4;
        if (HasLengthPart(b)) {
            b.obLength = (DBBYTEOFFSET)(offset + 4);
            value = offset + 8;
        }
        if (b.wType == DBTYPE_R8 || b.wType == DBTYPE_FILETIME)
            value = (value + 7) & ~7ULL;
        b.obValue = (DBBYTEOFFSET)value;
        offset = value + b.cbMaxLen;
        if (offset > kMaxBufferBytes) {
            DODBAddError(E_OUTOFMEMORY, IDS_DB_PARAMETER_ALLOC, kSource);
            return E_OUTOFMEMORY;
        }
    }
    FreeBuffer();
    // Never a block of 0 bytes: a block without bindings still has a buffer.
    ULONG size = offset > 0 ? (ULONG)offset : 4;
    data = static_cast<BYTE*>(DODBAlloc(size));
    if (data == nullptr) {
        DODBAddError(E_OUTOFMEMORY, IDS_DB_PARAMETER_ALLOC, kSource);
        return E_OUTOFMEMORY;
    }
    dataSize = size;
    return S_OK;
}

HRESULT DODBParams::DCreateAccessor(IAccessor* owner, DBACCESSORFLAGS flags)
{
    static const wchar_t kSource[] = L"DODBParams::DCreateAccessor";
    DODBClearError();
    if (accessor != 0) {
        DODBSetError(E_FAIL, IDS_DB_ACCESSOR_EXISTS, kSource);
        return E_FAIL;
    }
    if (owner == nullptr) {
        // An object whose provider lacked IAccessor: nothing to make it with.
        DODBSetError(E_NOINTERFACE, IDS_DB_ACCESSOR_CREATE, kSource);
        return E_NOINTERFACE;
    }
    HACCESSOR made = 0;
    HRESULT hr = owner->CreateAccessor(flags, count & 0xFFFF, bindings, sizeof(DBBINDING), &made, nullptr);
    if (FAILED(hr)) {
        DODBAddError(hr, IDS_DB_ACCESSOR_CREATE, kSource);
        return hr;
    }
    ReleaseAccessor();
    owner->AddRef();
    accessorOwner = owner;
    accessor = made;
    return hr;
}

HRESULT DODBParams::CreateParamAccessor(IAccessor* owner)
{
    return DCreateAccessor(owner, DBACCESSOR_PARAMETERDATA);
}

HRESULT DODBParams::CreateRowAccessor(IAccessor* owner)
{
    return DCreateAccessor(owner, DBACCESSOR_ROWDATA);
}

int DODBParams::IndexOfOrdinal(DBORDINAL ordinal) const
{
    if (bindings == nullptr)
        return -1;
    for (ULONG i = 0; i < count; ++i)
        if (bindings[i].iOrdinal == ordinal)
            return (int)i;
    return -1;
}

HRESULT DODBParams::SetValue(ULONG index, const void* source, DBLENGTH length, DBSTATUS status)
{
    static const wchar_t kSource[] = L"DODBParams::SetValue";
    DODBClearError();
    if (index >= count) {
        DODBSetError(E_FAIL, IDS_DB_PARAMETER_NUMBER, kSource);
        return E_FAIL;
    }
    if (data == nullptr) {
        DODBSetError(E_FAIL, IDS_DB_NO_PARAMETER_MEMORY, kSource);
        return E_FAIL;
    }
    if (bindings == nullptr) {
        DODBSetError(E_FAIL, IDS_DB_NO_BINDINGS, kSource);
        return E_FAIL;
    }
    const DBBINDING& b = bindings[index];
    *StatusOf(b) = status;
    if (source == nullptr)
        return S_OK;
    BYTE* value = ValueOf(b);
    if (b.wType & DBTYPE_BYREF) {
        CopyMemory(value, source, sizeof(void*));
    } else if (b.wType == DBTYPE_STR || b.wType == DBTYPE_WSTR) {
        if (length > b.cbMaxLen)
            return E_FAIL;
        CopyMemory(value, source, length);
        // The length part tells the provider where the text ends; a terminator
        // as well keeps a shorter value from showing the tail of a longer one.
        const DBLENGTH terminator = b.wType == DBTYPE_WSTR ? 2 : 1;
        if (length + terminator <= b.cbMaxLen)
            ZeroMemory(value + length, terminator);
    } else if (DODBFixedSize(b.wType) != 0) {
        CopyMemory(value, source, DODBFixedSize(b.wType));
    } else {
        DODBAddError(E_FAIL, IDS_DB_PARAMETER_TYPE, kSource);
        return E_FAIL;
    }
    if (HasLengthPart(b))
        *LengthOf(b) = length;
    return S_OK;
}

HRESULT DODBParams::SetValue4(ULONG index, LONG value)
{
    return SetValue(index, &value, 0, DBSTATUS_S_OK);
}

HRESULT DODBParams::SetValueFloat(ULONG index, float value)
{
    return SetValue(index, &value, 0, DBSTATUS_S_OK);
}

HRESULT DODBParams::SetValue8(ULONG index, LONGLONG value)
{
    return SetValue(index, &value, 0, DBSTATUS_S_OK);
}

HRESULT DODBParams::SetValueDate(ULONG index, const FILETIME& value)
{
    FILETIME copy = value;
    return SetValue(index, &copy, 0, DBSTATUS_S_OK);
}

HRESULT DODBParams::SetValueStr(ULONG index, const wchar_t* text, int chars)
{
    if (text == nullptr)
        text = L"";
    if (chars < 0)
        chars = (int)wcslen(text);
    return SetValue(index, text, (DBLENGTH)chars * 2, DBSTATUS_S_OK);
}

HRESULT DODBParams::SetStatus(ULONG index, DBSTATUS status)
{
    return SetValue(index, nullptr, 0, status);
}

void DODBParams::SetStrLength(ULONG index, int chars)
{
    const DBBINDING* b = GetBinding(index);
    if (b == nullptr || data == nullptr || !HasLengthPart(*b))
        return;
    if (chars < 0) {
        const wchar_t* text = reinterpret_cast<const wchar_t*>(ValueOf(*b));
        chars = b->wType == DBTYPE_WSTR ? (int)wcsnlen(text, b->cbMaxLen / 2) : 0;
    }
    *LengthOf(*b) = (DBLENGTH)chars * 2;
}

BOOL DODBParams::SetLength(ULONG index, DBLENGTH bytes)
{
    const DBBINDING* b = GetBinding(index);
    if (b == nullptr || data == nullptr || !HasLengthPart(*b))
        return FALSE;
    *LengthOf(*b) = bytes;
    return TRUE;
}

DBLENGTH DODBParams::GetLength(ULONG index) const
{
    const DBBINDING* b = GetBinding(index);
    if (b == nullptr || data == nullptr || !HasLengthPart(*b))
        return 0;
    return *LengthOf(*b);
}

DBLENGTH DODBParams::GetLengthChars(ULONG index) const
{
    return GetLength(index) / 2;
}

DBLENGTH DODBParams::GetMaxLen(ULONG index) const
{
    const DBBINDING* b = GetBinding(index);
    return b != nullptr ? b->cbMaxLen : 0;
}

DBLENGTH DODBParams::GetMaxChars(ULONG index) const
{
    return GetMaxLen(index) / 2;
}

DBTYPE DODBParams::GetWType(ULONG index) const
{
    const DBBINDING* b = GetBinding(index);
    return b != nullptr ? b->wType : 0;
}

void* DODBParams::GetValuePtr(ULONG index) const
{
    const DBBINDING* b = GetBinding(index);
    return b != nullptr && data != nullptr ? ValueOf(*b) : nullptr;
}

HRESULT DODBParams::GetValue(ULONG index, void* destination, DBSTATUS* status, ULONG maximumChars)
{
    DODBClearError();
    return CopyOut(index, destination, status, maximumChars);
}

HRESULT DODBParams::CopyOut(ULONG index, void* destination, DBSTATUS* status, ULONG maximumChars)
{
    static const wchar_t kSource[] = L"DODBParams::GetValue";
    if (index >= count) {
        DODBAddError(E_FAIL, IDS_DB_PARAMETER_NUMBER, kSource);
        return E_FAIL;
    }
    if (data == nullptr) {
        DODBSetError(E_FAIL, IDS_DB_NO_PARAMETER_MEMORY, kSource);
        return E_FAIL;
    }
    const DBBINDING& b = bindings[index];
    const DBSTATUS s = *StatusOf(b);
    if (status != nullptr)
        *status = s;
    if (destination == nullptr || s == DBSTATUS_S_ISNULL)
        return S_OK;
    if (s != DBSTATUS_S_OK) {
        DODBAddError(E_FAIL, IDS_DB_GET_PARAMETER, kSource);
        return E_FAIL;
    }
    const BYTE* value = ValueOf(b);
    if (b.wType == DBTYPE_STR || b.wType == DBTYPE_WSTR) {
        if (maximumChars < 1) {
            DODBAddError(E_FAIL, IDS_DB_BUFFER_SIZE, kSource);
            return E_FAIL;
        }
        const DBLENGTH unit = b.wType == DBTYPE_WSTR ? 2 : 1;
        // Never more than the value room holds, whatever the length part says.
        DBLENGTH n = GetLength(index) / unit;
        if (n > maximumChars - 1)
            n = maximumChars - 1;
        if (b.cbMaxLen / unit > 0 && n > b.cbMaxLen / unit - 1)
            n = b.cbMaxLen / unit - 1;
        CopyMemory(destination, value, n * unit);
        ZeroMemory(static_cast<BYTE*>(destination) + n * unit, unit);
        return S_OK;
    }
    const ULONG size = (b.wType & DBTYPE_BYREF) ? 0 : DODBFixedSize(b.wType);
    if (size == 0) {
        DODBAddError(E_FAIL, IDS_DB_PARAMETER_TYPE, kSource);
        return E_FAIL;
    }
    CopyMemory(destination, value, size);
    return S_OK;
}

DBSTATUS DODBParams::GetStatus(ULONG index)
{
    DBSTATUS s = kUnavailable;
    if (FAILED(GetValue(index, nullptr, &s, 0)))
        return kUnavailable;
    return s;
}

BOOL DODBParams::IsOk(ULONG index) const
{
    const DBBINDING* b = GetBinding(index);
    return b != nullptr && data != nullptr && *StatusOf(*b) == DBSTATUS_S_OK;
}

BOOL DODBParams::IsNull(ULONG index) const
{
    const DBBINDING* b = GetBinding(index);
    return b != nullptr && data != nullptr && *StatusOf(*b) == DBSTATUS_S_ISNULL;
}

BOOL DODBParams::IsNullOrOk(ULONG index) const
{
    return IsOk(index) || IsNull(index);
}

BOOL DODBParams::AllStatusOk() const
{
    if (data == nullptr || bindings == nullptr)
        return FALSE;
    for (ULONG i = 0; i < count; ++i)
        if (!AcceptableStatus(*StatusOf(bindings[i])))
            return FALSE;
    return TRUE;
}

HRESULT DODBParams::ParmsAvailability()
{
    static const wchar_t kSource[] = L"DODBParams::ParmsAvailability";
    DODBClearError();
    if (bindings == nullptr) {
        DODBSetError(E_FAIL, IDS_DB_BINDINGS_ALLOC, kSource);
        return E_FAIL;
    }
    for (ULONG i = 0; i < count; ++i) {
        if (bindings[i].wType == 0) {
            DODBSetError(E_FAIL, IDS_DB_NO_PARAMETER_INFO, kSource);
            return E_FAIL;
        }
    }
    return S_OK;
}

const DBBINDING* DODBParams::TypedBinding(ULONG index, DBTYPE type) const
{
    const DBBINDING* b = GetBinding(index);
    if (b == nullptr || data == nullptr || b->wType != type)
        return nullptr;
    return b;
}

namespace {

// The value a binding found by a getter points at; zero without one.
template <class Result>
Result ValueFrom(const DBBINDING* b, const BYTE* data)
{
    if (b == nullptr)
        return Result();
    Result value;
    CopyMemory(&value, data + b->obValue, sizeof(value));
    return value;
}

}  // namespace

// Each fixed-size type has a plain getter (GetInt: zero on any mismatch,
// nothing posted) and one that reports the status and posts why it found
// nothing (GetIntStatus).
#define DODB_GETTERS(Name, Result, Type)                                              \
    Result DODBParams::Name(ULONG index) const                                        \
    {                                                                                 \
        return ValueFrom<Result>(TypedBinding(index, Type), data);                    \
    }                                                                                 \
    Result DODBParams::Name##Status(ULONG index, DBSTATUS* status)                    \
    {                                                                                 \
        return ValueFrom<Result>(CheckedBinding(index, Type, status), data);          \
    }

DODB_GETTERS(GetI1, CHAR, DBTYPE_I1)
DODB_GETTERS(GetUI1, BYTE, DBTYPE_UI1)
DODB_GETTERS(GetI2, SHORT, DBTYPE_I2)
DODB_GETTERS(GetUI2, USHORT, DBTYPE_UI2)
DODB_GETTERS(GetInt, LONG, DBTYPE_I4)
DODB_GETTERS(GetUI4, ULONG, DBTYPE_UI4)
DODB_GETTERS(GetDate, FILETIME, DBTYPE_FILETIME)
DODB_GETTERS(GetDouble, double, DBTYPE_R8)
DODB_GETTERS(GetFloat, float, DBTYPE_R4)
#undef DODB_GETTERS

DWORD DODBParams::GetUI2Dword(ULONG index) const
{
    return GetUI2(index);
}

wchar_t* DODBParams::GetWStrPtr(ULONG index) const
{
    const DBBINDING* b = TypedBinding(index, DBTYPE_WSTR);
    return b != nullptr ? reinterpret_cast<wchar_t*>(ValueOf(*b)) : nullptr;
}

FILETIME* DODBParams::GetDatePtr(ULONG index) const
{
    const DBBINDING* b = TypedBinding(index, DBTYPE_FILETIME);
    return b != nullptr ? reinterpret_cast<FILETIME*>(ValueOf(*b)) : nullptr;
}

const DBBINDING* DODBParams::CheckedBinding(ULONG index, DBTYPE type, DBSTATUS* status)
{
    static const wchar_t kSource[] = L"DODBParams::GetType";
    DODBClearError();
    if (status != nullptr)
        *status = kUnavailable;
    if (index >= count) {
        DODBAddError(E_FAIL, IDS_DB_PARAMETER_NUMBER, kSource);
        return nullptr;
    }
    if (data == nullptr) {
        DODBAddError(E_FAIL, IDS_DB_NO_PARAMETER_MEMORY, kSource);
        return nullptr;
    }
    if (bindings[index].wType != type) {
        DODBAddError(E_FAIL, IDS_DB_PARAMETER_TYPE, kSource);
        return nullptr;
    }
    if (status != nullptr)
        *status = *StatusOf(bindings[index]);
    return &bindings[index];
}

wchar_t* DODBParams::GetWStrPtrStatus(ULONG index, DBSTATUS* status)
{
    const DBBINDING* b = CheckedBinding(index, DBTYPE_WSTR, status);
    return b != nullptr ? reinterpret_cast<wchar_t*>(ValueOf(*b)) : nullptr;
}

FILETIME* DODBParams::GetDatePtrStatus(ULONG index, DBSTATUS* status)
{
    const DBBINDING* b = CheckedBinding(index, DBTYPE_FILETIME, status);
    return b != nullptr ? reinterpret_cast<FILETIME*>(ValueOf(*b)) : nullptr;
}

int DODBParams::GetStr(ULONG index, wchar_t* destination, int size)
{
    static const wchar_t kSource[] = L"DODBParams::GetStr";
    static const wchar_t kTypeSource[] = L"DODBParams::GetType";
    DODBClearError();
    if (index >= count) {
        DODBAddError(E_FAIL, IDS_DB_PARAMETER_NUMBER, kTypeSource);
        return -1;
    }
    if ((size & 0x40000000) != 0 || size < 1 || destination == nullptr) {
        DODBAddError(E_FAIL, IDS_DB_BUFFER_SIZE, kSource);
        return -1;
    }
    destination[0] = 0;
    if (data == nullptr) {
        DODBAddError(E_FAIL, IDS_DB_NO_PARAMETER_MEMORY, kSource);
        return -1;
    }
    const DBBINDING& b = bindings[index];
    if (b.wType != DBTYPE_WSTR) {
        DODBAddError(E_FAIL, IDS_DB_PARAMETER_TYPE, kTypeSource);
        return -1;
    }
    const DBSTATUS s = *StatusOf(b);
    if (s == DBSTATUS_S_ISNULL)
        return 0;
    if (s != DBSTATUS_S_OK) {
        DODBAddError(E_FAIL, IDS_DB_GET_STRING, kSource);
        return -1;
    }
    DBLENGTH n = GetLength(index) / 2;
    if (n > (DBLENGTH)(size - 1))
        n = size - 1;
    if (b.cbMaxLen / 2 > 0 && n > b.cbMaxLen / 2 - 1)
        n = b.cbMaxLen / 2 - 1;
    CopyMemory(destination, ValueOf(b), n * 2);
    destination[n] = 0;
    return (int)n;
}

HRESULT DODBParams::CopyFrom(const DODBParams& other)
{
    Clear();
    if (other.bindings != nullptr && other.count > 0) {
        bindings = static_cast<DBBINDING*>(DODBAlloc(sizeof(DBBINDING) * other.count));
        if (bindings == nullptr) {
            DODBAddError(E_OUTOFMEMORY, IDS_DB_BINDINGS_ALLOC, L"DODBParams::CopyFrom");
            return E_OUTOFMEMORY;
        }
        CopyMemory(bindings, other.bindings, sizeof(DBBINDING) * other.count);
        count = other.count;
    }
    if (other.data != nullptr) {
        data = static_cast<BYTE*>(DODBAlloc(other.dataSize));
        if (data == nullptr) {
            Clear();
            DODBAddError(E_OUTOFMEMORY, IDS_DB_PARAMETER_ALLOC, L"DODBParams::CopyFrom");
            return E_OUTOFMEMORY;
        }
        CopyMemory(data, other.data, other.dataSize);
        dataSize = other.dataSize;
    }
    return S_OK;
}

void DODBParams::CopyValuesExcept(const DODBParams& other, ULONG skipped)
{
    if (data == nullptr || other.data == nullptr)
        return;
    const ULONG n = GetCount() < other.GetCount() ? GetCount() : other.GetCount();
    for (ULONG i = 0; i < n; ++i) {
        if (i == skipped)
            continue;
        const DBBINDING& to = bindings[i];
        const DBBINDING& from = other.bindings[i];
        if (to.wType != from.wType)
            continue;
        *StatusOf(to) = *other.StatusOf(from);
        if (HasLengthPart(to) && HasLengthPart(from))
            *LengthOf(to) = *other.LengthOf(from);
        CopyMemory(ValueOf(to), other.ValueOf(from), to.cbMaxLen < from.cbMaxLen ? to.cbMaxLen : from.cbMaxLen);
    }
}

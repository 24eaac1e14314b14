// DODBParams: a parameter block or a row block.
//
// An array of OLE DB bindings, one zero-filled data buffer laid out from them,
// and the accessor made over them. Commands take their parameters from it;
// rowsets read their rows into it. Each binding has a status part; wide and
// narrow strings by value and wide strings by reference also a length part.
//
// Layout (AllocStructForParams), binding by binding from offset 0: the offset
// is aligned to 4 for the status (4 bytes), the length (4 bytes) follows when
// the binding has one, then the value (aligned to 8 for DBTYPE_R8 and
// DBTYPE_FILETIME) of cbMaxLen bytes.
//
// States: bound (bindings, no buffer) -> laid out (buffer) -> with accessor.
// Rebinding a laid-out block lays it out again and keeps the other values.
#pragma once

#include "database/dbobject.h"
#include "database/oledbinc.h"

// One row of DODBParams::SetBindings.
struct DODBBindRow
{
    DBORDINAL ordinal;
    DBTYPE type;
    DBLENGTH maxLength;
};

class DODBParams : public DODBObject
{
public:
    DODBParams();
    explicit DODBParams(int count);
    ~DODBParams() override;

    // Count 0, bindings and buffer freed, accessor released.
    void Clear();
    HRESULT SetNumParams(ULONG count);
    HRESULT SetParamBind(ULONG index, DBORDINAL ordinal, DBTYPE type, DBLENGTH maxLength, DBPARAMIO io);
    HRESULT SetParamBindW(ULONG index, DBTYPE type, DBLENGTH maxLength);
    HRESULT SetParamBindInOut(ULONG index, DBORDINAL ordinal, DBTYPE type, DBLENGTH maxLength);
    BOOL SetBindings(ULONG count, const DODBBindRow* table);
    HRESULT AllocStructForParams();
    // Every status 0 (DBSTATUS_S_OK) again, as AllocStructForParams leaves
    // them; the values, bindings and accessor stay.
    void ClearStatuses();

    HRESULT DCreateAccessor(IAccessor* accessor, DBACCESSORFLAGS flags);
    HRESULT CreateParamAccessor(IAccessor* accessor);
    HRESULT CreateRowAccessor(IAccessor* accessor);

    int IndexOfOrdinal(DBORDINAL ordinal) const;

    // Writing values.
    HRESULT SetValue(ULONG index, const void* data, DBLENGTH length, DBSTATUS status);
    HRESULT SetValue4(ULONG index, LONG value);
    HRESULT SetValueFloat(ULONG index, float value);
    HRESULT SetValue8(ULONG index, LONGLONG value);
    HRESULT SetValueDate(ULONG index, const FILETIME& value);
    HRESULT SetValueStr(ULONG index, const wchar_t* text, int chars);
    HRESULT SetStatus(ULONG index, DBSTATUS status);
    void SetStrLength(ULONG index, int chars);
    BOOL SetLength(ULONG index, DBLENGTH bytes);

    // Reading the layout.
    DBLENGTH GetLength(ULONG index) const;
    DBLENGTH GetLengthChars(ULONG index) const;
    DBLENGTH GetMaxLen(ULONG index) const;
    DBLENGTH GetMaxChars(ULONG index) const;
    DBTYPE GetWType(ULONG index) const;
    void* GetValuePtr(ULONG index) const;
    WORD GetCount() const { return (WORD)count; }

    // Reading values.
    HRESULT GetValue(ULONG index, void* destination, DBSTATUS* status, ULONG maximumChars);
    // GetValue without clearing the thread's error object first: for a
    // caller that copies a whole row right after a read that cleared it.
    HRESULT CopyOut(ULONG index, void* destination, DBSTATUS* status, ULONG maximumChars);
    DBSTATUS GetStatus(ULONG index);
    BOOL IsOk(ULONG index) const;
    BOOL IsNull(ULONG index) const;
    BOOL IsNullOrOk(ULONG index) const;
    BOOL AllStatusOk() const;
    HRESULT ParmsAvailability();

    // Plain typed getters: the value when the binding has exactly the type,
    // else 0 (or null); the status is not looked at.
    CHAR GetI1(ULONG index) const;
    BYTE GetUI1(ULONG index) const;
    SHORT GetI2(ULONG index) const;
    USHORT GetUI2(ULONG index) const;
    DWORD GetUI2Dword(ULONG index) const;   // DBTYPE_UI2 widened to 32 bits
    LONG GetInt(ULONG index) const;
    ULONG GetUI4(ULONG index) const;
    wchar_t* GetWStrPtr(ULONG index) const;
    FILETIME GetDate(ULONG index) const;
    FILETIME* GetDatePtr(ULONG index) const;
    double GetDouble(ULONG index) const;
    float GetFloat(ULONG index) const;

    // Typed getters with status: the status output is 12 until the index and
    // type are checked (699, 692 under "DODBParams::GetType"), then the
    // binding's status.
    CHAR GetI1Status(ULONG index, DBSTATUS* status);
    BYTE GetUI1Status(ULONG index, DBSTATUS* status);
    SHORT GetI2Status(ULONG index, DBSTATUS* status);
    USHORT GetUI2Status(ULONG index, DBSTATUS* status);
    LONG GetIntStatus(ULONG index, DBSTATUS* status);
    ULONG GetUI4Status(ULONG index, DBSTATUS* status);
    wchar_t* GetWStrPtrStatus(ULONG index, DBSTATUS* status);
    FILETIME GetDateStatus(ULONG index, DBSTATUS* status);
    FILETIME* GetDatePtrStatus(ULONG index, DBSTATUS* status);
    double GetDoubleStatus(ULONG index, DBSTATUS* status);
    float GetFloatStatus(ULONG index, DBSTATUS* status);

    // Copies a wide-string value (size in characters, terminator included);
    // the characters copied, or -1.
    int GetStr(ULONG index, wchar_t* destination, int size);

    // Re-layout helpers: the bindings and buffer of another block, and the
    // values of every binding but one copied by index.
    HRESULT CopyFrom(const DODBParams& other);
    void CopyValuesExcept(const DODBParams& other, ULONG skipped);

    // What commands and rowsets hand to OLE DB.
    HACCESSOR GetAccessor() const { return accessor; }
    BYTE* GetData() const { return data; }
    const DBBINDING* GetBinding(ULONG index) const
    {
        return bindings != nullptr && index < count ? &bindings[index] : nullptr;
    }

private:
    void FreeBindings();
    void FreeBuffer();
    void ReleaseAccessor();
    // The binding of a good index with the given type, else null.
    const DBBINDING* TypedBinding(ULONG index, DBTYPE type) const;
    // The checks of the getters with status; null after posting.
    const DBBINDING* CheckedBinding(ULONG index, DBTYPE type, DBSTATUS* status);
    DBSTATUS* StatusOf(const DBBINDING& b) const { return reinterpret_cast<DBSTATUS*>(data + b.obStatus); }
    DBLENGTH* LengthOf(const DBBINDING& b) const { return reinterpret_cast<DBLENGTH*>(data + b.obLength); }
    BYTE* ValueOf(const DBBINDING& b) const { return data + b.obValue; }

    ULONG count;              // bindings
    DBBINDING* bindings;      // DODBAlloc, or null
    BYTE* data;               // DODBAlloc, null until laid out
    ULONG dataSize;           // bytes of data
    IAccessor* accessorOwner; // counted; the interface the accessor was made with
    HACCESSOR accessor;       // 0 until made
};

// The bytes a fixed-size value of the type occupies; 0 for other types.
ULONG DODBFixedSize(DBTYPE type);

// Strings and texts are bound by value up to this many bytes.
const DBLENGTH kDODBMaxBindBytes = 65536;

// How a provider's column or parameter type is bound: booleans as 4-byte
// integers, narrow and wide strings as wide strings of twice the size in
// bytes, dates and times as FILETIME; the size capped at 65,536 bytes,
// computed without overflow for the huge sizes of long texts.
void DODBMapProviderType(DBTYPE type, DBLENGTH size, DBTYPE* boundType, DBLENGTH* boundSize);

// The database layer's error reporting.
//
// A failing method of the layer returns FALSE or a failing HRESULT and leaves
// a COM error object posted on the calling thread: either the provider's own
// (its records carry SQLSTATEs) or the layer's ODBErrors, one record naming a
// string-table message (678 to 735) and the posting method ("Class::Method").
// The caller then throws DODBErrors, which takes the posted object over.
//
// Posting rules:
//  - every public method starts by clearing the thread's error object
//    (DODBClearError);
//  - after a failing provider call a method posts only when nothing is pending
//    (DODBAddError), so the provider's records win;
//  - the layer's own checks replace whatever is pending (DODBSetError), except
//    those listed with the methods that use DODBAddError for them.
#pragma once

#include "database/oledbinc.h"
#include "foundation/refcount.h"

// One record of the layer's error object.
struct ErrorRecord
{
    BOOL holdsId;        // TRUE: the description is the string-table id
    HRESULT result;      // the failing result
    UINT id;             // string-table id (holdsId)
    BSTR description;    // the description text (!holdsId), or null
    BSTR source;         // "Class::Method" of the poster, or null
};

// The layer's COM error object: IErrorInfo (first) and IErrorRecords, with at
// most one record of its own (a new record replaces the old one), optionally
// followed by the records of another error object (the provider's), which
// keep their own texts and SQLSTATEs and are numbered after it.
class ODBErrors : public IErrorInfo, public IErrorRecords
{
public:
    // A new object with no record and the count 1; null when it cannot be had.
    static ODBErrors* Create();

    HRESULT AddRecord(HRESULT result, UINT id, const wchar_t* source);
    HRESULT AddRecordText(HRESULT result, const wchar_t* description, const wchar_t* source);
    ULONG Count() const { return count; }
    // Makes the records of `records` (counted) follow this object's own.
    void Follow(IErrorRecords* records);

    // IUnknown: IUnknown and IErrorRecords give the IErrorRecords face.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return refCount.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override;

    // IErrorInfo: the texts are reached through the records.
    STDMETHODIMP GetGUID(GUID* guid) override;
    STDMETHODIMP GetSource(BSTR* source) override;
    STDMETHODIMP GetDescription(BSTR* description) override;
    STDMETHODIMP GetHelpFile(BSTR* helpFile) override;
    STDMETHODIMP GetHelpContext(DWORD* helpContext) override;

    // IErrorRecords
    STDMETHODIMP AddErrorRecord(ERRORINFO* info, DWORD lookupId, DISPPARAMS* params, IUnknown* custom,
                                DWORD dynamicId) override;
    STDMETHODIMP GetBasicErrorInfo(ULONG index, ERRORINFO* info) override;
    STDMETHODIMP GetCustomErrorObject(ULONG index, REFIID riid, IUnknown** object) override;
    STDMETHODIMP GetErrorInfo(ULONG index, LCID locale, IErrorInfo** info) override;
    STDMETHODIMP GetErrorParameters(ULONG index, DISPPARAMS* params) override;
    STDMETHODIMP GetRecordCount(ULONG* records) override;

private:
    ODBErrors();
    ~ODBErrors();
    HRESULT SetRecord(BOOL holdsId, HRESULT result, UINT id, const wchar_t* description, const wchar_t* source);
    void FreeRecord();

    DRefCount refCount;       // holders
    ErrorRecord record;       // the one record, valid when count is 1
    ULONG count;              // 0 or 1
    IErrorRecords* following; // counted records after the own one, or null
};

// The IErrorInfo of one record of an ODBErrors (from IErrorRecords::GetErrorInfo).
class DODBRecordErrorInfo : public IErrorInfo
{
public:
    // A copy of the record with a counted reference to its owner; null when
    // it cannot be allocated.
    static DODBRecordErrorInfo* Create(ODBErrors* owner, const ErrorRecord& record);

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return refCount.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetGUID(GUID* guid) override;
    STDMETHODIMP GetSource(BSTR* source) override;
    STDMETHODIMP GetDescription(BSTR* description) override;
    STDMETHODIMP GetHelpFile(BSTR* helpFile) override;
    STDMETHODIMP GetHelpContext(DWORD* helpContext) override;

private:
    DODBRecordErrorInfo(ODBErrors* owner);
    ~DODBRecordErrorInfo();

    DRefCount refCount;       // holders
    ODBErrors* owner;         // counted
    ErrorRecord record;       // own copies of the strings
};

// Clears the thread's error object.
void DODBClearError();
// Posts a new layer error object with one record, replacing any pending one.
// FALSE (nothing posted) when the object cannot be allocated.
BOOL DODBSetError(HRESULT result, UINT id, const wchar_t* source);
// TRUE when the thread has an error object; the object stays posted.
BOOL DODBErrorPending();
// DODBSetError only when nothing is pending; TRUE when something is posted.
BOOL DODBAddError(HRESULT result, UINT id, const wchar_t* source);
// Posts a new layer error object whose record comes first, followed by the
// records of the pending object (the provider's), when it has any. FALSE
// when nothing could be posted.
BOOL DODBPrependError(HRESULT result, UINT id, const wchar_t* source);

// The exception base: a result and the records object of the failure.
class DOAErrors
{
public:
    DOAErrors() : result(S_OK), records(nullptr) {}
    explicit DOAErrors(HRESULT hr) : result(hr), records(nullptr) {}
    DOAErrors(const DOAErrors& other);
    DOAErrors& operator=(const DOAErrors& other);
    ~DOAErrors() { Reset(); }

    // Releases the records.
    void Reset();
    HRESULT Result() const { return result; }
    IErrorRecords* Records() const { return records; }

    // "HRESULT:\t%#X\n" per record with source and description; output as
    // DODBErrors::GetText. The box shows at most 1,023 characters.
    int GetText(wchar_t* buffer, int maximum) const;
    int ShowMessage(HWND owner, const wchar_t* caption, UINT flags) const;

protected:
    HRESULT result;           // the failing result
    IErrorRecords* records;   // counted, or null
};

// The exception thrown after a failed database call; caught by value.
class DODBErrors : public DOAErrors
{
public:
    DODBErrors() {}
    // With fetch TRUE, takes the thread's error object over (Collect).
    DODBErrors(HRESULT result, BOOL fetch);

    // Consumes the thread's error object into the records. An error object
    // without IErrorRecords is kept as one record of its own description and
    // source. Nothing changes when the thread has none.
    void Collect();

    ULONG RecordCount() const;
    // The record's HRESULT; the failure of the lookup (never S_OK) when the
    // record cannot be read, E_FAIL without records.
    HRESULT RecordHResult(ULONG index) const;
    // The record's error information (counted), or null.
    IErrorInfo* RecordErrorInfo(ULONG index) const;
    // The record's SQLSTATE (the caller frees it), or null.
    BSTR GetSQLStateBstr(ULONG index) const;
    // Copies the SQLSTATE (at most 5 characters, the buffer holds 6) and
    // terminates it; its length, 0 for none or a null buffer.
    int GetSQLState(ULONG index, wchar_t* buffer) const;
    // TRUE when some record's SQLSTATE equals the state exactly.
    BOOL FindSQLState(const wchar_t* state) const;

    // The text of all records. With a buffer, copies at most `maximum`
    // characters and always terminates (the buffer holds maximum + 1), and
    // returns the characters copied; without one, the length of the whole text.
    int GetText(wchar_t* buffer, int maximum) const;
    // Shows up to 1,000 characters of the text; returns 0.
    int ShowMessage(HWND owner, const wchar_t* caption, UINT flags) const;
};

// An OLE DB style error object of the tests' own, for failures the SQLite
// provider cannot be made to produce: IErrorInfo, IErrorRecords, and per
// record ISQLErrorInfo with a SQLSTATE, as a provider posts them.
#pragma once

#include "database/oledbinc.h"

#include <string>
#include <vector>

struct TestErrorRecord
{
    HRESULT result;
    std::wstring sqlState;      // empty: the record has no ISQLErrorInfo
    std::wstring description;
    std::wstring source;
};

// Posts an error object with these records on the calling thread.
void PostTestProviderError(const std::vector<TestErrorRecord>& records);
// Posts a plain automation error object (no IErrorRecords).
void PostPlainError(const wchar_t* description, const wchar_t* source);
// The thread's pending error object, consumed (null when none).
IErrorInfo* TakeErrorObject();

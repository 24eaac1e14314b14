// Error objects of the provider. Every failing method posts, on the calling
// thread, one object with IErrorInfo and IErrorRecords; each record answers
// GetCustomErrorObject(IID_ISQLErrorInfo) with its SQLSTATE and native error.
// The first record is the sentence for the user; a second record, when there
// is one, names the call that failed, the argument that matters and SQLite's
// own code and text, for whoever reads the journal.
#pragma once

#include "provider/common.h"

#include <string>
#include <vector>

struct sqlite3;

namespace zelk {

struct ErrorRecord {
    HRESULT result = E_FAIL;
    std::wstring sqlState;     // five characters, empty for none
    LONG nativeError = 0;      // SQL Server's error number where one fits
    std::wstring description;  // what a user reads
};

// What a failure means to the caller: SQLSTATE, SQL Server's native number,
// the HRESULT the method returns and the sentence for the user.
struct FailureClass {
    const wchar_t* sqlState;
    LONG nativeError;
    HRESULT result;
    std::wstring description;
};

// Clears the calling thread's error object (start of every method).
inline void ClearErrorInfo() { SetErrorInfo(0, nullptr); }

// Posts an error object with the given records; returns `result`.
HRESULT PostErrors(HRESULT result, REFIID iid, const std::vector<ErrorRecord>& records);

// Posts one record for the user and, when `detail` is not empty, a second
// record with the same SQLSTATE carrying the technical detail. Returns `result`.
HRESULT PostError(REFIID iid, HRESULT result, const wchar_t* sqlState, LONG nativeError,
                  const std::wstring& description, const std::wstring& detail = std::wstring());

// Posts the record of a call made with a missing or invalid argument; returns E_INVALIDARG.
HRESULT InvalidArgument(const wchar_t* method);

// Classifies a failed SQLite call from its extended code and message.
FailureClass ClassifySqliteFailure(int extendedCode, const std::wstring& message);

// Posts the records of a failed SQLite call on `db`: the classified sentence
// and the detail "<call> failed with <code> (<message>) for <argument>".
// Returns the HRESULT the method should return.
HRESULT PostSqliteError(REFIID iid, sqlite3* db, int code, const wchar_t* call, const std::wstring& argument);

// The same with a code and message read before the connection moved on.
HRESULT PostSqliteFailure(REFIID iid, int extendedCode, const std::wstring& message, const wchar_t* call,
                          const std::wstring& argument);

}  // namespace zelk

// One value of a column that the merge carries from the other database to
// this one: read from a fetched row by the kind of its configured type,
// bound as a parameter of a statement, written into a new row, or shown in
// the patient text.
#pragma once

#include "database/dbbindparam.h"
#include "database/dbparams.h"
#include "exchange/merge/mergesql.h"

#include <windows.h>

#include <string>

struct MergeValue {
    bool isNull = true;
    ValueKind kind = ValueKind::kUnsupported;
    LONGLONG integer = 0;
    double real = 0.0;
    std::wstring text;
    FILETIME date = {};
};

// Reads column `index` of a fetched row as a value of `kind`; false when the
// column holds something that is not of that kind (a NULL is a value).
bool ReadMergeValue(DODBParams* row, ULONG index, ValueKind kind, MergeValue* value);

// Binds the value as parameter `ordinal`; integers of the 8-byte types
// (`oledbType` 20, 21) or out of the 4-byte range go as 8-byte integers.
// False when the list cannot take it.
bool BindMergeValue(DODBBindParam& params, ULONG ordinal, const MergeValue& value, DWORD oledbType);

// Writes the value into binding `index` of a row block, whatever type the
// provider gave the column (numbers into numbers, texts into texts, dates
// into dates, numbers also into texts). A failing HRESULT when it does not fit.
HRESULT WriteMergeValue(DODBParams* row, ULONG index, const MergeValue& value);

// The value as the merge window shows it: " " for NULL, the text, the number,
// or the date as dd.mm.yyyy.
std::wstring MergeValueText(const MergeValue& value);

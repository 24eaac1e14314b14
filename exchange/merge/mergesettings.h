// The settings of the database merge, read from the key "ImportSettings"
// below the workstation's settings key (foundation/settingskey.h):
//
//   ImportSettings          "DBPath": the other workstation's data folder
//                           (it holds "dbinit.cfg", "Image\" and "Icon\")
//     Patient\<column>      "CType", "MaxSize", "Req": a Patient column to
//                           carry over; "Req" non-zero makes it a match key
//     Snimok\<column>       "CType", "MaxSize": a further Snimok column
//     FormatPatient         "formatstring", a message template with %1, %2..;
//       <entry>\"name"      the Patient column of each insert, in the order
//                           the registry enumerates the entries
//
// They are installed with the workstation; the merge only reads them.
#pragma once

#include "exchange/merge/mergesql.h"
#include "foundation/messages.h"

#include <windows.h>

#include <string>
#include <vector>

struct ColumnSpec {
    std::wstring name;        // the subkey's name: the column's name
    DWORD type = 0;           // "CType": the OLE DB type of its value
    DWORD maxSize = 0;        // "MaxSize": kept, never bound
    bool key = false;         // "Req" non-zero (Patient columns only)
    ValueKind kind = ValueKind::kUnsupported;
};

struct FormatEntry {
    std::wstring name;        // "name": a Patient column
    int column = -1;          // its place among the Patient columns, -1 for none
};

struct MergeSettings {
    std::wstring dbPath;                  // without a trailing backslash
    std::vector<ColumnSpec> patient;
    std::vector<ColumnSpec> snimok;
    std::wstring formatString;
    std::vector<FormatEntry> format;
};

// Reads the whole configuration. Throws MsgExcept: a missing key with the
// system's text for the error, a column without a type the merge can carry,
// and a Patient list without any key column (every patient would be new).
MergeSettings ReadMergeSettings();

// The merge's failures as the user reads them: "text\nError Win32(n)\nsystem
// text", "text", "Error Win32(n)\nsystem text", or "Нет сообщений" when
// there is neither; no caption.
[[noreturn]] void ThrowMergeError(IdOrText text, DWORD error);

// The same with one insert ("%1") in a string-table text.
[[noreturn]] void ThrowMergeErrorWith(UINT id, const wchar_t* insert);

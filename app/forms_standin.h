// STAND-IN for the forms engine's data side and windows that the main window
// calls (the patient lookup, the list filter and its form, the list fill and
// the record card), until the forms engine brings them. Each does the least
// the main window relies on: the lookup runs its name query and tells its
// listener; the filter has no conditions; the filter form does not open (it
// "ran" without setting a filter); the card does not open. The names are the
// forms engine's; this file and its .cpp go as a whole when it lands.
#pragma once

#include "database/dbbindparam.h"
#include "database/dbobject.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"

#include <windows.h>

#include <string>

class DbFormDesc;
class FormDesc;
class DListView;

// Told by the lookup about the current patient (two operations, in this order).
class PatientLookupListener {
public:
    // The patient's name line (null and 0 when there is none), its key and the
    // request value (0: no patient is current).
    virtual void OnCurrentPatient(const wchar_t* text, int length, DWORD key, DWORD request) = 0;
    // A database error's text.
    virtual void OnLookupError(const wchar_t* text, int length) = 0;

protected:
    ~PatientLookupListener() = default;
};

// The process-wide current patient.
class PatientLookup {
public:
    static PatientLookup& Instance();

    void SetListener(PatientLookupListener* listener) { listener_ = listener; }
    // "SELECT Name1, Name2, Name3, Birthday FROM <table> WHERE <key>=?;"; 1.
    int BuildSql(const DbFormDesc* desc);
    // Makes the key current (request value 0: none) and tells the listener;
    // 0 when a database error was reported instead.
    int Run(DWORD key, DWORD request);
    // The key; the result is the request value (0: no patient is current).
    DWORD GetIds(DWORD* key) const
    {
        if (key)
            *key = key_;
        return request_;
    }

private:
    PatientLookupListener* listener_ = nullptr;
    DWORD key_ = 0;
    DWORD request_ = 0;
    std::wstring sql_;
};

// The conditions of a described list: none in this stand-in.
class DbFilter {
public:
    // TRUE when the filter form description could be taken.
    BOOL Load(const FormDesc* form);
    // "Filter on " and the names of the active fields, or an empty text.
    int Describe(wchar_t* text, int capacity) const;
    void Clear() { loaded_ = false; }
    bool IsLoaded() const { return loaded_; }
    // The number of bound values the SELECT will need.
    int ParamCount() const { return 0; }

private:
    bool loaded_ = false;
};

// The modal filter form; FALSE when it cannot run. `set` tells whether a
// filter was accepted.
struct DbFiltFormWindow {
    static BOOL Run(DbFilter* filter, HWND owner, BOOL* set);
};

// The SELECT of the described list restricted by the filter, into `sql`
// (capacity characters), and its bound values. FALSE on failure.
BOOL BuildFilterSelect(wchar_t* sql, int capacity, const DbFormDesc* desc, const DbFilter* filter,
                       DODBPtr<DODBBindParam>& binds);
// The list's columns from the description's "list" section.
BOOL SetupListColumns(DListView* list, const DbFormDesc* desc);
// Fills the list from the rowset; the key column (the first) becomes each
// row's data. 0 read, 1 interrupted, -1 error.
int FillListFromRowset(DListView* list, const DbFormDesc* desc, DODBRowset* rowset, DODBParams* row);
// Keeps the list's column widths in the description for the next pass.
void KeepListColumnWidths(DListView* list, DbFormDesc* desc);

// The record card of the described form. -1: the card did not open or
// nothing was saved; 0 or more: a record was saved, its key in *key.
int RunKartForm(const wchar_t* formName, HWND owner, DWORD* key, int recordFlag);

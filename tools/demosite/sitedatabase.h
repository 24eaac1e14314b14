// The demo site's database: made empty, given its tables from a schema file
// of SQL Server statements through the provider, and opened as the program
// opens its own (the process-wide data source and session).
#pragma once

#include "database/dbbindparam.h"
#include "database/dberrors.h"
#include "database/dbobject.h"
#include "database/dbsession.h"

#include <string>
#include <vector>

// The initialization string of a database file: "Provider=ZelkSQLite.1;Data Source=<file>".
std::wstring SiteInitString(const std::wstring& databaseFile);

// The text of a database error (at most 1,023 characters).
std::wstring DatabaseText(const DODBErrors& errors);

// Opens g_DbSource and g_DbSession on the database file; false with the
// reason in `error`.
bool OpenSiteDatabase(const std::wstring& databaseFile, std::wstring& error);
// Releases g_DbSession and g_DbSource.
void CloseSiteDatabase();

// Cuts a script into its statements at the semicolons that are outside
// quotes, brackets and comments; comments are dropped, empty statements skipped.
std::vector<std::wstring> SplitSqlScript(const std::wstring& script);

// Runs every statement of a script on the session; false with the failing
// statement and the database's text in `error`.
bool RunSqlScript(const DODBPtr<DODBSession>& session, const std::wstring& script, std::wstring& error);

// Runs one statement with its parameters on the process-wide session; false
// with the statement and the database's text in `error`.
bool RunSiteStatement(const wchar_t* sql, const DODBPtr<DODBBindParam>& params, std::wstring& error);

// The keys of a one-column query on the process-wide session, in its order;
// false with the reason.
bool ReadSiteKeys(const wchar_t* sql, std::vector<long>& keys, std::wstring& error);

// Reads a UTF-8 (or UTF-16 with a byte-order mark) text file.
bool ReadScriptFile(const std::wstring& path, std::wstring& text);

// Creates the database file (it must not exist), opens it and runs the schema
// file; the database stays open. False with the reason in `error`.
bool CreateSiteDatabase(const std::wstring& databaseFile, const std::wstring& schemaFile, std::wstring& error);

// The fixture of the tests that reach the real provider: COM is up (see
// com_environment.cpp), each test gets a folder of its own with a database
// file made by SQLite from the test's schema, and the layer opens it through
// Wine's data initialisation service with "Provider=ZelkSQLite.1".
#pragma once

#include "database/dbcommand.h"
#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbsession.h"
#include "database/dbsource.h"

#include <gtest/gtest.h>

#include <string>

class DbTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the database file with the statements, run by SQLite itself.
    void MakeDatabase(const char* sql);
    std::wstring Folder() const { return folder; }
    std::wstring DbPath() const { return folder + L"\\test.db"; }
    std::wstring InitString() const { return L"Provider=ZelkSQLite.1;Data Source=" + DbPath(); }
    // Opens source and session on the test's database (fails the test otherwise).
    void Open();
    // Runs a statement for its effect through a new command; the result.
    HRESULT Run(const wchar_t* sql, DBROWCOUNT* affected = nullptr);

    DODBPtr<DODBSource> source;
    DODBPtr<DODBSession> session;

private:
    std::wstring folder;
};

// The text of the thread's pending error object (consumed); empty when none.
std::wstring TakeErrorText();
std::wstring TextOf(const DODBErrors& e);

// True when the text holds the part.
inline bool Has(const std::wstring& text, const wchar_t* part)
{
    return text.find(part) != std::wstring::npos;
}

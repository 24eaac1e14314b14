// A fresh demo site for the program, made by a test in a temp folder: the
// data folder with "dbinit.cfg" naming the provider and an empty database
// made from site/schema.sql, the description files, the image folders, and
// the working folder with an empty journal. Install() writes the site's
// values into the program's settings key (the registry of the shared test
// prefix): only one test may do that at a time, so a site holds the named
// mutex "TobalFluoro end-to-end" for its life and puts back every value it
// changed when it ends.
#pragma once

#include "app_fixture.h"

#include <string>
#include <vector>

namespace apptest {

class DemoSite {
public:
    DemoSite();
    ~DemoSite();

    // Everything but the registry; false (with a test failure) on the way.
    bool Build();
    // Writes "DataPath", "CfgDir", "DefDir", "ServerName", "AdminUsers",
    // the "Arj" folder, and removes "ExitFlag".
    void Install(const std::wstring& serverName = L"");

    const std::wstring& Folder() const { return folder_.Path(); }
    std::wstring DataPath() const { return folder_.Path() + L"Data\\"; }
    std::wstring WorkFolder() const { return folder_.Path() + L"Work\\"; }
    std::wstring JournalPath() const { return WorkFolder() + L"zelk.ju"; }

private:
    struct SavedValue {
        std::wstring subKey;
        std::wstring name;
        bool existed;
        DWORD type;
        std::vector<BYTE> data;
    };
    void Save(const wchar_t* subKey, const wchar_t* name);
    void Set(const wchar_t* subKey, const wchar_t* name, const std::wstring& value);

    HANDLE mutex_ = nullptr;
    TempFolder folder_{L"tfsite"};
    std::vector<SavedValue> saved_;
};

// Makes a new database file from a schema script through the provider (the
// demo-site tool's schema runner); the failure's text, or empty.
std::string MakeDatabaseFromScript(const std::wstring& databaseFile, const std::wstring& scriptFile);

}  // namespace apptest

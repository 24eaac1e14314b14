// What a site must look like after any job, finished or killed half-way: the
// database file sound, and the image rows and the files of the image folder
// telling the same story. The crash tests (common/child_jobs.h) check every
// database their kills leave with these.
#pragma once

#include "common/fixture_helpers.h"
#include "common/settings_root.h"
#include "common/test_files.h"
#include "tools/demosite/sitedatabase.h"

#include <objbase.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace testfix {

inline std::string JoinNames(const std::vector<std::wstring>& names)
{
    std::string text;
    for (const std::wstring& name : names) {
        text += text.empty() ? "" : ", ";
        const int n = WideCharToMultiByte(CP_UTF8, 0, name.c_str(), (int)name.size(), nullptr, 0, nullptr, nullptr);
        std::string utf8(n, '\0');
        WideCharToMultiByte(CP_UTF8, 0, name.c_str(), (int)name.size(), &utf8[0], n, nullptr, nullptr);
        text += utf8;
    }
    return text;
}

// DBCC CHECKDB on the session (of the database `what`) finds nothing: a
// failure names the provider's findings.
inline void ExpectCheckDbClean(const DODBPtr<DODBSession>& session, const std::wstring& what)
{
    const HRESULT hr =
        session.IsSet() ? session->ExecSql(L"DBCC CHECKDB", nullptr, nullptr, nullptr, nullptr) : E_FAIL;
    if (FAILED(hr)) {
        DODBErrors errors(hr, TRUE);
        wchar_t text[1024] = {};
        errors.GetText(text, 1023);
        ADD_FAILURE() << JoinNames({what}) << " is no whole database: " << JoinNames({text});
    }
}

// The same for a database file, which the provider must open.
inline void ExpectDatabaseFileSound(const std::wstring& file)
{
    DODBPtr<DODBSource> source = DODBSource::Create();
    DODBPtr<DODBSession> session;
    if (source.IsSet() && SUCCEEDED(source->OpenDataSource(SiteInitString(file).c_str())))
        source->CreateSession(session);
    ExpectCheckDbClean(session, file);
}

// The size of a file, -1 when there is none.
inline LONGLONG SiteFileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The site's database (the process session) is sound, no row says "on the
// hard disk" for an ".xmg" of the image folder (ending with a backslash) that
// is not there, and no name belongs to two rows. With `noOrphans`, also no
// ".xmg" that no row names (after a job ran to its end: a kill may leave one
// that the next run takes care of), but for those of deleted images that wait
// for the archive's deletion job.
inline void ExpectSiteConsistent(const std::wstring& imageFolder, bool noOrphans)
{
    ExpectCheckDbClean(g_DbSession, L"the site's database");
    std::set<std::wstring> files;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((imageFolder + L"*.xmg").c_str(), &found);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &found)) {
        const std::wstring name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > 4)
            files.insert(name.substr(0, name.size() - 4));
    }
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    std::set<std::wstring> named;
    std::vector<std::wstring> rowsWithoutFile, nameTwice, filesWithoutRow;
    for (const std::wstring& row :
         RowsSql(L"SELECT [File name], [Disk] FROM Snimok WHERE [File name] IS NOT NULL ORDER BY Snimok;")) {
        const std::wstring name = row.substr(0, row.find(L'|'));
        if (!named.insert(name).second)
            nameTwice.push_back(name);
        if (row.substr(row.find(L'|') + 1) == L"1" && !files.count(name))
            rowsWithoutFile.push_back(name);
    }
    // A deleted image's file waits for the archive's deletion job (DelImage).
    for (const std::wstring& row : RowsSql(L"SELECT [File name] FROM DelImage WHERE [Disk]<>0;"))
        named.insert(row);
    for (const std::wstring& file : files)
        if (!named.count(file))
            filesWithoutRow.push_back(file);
    EXPECT_TRUE(rowsWithoutFile.empty()) << "rows on the hard disk without their file: " << JoinNames(rowsWithoutFile);
    EXPECT_TRUE(nameTwice.empty()) << "file names of two rows: " << JoinNames(nameTwice);
    EXPECT_TRUE(!noOrphans || filesWithoutRow.empty()) << "files no row names: " << JoinNames(filesWithoutRow);
}

// The archive's side of a site (tests of the archive job): no row stamped
// with an archive disk whose copy on it (`archiveFolder`, the archive path),
// image or thumbnail, is missing or differs in size from the hard-disk file.
// With `finished`, also no row no longer "on the hard disk" ([Disk]=0) whose
// ".xmg" is still in `imageFolder` (a job cut off between the row and the file
// leaves one; the next run deletes it).
inline void ExpectArchiveTellsTheTruth(const std::wstring& imageFolder, const std::wstring& iconFolder,
                                       const std::wstring& archiveFolder, bool finished)
{
    std::vector<std::wstring> stampedWithoutCopy, freedWithFile;
    for (const std::wstring& row :
         RowsSql(L"SELECT [File name], [Disk], Arj FROM Snimok WHERE [File name] IS NOT NULL ORDER BY Snimok;")) {
        const size_t a = row.find(L'|'), b = row.find(L'|', a + 1);
        const std::wstring name = row.substr(0, a), disk = row.substr(a + 1, b - a - 1), arj = row.substr(b + 1);
        const LONGLONG source = SiteFileSize(imageFolder + name + L".xmg");
        const LONGLONG copy = SiteFileSize(archiveFolder + name + L".xmg");
        const LONGLONG thumbSource = SiteFileSize(iconFolder + name + L".thb");
        if (arj != L"NULL" && (copy < 0 || (source >= 0 && copy != source) ||
                               (thumbSource >= 0 && SiteFileSize(archiveFolder + name + L".thb") != thumbSource)))
            stampedWithoutCopy.push_back(name);
        if (disk == L"0" && source >= 0)
            freedWithFile.push_back(name);
    }
    EXPECT_TRUE(stampedWithoutCopy.empty())
        << "stamped without a whole copy on the disk: " << JoinNames(stampedWithoutCopy);
    EXPECT_TRUE(!finished || freedWithFile.empty())
        << "freed images whose file is still there: " << JoinNames(freedWithFile);
}

// A child job's site (common/child_jobs.h), as the program starts on it: COM,
// the settings below the key `settingsKey` of HKEY_CURRENT_USER (none when
// empty), the database open (its catalog, as the clinics' sites have it,
// names the backup) and the data folder in the globals; the database closed
// at the end.
class ChildSite {
public:
    ChildSite(const std::wstring& settingsKey, const std::wstring& database, const std::wstring& dataFolder)
        : key_(settingsKey)
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (!key_.empty())
            root_.reset(new SettingsRootScope(HKEY_CURRENT_USER, key_.c_str()));
        const std::wstring init = SiteInitString(database) + L";Initial Catalog=Hospital";
        g_DbSource = DODBSource::Create();
        open_ = g_DbSource.IsSet() && SUCCEEDED(g_DbSource->OpenDataSource(init.c_str())) &&
                SUCCEEDED(g_DbSource->CreateSession(g_DbSession));
        UseDataFolders(dataFolder);
    }
    ~ChildSite() { CloseSiteDatabase(); }
    bool Open() const { return open_; }

private:
    std::wstring key_;
    std::unique_ptr<SettingsRootScope> root_;
    bool open_ = false;
};

}  // namespace testfix

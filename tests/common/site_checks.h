// What a site must look like after any job, finished or killed half-way: the
// database file sound, and the image rows and the files of the image folder
// telling the same story. The crash tests (common/child_jobs.h) check every
// database their kills leave with these.
#pragma once

#include "common/fixture_helpers.h"

#include <set>
#include <string>
#include <vector>

namespace testfix {

// DBCC CHECKDB on the process session: a failure names the provider's findings.
inline void ExpectDatabaseSound()
{
    HRESULT hr = g_DbSession->ExecSql(L"DBCC CHECKDB", nullptr, nullptr, nullptr, nullptr);
    if (FAILED(hr)) {
        DODBErrors errors(hr, TRUE);
        wchar_t text[1024] = {};
        errors.GetText(text, 1023);
        ADD_FAILURE() << "DBCC CHECKDB: " << std::string(text, text + wcslen(text));
    }
}

// The names (without extension) of the files of `folder` (ending with a
// backslash) whose extension is `extension` (".xmg").
inline std::set<std::wstring> FileStems(const std::wstring& folder, const wchar_t* extension)
{
    std::set<std::wstring> stems;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*" + extension).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return stems;
    const size_t tail = wcslen(extension);
    do {
        std::wstring name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > tail)
            stems.insert(name.substr(0, name.size() - tail));
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return stems;
}

struct ImageFileAgreement {
    std::vector<std::wstring> rowsWithoutFile;   // [Disk]=1 and no ".xmg" of that name
    std::vector<std::wstring> filesWithoutRow;   // an ".xmg" that no row names
    std::vector<std::wstring> nameTwice;         // a [File name] of more than one row
};

// Compares Snimok with the ".xmg" files of the image folder (ending with a
// backslash).
inline ImageFileAgreement CompareImagesWithFiles(const std::wstring& imageFolder)
{
    ImageFileAgreement result;
    const std::set<std::wstring> files = FileStems(imageFolder, L".xmg");
    std::set<std::wstring> named;
    for (const std::wstring& row :
         RowsSql(L"SELECT [File name], [Disk] FROM Snimok WHERE [File name] IS NOT NULL ORDER BY Snimok;")) {
        const size_t bar = row.find(L'|');
        const std::wstring name = row.substr(0, bar);
        if (!named.insert(name).second)
            result.nameTwice.push_back(name);
        if (row.substr(bar + 1) == L"1" && !files.count(name))
            result.rowsWithoutFile.push_back(name);
    }
    for (const std::wstring& file : files)
        if (!named.count(file))
            result.filesWithoutRow.push_back(file);
    return result;
}

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

// The database is sound and no row says "on the hard disk" for a file that is
// not there, and no name belongs to two rows. With `noOrphans`, also no
// ".xmg" that no row names (after a job ran to its end: a kill may leave one
// that the next run takes care of).
inline void ExpectSiteConsistent(const std::wstring& imageFolder, bool noOrphans)
{
    ExpectDatabaseSound();
    const ImageFileAgreement agreement = CompareImagesWithFiles(imageFolder);
    EXPECT_TRUE(agreement.rowsWithoutFile.empty())
        << "rows on the hard disk without their file: " << JoinNames(agreement.rowsWithoutFile);
    EXPECT_TRUE(agreement.nameTwice.empty()) << "file names of two rows: " << JoinNames(agreement.nameTwice);
    if (noOrphans) {
        EXPECT_TRUE(agreement.filesWithoutRow.empty())
            << "files no row names: " << JoinNames(agreement.filesWithoutRow);
    }
}

// The archive's side of a site (tests of the archive job).
//
// Rows stamped with an archive disk whose copy on it (`archiveFolder`, the
// archive path) is missing or differs in size from the hard-disk file, and
// rows no longer "on the hard disk" ([Disk]=0) whose ".xmg" is still in
// `imageFolder` (a job cut off between the row and the file leaves one; the
// next run deletes it).
struct ArchiveAgreement {
    std::vector<std::wstring> stampedWithoutCopy;
    std::vector<std::wstring> freedWithFile;
};

inline LONGLONG SiteFileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

inline ArchiveAgreement CompareArchiveWithFiles(const std::wstring& imageFolder, const std::wstring& iconFolder,
                                                const std::wstring& archiveFolder)
{
    ArchiveAgreement result;
    for (const std::wstring& row :
         RowsSql(L"SELECT [File name], [Disk], Arj FROM Snimok WHERE [File name] IS NOT NULL ORDER BY Snimok;")) {
        const size_t a = row.find(L'|'), b = row.find(L'|', a + 1);
        const std::wstring name = row.substr(0, a), disk = row.substr(a + 1, b - a - 1), arj = row.substr(b + 1);
        if (arj != L"NULL") {
            const LONGLONG copy = SiteFileSize(archiveFolder + name + L".xmg");
            const LONGLONG source = SiteFileSize(imageFolder + name + L".xmg");
            const LONGLONG thumb = SiteFileSize(archiveFolder + name + L".thb");
            const LONGLONG thumbSource = SiteFileSize(iconFolder + name + L".thb");
            if (copy < 0 || (source >= 0 && copy != source) || (thumbSource >= 0 && thumb != thumbSource))
                result.stampedWithoutCopy.push_back(name);
        }
        if (disk == L"0" && SiteFileSize(imageFolder + name + L".xmg") >= 0)
            result.freedWithFile.push_back(name);
    }
    return result;
}

// The file is a whole database: the provider opens it and DBCC CHECKDB finds
// nothing.
inline void ExpectDatabaseFileSound(const std::wstring& file)
{
    DODBPtr<DODBSource> source = DODBSource::Create();
    DODBPtr<DODBSession> session;
    HRESULT hr = source.IsSet() ? source->OpenDataSource((L"Provider=ZelkSQLite.1;Data Source=" + file).c_str())
                                : E_FAIL;
    if (SUCCEEDED(hr))
        hr = source->CreateSession(session);
    if (SUCCEEDED(hr))
        hr = session->ExecSql(L"DBCC CHECKDB", nullptr, nullptr, nullptr, nullptr);
    if (FAILED(hr)) {
        DODBErrors errors(hr, TRUE);
        wchar_t text[1024] = {};
        errors.GetText(text, 1023);
        ADD_FAILURE() << JoinNames({file}) << " is no whole database: " << JoinNames({text});
    }
}

}  // namespace testfix

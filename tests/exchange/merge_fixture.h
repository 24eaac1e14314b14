// Two demo sites for the database merge's tests: this workstation's (its
// database opened as the program's own, its "Image\" and "Icon\" set as the
// program's folders) and another workstation's (its own folder with
// "dbinit.cfg", database, "Image\" and "Icon\", its images saved by the
// system's own save), and the merge settings pointing at the other one in a
// registry key of the test's own.
#pragma once

#include "database/dbobject.h"
#include "database/dbsession.h"
#include "database/dbsource.h"
#include "exchange/merge/importengine.h"
#include "exchange/merge/importlink.h"
#include "common/merge_run.h"
#include "common/settings_root.h"
#include "foundation/threadchannel.h"

#include <windows.h>

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace mergetest {

// A registry key of the test's own below HKEY_CURRENT_USER, made the settings
// root for its life (SettingsRootScope) and deleted at the end.
class SettingsRootKey {
public:
    SettingsRootKey();
    ~SettingsRootKey();
    SettingsRootKey(const SettingsRootKey&) = delete;
    SettingsRootKey& operator=(const SettingsRootKey&) = delete;

    void SetString(const std::wstring& subKey, const wchar_t* name, const std::wstring& value);
    void SetDword(const std::wstring& subKey, const wchar_t* name, DWORD value);
    void DeleteTree(const std::wstring& subKey);
    bool Exists(const std::wstring& subKey) const;
    // A string value, or "<none>".
    std::wstring String(const std::wstring& subKey, const wchar_t* name) const;
    // The key below HKEY_CURRENT_USER (a child process makes it its settings root).
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    std::unique_ptr<SettingsRootScope> scope_;
};

// The merge settings of the tests, the other database in `dbPath`: the
// patient's names and birthday as keys, the sex carried over, three further
// Snimok columns, the patient shown by his names.
void WriteMergeSettings(SettingsRootKey& settings, const std::wstring& dbPath);

// A database reached as the merge reaches the other one: its own data source
// and session from an initialization string.
class Database {
public:
    bool Open(const std::wstring& initString);
    void Close();
    // Runs a statement; fails the test with the provider's text.
    void Exec(const std::wstring& sql);
    // The first column of the first row as text ("<none>", "<null>").
    std::wstring Scalar(const std::wstring& sql);
    long Number(const std::wstring& sql);
    const DODBPtr<DODBSession>& Session() const { return session_; }

private:
    DODBPtr<DODBSource> source_;
    DODBPtr<DODBSession> session_;
};

// Texts and counters as the engine reports them, recorded on any thread.
class RecordingLink : public IImportLink {
public:
    RecordingLink();
    ~RecordingLink();
    void SetFinished() override;
    void SetText0(const wchar_t* text, int length) override { Set(0, text, length); }
    void SetText1(const wchar_t* text, int length) override { Set(1, text, length); }
    void SetText2(const wchar_t* text, int length) override { Set(2, text, length); }
    void SetText3(const wchar_t* text, int length) override { Set(3, text, length); }
    void SetCount0(DWORD value) override { Count(0, value); }
    void SetCount1(DWORD value) override;
    void SetCount3(DWORD value) override { Count(3, value); }
    void SetCount2(DWORD value) override { Count(2, value); }
    void SetInTransaction(bool open) override;

    std::wstring Text(int i);
    DWORD Counter(int i);
    bool Finished();
    bool EverInTransaction();
    std::vector<std::wstring> Patients();   // every patient text, in order
    // Called (on the engine's thread) with each new merged count.
    void (*onMerged)(DWORD merged, void* context) = nullptr;
    void* context = nullptr;

private:
    void Set(int i, const wchar_t* text, int length);
    void Count(int i, DWORD value);
    CRITICAL_SECTION lock_;
    std::wstring texts_[4];
    DWORD counters_[4] = {};
    bool finished_ = false;
    bool transaction_ = false;
    bool everInTransaction_ = false;
    std::vector<std::wstring> patients_;
};

// The source patients of the other site's images, by index of the demo
// patients: a run of images per patient, ordered as the merge reads them.
extern const int kSourceImagePatients[];
extern const int kSourceImages;

class MergeSites : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The other site's folder (no trailing backslash: "DBPath") and paths.
    const std::wstring& OtherPath() const { return otherPath_; }
    std::wstring OtherImage(const std::wstring& name) const;
    std::wstring OtherIcon(const std::wstring& name) const;
    std::wstring LocalImage(const std::wstring& name) const;
    std::wstring LocalIcon(const std::wstring& name) const;
    // The files of the local "Image\" or "Icon\" folder.
    std::vector<std::wstring> LocalFiles(const wchar_t* sub) const;

    // The merge undone: nothing of the other site here, nothing marked there.
    void UndoMerge();
    // Another program edits the other site's database file with `sql`, past
    // the provider's checks of types and keys.
    void EditOtherFile(const std::string& sql);

    // The local database (the program's session).
    void Exec(const std::wstring& sql);
    std::wstring Scalar(const std::wstring& sql);
    long Number(const std::wstring& sql);

    // Checks that the local site holds exactly the merged images, each with
    // its ".xmg" and its identity, no file without a row, and that every
    // image the other site marks is here; returns the number of local images.
    long CheckConsistent();
    // Every image the other site marks is here: its identity is.
    void ExpectMarkedHere();

    SettingsRootKey* settings = nullptr;
    Database other;
    std::wstring root_;           // the test's folder, with a trailing backslash
    std::wstring otherPath_;      // ...\Other
    std::wstring localPath_;      // ...\Local\ (with the backslash)
    std::vector<long> otherPatients_;   // the other site's demo patient keys
};

// Runs Init, Connect and StartUnion of the merge on this thread; the state,
// or -1 with the message text in *error when one of them threw.
int RunMerge(RecordingLink& link, std::wstring* error = nullptr, DThreadChannel* channel = nullptr);
using testfix::RunMergeSteps;

// Writes "dbinit.cfg" into the folder (no trailing backslash), naming the
// database file, as a workstation's data folder holds it.
bool WriteInitFile(const std::wstring& folder, const std::wstring& databaseFile);

// The pixels of an ".xmg" file as one number (0 when it cannot be read): an
// image and its copies on other workstations have the same.
uint64_t PixelHash(const std::wstring& path);

// The whole file's bytes (empty when it cannot be read).
std::vector<BYTE> FileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
std::wstring SchemaFile();
std::string Narrow(const std::wstring& text);

}  // namespace mergetest

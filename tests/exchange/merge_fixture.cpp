#include "merge_fixture.h"

#include "common/fixture_helpers.h"
#include "database/dbbindparam.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/merge/importengine.h"
#include "exchange/merge/mergefaults.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "images/files/snimokdb.h"
#include "images/files/xmgfile.h"
#include "images/pixels/displaylut.h"
#include "tools/demosite/radiograph.h"
#include "tools/demosite/sitebuilder.h"
#include "tools/demosite/sitedatabase.h"

#include <algorithm>
#include <set>
#include <sqlite3.h>

namespace mergetest {

const int kSourceImagePatients[] = {0, 0, 1, 2, 2, 2, 3, 4};
const int kSourceImages = sizeof kSourceImagePatients / sizeof kSourceImagePatients[0];

namespace {

LONG gCounter = 0;

std::wstring Unique(const wchar_t* prefix)
{
    wchar_t name[96];
    _snwprintf(name, 95, L"%ls_%lu_%ld_%lu", prefix, GetCurrentProcessId(), InterlockedIncrement(&gCounter),
               GetTickCount());
    name[95] = 0;
    return name;
}

std::wstring ScalarOn(const DODBPtr<DODBSession>& session, const std::wstring& sql)
{
    try {
        BoundStatement query(session, sql.c_str());
        if (!query.First())
            return L"<none>";
        DODBParams* row = query.Row();
        if (row->IsNull(0))
            return L"<null>";
        int length = 0;
        if (const wchar_t* text = RowTextPtr(row, 0, &length))
            return std::wstring(text, (size_t)length);
        FILETIME date = {};
        if (RowDate(row, 0, &date)) {
            wchar_t buffer[32];
            _snwprintf(buffer, 31, L"%08lx%08lx", date.dwHighDateTime, date.dwLowDateTime);
            buffer[31] = 0;
            return buffer;
        }
        double value = 0;
        if (RowDouble(row, 0, &value)) {
            wchar_t buffer[64];
            if (value == (double)(long long)value)
                _snwprintf(buffer, 63, L"%lld", (long long)value);
            else
                _snwprintf(buffer, 63, L"%g", value);
            buffer[63] = 0;
            return buffer;
        }
        return L"<type>";
    } catch (const DODBErrors& errors) {
        ADD_FAILURE() << "query failed: " << Narrow(sql) << " " << Narrow(DatabaseText(errors));
        return L"<error>";
    }
}

void ExecOn(const DODBPtr<DODBSession>& session, const std::wstring& sql)
{
    HRESULT hr = session->ExecSql(sql.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (FAILED(hr)) {
        DODBErrors errors(hr, TRUE);
        ADD_FAILURE() << "statement failed: " << Narrow(sql) << " " << Narrow(DatabaseText(errors));
    }
}

FILETIME DateOf(int year, int month, int day)
{
    SYSTEMTIME st = {};
    st.wYear = (WORD)year;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    FILETIME ft = {};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

void InsertDemoPatient(int index)
{
    const SitePatient& p = DemoPatients()[(size_t)index];
    BoundStatement insert(g_DbSession,
                          L"INSERT INTO Patient (Name1, Name2, Name3, Birthday, Pol) VALUES (?, ?, ?, ?, ?);");
    insert.Params().SetStr(1, p.name1, -1);
    insert.Params().SetStr(2, p.name2, -1);
    insert.Params().SetStr(3, p.name3, -1);
    insert.Params().SetValDate(4, DateOf(p.year, p.month, p.day));
    insert.Params().SetValI4(5, p.sex);
    insert.Run();
}

void MakeFolders(const std::wstring& base)
{
    CreateDirectoryW(base.c_str(), nullptr);
    CreateDirectoryW((base + L"\\Image").c_str(), nullptr);
    CreateDirectoryW((base + L"\\Icon").c_str(), nullptr);
}

}  // namespace

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string out((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring SchemaFile()
{
    return TF_EXCHANGE_TEST_SCHEMA;
}

std::vector<BYTE> FileBytes(const std::wstring& path)
{
    std::vector<BYTE> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD done = 0;
    if (!bytes.empty())
        ReadFile(file, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
    bytes.resize(done);
    CloseHandle(file);
    return bytes;
}

uint64_t PixelHash(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DPicturePtr picture = SnimokFile::Load(file, false, false);
    CloseHandle(file);
    if (!picture.Get())
        return 0;
    uint64_t hash = 14695981039346656037ull;
    const uint16_t* bits = picture->GetBits();
    for (size_t i = 0; i < (size_t)picture->width * picture->height; ++i)
        hash = (hash ^ bits[i]) * 1099511628211ull;
    return hash;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteInitFile(const std::wstring& folder, const std::wstring& databaseFile)
{
    const std::wstring text = SiteInitString(databaseFile);
    HANDLE file = CreateFileW((folder + L"\\dbinit.cfg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const wchar_t bom = 0xFEFF;
    DWORD done = 0;
    const bool ok = WriteFile(file, &bom, 2, &done, nullptr) &&
                    WriteFile(file, text.c_str(), (DWORD)(text.size() * 2), &done, nullptr);
    CloseHandle(file);
    return ok;
}

// ---- SettingsRootKey ------------------------------------------------------------------

SettingsRootKey::SettingsRootKey()
{
    path_ = L"Software\\TobalFluoroTests\\" + Unique(L"merge");
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    if (key)
        RegCloseKey(key);
    scope_.reset(new SettingsRootScope(HKEY_CURRENT_USER, path_.c_str()));
}

SettingsRootKey::~SettingsRootKey()
{
    scope_.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str());
}

void SettingsRootKey::SetString(const std::wstring& subKey, const wchar_t* name, const std::wstring& value)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (path_ + L"\\" + subKey).c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   (DWORD)((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void SettingsRootKey::SetDword(const std::wstring& subKey, const wchar_t* name, DWORD value)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (path_ + L"\\" + subKey).c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

void SettingsRootKey::DeleteTree(const std::wstring& subKey)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, (path_ + L"\\" + subKey).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, (path_ + L"\\" + subKey).c_str());
}

bool SettingsRootKey::Exists(const std::wstring& subKey) const
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, (path_ + L"\\" + subKey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::wstring SettingsRootKey::String(const std::wstring& subKey, const wchar_t* name) const
{
    wchar_t value[300] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, (path_ + L"\\" + subKey).c_str(), name, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS)
        return L"<none>";
    return value;
}

// ---- Database ---------------------------------------------------------------------------

bool Database::Open(const std::wstring& initString)
{
    source_ = DODBSource::Create();
    if (!source_.IsSet() || FAILED(source_->OpenDataSource(initString.c_str())) ||
        FAILED(source_->CreateSession(session_)))
        return false;
    return true;
}

void Database::Close()
{
    session_.Release();
    source_.Release();
}

void Database::Exec(const std::wstring& sql)
{
    ExecOn(session_, sql);
}

std::wstring Database::Scalar(const std::wstring& sql)
{
    return ScalarOn(session_, sql);
}

long Database::Number(const std::wstring& sql)
{
    const std::wstring text = Scalar(sql);
    return text.empty() || text[0] == L'<' ? -1 : std::stol(text);
}

// ---- RecordingLink ----------------------------------------------------------------------

RecordingLink::RecordingLink()
{
    InitializeCriticalSection(&lock_);
}

RecordingLink::~RecordingLink()
{
    DeleteCriticalSection(&lock_);
}

void RecordingLink::Set(int i, const wchar_t* text, int length)
{
    EnterCriticalSection(&lock_);
    texts_[i] = text ? (length < 0 ? std::wstring(text) : std::wstring(text, (size_t)length)) : std::wstring();
    if (i == 2 && !texts_[i].empty() && (patients_.empty() || patients_.back() != texts_[i]))
        patients_.push_back(texts_[i]);
    LeaveCriticalSection(&lock_);
}

void RecordingLink::Count(int i, DWORD value)
{
    EnterCriticalSection(&lock_);
    counters_[i] = value;
    LeaveCriticalSection(&lock_);
}

void RecordingLink::SetCount1(DWORD value)
{
    Count(1, value);
    if (onMerged)
        onMerged(value, context);
}

void RecordingLink::SetFinished()
{
    EnterCriticalSection(&lock_);
    finished_ = true;
    LeaveCriticalSection(&lock_);
}

void RecordingLink::SetInTransaction(bool open)
{
    EnterCriticalSection(&lock_);
    transaction_ = open;
    everInTransaction_ = everInTransaction_ || open;
    LeaveCriticalSection(&lock_);
}

std::wstring RecordingLink::Text(int i)
{
    EnterCriticalSection(&lock_);
    std::wstring text = texts_[i];
    LeaveCriticalSection(&lock_);
    return text;
}

DWORD RecordingLink::Counter(int i)
{
    EnterCriticalSection(&lock_);
    DWORD value = counters_[i];
    LeaveCriticalSection(&lock_);
    return value;
}

bool RecordingLink::Finished()
{
    EnterCriticalSection(&lock_);
    bool finished = finished_;
    LeaveCriticalSection(&lock_);
    return finished;
}

bool RecordingLink::EverInTransaction()
{
    EnterCriticalSection(&lock_);
    bool ever = everInTransaction_ && !transaction_;
    LeaveCriticalSection(&lock_);
    return ever;
}

std::vector<std::wstring> RecordingLink::Patients()
{
    EnterCriticalSection(&lock_);
    std::vector<std::wstring> patients = patients_;
    LeaveCriticalSection(&lock_);
    return patients;
}

// ---- the settings ---------------------------------------------------------------------

void WriteMergeSettings(SettingsRootKey& settings, const std::wstring& dbPath)
{
    settings.SetString(L"ImportSettings", L"DBPath", dbPath);
    const struct {
        const wchar_t* name;
        DWORD type, size, req;
    } patientColumns[] = {
        {L"Name1", 130, 32, 1}, {L"Name2", 130, 32, 1}, {L"Name3", 130, 32, 1}, {L"Birthday", 64, 8, 1},
        {L"Pol", 3, 4, 0}};
    for (const auto& c : patientColumns) {
        const std::wstring key = std::wstring(L"ImportSettings\\Patient\\") + c.name;
        settings.SetDword(key, L"CType", c.type);
        settings.SetDword(key, L"MaxSize", c.size);
        settings.SetDword(key, L"Req", c.req);
    }
    const struct {
        const wchar_t* name;
        DWORD type;
    } snimokColumns[] = {{L"Orientation", 3}, {L"Scale", 4}, {L"Date file", 64}};
    for (const auto& c : snimokColumns) {
        const std::wstring key = std::wstring(L"ImportSettings\\Snimok\\") + c.name;
        settings.SetDword(key, L"CType", c.type);
        settings.SetDword(key, L"MaxSize", 8);
    }
    settings.SetString(L"ImportSettings\\FormatPatient", L"formatstring", L"%1 %2 %3");
    settings.SetString(L"ImportSettings\\FormatPatient\\1", L"name", L"Name1");
    settings.SetString(L"ImportSettings\\FormatPatient\\2", L"name", L"Name2");
    settings.SetString(L"ImportSettings\\FormatPatient\\3", L"name", L"Name3");
}

// ---- MergeSites -------------------------------------------------------------------------

void MergeSites::SetUp()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + Unique(L"tfmerge") + L"\\";
    CreateDirectoryW(root_.c_str(), nullptr);
    otherPath_ = root_ + L"Other";
    localPath_ = root_ + L"Local\\";
    MakeFolders(otherPath_);
    MakeFolders(root_ + L"Local");
    SpaceMin = 0;
    SpaceArjStart = 0;

    // The other workstation: its demo patients and images, saved by the
    // system's own save into its own folders.
    std::wstring error;
    const std::wstring otherDb = otherPath_ + L"\\other.db";
    ASSERT_TRUE(WriteInitFile(otherPath_, otherDb));
    wcscpy(ImageFolder, (otherPath_ + L"\\Image\\").c_str());
    wcscpy(IconFolder, (otherPath_ + L"\\Icon\\").c_str());
    ASSERT_TRUE(CreateSiteDatabase(otherDb, SchemaFile(), error)) << Narrow(error);
    otherPatients_ = FillSiteTables(error);
    ASSERT_FALSE(otherPatients_.empty()) << Narrow(error);
    // Each image a radiograph of its own, for the patient the list gives.
    std::vector<uint8_t> lut(65536);
    for (int i = 0; i < kSourceImages; ++i) {
        DPicturePtr picture = MakeRadiograph(120, 96, 12, 500u + (unsigned)i, RadiographKind::Chest);
        ASSERT_TRUE(picture.Get());
        picture->patient.SetPatientId((uint32_t)otherPatients_[(size_t)kSourceImagePatients[i]]);
        SYSTEMTIME taken = {2024, 5, 0, (WORD)(1 + i), 9, (WORD)i, 0, 0};
        SystemTimeToFileTime(&taken, &picture->imageDate);
        BuildDisplayLut(lut.data(), picture->displayOffset, picture->displayWidth, 0.0);
        ASSERT_TRUE(SaveSnimokTx(picture, lut.data())) << "image " << i;
    }
    CloseSiteDatabase();

    ASSERT_TRUE(other.Open(SiteInitString(otherDb)));
    // Display settings of their own, and the first patient written in
    // capitals: the local "Иванов" is the same patient.
    for (int i = 1; i <= kSourceImages; ++i)
        other.Exec(L"UPDATE Snimok SET Bri=" + std::to_wstring(100 + i) + L", Contrast=" + std::to_wstring(2000 + i) +
                   L", Negativ=" + std::to_wstring(i % 2) + L", Orientation=" + std::to_wstring(i % 4) +
                   L", Scale=1.5 WHERE Snimok=" + std::to_wstring(i) + L";");
    other.Exec(L"UPDATE Patient SET Name1='ИВАНОВ' WHERE Patient=" + std::to_wstring(otherPatients_[0]) + L";");

    // This workstation: an unrelated patient first (so the keys differ),
    // then two of the other's patients.
    wcscpy(DataPath, localPath_.c_str());
    wcscpy(ImageFolder, (localPath_ + L"Image\\").c_str());
    wcscpy(IconFolder, (localPath_ + L"Icon\\").c_str());
    ASSERT_TRUE(CreateSiteDatabase(localPath_ + L"local.db", SchemaFile(), error)) << Narrow(error);
    InsertDemoPatient(10);
    InsertDemoPatient(0);
    InsertDemoPatient(2);

    settings = new SettingsRootKey();
    WriteMergeSettings(*settings, otherPath_);
}

void MergeSites::EditOtherFile(const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open16((otherPath_ + L"\\other.db").c_str(), &db));
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "PRAGMA foreign_keys=OFF;", nullptr, nullptr, nullptr);
    char* message = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message)) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

void MergeSites::TearDown()
{
    InjectMergeFailure(MergeStep::None, 0);
    SetMergeStepObserver(nullptr, nullptr);
    other.Close();
    CloseSiteDatabase();
    delete settings;
    settings = nullptr;
    testfix::RemoveTree(root_);
}

std::wstring MergeSites::OtherImage(const std::wstring& name) const
{
    return otherPath_ + L"\\Image\\" + name + L".xmg";
}

std::wstring MergeSites::OtherIcon(const std::wstring& name) const
{
    return otherPath_ + L"\\Icon\\" + name + L".thb";
}

std::wstring MergeSites::LocalImage(const std::wstring& name) const
{
    return localPath_ + L"Image\\" + name + L".xmg";
}

std::wstring MergeSites::LocalIcon(const std::wstring& name) const
{
    return localPath_ + L"Icon\\" + name + L".thb";
}

std::vector<std::wstring> MergeSites::LocalFiles(const wchar_t* sub) const
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((localPath_ + sub + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

int RunMerge(RecordingLink& link, std::wstring* error, DThreadChannel* channel)
{
    ImportDBCls engine(channel, &link);
    return RunMergeSteps(engine, true, error);
}

void MergeSites::UndoMerge()
{
    other.Exec(L"UPDATE Snimok SET imported=0;");
    Exec(L"DELETE FROM MergeSnimok;");
    Exec(L"DELETE FROM Snimok;");
    Exec(L"DELETE FROM Patient WHERE Patient > 3;");
    for (const wchar_t* sub : {L"Image", L"Icon"})
        for (const std::wstring& name : LocalFiles(sub))
            DeleteFileW((localPath_ + sub + L"\\" + name).c_str());
}

void MergeSites::Exec(const std::wstring& sql)
{
    ExecOn(g_DbSession, sql);
}

std::wstring MergeSites::Scalar(const std::wstring& sql)
{
    return ScalarOn(g_DbSession, sql);
}

long MergeSites::Number(const std::wstring& sql)
{
    const std::wstring text = Scalar(sql);
    return text.empty() || text[0] == L'<' ? -1 : std::stol(text);
}

long MergeSites::CheckConsistent()
{
    // Local images, their files and the ledger.
    std::set<std::wstring> rowFiles;
    {
        BoundStatement query(g_DbSession, L"SELECT [File name] FROM Snimok;");
        query.Execute();
        while (query.Next()) {
            wchar_t name[64] = {};
            EXPECT_GT(RowText(query.Row(), 0, name, 64), 0) << "an image without a file name";
            rowFiles.insert(std::wstring(name) + L".xmg");
        }
    }
    std::vector<std::wstring> files = LocalFiles(L"Image");
    EXPECT_EQ(std::vector<std::wstring>(rowFiles.begin(), rowFiles.end()), files)
        << "every image has its file and every file its image";
    const long images = (long)rowFiles.size();
    EXPECT_EQ(images, Number(L"SELECT COUNT(*) FROM MergeSnimok;")) << "one identity per merged image";
    EXPECT_EQ(0, Number(L"SELECT COUNT(*) FROM MergeSnimok WHERE Snimok NOT IN (SELECT Snimok FROM Snimok);"));

    ExpectMarkedHere();
    // No patient without an image but the local ones from before.
    EXPECT_EQ(0, Number(L"SELECT COUNT(*) FROM Patient WHERE Patient > 3 AND Patient NOT IN "
                        L"(SELECT Patient FROM Snimok);"))
        << "a patient inserted for an image that was rolled back";
    return images;
}

void MergeSites::ExpectMarkedHere()
{
    std::set<std::wstring> here;
    for (const std::wstring& guid : testfix::RowsSql(L"SELECT Guid FROM MergeSnimok;"))
        here.insert(guid);
    BoundStatement marked(other.Session(), L"SELECT s.Snimok, g.Guid FROM Snimok s LEFT JOIN MergeSnimok g "
                                           L"ON g.Snimok=s.Snimok WHERE s.imported=1;");
    marked.Execute();
    while (marked.Next()) {
        LONG id = 0;
        wchar_t guid[64] = {};
        RowInt(marked.Row(), 0, &id);
        RowText(marked.Row(), 1, guid, 64);
        EXPECT_TRUE(here.count(guid)) << "source image " << id << " is marked but was not merged";
    }
}

}  // namespace mergetest

// merge_bench.exe: the database merge between two sites made in a temp
// folder, as ratios of costs measured in the same run:
//   - merging 40 images of 3000 x 3000 against reading and saving the same
//     images through the image records alone (each ".xmg" read, saved as a
//     new image in a transaction of its own): at most 1.5x, since the
//     database work of an image is small beside its file;
//   - merging 2,000 images of 256 x 256 against merging 200: at most 12x
//     (10x is linear);
//   - merging 300 pictures of one patient and one date over 300 other such
//     pictures here, against the same counts spread over patients and dates:
//     at most 1.5x. Files imported from one CD share their time stamp, and
//     every image here of the copy's date is a candidate for a copy of it.
//   - merging back: after this workstation took 1,000 images of 256 x 256
//     from the other, the other takes from this one, where every image is
//     one of its own (marked imported there): at most 0.05x the merge that
//     made the copies. Nothing is to merge, so nothing may cost an image's
//     work.
//   - the first merge over the ledger of an earlier program's merge of the
//     same 1,000 images (a ledger row a copy, no identities): at most 0.5x
//     the merge that made the copies. It reads both files of each copy once
//     to tell it is the same picture, links it and copies nothing.
// Each figure is the best of a few runs, each on a fresh local database; the
// local image folder is a clinic's, already holding 20,000 files
// (bench/fullfolder.h), and is emptied of the merged images after each run.
// The exit status is 1 when a figure is above its limit. Needs the
// registered provider: run build/wine-run.sh build/bench/merge_bench.exe.
#include "bench/benchutil.h"
#include "bench/fullfolder.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/merge/importengine.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/settingskey.h"
#include "images/files/snimokdb.h"
#include "images/files/xmgfile.h"
#include "tests/common/merge_run.h"
#include "tests/common/test_files.h"
#include "tools/demosite/radiograph.h"
#include "tools/demosite/sitebuilder.h"
#include "tools/demosite/sitedatabase.h"

#include <objbase.h>
#include <stdio.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

const int kRuns = 2;

std::wstring gRoot;
std::wstring gSchema = TF_MERGE_BENCH_SCHEMA;
int gSite = 0;

// Nobody answers a box here: it is printed and answered Cancel, so that
// the run fails instead of waiting.
int PrintPrompt(HWND, const wchar_t* text, const wchar_t* caption, UINT)
{
    fwprintf(stderr, L"prompt: %ls: %ls\n", caption ? caption : L"", text ? text : L"");
    return IDCANCEL;
}

std::wstring MakeFolders(const wchar_t* name)
{
    const std::wstring folder = gRoot + name + std::to_wstring(++gSite) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void UseFolders(const std::wstring& folder)
{
    testfix::UseDataFolders(folder);
}

bool WriteInitFile(const std::wstring& folder, const std::wstring& database)
{
    const std::wstring text = L"\xFEFF" + SiteInitString(database);
    HANDLE file = CreateFileW((folder + L"dbinit.cfg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    const bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, text.c_str(), (DWORD)(text.size() * 2), &done,
                                                              nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return ok;
}

// Saves `count` images of one picture of side x side into the open site, for
// its patients in runs of five.
bool SaveOnePicture(int count, int side)
{
    std::wstring error;
    std::vector<long> patients = FillSiteTables(error);
    DPicturePtr picture = MakeRadiograph(side, side, 14, 7, RadiographKind::Chest);
    std::vector<uint8_t> lut(65536, 128);
    bool ok = !patients.empty() && picture.Get();
    if (ok) {
        SYSTEMTIME taken = {2024, 5, 0, 7, 9, 30, 0, 0};
        SystemTimeToFileTime(&taken, &picture->imageDate);
    }
    for (int i = 0; ok && i < count; ++i) {
        picture->stored = 0;
        picture->imageId = 0;
        picture->patient.SetPatientId((uint32_t)patients[(size_t)(i / 5) % patients.size()]);
        ok = SaveSnimokTx(picture, lut.data());
    }
    return ok;
}

// Saves `count` pictures of side x side into the open site, each its own
// (seeds from `seed`): all of its first patient taken at one moment, or, with
// `spread`, for its patients in runs of five, a day apart from `day` days
// after that moment on.
bool SaveOwnPictures(int count, int side, unsigned seed, bool spread, int day)
{
    std::wstring error;
    const std::vector<long> patients = FillSiteTables(error);
    std::vector<uint8_t> lut(65536, 128);
    SYSTEMTIME moment = {2024, 5, 0, 7, 9, 30, 0, 0};
    FILETIME first = {};
    SystemTimeToFileTime(&moment, &first);
    const ULONGLONG kDay = 864000000000ull;
    for (int i = 0; i < count && !patients.empty(); ++i) {
        DPicturePtr picture = MakeRadiograph(side, side, 14, seed + (unsigned)i, RadiographKind::Chest);
        if (!picture.Get())
            return false;
        const ULONGLONG when = ((ULONGLONG)first.dwHighDateTime << 32 | first.dwLowDateTime) +
                               (spread ? (ULONGLONG)(day + i) * kDay : 0);
        picture->imageDate.dwLowDateTime = (DWORD)when;
        picture->imageDate.dwHighDateTime = (DWORD)(when >> 32);
        picture->patient.SetPatientId((uint32_t)patients[spread ? (size_t)(i / 5) % patients.size() : 0]);
        if (!SaveSnimokTx(picture, lut.data()))
            return false;
    }
    return !patients.empty();
}

// The other workstation, its images saved by `saveImages` with their
// thumbnails. Its folder, or empty.
std::wstring MakeOtherSite(const std::function<bool()>& saveImages)
{
    const std::wstring folder = MakeFolders(L"Other");
    UseFolders(folder);
    std::wstring error;
    if (!WriteInitFile(folder, folder + L"other.db") || !CreateSiteDatabase(folder + L"other.db", gSchema, error)) {
        fwprintf(stderr, L"other site: %ls\n", error.c_str());
        return std::wstring();
    }
    const bool ok = saveImages();
    CloseSiteDatabase();
    if (!ok) {
        fwprintf(stderr, L"other site: the images could not be made\n");
        return std::wstring();
    }
    return folder;
}

std::wstring gLocal;     // the local data folder, its image folder full
std::wstring gLocalDb;   // the local database of the last merge

// Deletes the files of `folder` that match `pattern`.
void DeleteMatching(const std::wstring& folder, const wchar_t* pattern)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileW((folder + data.cFileName).c_str());
    while (FindNextFileW(find, &data));
    FindClose(find);
}

// The local site with a fresh database, opened as the program's own; its
// image folder holds the filler files and none of an earlier run's images.
bool MakeLocalSite()
{
    if (gLocal.empty()) {
        const std::wstring folder = MakeFolders(L"Local");
        if (!bench::MakeFullFolder(folder + L"Image\\"))
            return false;
        gLocal = folder;
    }
    UseFolders(gLocal);
    DeleteMatching(ImageFolder, L"*.xmg");
    DeleteMatching(IconFolder, L"*.thb");
    std::wstring error;
    gLocalDb = gLocal + L"local" + std::to_wstring(++gSite) + L".db";
    if (!CreateSiteDatabase(gLocalDb, gSchema, error)) {
        fwprintf(stderr, L"local site: %ls\n", error.c_str());
        return false;
    }
    return true;
}

void Configure(const std::wstring& otherFolder)
{
    HKEY key = nullptr;
    std::wstring path = otherFolder.substr(0, otherFolder.size() - 1);
    OpenSettingsKey(L"ImportSettings", KEY_ALL_ACCESS, true, &key);
    RegSetValueExW(key, L"DBPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   (DWORD)((path.size() + 1) * 2));
    RegCloseKey(key);
    const struct {
        const wchar_t* name;
        DWORD type, req;
    } columns[] = {{L"Name1", 130, 1}, {L"Name2", 130, 1}, {L"Name3", 130, 1}, {L"Birthday", 64, 1}, {L"Pol", 3, 0}};
    for (const auto& c : columns) {
        OpenSettingsKey((std::wstring(L"ImportSettings\\Patient\\") + c.name).c_str(), KEY_ALL_ACCESS, true, &key);
        RegSetValueExW(key, L"CType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&c.type), 4);
        RegSetValueExW(key, L"Req", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&c.req), 4);
        RegCloseKey(key);
    }
    OpenSettingsKey(L"ImportSettings\\Snimok", KEY_ALL_ACCESS, true, &key);
    RegCloseKey(key);
    OpenSettingsKey(L"ImportSettings\\FormatPatient\\1", KEY_ALL_ACCESS, true, &key);
    RegSetValueExW(key, L"name", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Name1"), 12);
    RegCloseKey(key);
    OpenSettingsKey(L"ImportSettings\\FormatPatient", KEY_ALL_ACCESS, true, &key);
    RegSetValueExW(key, L"formatstring", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"%1"), 6);
    RegCloseKey(key);
}

double Ms(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// A merge into the open local site, timed: its ms, or -1 when it failed or
// merged another number of images than `expected` (none: none offered either).
double TimedMerge(const wchar_t* what, int expected)
{
    testfix::QuietMergeLink link;
    ImportDBCls engine(nullptr, &link);
    const auto t0 = std::chrono::steady_clock::now();
    std::wstring error;
    if (testfix::RunMergeSteps(engine, true, &error) != ImportDBCls::kRunning) {
        fwprintf(stderr, L"%ls: %ls\n", what, error.c_str());
        return -1;
    }
    const double ms = Ms(t0);
    if ((int)engine.MergedCount() != expected || (expected == 0 && engine.ImagesToMerge() != 0)) {
        fwprintf(stderr, L"%ls: %lu of %lu offered merged, %d expected\n", what, engine.MergedCount(),
                 engine.ImagesToMerge(), expected);
        return -1;
    }
    return ms;
}

// Fills a fresh local site with images of its own before a merge (not timed).
using LocalImages = std::function<bool()>;

// One merge into a fresh local site; its time in ms, or -1.
double MergeOnce(int expected, const LocalImages& localImages)
{
    if (!MakeLocalSite())
        return -1;
    if (localImages && !localImages()) {
        fwprintf(stderr, L"local site: the images could not be made\n");
        CloseSiteDatabase();
        return -1;
    }
    const double ms = TimedMerge(L"merge", expected);
    CloseSiteDatabase();
    return ms;
}

// Reading and saving the other site's images through the image records alone.
double RecordsOnce(const std::wstring& otherFolder, const std::vector<std::wstring>& names, long patient)
{
    if (!MakeLocalSite())
        return -1;
    BoundStatement insert(g_DbSession, L"INSERT INTO Patient (Name1) VALUES ('Иванов');");
    insert.Run();
    const auto t0 = std::chrono::steady_clock::now();
    for (const std::wstring& name : names) {
        HANDLE file = CreateFileW((otherFolder + L"Image\\" + name + L".xmg").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return -1;
        DPicturePtr picture = SnimokFile::Load(file, false, false);
        CloseHandle(file);
        picture->patient.SetPatientId((uint32_t)patient);
        if (!SaveSnimokTx(picture, nullptr))
            return -1;
    }
    const double ms = Ms(t0);
    CloseSiteDatabase();
    return ms;
}

// A session of the other site's database, none when it cannot be opened;
// its data source goes to *source.
DODBPtr<DODBSession> OtherSession(const std::wstring& otherFolder, DODBPtr<DODBSource>* source)
{
    DODBPtr<DODBSession> session;
    *source = DODBSource::Create();
    if (!source->IsSet() || FAILED((*source)->OpenDataSource(SiteInitString(otherFolder + L"other.db").c_str())) ||
        FAILED((*source)->CreateSession(session)))
        session.Release();
    return session;
}

// Unmarks every image of the other site so that it can be merged again.
void Unmark(const std::wstring& otherFolder)
{
    DODBPtr<DODBSource> source;
    DODBPtr<DODBSession> session = OtherSession(otherFolder, &source);
    if (session.IsSet())
        session->ExecSql(L"UPDATE Snimok SET imported=0;", nullptr, nullptr, nullptr, nullptr);
}

std::vector<std::wstring> ImageNames(const std::wstring& otherFolder)
{
    std::vector<std::wstring> names;
    DODBPtr<DODBSource> source;
    DODBPtr<DODBSession> session = OtherSession(otherFolder, &source);
    if (!session.IsSet())
        return names;
    BoundStatement query(session, L"SELECT [File name] FROM Snimok ORDER BY Snimok;");
    query.Execute();
    while (query.Next()) {
        wchar_t name[64] = {};
        RowText(query.Row(), 0, name, 64);
        names.push_back(name);
    }
    return names;
}

double BestMerge(const std::wstring& otherFolder, int expected, const LocalImages& localImages = nullptr)
{
    double best = 1e30;
    for (int i = 0; i < kRuns; ++i) {
        Unmark(otherFolder);
        const double ms = MergeOnce(expected, localImages);
        if (ms < 0)
            return -1;
        best = ms < best ? ms : best;
    }
    return best;
}

// The merge of `images` from the other workstation into a fresh local site
// (*forth), then, the other workstation's database opened as the program's
// own, its merge of this one back (returned): every image there is one of
// its own. Times in ms, -1 when a run failed.
double MergeBackOnce(const std::wstring& otherFolder, int images, double* forth)
{
    Unmark(otherFolder);
    Configure(otherFolder);
    *forth = MergeOnce(images, nullptr);
    std::wstring error;
    if (*forth < 0 || !WriteInitFile(gLocal, gLocalDb))
        return -1;
    UseFolders(otherFolder);
    if (!OpenSiteDatabase(otherFolder + L"other.db", error)) {
        fwprintf(stderr, L"the other site: %ls\n", error.c_str());
        return -1;
    }
    Configure(gLocal);
    const double ms = TimedMerge(L"merge back", 0);
    CloseSiteDatabase();
    return ms;
}

// The images of a database that have an identity, by identity; then none has.
std::map<std::wstring, LONG> TakeIdentities(const DODBPtr<DODBSession>& session)
{
    std::map<std::wstring, LONG> images;
    BoundStatement query(session, L"SELECT Guid, Snimok FROM MergeSnimok;");
    query.Execute();
    while (query.Next()) {
        wchar_t guid[64] = {};
        LONG image = 0;
        if (RowText(query.Row(), 0, guid, 64) > 0 && RowInt(query.Row(), 1, &image))
            images[guid] = image;
    }
    session->ExecSql(L"DELETE FROM MergeSnimok;", nullptr, nullptr, nullptr, nullptr);
    return images;
}

// What an earlier program's merge left of the last merge into the local
// site from `otherFolder`: a ledger row for each copy, no identities on
// either side. The rows there stay marked imported.
bool LeaveLedgerOnly(const std::wstring& otherFolder)
{
    DODBPtr<DODBSource> source;
    DODBPtr<DODBSession> session = OtherSession(otherFolder, &source);
    if (!session.IsSet())
        return false;
    const std::map<std::wstring, LONG> there = TakeIdentities(session);
    wchar_t folder[MAX_PATH] = {};
    GetFullPathNameW(otherFolder.substr(0, otherFolder.size() - 1).c_str(), MAX_PATH, folder, nullptr);
    CharUpperBuffW(folder, (DWORD)wcslen(folder));
    if (FAILED(g_DbSession->BeginTx()))
        return false;
    int rows = 0;
    for (const auto& [identity, image] : TakeIdentities(g_DbSession)) {
        const auto copied = there.find(identity);
        if (copied == there.end())
            continue;
        BoundStatement insert(g_DbSession,
                              L"INSERT INTO MergeLedger (SourceDb, SourceSnimok, Snimok) VALUES (?, ?, ?);");
        if (!insert.Params().SetStr(1, folder, -1) || !insert.Params().SetValI4(2, copied->second) ||
            !insert.Params().SetValI4(3, image))
            return false;
        insert.Run();
        ++rows;
    }
    return SUCCEEDED(g_DbSession->CommitSync()) && rows > 0;
}

// The merge of `images` from the other workstation into a fresh local site
// (*made), turned into an earlier program's, then the first merge over its
// ledger (returned), which must link every copy and copy nothing. Times in
// ms, -1 when a run failed.
double LedgerOnce(const std::wstring& otherFolder, int images, double* made)
{
    Unmark(otherFolder);
    Configure(otherFolder);
    *made = MergeOnce(images, nullptr);
    std::wstring error;
    UseFolders(gLocal);
    if (*made < 0 || !OpenSiteDatabase(gLocalDb, error) || !LeaveLedgerOnly(otherFolder)) {
        fwprintf(stderr, L"the ledger: %ls\n", error.c_str());
        CloseSiteDatabase();
        return -1;
    }
    double ms = TimedMerge(L"merge over the ledger", 0);
    {
        BoundStatement linked(g_DbSession, L"SELECT COUNT(*) FROM MergeSnimok;");
        LONG count = 0;
        if (ms >= 0 && (!linked.First() || !RowInt(linked.Row(), 0, &count) || count != images)) {
            fwprintf(stderr, L"merge over the ledger: %ld of %d copies linked\n", count, images);
            ms = -1;
        }
    }
    CloseSiteDatabase();
    return ms;
}

// One side of a figure that compares two merges: the other workstation's
// folder (empty when it could not be made), the images it merges, what the
// local site holds of its own before.
struct MergeCase {
    std::wstring folder;
    int images;
    LocalImages localImages;
};

// The figure `name`: the best merge of `a` against the best of `b`; `what`
// says it with both times in ms.
void RatioOfMerges(bench::Verdict& verdict, const char* name, double limit, const MergeCase& a, const MergeCase& b,
                   const char* what)
{
    if (a.folder.empty() || b.folder.empty()) {
        verdict.Failed(name, "the other sites could not be made");
        return;
    }
    Configure(a.folder);
    const double aMs = BestMerge(a.folder, a.images, a.localImages);
    Configure(b.folder);
    const double bMs = BestMerge(b.folder, b.images, b.localImages);
    if (aMs < 0 || bMs < 0) {
        verdict.Failed(name, "a run failed");
        return;
    }
    char text[256];
    snprintf(text, sizeof text, what, aMs, bMs);
    verdict.Ratio(name, aMs / bMs, limit, text);
}

// The figure `name`: the best of a few runs of `after`, a merge that follows
// the merge of the other site's `images` into a fresh local site (whose time
// it gives), against the best of those merges; `what` says it with both
// times in ms.
void RatioAfterMerge(bench::Verdict& verdict, const char* name, double limit, const std::wstring& folder, int images,
                     double (*after)(const std::wstring&, int, double*), const char* what)
{
    double made = 1e30, best = 1e30;
    for (int i = 0; i < kRuns && !folder.empty() && best >= 0; ++i) {
        double ms = 0;
        const double t = after(folder, images, &ms);
        best = t < 0 || ms < 0 ? -1 : (t < best ? t : best);
        made = ms < made ? ms : made;
    }
    if (folder.empty() || best < 0) {
        verdict.Failed(name, "a run failed");
        return;
    }
    char text[256];
    snprintf(text, sizeof text, what, best, made);
    verdict.Ratio(name, best / made, limit, text);
}

}  // namespace

int wmain()
{
    using namespace bench;
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 1;
    SetPromptHook(PrintPrompt);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    gRoot = std::wstring(temp) + L"mergebench" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(gRoot.c_str(), nullptr);
    const std::wstring keyPath = L"Software\\TobalFluoroBench\\merge" + std::to_wstring(GetCurrentProcessId());
    SetSettingsRoot(SettingsRoot{HKEY_CURRENT_USER, keyPath.c_str()});
    SpaceMin = 0;
    SpaceArjStart = 0;
    Verdict verdict;

    // 40 images of 3000 x 3000.
    const std::wstring large = MakeOtherSite([] { return SaveOnePicture(40, 3000); });
    if (large.empty()) {
        verdict.Failed("merge_3000_over_records", "the other site could not be made");
    } else {
        Configure(large);
        const std::vector<std::wstring> names = ImageNames(large);
        double records = 1e30;
        for (int i = 0; i < kRuns; ++i) {
            const double ms = RecordsOnce(large, names, 1);
            records = ms >= 0 && ms < records ? ms : records;
        }
        const double merge = BestMerge(large, 40);
        if (merge < 0 || records >= 1e30) {
            verdict.Failed("merge_3000_over_records", "a run failed");
        } else {
            char text[256];
            snprintf(text, sizeof text, "merging 40 images of 3000x3000 (%.0f ms) against reading and saving them "
                     "through the image records (%.0f ms)", merge, records);
            verdict.Ratio("merge_3000_over_records", merge / records, 1.5, text);
        }
    }

    // 200 and 2,000 images of 256 x 256.
    RatioOfMerges(verdict, "merge_2000_over_200", 12.0,
                  {MakeOtherSite([] { return SaveOnePicture(2000, 256); }), 2000, nullptr},
                  {MakeOtherSite([] { return SaveOnePicture(200, 256); }), 200, nullptr},
                  "merging 2000 images of 256x256 (%.0f ms) against 200 (%.0f ms); linear is 10");

    // 300 pictures over 300 others here, of one patient and one date, and
    // spread (here a year later than there: no date is shared).
    const int kOwn = 300;
    RatioOfMerges(verdict, "merge_one_date_over_spread", 1.5,
                  {MakeOtherSite([] { return SaveOwnPictures(kOwn, 256, 1000, false, 0); }), kOwn,
                   [] { return SaveOwnPictures(kOwn, 256, 5000, false, 0); }},
                  {MakeOtherSite([] { return SaveOwnPictures(kOwn, 256, 1000, true, 0); }), kOwn,
                   [] { return SaveOwnPictures(kOwn, 256, 5000, true, 366); }},
                  "merging 300 pictures of one patient and date over 300 such here (%.0f ms) against the same "
                  "spread over patients and dates (%.0f ms)");

    // 1,000 images taken, then given back; taken by an earlier program, then
    // the first merge over its ledger.
    const int kBack = 1000;
    const std::wstring back = MakeOtherSite([] { return SaveOwnPictures(kBack, 256, 9000, true, 0); });
    RatioAfterMerge(verdict, "merge_back_over_merge", 0.05, back, kBack, MergeBackOnce,
                    "merging back 1000 images that are all there (%.0f ms) against the merge that made them "
                    "(%.0f ms)");
    RatioAfterMerge(verdict, "merge_over_ledger_over_merge", 0.5, back, kBack, LedgerOnce,
                    "the first merge over the ledger of 1000 earlier copies (%.0f ms) against the merge that "
                    "made them (%.0f ms)");

    RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, keyPath.c_str());
    testfix::RemoveTree(gRoot);
    CoUninitialize();
    return verdict.ExitCode();
}

// sync_bench.exe: the synchronisation's costs, each as a ratio measured in
// the same run:
//   - the hard-disk scan of 5,000 image files (its folder walk and its
//     Snimok_tmp rows; it opens no file) against the same walk of the folder
//     alone: at most 5x;
//   - the scan of 5,000 files against 500: at most 12x (linear, 1.2 x 10);
//   - the database synchronisation (command 4) putting back 5,000 images
//     found only in files against 500: at most 12x.
// Each site has one patient for every ten images, all in the database; the
// images have no rows. Each site's image folder is a clinic's, already
// holding 20,000 other files (bench/fullfolder.h). The two sizes take turns
// and each keeps its best time. The exit status is 1 when a figure is above
// its limit.
//
//   build/wine-run.sh build/bench/sync_bench.exe
#include "bench/benchutil.h"
#include "bench/fullfolder.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/sync/synchrthread.h"
#include "exchange/sync/synctables.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "images/files/xmgfile.h"
#include "tests/common/test_files.h"
#include "tools/demosite/radiograph.h"
#include "tools/demosite/sitedatabase.h"

#include <objbase.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace {

// The scan against its own walk of the folder: the walk, one lookup in the
// rows read at the start and one row written per file.
const double kListingLimit = 5;

std::wstring gRoot;

void Exec(const wchar_t* sql)
{
    BoundStatement(g_DbSession, sql).Run();
}

// A channel whose window takes every report and never sends a command.
class QuietProgress : public ISyncProgress {
public:
    void SetText1(const wchar_t*, int) override {}
    void SetText3(const wchar_t*, int) override {}
    void SetText2(const wchar_t* text, int length) override { last = std::wstring(text, length < 0 ? wcslen(text) : length); }
    void SetFlag010() override {}
    void SetFlag004() override {}
    void SetFlag020() override {}
    bool WaitCommand(DWORD) override { return false; }
    void DrainCommands() override {}
    HWND GetOwnerWindow() override { return nullptr; }
    void SetFlag040() override {}
    void SetFlag100() override {}
    void SetFlag080() override {}
    void NoOp() override {}
    void SetDiskRequest(DWORD, const wchar_t*, DWORD) override {}
    void BeginUserWait() override {}
    void EndUserWait() override {}
    std::wstring last;   // what a status line would show, copied as the window copies it
};

// A worker on this thread with its own session, as the thread would have.
struct Worker {
    QuietProgress progress;
    SyncStartRecord start;
    SynchrThread* thread = nullptr;
    Worker()
    {
        start.progress = &progress;
        thread = new SynchrThread(start);
        thread->OpenSession();
    }
    ~Worker() { delete thread; }
};

// A data folder with `files` image files of `patients` patients (image ids
// 1..files, patient ids 1..patients), the patients in the database, no image
// rows: every file is to be put back.
bool MakeSite(const std::wstring& folder, int files, int patients, std::wstring& error)
{
    CreateDirectoryW(folder.c_str(), nullptr);
    if (!bench::MakeFullFolder(folder + L"Image\\")) {
        error = L"no full image folder";
        return false;
    }
    testfix::UseDataFolders(folder);
    if (!CreateSiteDatabase(folder + L"bench.db", TF_BENCH_SCHEMA, error))
        return false;
    Exec(L"SET IDENTITY_INSERT Patient ON");
    for (int p = 1; p <= patients; ++p) {
        BoundStatement insert(g_DbSession, L"INSERT INTO Patient (Patient, Name1, Name2, Name3, Birthday, Pol) "
                                           L"VALUES (?, ?, ?, ?, ?, 1);");
        const std::wstring name = L"Пациент" + std::to_wstring(p);
        insert.Params().SetValI4(1, p);
        insert.Params().SetStr(2, name.c_str(), -1);
        insert.Params().SetStr(3, L"Иван", -1);
        insert.Params().SetStr(4, L"Петрович", -1);
        FILETIME birthday = {0x8F2A0000u, 0x01A0F000u};
        insert.Params().SetValDate(5, birthday);
        insert.Run();
    }
    Exec(L"SET IDENTITY_INSERT Patient OFF");
    DPicturePtr picture = MakeRadiograph(64, 64, 12, 7, RadiographKind::Chest);
    if (!picture.Get()) {
        error = L"no picture";
        return false;
    }
    for (int i = 1; i <= files; ++i) {
        const int p = 1 + (i - 1) % patients;
        picture->imageId = static_cast<uint32_t>(i);
        picture->patient.SetPatientId(static_cast<uint32_t>(p));
        picture->patient.SetName(0, (L"Пациент" + std::to_wstring(p)).c_str(), -1);
        picture->patient.SetName(1, L"Иван", -1);
        picture->patient.SetName(2, L"Петрович", -1);
        picture->patient.SetBirthday(FILETIME{0x8F2A0000u, 0x01A0F000u});
        picture->imageDate = FILETIME{0x8F2A0000u, 0x01D6F000u};
        wchar_t name[32];
        _snwprintf(name, 31, L"П%.10u%.10u", static_cast<unsigned>(p), static_cast<unsigned>(i));
        name[31] = 0;
        HANDLE file = CreateFileW((std::wstring(ImageFolder) + name + L".xmg").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        DWORD code = 0;
        const int saved = SnimokFile::Save(picture, file, &code, true);
        CloseHandle(file);
        if (!saved) {
            error = L"an image file could not be written";
            return false;
        }
    }
    return true;
}

// The walk of the image folder that the scan makes, names only: the
// reference. It opens no file, as the scan opens none.
double ListingMs()
{
    auto t0 = std::chrono::steady_clock::now();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((std::wstring(ImageFolder) + L"*.xmg").c_str(), &data);
    size_t sum = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do
            sum += wcslen(data.cFileName);
        while (FindNextFileW(find, &data));
        FindClose(find);
    }
    auto t1 = std::chrono::steady_clock::now();
    if (sum == 1)
        printf(" ");
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

// The best of `runs` scans of the folder into an empty Snimok_tmp.
double ScanMs(int runs)
{
    Worker worker;
    worker.thread->CreateTmpTables();
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        Exec(L"DELETE FROM Snimok_tmp;");
        auto t0 = std::chrono::steady_clock::now();
        worker.thread->ScanHdd(ImageFolder);
        auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}

// Command 4 after a scan and the window's tables, every file put back: the
// best of `runs`, the rows taken away again before each.
double SynchroniseMs(int files, int runs, std::wstring& error)
{
    Worker worker;
    worker.thread->CreateTmpTables();
    worker.thread->ScanHdd(ImageFolder);
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        Exec(L"DELETE FROM Snimok;");
        CreateSyncTables(g_DbSession);
        auto t0 = std::chrono::steady_clock::now();
        worker.thread->SynchrDB();
        auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
        BoundStatement count(g_DbSession, L"SELECT COUNT(*) FROM Snimok;");
        LONG restored = 0;
        if (count.First())
            RowInt(count.Row(), 0, &restored);
        if (restored != files)
            error = L"not every image was put back";
    }
    return best;
}

}  // namespace

// Opens a site made before as the program's data folder and database.
bool UseSite(const std::wstring& folder, std::wstring& error)
{
    CloseSiteDatabase();
    testfix::UseDataFolders(folder);
    return OpenSiteDatabase(folder + L"bench.db", error);
}

int wmain()
{
    using namespace bench;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    gRoot = std::wstring(temp) + L"syncbench" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(gRoot.c_str(), nullptr);
    Verdict verdict;
    const std::vector<int> sizes = {500, 5000};
    std::vector<std::wstring> folders;
    std::wstring error;
    for (int files : sizes) {
        folders.push_back(gRoot + std::to_wstring(files) + L"\\");
        if (!MakeSite(folders.back(), files, files / 10, error)) {
            fwprintf(stderr, L"%ls\n", error.c_str());
            verdict.Failed("sync_site", "the site could not be made");
            testfix::RemoveTree(gRoot);
            return verdict.ExitCode();
        }
        CloseSiteDatabase();
    }
    // The sizes take turns, round by round, and each keeps its best: a
    // machine shared with others then weighs on both alike.
    std::vector<double> listing(sizes.size(), 1e30), scan(sizes.size(), 1e30), sync(sizes.size(), 1e30);
    try {
        for (int round = 0; round < 3; ++round) {
            for (size_t s = 0; s < sizes.size(); ++s) {
                if (!UseSite(folders[s], error)) {
                    verdict.Failed("sync_site", "the site could not be opened");
                    throw 0;
                }
                if (round == 0)
                    ListingMs();   // untimed: the folder into the cache
                listing[s] = std::min(listing[s], ListingMs());
                scan[s] = std::min(scan[s], ScanMs(1));
                if (round < 2)
                    sync[s] = std::min(sync[s], SynchroniseMs(sizes[s], 1, error));
                if (!error.empty()) {
                    verdict.Failed("sync_steps", "not every image was put back");
                    throw 0;
                }
            }
        }
        char text[256];
        snprintf(text, sizeof text, "hard-disk scan of %d files against listing the folder (%.1f ms against %.1f ms)",
                 sizes.back(), scan.back(), listing.back());
        verdict.Ratio("sync_scan_vs_listing", scan.back() / listing.back(), kListingLimit, text);
        Scaling(verdict, "sync_scan", sizes, scan, 1.2);
        Scaling(verdict, "sync_steps", sizes, sync, 1.2);
    } catch (const DODBErrors& e) {
        wchar_t text[1024] = {};
        e.GetText(text, 1023);
        fwprintf(stderr, L"database error: %ls\n", text);
        verdict.Failed("sync", "database error");
    } catch (const MsgExcept& m) {
        wchar_t text[1024] = {};
        m.GetText(text, 1024);
        fwprintf(stderr, L"error: %ls\n", text);
        verdict.Failed("sync", "worker error");
    } catch (int) {
    }
    CloseSiteDatabase();
    testfix::RemoveTree(gRoot);
    CoUninitialize();
    return verdict.ExitCode();
}

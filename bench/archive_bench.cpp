// archive_bench.exe: the archive job's costs, each as a ratio measured in the
// same run:
//   - archiving 40 images of 3000 x 3000 (their ".xmg" and ".thb") to a
//     simulated archive disk (a folder in memory, /dev/shm, mapped to a drive
//     letter through Wine's mount manager) against copying the same files
//     there with CopyFileW: at most 1.3x;
//   - the free-space step over 5,000 archived images (every one deleted from
//     the hard disk) against 500: at most 12x (linear, 1.2 x 10).
// Every site's image folder is a clinic's, already holding 20,000 other files
// (bench/fullfolder.h). The two sides of each figure take turns and each
// keeps its best time. The exit status is 1 when a figure is above its limit.
//
// Why the archive disk is in memory: a clinic's archive disk is a device of
// its own, and no commit of the site's database waits for what is written to
// it. A disk folder on the database's own file system couples the two: Wine
// truncates every copy's new target, on which ext4 writes the file back from
// its close (its guard for files replaced by truncation), and a commit on
// the same file system waits for that writing. The job's stamps, committed
// after its copies, waited 300 to 500 ms for the kernel to write the 340 MB,
// more than the copying itself, while the reference's copies were written
// back after its clock had stopped: the figure swung between 1.1 and 2.6
// with the disk's pace. On a disk in memory nothing is written back, and the
// job's own costs weigh the most. Before each side the files the other side
// wrote are deleted and the stamps reset, and the side going first changes
// every round.
//
//   build/wine-run.sh build/bench/archive_bench.exe
#include "archive/arjworker.h"
#include "bench/benchutil.h"
#include "bench/fullfolder.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "foundation/globals.h"
#include "images/files/xmgfile.h"
#include "tests/common/test_files.h"
#include "tools/demosite/radiograph.h"
#include "tools/demosite/sitedatabase.h"
#include "ui/widgets.h"

#include <objbase.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace {

const int kImages = 40;

std::wstring gRoot;

void Exec(const std::wstring& sql)
{
    BoundStatement(g_DbSession, sql.c_str()).Run();
}

bool WriteSmall(const std::wstring& path, const char* text, DWORD size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text, size, &written, nullptr) && written == size;
    CloseHandle(file);
    return ok;
}

std::wstring ImageName(int i)
{
    wchar_t name[32];
    _snwprintf(name, 31, L"A%.10u%.10u", 1u, static_cast<unsigned>(i));
    name[31] = 0;
    return name;
}

// The site: one patient and `images` image rows, none archived yet.
bool MakeSite(const std::wstring& folder, int images, std::wstring& error)
{
    CreateDirectoryW(folder.c_str(), nullptr);
    if (!bench::MakeFullFolder(folder + L"Image\\")) {
        error = L"no full image folder";
        return false;
    }
    testfix::UseDataFolders(folder);
    if (!CreateSiteDatabase(folder + L"bench.db", TF_BENCH_SCHEMA, error))
        return false;
    Exec(L"INSERT INTO Patient (Name1, Name2, Name3) VALUES ('Bench', 'A', 'B');");
    g_DbSession->BeginTx();
    for (int i = 1; i <= images; ++i) {
        BoundStatement insert(g_DbSession, L"INSERT INTO Snimok (Patient, [Disk], [Date file], [File name]) "
                                           L"VALUES (1, 1, ?, ?);");
        FILETIME date = {0x8F2A0000u + static_cast<DWORD>(i) * 1000u, 0x01D6F000u};
        insert.Params().SetValDate(1, date);
        insert.Params().SetStr(2, ImageName(i).c_str(), -1);
        insert.Run();
    }
    if (FAILED(g_DbSession->CommitSync())) {
        error = L"the image rows could not be written";
        return false;
    }
    return true;
}

// Puts the image files of the site (back) on the hard disk.
bool WriteImageFiles(int images, const std::wstring& xmg)
{
    static const char kThumb[8192] = {1};
    for (int i = 1; i <= images; ++i) {
        const std::wstring name = ImageName(i);
        const std::wstring image = std::wstring(ImageFolder) + name + L".xmg";
        if (xmg.empty() ? !WriteSmall(image, "x", 1) : !CopyFileW(xmg.c_str(), image.c_str(), FALSE))
            return false;
        if (!WriteSmall(std::wstring(IconFolder) + name + L".thb", kThumb, xmg.empty() ? 1 : sizeof kThumb))
            return false;
    }
    return true;
}

// One archive job on its thread, as the archive window starts it.
double ArchiveJobMs(DWORD flags, DrawnProgressBar* bar, LONG images)
{
    WorkerLink link;
    WorkerParams params;
    params.jobFlags = flags;
    params.notArchivedCount = images;
    params.progressBar = bar;
    params.startEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto t0 = std::chrono::steady_clock::now();
    if (!link.StartArchiveThread(nullptr, nullptr, &params))
        throw 1;
    WaitForSingleObject(link.Thread(), INFINITE);
    auto t1 = std::chrono::steady_clock::now();
    const DWORD result = link.Stop();
    if (result != 0) {
        fwprintf(stderr, L"the job ended with %ld: %ls / %ls\n", static_cast<long>(result),
                 link.Text() ? link.Text() : L"", link.Text2() ? link.Text2() : L"");
        throw 1;
    }
    link.Reset();
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

// The same files copied with CopyFileW: the reference.
double CopyFilesMs(const std::wstring& target)
{
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 1; i <= kImages; ++i) {
        const std::wstring name = ImageName(i);
        if (!CopyFileW((std::wstring(ImageFolder) + name + L".xmg").c_str(), (target + name + L".xmg").c_str(),
                       FALSE) ||
            !CopyFileW((std::wstring(IconFolder) + name + L".thb").c_str(), (target + name + L".thb").c_str(), FALSE))
            throw 2;
    }
    auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

void EmptyFolder(const std::wstring& folder)
{
    testfix::RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
}

// The number of images stamped as archived.
LONG StampedImages()
{
    BoundStatement count(g_DbSession, L"SELECT COUNT(*) FROM Snimok WHERE Arj IS NOT NULL;");
    LONG stamped = -1;
    if (!count.First() || !RowInt(count.Row(), 0, &stamped))
        return -1;
    return stamped;
}

double Median(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0 : ms[ms.size() / 2];
}

}  // namespace

int wmain()
{
    using namespace bench;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    gRoot = std::wstring(temp) + L"archbench" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(gRoot.c_str(), nullptr);
    // The archive disk's folder, in memory (Z: is the Unix root).
    const std::wstring diskFolder = L"Z:\\dev\\shm\\archbench" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    Verdict verdict;
    std::wstring error;
    try {
        // ---- archiving 40 images against copying them --------------------------------
        DPicturePtr picture = MakeRadiograph(3000, 3000, 14, 11, RadiographKind::Chest);
        const std::wstring xmg = gRoot + L"source.xmg";
        HANDLE file = CreateFileW(xmg.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD code = 0;
        const int saved = picture.Get() ? SnimokFile::Save(picture, file, &code, true) : 0;
        CloseHandle(file);
        if (!saved) {
            verdict.Failed("archive_copy", "the 3000 x 3000 image could not be written");
            throw 0;
        }
        const std::wstring site = gRoot + L"copy\\";
        if (!MakeSite(site, kImages, error) || !WriteImageFiles(kImages, xmg)) {
            verdict.Failed("archive_copy", "the site could not be made");
            throw 0;
        }
        ULARGE_INTEGER memoryFree = {};
        if (!CreateDirectoryW(diskFolder.c_str(), nullptr) ||
            !GetDiskFreeSpaceExW(diskFolder.c_str(), &memoryFree, nullptr, nullptr) ||
            memoryFree.QuadPart < 1024ull * 1048576u) {
            verdict.Failed("archive_copy", "no 1 GB free in /dev/shm for the archive disk");
            throw 0;
        }
        testfix::SimulatedDrive disk;
        const DWORD serial = 0x5EEDBEEF;
        if (!disk.Leased() || !disk.Insert(diskFolder, serial, "BENCH")) {
            verdict.Failed("archive_copy", "no simulated disk");
            throw 0;
        }
        Exec(L"INSERT INTO Arj (Arj, Name) VALUES (" + std::to_wstring(static_cast<LONG>(serial)) + L", 'BENCH');");
        const std::wstring archiveFolder = std::wstring(1, disk.Letter()) + L":\\Images\\";
        wcscpy(ArchivePath, archiveFolder.c_str());
        SpaceArjStart = 0;
        SpaceArjEnd = 0;
        // The window's progress bar, drawn as the job moves it.
        HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 40, nullptr, nullptr, nullptr, nullptr);
        DrawnProgressBar bar;
        bar.Init(window);
        bar.SetRect(0, 0, 400, 30, 20);
        const std::wstring reference = diskFolder + L"Reference\\";
        std::vector<double> archiveMs, copyMs;
        for (int round = 0; round < 15; ++round) {
            for (int side = 0; side < 2; ++side) {
                EmptyFolder(reference);
                EmptyFolder(diskFolder + L"Images\\");
                Exec(L"UPDATE Snimok SET Arj=NULL;");
                if ((round + side) % 2 == 0) {
                    const double copy = CopyFilesMs(reference);
                    if (round > 0)   // the first round brings the files into the cache
                        copyMs.push_back(copy);
                } else {
                    const double archive = ArchiveJobMs(kJobArchive, &bar, kImages);
                    if (StampedImages() != kImages) {
                        verdict.Failed("archive_copy", "not every image was archived");
                        throw 0;
                    }
                    if (round > 0)
                        archiveMs.push_back(archive);
                }
            }
        }
        const double archiveBest = *std::min_element(archiveMs.begin(), archiveMs.end());
        const double copyBest = *std::min_element(copyMs.begin(), copyMs.end());
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExW(xmg.c_str(), GetFileExInfoStandard, &data);
        char text[256];
        snprintf(text, sizeof text,
                 "archiving %d images of 3000 x 3000 (%.1f MB each) against CopyFileW of the same files "
                 "(%.1f ms, median %.1f, against %.1f ms, median %.1f)",
                 kImages, data.nFileSizeLow / 1048576.0, archiveBest, Median(archiveMs), copyBest, Median(copyMs));
        verdict.Ratio("archive_copy_vs_copyfile", archiveBest / copyBest, 1.3, text);
        DestroyWindow(window);
        CloseSiteDatabase();

        // ---- the free-space step over 500 and 5,000 images ---------------------------
        const std::vector<int> sizes = {500, 5000};
        std::vector<std::wstring> sites;
        for (int images : sizes) {
            sites.push_back(gRoot + L"free" + std::to_wstring(images) + L"\\");
            if (!MakeSite(sites.back(), images, error)) {
                verdict.Failed("archive_free", "the site could not be made");
                throw 0;
            }
            Exec(L"INSERT INTO Arj (Arj, Name) VALUES (1, 'BENCH');");
            Exec(L"UPDATE Snimok SET Arj=1;");
            CloseSiteDatabase();
        }
        SpaceArjStart = 0xFFFFFFFF;   // every archived image is deleted
        SpaceArjEnd = 0xFFFFFFFF;
        // Two rounds: each one writes the images back into the full folder
        // first, a minute and more of Wine's walks of it.
        std::vector<double> freeing(sizes.size(), 1e30);
        for (int round = 0; round < 2; ++round) {
            for (size_t s = 0; s < sizes.size(); ++s) {
                if (!OpenSiteDatabase(sites[s] + L"bench.db", error)) {
                    verdict.Failed("archive_free", "the site could not be opened");
                    throw 0;
                }
                testfix::UseDataFolders(sites[s]);
                Exec(L"UPDATE Snimok SET [Disk]=1;");
                if (!WriteImageFiles(sizes[s], L"")) {
                    verdict.Failed("archive_free", "the image files could not be written");
                    throw 0;
                }
                freeing[s] = std::min(freeing[s], ArchiveJobMs(kJobFreeSpace, nullptr, 0));
                BoundStatement left(g_DbSession, L"SELECT COUNT(*) FROM Snimok WHERE [Disk]=1;");
                LONG onDisk = -1;
                if (!left.First() || !RowInt(left.Row(), 0, &onDisk) || onDisk != 0) {
                    verdict.Failed("archive_free", "not every image left the hard disk");
                    throw 0;
                }
                CloseSiteDatabase();
            }
        }
        Scaling(verdict, "archive_free_space", sizes, freeing, 1.2);
    } catch (const DODBErrors& e) {
        wchar_t text[1024] = {};
        e.GetText(text, 1023);
        fwprintf(stderr, L"database error: %ls\n", text);
        verdict.Failed("archive", "database error");
    } catch (int code) {
        if (code == 1)
            verdict.Failed("archive", "the archive job did not end complete");
        if (code == 2)
            verdict.Failed("archive", "the reference copy failed");
    }
    CloseSiteDatabase();
    testfix::RemoveTree(gRoot);
    testfix::RemoveTree(diskFolder);
    CoUninitialize();
    return verdict.ExitCode();
}

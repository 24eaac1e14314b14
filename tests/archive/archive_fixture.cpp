#include "archive_fixture.h"

#include "app/inputtext.h"
#include "archive/arjwindow.h"
#include "archive/diskprep.h"
#include "common/com_environment.h"
#include "common/dialog_look.h"
#include "common/input_text.h"
#include "common/modal_driver.h"
#include "common/window_harness.h"
#include "ui/window_create.h"
#include "database/dbstart.h"
#include "exchange/disks/arjregistry.h"
#include "foundation/globals.h"
#include "foundation/settingskey.h"
#include "common/settings_root.h"
#include "tools/demosite/sitedatabase.h"
#include "ui/widgets.h"
#include "ui/button.h"
#include "ui/control_font.h"
#include "ui/scroll.h"
#include "ui/tooltip.h"

#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace arjtest {

namespace {

const wchar_t kHostClass[] = L"TfTestArjHost";

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Runs a program of the host (Wine starts Unix programs given by their
// path); it runs on its own, unwaited.
bool RunHostProgram(const std::wstring& commandLine)
{
    return testfix::StartHostProgram(commandLine, CREATE_NO_WINDOW);
}

// Whether the host lists a tmpfs mounted at the path.
bool IsMounted(const std::string& unixPath)
{
    HANDLE file = CreateFileW(L"Z:\\proc\\self\\mounts", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string text;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    return text.find(" " + unixPath + " tmpfs ") != std::string::npos;
}

bool WaitMounted(const std::string& unixPath, bool mounted, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (IsMounted(unixPath) == mounted)
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
}

}  // namespace

std::string Narrow(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

std::wstring Str(unsigned id)
{
    wchar_t text[1024];
    const int n = LoadStringW(hInstance ? hInstance : GetModuleHandleW(nullptr), id, text, 1024);
    return std::wstring(text, n > 0 ? static_cast<size_t>(n) : 0);
}

bool WriteFileOfSize(const std::wstring& path, ULONGLONG bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> block(65536);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 7 + 3);
    bool ok = true;
    ULONGLONG left = bytes;
    while (ok && left > 0) {
        const DWORD chunk = static_cast<DWORD>(left < block.size() ? left : block.size());
        DWORD written = 0;
        ok = WriteFile(file, block.data(), chunk, &written, nullptr) && written == chunk;
        left -= chunk;
    }
    CloseHandle(file);
    return ok;
}

LONGLONG FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---- pictures ---------------------------------------------------------------------------

ModalDriver::ModalDriver()
{
    CloseOnFailure(InpTextWnd::kClassName);
}

bool SaveWindowPicture(HWND window, const std::wstring& name)
{
    return harness::SaveWindowBmp(window, harness::PictureFolder() + L"\\" + name + L".bmp");
}

// ---- disks -----------------------------------------------------------------------------

TmpfsDisk::TmpfsDisk(unsigned kilobytes)
{
    char name[96];
    static LONG counter = 0;
    snprintf(name, sizeof name, "/%lu_%ld_%lu", static_cast<unsigned long>(GetCurrentProcessId()),
             static_cast<long>(InterlockedIncrement(&counter)), static_cast<unsigned long>(GetTickCount()));
    unixPath_ = std::string(TF_ARCHIVE_DISK_DIR) + name;
    std::wstring windowsPath = L"Z:" + Widen(unixPath_);
    for (wchar_t& c : windowsPath)
        if (c == L'/')
            c = L'\\';
    path_ = windowsPath + L"\\";
    CreateDirectoryW((L"Z:" + Widen(TF_ARCHIVE_DISK_DIR)).c_str(), nullptr);
    if (!CreateDirectoryW(windowsPath.c_str(), nullptr)) {
        error_ = "cannot make the mount point " + unixPath_;
        return;
    }
    char size[32];
    snprintf(size, sizeof size, "%uk", kilobytes);
    if (!RunHostProgram(L"Z:\\bin\\mount -t tmpfs -o size=" + Widen(size) + L" tmpfs " + Widen(unixPath_))) {
        error_ = "cannot run /bin/mount";
        return;
    }
    mounted_ = WaitMounted(unixPath_, true, 10000);
    if (!mounted_)
        error_ = "cannot mount a tmpfs of " + std::string(size) + " at " + unixPath_ +
                 " (mounting needs root: run the tests as root)";
}

TmpfsDisk::~TmpfsDisk()
{
    if (mounted_) {
        RunHostProgram(L"Z:\\bin\\umount " + Widen(unixPath_));
        if (!WaitMounted(unixPath_, false, 10000)) {
            RunHostProgram(L"Z:\\bin\\umount -l " + Widen(unixPath_));
            WaitMounted(unixPath_, false, 5000);
        }
    }
    std::wstring folder = path_;
    folder.pop_back();
    RemoveDirectoryW(folder.c_str());
}

DiskMedium::DiskMedium(unsigned kilobytes, DWORD serial, const char* label) : serial_(serial), label_(label)
{
    if (kilobytes)
        tmpfs_.reset(new TmpfsDisk(kilobytes));
    else
        folder_.reset(new extest::TempDir(L"tfarjdisk"));
}

const std::string& DiskMedium::Error() const
{
    static const std::string none = "no folder for the disk";
    return tmpfs_ ? tmpfs_->Error() : none;
}

const std::wstring& DiskMedium::Folder() const
{
    return tmpfs_ ? tmpfs_->Path() : folder_->Path();
}

ULONGLONG DiskMedium::FreeBytes() const
{
    ULARGE_INTEGER available, total, freeBytes;
    if (!GetDiskFreeSpaceExW(Folder().c_str(), &available, &total, &freeBytes))
        return 0;
    return freeBytes.QuadPart;
}

// ---- reports ---------------------------------------------------------------------------

bool WorkerReport::HasFault(const std::wstring& part) const
{
    for (const std::wstring& t : faults)
        if (t.find(part) != std::wstring::npos)
            return true;
    return false;
}

bool WorkerReport::HasAction(const std::wstring& part) const
{
    for (const std::wstring& t : actions)
        if (t.find(part) != std::wstring::npos)
            return true;
    return false;
}

std::string WorkerReport::Texts() const
{
    std::string out = "faults:";
    for (const std::wstring& t : faults)
        out += " [" + Narrow(t) + "]";
    out += " actions:";
    for (const std::wstring& t : actions)
        out += " [" + Narrow(t) + "]";
    return out;
}

// ---- the host window ---------------------------------------------------------------------

WorkerHost::WorkerHost()
{
    InitializeCriticalSection(&lock_);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kHostClass;
    RegisterClassExW(&wc);
    hwnd_ = CreateWindowExW(0, kHostClass, L"Archiving", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
    DrawnProgressBar* bar = new DrawnProgressBar;
    bar->Init(hwnd_);
    bar->SetRect(0, 0, 200, 20, 20);
    bar_ = bar;
}

WorkerHost::~WorkerHost()
{
    if (link_.HasThread()) {
        link_.SendAnswer(kAnswerStop, 2000, 2000);
        link_.Stop();
    }
    link_.Reset();
    delete static_cast<DrawnProgressBar*>(bar_);
    if (hwnd_)
        DestroyWindow(hwnd_);
    DeleteCriticalSection(&lock_);
}

LRESULT CALLBACK WorkerHost::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    WorkerHost* self = reinterpret_cast<WorkerHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == WM_ARJ_PROGRESS) {
        self->OnProgress();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void WorkerHost::OnProgress()
{
    link_.Lock();
    ++report_.messages;
    const DWORD changes = link_.Changes();
    if ((changes & kLinkText2) && link_.Text2())
        report_.actions.push_back(link_.Text2());
    if ((changes & kLinkText) && link_.Text())
        report_.faults.push_back(link_.Text());
    if (changes & kLinkMarkedCount) {
        report_.marked = link_.MarkedCount();
        report_.markedSeen.push_back(report_.marked);
    }
    if (changes & kLinkCounts) {
        report_.notArchived = link_.NotArchivedCount();
        report_.copied = link_.CopiedCount();
    }
    if (changes & kLinkAverageSize)
        report_.average = link_.AverageImageSize();
    if (changes & kLinkDiskSpace)
        ++report_.diskSpace;
    if (changes & kLinkDiskInfo)
        ++report_.diskInfo;
    if (changes & kLinkStopsWithError)
        report_.stopsWithError = true;
    const bool ask = (changes & kLinkAskContinue) != 0;
    if (ask)
        ++report_.asks;
    if (changes & kLinkJobEnded)
        report_.ended = true;
    link_.ClearTexts();
    link_.Unlock();
    if (ask && !report_.ended) {
        const DWORD answer = onAsk ? onAsk(*this, report_) : kAnswerStop;
        link_.SendAnswer(answer, 10000, 10000);
    }
}

bool WorkerHost::Start(WorkerRoutine routine, const WorkerParams& params)
{
    report_ = WorkerReport();
    params_ = params;
    params_.link = &link_;
    params_.startEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return link_.StartWorker(routine, &lock_, hwnd_, &params_);
}

bool WorkerHost::StartArchive(DWORD flags, LONG marked, LONG notArchived, DWORD average)
{
    WorkerParams params;
    params.markedCount = marked;
    params.notArchivedCount = notArchived;
    params.jobFlags = flags;
    params.averageImageSize = average;
    params.progressBar = bar_;
    return Start(procArj, params);
}

bool WorkerHost::StartFormat(DWORD flags, const wchar_t* name)
{
    diskName_ = name ? name : L"";
    WorkerParams params;
    params.jobFlags = flags;
    params.diskName = diskName_.c_str();
    return Start(procformat, params);
}

WorkerReport WorkerHost::Finish(DWORD timeoutMs)
{
    const bool ended = harness::PumpUntil([this] { return report_.ended; }, timeoutMs);
    EXPECT_TRUE(ended) << "the worker did not end in time; " << report_.Texts();
    if (!ended)
        link_.SendAnswer(kAnswerStop, 2000, 2000);
    report_.exitCode = link_.Stop();
    link_.Reset();
    return report_;
}

// ---- the database fixture ------------------------------------------------------------------

const wchar_t* ArchiveDbTest::ArchivePathText()
{
    return ArchivePath;
}

void ArchiveDbTest::SetUp()
{
    data_.reset(new extest::TempDir(L"tfarj"));
    settingsKey_.reset(new PrivateSettingsKey(L"archive"));
    settings_ = settingsKey_->Key();
    ASSERT_NE(nullptr, settings_) << "no settings key of the test's own";
    databaseFile_ = data_->Path() + L"demo.db";
    std::wstring error;
    ASSERT_TRUE(CreateSiteDatabase(databaseFile_, TF_ARCHIVE_TEST_SCHEMA, error)) << Narrow(error);
    // Opened again with a catalog, as a site's initialization string names one.
    CloseSiteDatabase();
    g_DbSource = DODBSource::Create();
    ASSERT_TRUE(g_DbSource.IsSet());
    HRESULT hr = g_DbSource->OpenDataSource(
        (L"Provider=ZelkSQLite.1;Data Source=" + databaseFile_ + L";Initial Catalog=Hospital").c_str());
    if (SUCCEEDED(hr))
        hr = g_DbSource->CreateSession(g_DbSession);
    ASSERT_TRUE(SUCCEEDED(hr)) << "the database cannot be opened again";
    testfix::UseDataFolders(data_->Path());
    hddImages_ = ImageFolder;
    hddIcons_ = IconFolder;
    ArchivePath[0] = 0;
    SpaceMin = 20;
    SpaceArjStart = 0;
    SpaceArjEnd = 0;
    MobilMode = 0;
    archiveDrive_.reset(new extest::SimulatedDrive);
    ASSERT_TRUE(archiveDrive_->Leased()) << "no drive letter for the archive drive";
    wchar_t path[16];
    _snwprintf(path, 15, L"%lc:\\Images\\", archiveDrive_->Letter());
    path[15] = 0;
    wcscpy(ArchivePath, path);
}

void ArchiveDbTest::TearDown()
{
    CloseSiteDatabase();
    settingsKey_.reset();
    settings_ = nullptr;
    archiveDrive_.reset();
    hddDrive_.reset();
    hdd_.reset();
    disks_.clear();
    data_.reset();
}

void ArchiveDbTest::MakeHardDisk(unsigned kilobytes)
{
    hdd_.reset(new DiskMedium(kilobytes, 0x11110000, "HDD"));
    ASSERT_TRUE(hdd_->Ready()) << hdd_->Error();
    hddDrive_.reset(new extest::SimulatedDrive);
    ASSERT_TRUE(hddDrive_->Leased()) << "no drive letter for the hard disk";
    ASSERT_TRUE(hddDrive_->Insert(hdd_->Folder(), hdd_->Serial(), hdd_->Label()));
    const std::wstring root = hddDrive_->Root();
    wcscpy(DataPath, root.c_str());
    wcscpy(ImageFolder, (root + L"Image\\").c_str());
    wcscpy(IconFolder, (root + L"Icon\\").c_str());
    ASSERT_TRUE(CreateDirectoryW(ImageFolder, nullptr));
    ASSERT_TRUE(CreateDirectoryW(IconFolder, nullptr));
    hddImages_ = ImageFolder;
    hddIcons_ = IconFolder;
}

DiskMedium* ArchiveDbTest::MakeDisk(unsigned kilobytes, DWORD serial, const char* label)
{
    disks_.emplace_back(new DiskMedium(kilobytes, serial, label));
    DiskMedium* disk = disks_.back().get();
    EXPECT_TRUE(disk->Ready()) << disk->Error();
    return disk;
}

DiskMedium* ArchiveDbTest::ReadyDisk(unsigned kilobytes, DWORD serial, const char* label)
{
    DiskMedium* disk = MakeDisk(kilobytes, serial, label);
    RegisterDisk(serial, std::wstring(label, label + strlen(label)).c_str());
    CreateDirectoryW((disk->Folder() + L"Images").c_str(), nullptr);
    return disk;
}

bool ArchiveDbTest::InsertDisk(DiskMedium* disk)
{
    return archiveDrive_->Insert(disk->Folder(), disk->Serial(), disk->Label());
}

bool ArchiveDbTest::EjectDisk()
{
    return archiveDrive_->Eject();
}

LONG ArchiveDbTest::AddPatient(const wchar_t* name1)
{
    Exec(std::wstring(L"INSERT INTO Patient (Name1, Name2, Name3, Birthday) VALUES ('") + name1 +
         L"', 'Ivan', 'Petrovich', '1970-05-06');");
    return wcstol(Scalar(L"SELECT MAX(Patient) FROM Patient;").c_str(), nullptr, 10);
}

LONG ArchiveDbTest::AddImage(LONG patient, const std::wstring& fileName, DWORD bytes, const wchar_t* date,
                             DWORD thumbBytes, LONG arj)
{
    const std::wstring arjText = arj ? std::to_wstring(arj) : L"NULL";
    Exec(L"INSERT INTO Snimok (Patient, [Disk], Arj, [Date file], [File name]) VALUES (" + std::to_wstring(patient) +
         L", 1, " + arjText + L", '" + date + L"', '" + fileName + L"');");
    EXPECT_TRUE(WriteFileOfSize(HddImage(fileName), bytes)) << Narrow(HddImage(fileName));
    EXPECT_TRUE(WriteFileOfSize(HddIcon(fileName), thumbBytes));
    return wcstol(Scalar(L"SELECT MAX(Snimok) FROM Snimok;").c_str(), nullptr, 10);
}

void ArchiveDbTest::RegisterDisk(DWORD serial, const wchar_t* name)
{
    Exec(L"INSERT INTO Arj (Arj, Name) VALUES (" + std::to_wstring(static_cast<LONG>(serial)) + L", '" + name +
         L"');");
}

void ArchiveDbTest::UseBackupSlots(const std::wstring& folder, DWORD slots)
{
    CreateDirectoryW(folder.c_str(), nullptr);
    for (DWORD i = 1; i <= slots; ++i)
        CreateDirectoryW((folder + std::to_wstring(i)).c_str(), nullptr);
    EXPECT_TRUE(ArjRegWrite(L"BackupDB", L"BackupPath", REG_SZ, folder.c_str(), 0));
    EXPECT_TRUE(ArjRegWrite(L"BackupDB", L"File", REG_SZ, L"hospital.bak", 0));
    EXPECT_TRUE(ArjRegWrite(L"BackupDB", L"nMaxFiles", REG_DWORD, &slots, sizeof slots));
}

void ArchiveDbTest::WriteDiskCfg(const std::wstring& folder, DWORD reserveMb, const std::vector<std::wstring>& names)
{
    std::wstring text = L"\xFEFF/* Unicode text. */\r\n\r\nReserv=" + std::to_wstring(reserveMb) + L"\r\n";
    for (const std::wstring& name : names)
        text += L"File=\"" + name + L"\"\r\n";
    HANDLE file = CreateFileW((folder + L"diskcfg.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, text.c_str(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

long ArchiveDbTest::Count(const std::wstring& sqlFrom)
{
    return wcstol(Scalar(L"SELECT COUNT(*) FROM " + sqlFrom + L";").c_str(), nullptr, 10);
}

std::vector<std::wstring> ArchiveDbTest::Rows(const std::wstring& sql)
{
    return testfix::RowsSql(sql);
}

ArchiveClasses::ArchiveClasses()
{
    DControl::InitFont();
    DToolTip::RegisterClass();
    DButton::RegisterClass();
    DScroll::RegisterClass();
    InpTextWnd::RegisterClass();
    ArjWindow::RegisterClass();
    DBDiskPreparation::Register();
}

ArchiveClasses::~ArchiveClasses()
{
    DBDiskPreparation::Unregister();
    ArjWindow::UnregisterClass();
    InpTextWnd::UnregisterClass();
    DScroll::UnregisterClass();
    DButton::UnregisterClass();
    DToolTip::UnregisterClass();
    DControl::FreeFont();
}

}  // namespace arjtest

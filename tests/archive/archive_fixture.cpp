#include "archive_fixture.h"

#include "app/inputtext.h"
#include "common/window_harness.h"
#include "ui/window_create.h"
#include "database/dbstart.h"
#include "foundation/globals.h"
#include "foundation/settingskey.h"
#include "common/settings_root.h"
#include "tools/demosite/sitedatabase.h"
#include "ui/widgets.h"

#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace arjtest {

namespace {

// The tests drive the provider from a thread in the multithreaded
// apartment, as the program's main thread does.
class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
    void TearDown() override { CoUninitialize(); }
};
const ::testing::Environment* const gCom = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

const wchar_t kHostClass[] = L"TfTestArjHost";

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Runs a program of the host (Wine starts Unix programs given by their
// path); it runs on its own, unwaited.
bool RunHostProgram(const std::wstring& commandLine)
{
    std::wstring command = commandLine;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hProcess)
        CloseHandle(pi.hProcess);
    if (pi.hThread)
        CloseHandle(pi.hThread);
    return true;
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

// ---- modal windows ------------------------------------------------------------------

namespace {

struct FindRequest {
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM param)
{
    FindRequest* request = reinterpret_cast<FindRequest*>(param);
    wchar_t name[64];
    if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) && GetClassNameW(hwnd, name, 64) &&
        wcscmp(name, request->className) == 0) {
        request->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

ModalDriver* gDriver = nullptr;

}  // namespace

HWND FindThreadWindow(const wchar_t* className)
{
    FindRequest request = {className, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindProc, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

bool AnswerInputText(HWND input, const wchar_t* text)
{
    InpTextWnd* window = WindowObject<InpTextWnd>(input);
    if (!window)
        return false;
    HWND edit = window->GetEdit();
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CLEAR, 0, 0);
    for (const wchar_t* c = text; *c; ++c)
        SendMessageW(edit, WM_CHAR, *c, 1);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    return true;
}

ModalDriver::ModalDriver()
{
    gDriver = this;
    started_ = GetTickCount();
    timer_ = SetTimer(nullptr, 0, 50, Tick);
}

ModalDriver::~ModalDriver()
{
    KillTimer(nullptr, timer_);
    gDriver = nullptr;
}

void ModalDriver::Then(const wchar_t* className, Step step)
{
    steps_.push_back(Pending{className, std::move(step)});
}

void CALLBACK ModalDriver::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    static bool busy = false;
    ModalDriver* self = gDriver;
    if (!self || busy || self->next_ >= self->steps_.size())
        return;
    busy = true;
    Pending& pending = self->steps_[self->next_];
    HWND window = FindThreadWindow(pending.className.c_str());
    if (window && pending.step(window)) {
        ++self->next_;
        self->started_ = GetTickCount();
    } else if (GetTickCount() - self->started_ > 15000) {
        ADD_FAILURE() << "step " << self->next_ << " found no window of class " << Narrow(pending.className);
        self->next_ = self->steps_.size();
        for (const wchar_t* name : {L"#32770", InpTextWnd::kClassName})
            if (HWND open = FindThreadWindow(name))
                PostMessageW(open, WM_COMMAND, IDCANCEL, 0), PostMessageW(open, WM_CLOSE, 0, 0);
    }
    busy = false;
}

bool SaveWindowPicture(HWND window, const std::wstring& name)
{
    wchar_t dir[MAX_PATH] = L"";
    std::wstring folder;
    if (GetEnvironmentVariableW(L"TF_SHOT_DIR", dir, MAX_PATH)) {
        folder = dir;
    } else {
        wchar_t module[MAX_PATH];
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        folder = module;
        folder = folder.substr(0, folder.find_last_of(L"\\/")) + L"\\..";
    }
    harness::PixelGrab grab(window, true);
    if (!grab.Ok())
        return false;
    const int width = grab.Width(), height = grab.Height();
    const int stride = (width * 3 + 3) & ~3;
    std::string file;
    BITMAPFILEHEADER fileHeader = {};
    BITMAPINFOHEADER info = {};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof fileHeader + sizeof info;
    fileHeader.bfSize = fileHeader.bfOffBits + stride * height;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    file.append(reinterpret_cast<const char*>(&fileHeader), sizeof fileHeader);
    file.append(reinterpret_cast<const char*>(&info), sizeof info);
    std::string row(stride, '\0');
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = grab.At(x, y);
            row[x * 3] = static_cast<char>(GetBValue(c));
            row[x * 3 + 1] = static_cast<char>(GetGValue(c));
            row[x * 3 + 2] = static_cast<char>(GetRValue(c));
        }
        file += row;
    }
    HANDLE out = CreateFileW((folder + L"\\" + name + L".bmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                             nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(out, file.data(), static_cast<DWORD>(file.size()), &written, nullptr) &&
                    written == file.size();
    CloseHandle(out);
    return ok;
}

ThreadLanguage::ThreadLanguage(LANGID lang) : ui_(GetThreadUILanguage()), locale_(GetThreadLocale())
{
    SetThreadUILanguage(lang);
    SetThreadLocale(MAKELCID(lang, SORT_DEFAULT));
}

ThreadLanguage::~ThreadLanguage()
{
    SetThreadLocale(locale_);
    SetThreadUILanguage(ui_);
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
    settingsPath_ = L"Software\\TobalFluoroTests\\" + extest::UniqueName(L"archive");
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, settingsPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &settings_, nullptr));
    settingsRoot_.reset(new SettingsRootScope(HKEY_CURRENT_USER, settingsPath_.c_str()));
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
    wcscpy(DataPath, data_->Path().c_str());
    wcscpy(ImageFolder, (data_->Path() + L"Image\\").c_str());
    wcscpy(IconFolder, (data_->Path() + L"Icon\\").c_str());
    CreateDirectoryW(ImageFolder, nullptr);
    CreateDirectoryW(IconFolder, nullptr);
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
    settingsRoot_.reset();
    if (settings_) {
        RegCloseKey(settings_);
        RegDeleteTreeW(HKEY_CURRENT_USER, settingsPath_.c_str());
    }
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
    std::vector<std::wstring> rows;
    DODBPtr<DODBCommand> command;
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    if (!g_DbSession->CreateCommand(command) || FAILED(command->SetCmdText(sql.c_str())) ||
        !command->Execute(rowset, &row, nullptr, nullptr)) {
        ADD_FAILURE() << "query failed: " << Narrow(sql);
        return rows;
    }
    while (rowset->GetNextData(row.Get())) {
        std::wstring line;
        for (ULONG c = 0; c < row->GetCount(); ++c) {
            LONG n = 0;
            wchar_t text[1100] = {};
            if (c)
                line += L"|";
            if (row->IsNull(c))
                line += L"NULL";
            else if (RowInt(row.Get(), c, &n))
                line += std::to_wstring(n);
            else if (RowText(row.Get(), c, text, 1100) >= 0) {
                std::wstring t = text;
                while (!t.empty() && t.back() == L' ')
                    t.pop_back();
                line += t;
            }
        }
        rows.push_back(line);
    }
    return rows;
}

}  // namespace arjtest

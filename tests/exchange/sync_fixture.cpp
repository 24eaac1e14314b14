#include "sync_fixture.h"

#include "common/com_environment.h"
#include "common/fixture_helpers.h"
#include "common/settings_root.h"
#include "common/window_harness.h"
#include "database/dbstart.h"
#include "foundation/globals.h"
#include "foundation/settingskey.h"
#include "tools/demosite/sitebuilder.h"
#include "tools/demosite/sitedatabase.h"

#include <objbase.h>

#include <cwchar>

namespace extest {

namespace {

const wchar_t kWindowClass[] = L"TfTestSyncWindow";

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

bool SyncReport::HasMessage(const std::wstring& part) const
{
    for (const std::wstring& m : messages)
        if (m.find(part) != std::wstring::npos)
            return true;
    return false;
}

WorkerHold::WorkerHold() : held_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

WorkerHold::~WorkerHold()
{
    if (progress_)
        SetSyncStepObserver(nullptr, nullptr);
    CloseHandle(held_);
}

void WorkerHold::Arm(SyncProgress& progress, SyncStep step, int occurrence)
{
    progress_ = &progress;
    step_ = step;
    occurrence_ = occurrence;
    reached_ = 0;
    ResetEvent(held_);
    SetSyncStepObserver(Observe, this);
}

bool WorkerHold::WaitHeld(DWORD timeoutMs)
{
    return harness::PumpUntil([this] { return Held(); }, timeoutMs);
}

void WorkerHold::Observe(SyncStep step, void* context)
{
    WorkerHold& hold = *static_cast<WorkerHold*>(context);
    if (step != hold.step_ || ++hold.reached_ != hold.occurrence_)
        return;
    SetEvent(hold.held_);
    // Bounded: a test that failed before its command still gets its worker back.
    hold.progress_->WaitCommandPosted(60000);
}

TestSyncWindow::TestSyncWindow()
{
    InitializeCriticalSection(&lock_);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
    hwnd_ = CreateWindowExW(0, kWindowClass, L"Синхронизация БД", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
}

TestSyncWindow::~TestSyncWindow()
{
    if (progress_.IsRunning()) {
        progress_.SendStop();
        progress_.StopThread();
    }
    progress_.Reset();
    if (hwnd_)
        DestroyWindow(hwnd_);
    DeleteCriticalSection(&lock_);
}

LRESULT CALLBACK TestSyncWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    TestSyncWindow* self = reinterpret_cast<TestSyncWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == WM_SYNC_PROGRESS) {
        self->OnProgress();
        return 0;
    }
    if (self && message == WM_DISK_PRESENT) {
        self->diskPresent.push_back(wParam);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void TestSyncWindow::OnProgress()
{
    progress_.Lock();
    ++report_.progressMessages;
    if (progress_.TestBit(kSyncDiskRequest)) {
        report_.diskRequest = true;
        report_.diskSerial = progress_.DiskSerial();
        report_.diskText = progress_.DiskText() ? progress_.DiskText() : L"";
    }
    if (progress_.TestBit(kSyncText1))
        for (const std::wstring& message : progress_.Messages())
            report_.messages.push_back(message);
    if (progress_.TestBit(kSyncText2) && progress_.Text2())
        report_.statuses.push_back(progress_.Text2());
    if (progress_.TestBit(kSyncLastDisk))
        ++report_.lastDisk;
    if (progress_.TestBit(kSyncFinished))
        report_.finished = true;
    if (progress_.TestBit(kSyncSkipped))
        ++report_.skipped;
    if (progress_.TestBit(kSyncRestored))
        ++report_.restored;
    if (progress_.TestBit(kSyncEject))
        ++report_.ejects;
    progress_.ClearTexts();
    progress_.Unlock();
    if (onProgress)
        onProgress(*this);
}

bool TestSyncWindow::Start(DWORD command, const std::wstring& archivePath)
{
    report_ = SyncReport();
    start_ = SyncStartRecord();
    start_.progress = &progress_;
    start_.commands = command;
    wcsncpy(start_.archivePath, archivePath.c_str(), kFolderChars - 1);
    wcsncpy(start_.databasePath, DataPath, kFolderChars - 1);
    start_.startEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return progress_.StartThread(&lock_, hwnd_, &start_);
}

SyncReport TestSyncWindow::Finish(DWORD timeoutMs)
{
    const bool finished = harness::PumpUntil([this] { return report_.finished; }, timeoutMs);
    EXPECT_TRUE(finished) << "the worker did not finish in time";
    if (!finished)
        progress_.SendStop();
    report_.result = progress_.StopThread();
    progress_.Reset();
    return report_;
}

SyncReport TestSyncWindow::Run(DWORD command, const std::wstring& archivePath)
{
    if (!Start(command, archivePath)) {
        ADD_FAILURE() << "the worker did not start";
        return SyncReport();
    }
    return Finish();
}

void SyncDbTest::SetUp()
{
    data_ = new TempDir(L"tfsync");
    testfix::UseDataFolders(data_->Path());
    SpaceMin = 0;
    settingsKey_.reset(new PrivateSettingsKey(L"exchange"));
    settings_ = settingsKey_->Key();
    ASSERT_NE(nullptr, settings_) << "no settings key of the test's own";
    std::wstring error;
    ASSERT_TRUE(CreateSiteDatabase(data_->Path() + L"demo.db", TF_EXCHANGE_TEST_SCHEMA, error))
        << std::string(error.begin(), error.end());
}

void SyncDbTest::TearDown()
{
    CloseSiteDatabase();
    settingsKey_.reset();
    settings_ = nullptr;
    delete data_;
    data_ = nullptr;
}

void SyncDbTest::MakeDemoImages(int images)
{
    std::wstring error;
    patients = FillSiteTables(error);
    ASSERT_FALSE(patients.empty()) << std::string(error.begin(), error.end());
    ASSERT_TRUE(MakeSiteImages(patients, images, 200, 240, error)) << std::string(error.begin(), error.end());
}

void SyncDbTest::Exec(const std::wstring& sql)
{
    testfix::ExecSetupSql(sql);
}

std::wstring SyncDbTest::Scalar(const std::wstring& sql)
{
    return testfix::ScalarSql(sql);
}

long SyncDbTest::Count(const std::wstring& sqlFrom)
{
    const std::wstring text = Scalar(L"SELECT COUNT(*) FROM " + sqlFrom + L";");
    return wcstol(text.c_str(), nullptr, 10);
}

std::vector<std::wstring> SyncDbTest::Rows(const std::wstring& sql)
{
    return testfix::RowsSql(sql);
}

std::vector<std::wstring> SyncDbTest::FileNames(const std::wstring& table, const std::wstring& where)
{
    std::vector<std::wstring> names;
    DODBPtr<DODBCommand> command;
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    const std::wstring sql = L"SELECT [File name] FROM " + table + (where.empty() ? L"" : L" WHERE " + where) +
                             L" ORDER BY [File name];";
    if (!g_DbSession->CreateCommand(command) || FAILED(command->SetCmdText(sql.c_str())) ||
        !command->Execute(rowset, &row, nullptr, nullptr)) {
        ADD_FAILURE() << "query failed";
        return names;
    }
    while (rowset->GetNextData(row.Get())) {
        if (row->IsNull(0))
            continue;
        wchar_t text[64] = {};
        row->GetStr(0, text, 64);
        std::wstring name = text;
        while (!name.empty() && name.back() == L' ')
            name.pop_back();
        names.push_back(name);
    }
    return names;
}

bool SyncDbTest::CopyImage(const std::wstring& name, const std::wstring& folder)
{
    return CopyFileW(ImagePath(name).c_str(), (folder + name + L".xmg").c_str(), FALSE) != 0;
}

}  // namespace extest

#include "exchange_fixture.h"

#include "exchange/dicom/dicomclient.h"
#include "foundation/settingskey.h"
#include "foundation/textutil.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <oleauto.h>
#include <tlhelp32.h>

#include <algorithm>

#define TF_WIDEN2(x) L##x
#define TF_WIDEN(x) TF_WIDEN2(x)

namespace exchtest {

// ---- modal dialogs ----------------------------------------------------------------

namespace {

struct DialogSearch
{
    const std::wstring* title;
    int control;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND hwnd, LPARAM param)
{
    DialogSearch& search = *reinterpret_cast<DialogSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    wchar_t name[64] = {}, text[256] = {};
    if (process != GetCurrentProcessId() || !IsWindowVisible(hwnd) || !GetClassNameW(hwnd, name, 64) ||
        wcscmp(name, L"#32770") != 0)
        return TRUE;
    GetWindowTextW(hwnd, text, 256);
    if (*search.title != text || (search.control && !GetDlgItem(hwnd, search.control)))
        return TRUE;
    search.found = hwnd;
    return FALSE;
}

DialogDriver* gDriver = nullptr;

BOOL CALLBACK CancelDialog(HWND hwnd, LPARAM)
{
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    wchar_t name[64] = {};
    if (process == GetCurrentProcessId() && IsWindowVisible(hwnd) && GetClassNameW(hwnd, name, 64) &&
        wcscmp(name, L"#32770") == 0)
        PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

}  // namespace

void TypeFileName(HWND dialog, const std::wstring& name)
{
    // The name field is an edit or, in the save dialog, a combo box.
    const int field = GetDlgItem(dialog, cmb13) ? cmb13 : edt1;
    SendMessageW(dialog, CDM_SETCONTROLTEXT, field, reinterpret_cast<LPARAM>(name.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

HWND FindOwnDialog(const std::wstring& title, int control)
{
    DialogSearch search = {&title, control, nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

DialogDriver::DialogDriver()
{
    gDriver = this;
    started_ = GetTickCount();
    timer_ = SetTimer(nullptr, 0, 40, Tick);
}

DialogDriver::~DialogDriver()
{
    KillTimer(nullptr, timer_);
    gDriver = nullptr;
    EXPECT_TRUE(Done() || failed_) << "the dialog steps were not all taken (" << next_ << " of " << steps_.size()
                                   << ")";
}

void DialogDriver::Then(Finder find, Action act)
{
    steps_.push_back(StepEntry{std::move(find), std::move(act)});
}

void DialogDriver::Press(const std::wstring& title, int id)
{
    Then([title] { return FindOwnDialog(title); }, [id](HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
    });
}

void DialogDriver::ChooseFile(const std::wstring& title, const std::wstring& path)
{
    Then([title] { return FindOwnDialog(title); }, [path](HWND dialog) { TypeFileName(dialog, path); });
}

void CALLBACK DialogDriver::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (gDriver)
        gDriver->Step();
}

void DialogDriver::Step()
{
    if (failed_)
        return;
    if (Done()) {
        // A dialog still open long after the last step waits for a step the
        // test did not give: the test fails rather than hangs.
        if (GetTickCount() - started_ > 40000) {
            failed_ = true;
            ADD_FAILURE() << "a dialog was still open 40 s after the steps began";
            EnumWindows(CancelDialog, 0);
        }
        return;
    }
    if (GetTickCount() - started_ > 20000) {
        failed_ = true;
        ADD_FAILURE() << "dialog step " << next_ << " found no window within 20 s";
        EnumWindows(CancelDialog, 0);
        return;
    }
    HWND window = steps_[next_].find();
    if (!window)
        return;
    // Step over before acting: the action may start a nested modal loop.
    const size_t current = next_++;
    steps_[current].act(window);
}

// ---- files ---------------------------------------------------------------------------

std::vector<uint8_t> ReadFileBytes(const std::wstring& path)
{
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    const DWORD size = GetFileSize(file, nullptr);
    bytes.resize(size);
    DWORD done = 0;
    if (size)
        ReadFile(file, bytes.data(), size, &done, nullptr);
    bytes.resize(done);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD done = 0;
    if (!bytes.empty())
        WriteFile(file, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
    CloseHandle(file);
}

bool FileThere(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string UnixPath(const std::wstring& path)
{
    typedef char*(CDECL * ToUnix)(const wchar_t*);
    ToUnix toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return std::string();
    char* unix = toUnix(path.c_str());
    if (!unix)
        return std::string();
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

std::string RunHostTool(const std::string& program, const std::string& arguments)
{
    // Wine cannot wait for a Unix program: the shell that runs it leaves a
    // mark when it is done, and the test waits for the mark.
    TempFolder folder(L"tool");
    const std::wstring outPath = folder.File(L"out.txt");
    const std::wstring donePath = folder.File(L"done");
    const std::string script = "'" + program + "' " + arguments + " >'" + UnixPath(outPath) + "' 2>&1; echo >'" +
                               UnixPath(donePath) + "'";
    std::wstring command = L"Z:\\bin\\sh -c \"";
    const int n = MultiByteToWideChar(CP_UTF8, 0, script.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? (size_t)n : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, script.c_str(), -1, &wide[0], n);
    command += wide.c_str();
    command += L"\"";
    if (!testfix::StartHostProgram(command))
        return "<cannot start " + program + ">";
    if (!harness::PumpUntil([&] { return FileThere(donePath); }, 60000))
        return "<" + program + " did not finish>";
    const std::vector<uint8_t> bytes = ReadFileBytes(outPath);
    return std::string(bytes.begin(), bytes.end());
}

// ---- settings ----------------------------------------------------------------------

TestSettings::TestSettings()
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "exchange";
    path_ = L"Software\\TobalFluoroTests\\" + std::wstring(name.begin(), name.end()) + L"_" +
            std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (key)
        RegCloseKey(key);
    const SettingsRoot old = SetSettingsRoot(SettingsRoot{HKEY_CURRENT_USER, path_.c_str()});
    oldRoot_ = old.root;
    oldPath_ = old.path;
}

TestSettings::~TestSettings()
{
    SetSettingsRoot(SettingsRoot{oldRoot_, oldPath_});
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
}

void TestSettings::SetString(const wchar_t* subKey, const wchar_t* name, const std::wstring& value)
{
    HKEY key = nullptr;
    const std::wstring path = subKey && *subKey ? path_ + L"\\" + subKey : path_;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   (DWORD)((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::wstring TestSettings::GetString(const wchar_t* subKey, const wchar_t* name) const
{
    const std::wstring path = subKey && *subKey ? path_ + L"\\" + subKey : path_;
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"<none>";
    return value;
}

// ---- the DICOM export server stand-in --------------------------------------------

namespace {

const wchar_t kServerKey[] = L"SOFTWARE\\DicomExportServer";
const wchar_t kServerExe[] = TF_DICOMSRV_EXE;

bool RunAndWait(const std::wstring& commandLine)
{
    std::wstring command = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 30000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code == 0;
}

void SetServerValue(const wchar_t* sub, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    const std::wstring path = sub ? std::wstring(kServerKey) + L"\\" + sub : std::wstring(kServerKey);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void SetServerString(const wchar_t* sub, const wchar_t* name, const std::wstring& value)
{
    SetServerValue(sub, name, REG_SZ, value.c_str(), (DWORD)((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

void RegisterDicomServer()
{
    static bool registered = false;
    if (registered)
        return;
    registered = RunAndWait(L"\"" + std::wstring(kServerExe) + L"\" /regserver");
    ASSERT_TRUE(registered) << "dicomsrv /regserver failed";
}

bool DicomServerRunning()
{
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(L"IDicomExportServer.Application", &clsid)))
        return false;
    IUnknown* running = nullptr;
    if (FAILED(GetActiveObject(clsid, nullptr, &running)) || !running)
        return false;
    running->Release();
    return true;
}

void StopDicomServers()
{
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, L"DicomExportServer.Stop");
    SetEvent(stop);
    std::vector<HANDLE> processes;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    if (snapshot != INVALID_HANDLE_VALUE && Process32FirstW(snapshot, &entry)) {
        do {
            if (_wcsicmp(entry.szExeFile, L"dicomsrv.exe") == 0) {
                HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
                if (h)
                    processes.push_back(h);
            }
        } while (Process32NextW(snapshot, &entry));
    }
    if (snapshot != INVALID_HANDLE_VALUE)
        CloseHandle(snapshot);
    for (HANDLE h : processes) {
        if (WaitForSingleObject(h, 15000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "a DICOM server did not stop";
            TerminateProcess(h, 1);
        }
        CloseHandle(h);
    }
    ResetEvent(stop);
    CloseHandle(stop);
}

HANDLE StartDicomServerByHand()
{
    std::wstring command = L"\"" + std::wstring(kServerExe) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    if (!harness::PumpUntil([] { return DicomServerRunning(); }, 15000)) {
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        return nullptr;
    }
    return process.hProcess;
}

// ---- how a window looks --------------------------------------------------------------

namespace {

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// The first list column of the window narrower than its title, or "".
std::wstring NarrowColumn(HWND window)
{
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[64] = {};
        GetClassNameW(child, cls, 64);
        if (_wcsicmp(cls, WC_LISTVIEWW) != 0)
            continue;
        for (int i = 0;; ++i) {
            wchar_t title[128] = {};
            LVCOLUMNW column = {};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.pszText = title;
            column.cchTextMax = 128;
            if (!SendMessageW(child, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)))
                break;
            // The header's own margins take about a dozen pixels.
            const int needed = (int)SendMessageW(child, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(title)) + 12;
            if (column.cx < needed)
                return L"the column \"" + std::wstring(title) + L"\" is " + std::to_wstring(column.cx) +
                       L" pixels wide, its title needs " + std::to_wstring(needed);
        }
    }
    return std::wstring();
}

}  // namespace

std::wstring LookFaults(HWND window, const std::wstring& caption, const std::vector<std::pair<int, unsigned>>& texts,
                        bool russian, const wchar_t* name, const std::vector<std::wstring>& neutral)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    std::wstring faults;
    auto add = [&](const std::wstring& fault) {
        if (!fault.empty())
            faults += fault + L"\n";
    };
    if (WindowText(window) != caption)
        add(L"caption \"" + WindowText(window) + L"\", not \"" + caption + L"\"");
    for (const auto& [control, id] : texts) {
        const std::wstring shown = WindowText(GetDlgItem(window, control));
        if (shown != LoadText(id))
            add(L"control " + std::to_wstring(control) + L" shows \"" + shown + L"\"");
    }
    for (const std::wstring& text : harness::DialogTexts(window))
        if (!harness::TextInLanguage(text, russian) && std::find(neutral.begin(), neutral.end(), text) == neutral.end())
            add(L"\"" + text + L"\" is not in the running language");
    add(harness::LayoutFault(window));
    add(NarrowColumn(window));
    const bool runningRussian = PRIMARYLANGID(LANGIDFROMLCID(GetThreadLocale())) == LANG_RUSSIAN;
    const std::wstring path =
        harness::PictureFolder() + L"\\exchange-" + name + (runningRussian ? L"-ru" : L"-en") + L".bmp";
    if (!harness::SaveWindowBmp(window, path))
        add(L"no picture of it in " + path);
    return faults;
}

StoppedDicomServers::StoppedDicomServers()
{
    std::vector<DWORD> servers;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof process;
    if (Process32FirstW(snapshot, &process)) {
        do {
            if (_wcsicmp(process.szExeFile, L"dicomsrv.exe") == 0)
                servers.push_back(process.th32ProcessID);
        } while (Process32NextW(snapshot, &process));
    }
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    if (Thread32First(snapshot, &thread)) {
        do {
            if (std::find(servers.begin(), servers.end(), thread.th32OwnerProcessID) == servers.end())
                continue;
            HANDLE h = OpenThread(THREAD_SUSPEND_RESUME, FALSE, thread.th32ThreadID);
            if (h && SuspendThread(h) != (DWORD)-1)
                threads_.push_back(h);
            else if (h)
                CloseHandle(h);
        } while (Thread32Next(snapshot, &thread));
    }
    CloseHandle(snapshot);
}

void StoppedDicomServers::Resume()
{
    for (HANDLE h : threads_) {
        // However often it was suspended: by a case that ended before it resumed it.
        for (DWORD before = 2; before != (DWORD)-1 && before > 1;)
            before = ResumeThread(h);
        CloseHandle(h);
    }
    threads_.clear();
}

DicomServerSettings::DicomServerSettings() : spool_(L"spool")
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServerKey);
    SetServerString(nullptr, L"Spool", spool_.Path());
}

DicomServerSettings::~DicomServerSettings()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServerKey);
}

void DicomServerSettings::AddTarget(const std::wstring& name, const std::wstring& folder)
{
    SetServerString(L"Targets", name.c_str(), folder);
}

void DicomServerSettings::FailWithText(const wchar_t* member, const std::wstring& text)
{
    SetServerString(L"Faults", member, text);
}

void DicomServerSettings::FailWithHresult(const wchar_t* member, HRESULT hr)
{
    const DWORD value = (DWORD)hr;
    SetServerValue(L"Faults", (std::wstring(member) + L" HRESULT").c_str(), REG_DWORD, &value, sizeof value);
}

void DicomServerSettings::AnswerWithType(const wchar_t* member, const wchar_t* kind)
{
    SetServerString(L"Faults", (std::wstring(member) + L" Result").c_str(), kind);
}

void DicomServerSettings::ClearFaults()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kServerKey) + L"\\Faults").c_str());
}

// A case before may have ended without letting its stopped server go (its
// process killed at the time limit, or crashed): that server is resumed
// first, so that it stops as asked and its registration goes with it.
void DicomServerCase::SetUp()
{
    RegisterDicomServer();
    StoppedDicomServers().Resume();
    StopDicomServers();
    settings.reset(new DicomServerSettings);
}

void DicomServerCase::TearDown()
{
    StoppedDicomServers().Resume();
    DicomExportClient::Instance().Shutdown();
    StopDicomServers();
    settings.reset();
}

// ---- pictures ------------------------------------------------------------------------

DPicturePtr TestPicture(int width, int height, int bits)
{
    DPicturePtr picture;
    if (!picture.CreateSized(width, height))
        return picture;
    const uint32_t mask = (1u << bits) - 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture->GetBits()[(size_t)y * width + x] = (uint16_t)(((uint32_t)x * 131 + (uint32_t)y * 29 + 7) & mask);
    picture->RefreshWork();
    picture->bitsPerPixel = bits;
    picture->levels = 1 << bits;
    picture->displayOffset = 0;
    picture->displayWidth = 1 << bits;
    picture->spacingX = 0.15;
    picture->spacingY = 0.2;
    picture->imageId = 305;
    picture->patient.SetName(0, L"Иванов", -1);
    picture->patient.SetName(1, L"Пётр", -1);
    picture->patient.SetName(2, L"Сергеевич", -1);
    picture->patient.SetPatientId(17);
    picture->patient.SetSex(1);
    SYSTEMTIME day = {1961, 3, 0, 12, 0, 0, 0, 0};
    FILETIME birthday;
    SystemTimeToFileTime(&day, &birthday);
    picture->patient.SetBirthday(birthday);
    SYSTEMTIME taken = {2004, 8, 0, 18, 9, 5, 7, 0};
    SystemTimeToFileTime(&taken, &picture->imageDate);
    return picture;
}

}  // namespace exchtest

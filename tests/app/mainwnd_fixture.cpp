#include "mainwnd_fixture.h"

#include "app/mainmenus.h"
#include "app/mainpatientwnd.h"
#include "app/iconsnimok.h"
#include "app/iconstrip.h"
#include "app/notesnimok.h"
#include "app/recordmaint.h"
#include "app/viewerservices.h"
#include "database/dbbindparam.h"
#include "database/dbcommand.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbstart.h"
#include "forms/desccache.h"
#include "forms/filterwnd.h"
#include "forms/kartwnd.h"
#include "foundation/globals.h"
#include "images/files/datafolders.h"
#include "images/files/iconrecord.h"
#include "images/viewer/mainviewwnd.h"
#include "tools/demosite/sitebuilder.h"
#include "tools/demosite/sitedatabase.h"
#include "app/exceptionbox.h"
#include "ui/button.h"
#include "ui/control_font.h"
#include "ui/header.h"
#include "ui/listview.h"
#include "ui/popupmenu.h"
#include "ui/updown.h"
#include "ui/scroll.h"
#include "ui/tooltip.h"
#include "ui/window_errors.h"

#include "common/test_files.h"
#include "common/window_harness.h"

#include <objbase.h>

#include <cwchar>

namespace mainwndtest {
namespace {

BOOL CALLBACK CloseFilterFormProc(HWND w, LPARAM)
{
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    if (wcscmp(name, DbFiltFormWindow::kClassName) == 0 && IsWindowVisible(w) &&
        !GetPropW(w, L"MainWndTestClosing")) {
        SetPropW(w, L"MainWndTestClosing", reinterpret_cast<HANDLE>(1));
        ++MainWndSite::filterFormsClosed;
        PostMessageW(w, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// Every filter form that opens is closed without setting a filter, as a
// user who only looks would close it.
void CALLBACK CloseFilterForms(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), CloseFilterFormProc, 0);
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

int MainWndSite::filterFormsClosed = 0;

void MainWndSite::SetUp()
{
    screenLock_ = std::make_shared<harness::ScreenLock>();
    settingsKey_ = std::make_unique<PrivateSettingsKey>(L"mainwnd");
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[64];
    _snwprintf(name, 63, L"mainwnd_%lu_%lu\\", GetCurrentProcessId(), GetTickCount());
    name[63] = 0;
    folder_ = std::wstring(temp) + name;
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    testfix::UseDataFolders(folder_);
    for (const wchar_t* sub : {L"Cfg", L"Arj"})
        CreateDirectoryW((folder_ + sub).c_str(), nullptr);
    // The site's description files, copied so that a test may break one.
    for (const wchar_t* cfg : {L"main.cfg", L"MainFilt.cfg", L"Patient.cfg"})
        ASSERT_TRUE(CopyFileW((std::wstring(TF_SITE_DIR) + L"cfg\\" + cfg).c_str(), (folder_ + L"Cfg\\" + cfg).c_str(),
                              FALSE));
    wcscpy(CfgFolder, (folder_ + L"Cfg\\").c_str());
    wcscpy(ArchivePath, (folder_ + L"Arj\\").c_str());
    SpaceMin = 0;
    IsAdministrator = true;
    ImportSettingsPresent = FALSE;
    MobilMode = 0;

    std::wstring error;
    ASSERT_TRUE(CreateSiteDatabase(folder_ + L"site.db", std::wstring(TF_SITE_DIR) + L"schema.sql", error))
        << Narrow(error);
    patients_ = FillSiteTables(error, russianSite_);
    ASSERT_FALSE(patients_.empty()) << Narrow(error);

    ASSERT_TRUE(DControl::InitFont());
    ASSERT_TRUE(DToolTip::RegisterClass());
    ASSERT_TRUE(DButton::RegisterClass());
    ASSERT_TRUE(DHeader::RegisterClass());
    ASSERT_TRUE(DScroll::RegisterClass());
    ASSERT_TRUE(DListView::RegisterClass());
    InstallViewerServices();
    ASSERT_TRUE(DUpDown::RegisterClass());   // the image panel's level controls
    ASSERT_TRUE(RegisterViewerClasses());
    ASSERT_TRUE(InitIconBitmapInfo());
    ASSERT_TRUE(IconSnimok::RegisterClass());
    IconSnimok::LoadSettings(nullptr);
    IconSnimok::CancelMove();
    ASSERT_TRUE(NoteSnimokWnd::RegisterClass());
    ASSERT_TRUE(TNoteSnimokWnd::RegisterClass());
    ASSERT_TRUE(DbKartWindow::RegisterClasses());
    ASSERT_TRUE(MainPatientWindow::RegisterClass());
    InstallProgramExceptionShower();   // as the program does at start
    filterFormsClosed = 0;
    filterCloser_ = SetTimer(nullptr, 0, 30, CloseFilterForms);
}

void MainWndSite::TearDown()
{
    if (filterCloser_)
        KillTimer(nullptr, filterCloser_);
    MainPatientWindow::Destroy();
    Pump(10);
    SetWindowExceptionShower(nullptr);
    MainPatientWindow::UnregisterClass();
    DbKartWindow::UnregisterClasses();
    TNoteSnimokWnd::UnregisterClass();
    NoteSnimokWnd::UnregisterClass();
    IconSnimok::UnregisterClass();
    FreeIconBitmapInfo();
    DestroyMainView();
    UnregisterViewerClasses();
    RemoveViewerServices();
    // Descriptions are cached for the process: the next test reads its own files.
    DescCache::Instance().Clear();
    DUpDown::UnregisterClass();
    DListView::UnregisterClass();
    DScroll::UnregisterClass();
    DHeader::UnregisterClass();
    DButton::UnregisterClass();
    DToolTip::UnregisterClass();
    DControl::FreeFont();
    CloseSiteDatabase();
    testfix::RemoveTree(folder_);
    CoUninitialize();
    screenLock_.reset();
}

std::vector<DWORD> MainWndSite::MakeImages(DWORD patientKey, int count)
{
    std::wstring error;
    const long before = QueryInt(L"SELECT MAX(Snimok) FROM Snimok;");
    EXPECT_TRUE(MakeSiteImages(std::vector<long>{static_cast<long>(patientKey)}, count, 120, 150, error)) << Narrow(error);
    std::vector<DWORD> keys;
    for (long key = before < 0 ? 1 : before + 1; static_cast<int>(keys.size()) < count; ++key)
        if (QueryInt(L"SELECT Snimok FROM Snimok WHERE Snimok=" + std::to_wstring(key) + L";") == key)
            keys.push_back(static_cast<DWORD>(key));
    return keys;
}

void MainWndSite::OpenWindow()
{
    ASSERT_TRUE(MainPatientWindow::Create());
    ASSERT_NE(nullptr, MainPatientWindow::GetHwnd());
    Pump(20);
}

IconStrip& MainWndSite::ChoosePatientWithImages(DWORD patient, int images)
{
    MakeImages(patient, images);
    OpenWindow();
    MainPatientWindow& window = MainPatientWindow::Instance();
    window.GetList()->SelectItem(ListRow(patient));
    Pump(50);
    return window.GetStrip();
}

void MainWndSite::Pump(DWORD ms)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                continue;   // the window asks the cycle to quit when it goes
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    } while (GetTickCount() - start < ms);
}

std::wstring MainWndSite::StatusText(int part)
{
    wchar_t text[256];
    MainPatientWindow::Instance().GetStatusText(part, text, 256);
    return text;
}

std::wstring MainWndSite::CaptionText()
{
    wchar_t text[256] = {};
    GetWindowTextW(MainPatientWindow::Instance().GetCaptionLine(), text, 256);
    return text;
}

std::vector<DWORD> MainWndSite::ListKeys()
{
    std::vector<DWORD> keys;
    DListView* list = MainPatientWindow::Instance().GetList();
    for (int row = 0; row < list->GetRowCount(); ++row) {
        LONG_PTR data = 0;
        list->GetItemData(0, row, &data);
        keys.push_back(static_cast<DWORD>(data));
    }
    return keys;
}

int MainWndSite::ListRow(DWORD key)
{
    const std::vector<DWORD> keys = ListKeys();
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key)
            return static_cast<int>(i);
    return -1;
}

bool MainWndSite::Exec(const std::wstring& sql)
{
    DODBPtr<DODBCommand> command;
    if (!g_DbSession->CreateCommand(command) || FAILED(command->SetCmdText(sql.c_str())))
        return false;
    return SUCCEEDED(command->ExecuteNR(nullptr, nullptr));
}

long MainWndSite::QueryInt(const std::wstring& sql)
{
    DODBPtr<DODBCommand> command;
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    if (!g_DbSession->CreateCommand(command) || FAILED(command->SetCmdText(sql.c_str())) ||
        !command->Execute(rowset, &row, nullptr, nullptr)) {
        ADD_FAILURE() << "query failed: " << Narrow(sql);
        return -2;
    }
    if (!rowset->GetNextData(row.Get()) || row->IsNull(0))
        return -1;
    switch (row->GetWType(0)) {
    case DBTYPE_I4:
        return row->GetInt(0);
    case DBTYPE_BOOL:
        return *static_cast<const SHORT*>(row->GetValuePtr(0)) ? 1 : 0;
    case DBTYPE_I8:
        return static_cast<long>(*static_cast<const LONGLONG*>(row->GetValuePtr(0)));
    default:
        ADD_FAILURE() << "unexpected column type " << row->GetWType(0);
        return -2;
    }
}

long MainWndSite::Count(const std::wstring& table, const std::wstring& where)
{
    return QueryInt(L"SELECT COUNT(*) FROM " + table + (where.empty() ? L"" : L" WHERE " + where) + L";");
}

void MainWndSite::PressKey(WPARAM key, bool shift, bool control)
{
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    state[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(state);
    HWND list = MainPatientWindow::Instance().GetList()->GetHwnd();
    SendMessageW(list, WM_KEYDOWN, key, 1);
    state[VK_SHIFT] = 0;
    state[VK_CONTROL] = 0;
    SetKeyboardState(state);
}

bool MainWndSite::FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace mainwndtest

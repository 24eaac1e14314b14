#include "strip_fixture.h"

#include "app/exceptionbox.h"
#include "ui/window_errors.h"

#include "common/fixture_helpers.h"
#include "app/iconsbar.h"
#include "app/notesnimok.h"
#include "app/viewerservices.h"
#include "database/dbcommand.h"
#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbstart.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "images/files/iconrecord.h"
#include "tools/demosite/sitedatabase.h"
#include "ui/control_font.h"
#include "ui/init_rows.h"
#include "ui/popupmenu.h"

#include <objbase.h>

namespace striptest {

int RecordingOwner::OpenImage(DWORD imageKey, const wchar_t* fileName)
{
    calls.push_back("open " + std::to_string(imageKey) + " " + std::string(fileName, fileName + wcslen(fileName)));
    return 1;
}

void RecordingOwner::ShowNote(DWORD imageKey, DWORD patientKey)
{
    calls.push_back("note " + std::to_string(imageKey) + " " + std::to_string(patientKey));
}

int RecordingOwner::OnKey(WPARAM key)
{
    calls.push_back("key " + std::to_string(key));
    return 7;
}

void RecordingOwner::ImagesCounted(int count)
{
    calls.push_back("count " + std::to_string(count));
}

void StripTest::SetUp()
{
    folder.reset(new apptest::TempFolder(L"tfstrip"));
    CreateDirectoryW((folder->Path() + L"Image").c_str(), nullptr);
    CreateDirectoryW((folder->Path() + L"Icon").c_str(), nullptr);
    wcscpy(DataPath, folder->Path().c_str());
    wcscpy(ImageFolder, (folder->Path() + L"Image\\").c_str());
    wcscpy(IconFolder, (folder->Path() + L"Icon\\").c_str());
    SpaceMin = 0;
    std::wstring error;
    ASSERT_TRUE(CreateSiteDatabase(folder->Path() + L"strip.db", std::wstring(TF_SITE_DIR) + L"schema.sql", error))
        << std::string(error.begin(), error.end());
    settings.reset(new apptest::TestKey());
    oldRoot = SetSettingsRoot(SettingsRoot{settings->Root(), settings->Path()});
    IsAdministrator = false;
    IconSize = 32;
    SetDateTimeFormats(0x409);
    ASSERT_TRUE(RunInitRows(ControlLibraryRows, ControlLibraryRowCount, nullptr));
    ASSERT_TRUE(InitIconBitmapInfo());
    LoadIconStates(nullptr);
    ASSERT_TRUE(IconSnimok::RegisterClass());
    ASSERT_TRUE(IconsBar::RegisterClass());
    ASSERT_TRUE(NoteSnimokWnd::RegisterClass());
    ASSERT_TRUE(TNoteSnimokWnd::RegisterClass());
    IconSnimok::LoadSettings(nullptr);
    IconSnimok::CancelMove();
    MenuScript::Install();
    InstallProgramExceptionShower();   // as the program does at start
    InstallViewerServices();
    host.reset(new harness::HostWindow(600, 900, 20, 20));
}

void StripTest::TearDown()
{
    CloseSnimokNote();
    host.reset();
    RemoveViewerServices();
    MenuScript::Remove();
    SetWindowExceptionShower(nullptr);
    TNoteSnimokWnd::UnregisterClass();
    NoteSnimokWnd::UnregisterClass();
    IconsBar::UnregisterClass();
    IconSnimok::UnregisterClass();
    FreeIconBitmapInfo();
    UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
    SetSettingsRoot(oldRoot);
    settings.reset();
    CloseSiteDatabase();
    folder.reset();
    IsAdministrator = false;
}

void StripTest::Exec(const std::wstring& sql)
{
    testfix::ExecSetupSql(sql);
}

std::wstring StripTest::Scalar(const std::wstring& sql)
{
    return testfix::ScalarSql(sql);
}

void StripTest::AddPatient(long key, const wchar_t* name)
{
    Exec(L"INSERT INTO Patient (Patient, Name1) VALUES (" + std::to_wstring(key) + L", N'" + name + L"');");
}

void StripTest::AddImage(long key, long patient, const wchar_t* date, const wchar_t* fileName, int disk, int negative,
                         const wchar_t* note)
{
    // "YYYYMMDD hh:mm" as the dialect reads dates: "YYYY-MM-DD hh:mm:00.000".
    const std::wstring d(date);
    const std::wstring iso = d.size() == 14 ? d.substr(0, 4) + L"-" + d.substr(4, 2) + L"-" + d.substr(6, 2) +
                                                  L" " + d.substr(9, 5) + L":00.000"
                                            : d;
    std::wstring sql = L"INSERT INTO Snimok (Snimok, Patient, [Date file], [File name], [Disk], Negativ, Apicriz) "
                       L"VALUES (" +
                       std::to_wstring(key) + L", " + std::to_wstring(patient) + L", '" + iso + L"', " +
                       (fileName && *fileName ? L"N'" + std::wstring(fileName) + L"'" : std::wstring(L"NULL")) +
                       L", " + std::to_wstring(disk) + L", " + std::to_wstring(negative) + L", " +
                       (note ? L"N'" + std::wstring(note) + L"'" : std::wstring(L"NULL")) + L");";
    Exec(sql);
}

std::wstring StripTest::IconPath(const std::wstring& fileName) const
{
    return folder->Path() + L"Icon\\" + fileName + L".thb";
}

void StripTest::WriteThumbnail(const std::wstring& fileName, BYTE value)
{
    std::vector<BYTE> bytes(192 * 192, value);
    HANDLE file = CreateFileW(IconPath(fileName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD done = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
    CloseHandle(file);
}

}  // namespace striptest

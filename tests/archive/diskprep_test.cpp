// The database disk preparation window ("Disk Prepare"): its choices from the
// template or the defaults, the "diskcfg.ini" it writes, the checks before
// it writes and a failed preparation that keeps the old file; the removable
// disk properties dialog; and pictures of the archive windows in both
// languages.
#include "archive_fixture.h"

#include "app/inputtext.h"
#include "archive/arjwindow.h"
#include "archive/diskprep.h"
#include "archive/diskprops.h"
#include "archive/volumeconfig.h"
#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "exchange/disks/arjregistry.h"
#include "foundation/globals.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/button.h"
#include "ui/control_font.h"
#include "ui/scroll.h"
#include "ui/tooltip.h"

#include <commctrl.h>

#include <gtest/gtest.h>

using namespace arjtest;

namespace {

struct PrepClasses {
    PrepClasses()
    {
        DControl::InitFont();
        DToolTip::RegisterClass();
        DButton::RegisterClass();
        DScroll::RegisterClass();
        InpTextWnd::RegisterClass();
        ArjWindow::RegisterClass();
        DBDiskPreparation::Register();
    }
    ~PrepClasses()
    {
        DBDiskPreparation::Unregister();
        ArjWindow::UnregisterClass();
        InpTextWnd::UnregisterClass();
        DScroll::UnregisterClass();
        DButton::UnregisterClass();
        DToolTip::UnregisterClass();
        DControl::FreeFont();
    }
};

std::vector<std::wstring> Items(HWND box)
{
    std::vector<std::wstring> items;
    const int count = static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[32] = L"";
        SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

std::wstring Selected(HWND box)
{
    const int index = static_cast<int>(SendMessageW(box, CB_GETCURSEL, 0, 0));
    if (index < 0)
        return L"<none>";
    wchar_t text[32] = L"";
    SendMessageW(box, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string ReadBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes(1 << 16, '\0');
    DWORD read = 0;
    ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

std::string Utf16Bytes(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

class DiskPrepTest : public ArchiveDbTest {
protected:
    void SetUp() override
    {
        ArchiveDbTest::SetUp();
        if (HasFatalFailure())
            return;
        cfg_.reset(new extest::TempDir(L"tfprepcfg"));
        templateFolder_ = cfg_->Path();
        DBDiskPreparation::SetTemplatePath(templateFolder_.c_str(), L"diskcfg.ini");
    }
    void TearDown() override
    {
        window_.reset();
        DBDiskPreparation::SetTemplatePath(nullptr, nullptr);
        ArchiveDbTest::TearDown();
    }
    DBDiskPreparation& Open()
    {
        window_.reset(new DBDiskPreparation);
        EXPECT_TRUE(window_->Create(nullptr));
        window_->Show(SW_SHOW);
        harness::Pump(50);
        return *window_;
    }
    void WriteTemplate(const std::wstring& text)
    {
        const std::wstring marked = L"\xFEFF" + text;
        HANDLE file = CreateFileW((templateFolder_ + L"diskcfg.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, marked.c_str(), static_cast<DWORD>(marked.size() * 2), &written, nullptr);
        CloseHandle(file);
    }
    void Select(HWND box, int index) { SendMessageW(box, CB_SETCURSEL, index, 0); }

    PrepClasses classes_;
    std::unique_ptr<extest::TempDir> cfg_;
    std::wstring templateFolder_;
    std::unique_ptr<DBDiskPreparation> window_;
};

}  // namespace

TEST_F(DiskPrepTest, WithoutATemplateTheDefaultsAreOffered)
{
    DBDiskPreparation& window = Open();
    EXPECT_EQ((std::vector<std::wstring>{L"100", L"200", L"300", L"500"}), Items(window.SizesBox()));
    EXPECT_EQ(L"200", Selected(window.SizesBox()));
    EXPECT_EQ(std::vector<std::wstring>{L"1"}, Items(window.CountsBox()));
    EXPECT_EQ(L"1", Selected(window.CountsBox()));
    EXPECT_EQ(Str(IDS_DEFAULT_SETTINGS), window.StatusText());
    EXPECT_EQ(L"hospital.bak", window.BackupFileName());
    wchar_t title[64] = L"";
    GetWindowTextW(window.GetHwnd(), title, 64);
    EXPECT_EQ(Str(IDS_DISK_PREPARE_TITLE), title);
}

TEST_F(DiskPrepTest, TemplateGivesTheSizesAndTheCountAndTheBackupNameComesFromTheSettings)
{
    WriteTemplate(L"MinReserv=150\r\nStep=100\r\nNSteps=4\r\nNCopies=3\r\n");
    ArjRegWrite(L"BackupDB", L"File", REG_SZ, L"clinic.bak", 0);
    DBDiskPreparation& window = Open();
    EXPECT_EQ((std::vector<std::wstring>{L"150", L"250", L"350", L"450"}), Items(window.SizesBox()));
    EXPECT_EQ(L"150", Selected(window.SizesBox()));
    EXPECT_EQ(std::vector<std::wstring>{L"3"}, Items(window.CountsBox()));
    EXPECT_EQ(L"clinic.bak", window.BackupFileName());
    EXPECT_TRUE(window.StatusText().empty());
}

TEST_F(DiskPrepTest, PrepareWritesTheReserveAndOneNamePerCopy)
{
    WriteTemplate(L"MinReserv=1\r\nStep=1\r\nNSteps=3\r\nNCopies=3\r\n");
    DiskMedium* disk = MakeDisk(4096, 0x1234, "DB");
    ASSERT_TRUE(InsertDisk(disk));
    DBDiskPreparation& window = Open();
    Select(window.SizesBox(), 1);   // 2 MB
    window.WriteReserveFiles();
    EXPECT_EQ(Str(IDS_DISK_PREPARED), window.StatusText());
    EXPECT_EQ(Utf16Bytes(BuildDiskCfgText(2, L"hospital.bak", 3)), ReadBytes(disk->Folder() + L"diskcfg.ini"));
    EXPECT_EQ(Utf16Bytes(L"\xFEFF/* Unicode text. */\r\n\r\nReserv=2\r\nFile=\"hospital.bak\"\r\n"
                         L"File=\"hospital.bak1\"\r\nFile=\"hospital.bak2\"\r\n"),
              ReadBytes(disk->Folder() + L"diskcfg.ini"));
    EXPECT_FALSE(Exists(disk->Folder() + L"diskcfg.ini.new"));
    // The archive worker reads what was written.
    ArjVolumeConfig config;
    config.SetFolder(disk->Folder().c_str());
    config.SetFile(L"diskcfg.ini");
    ASSERT_EQ(1, config.Load());
    EXPECT_EQ(2ull * 1048576, config.Reserve());
    EXPECT_EQ(3u, config.Files().size());
}

TEST_F(DiskPrepTest, ADiskWithTooLittleRoomIsNotPreparedAndKeepsItsFile)
{
    DiskMedium* disk = MakeDisk(1024, 0x1234, "DB");
    const std::wstring old = L"Reserv=1\r\n";
    HANDLE file = CreateFileW((disk->Folder() + L"diskcfg.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                              nullptr);
    DWORD written = 0;
    WriteFile(file, old.c_str(), static_cast<DWORD>(old.size() * 2), &written, nullptr);
    CloseHandle(file);
    const std::string before = ReadBytes(disk->Folder() + L"diskcfg.ini");
    ASSERT_TRUE(InsertDisk(disk));
    DBDiskPreparation& window = Open();   // the defaults: 200 MB
    window.WriteReserveFiles();
    EXPECT_EQ(Str(IDS_DISK_SPACE_NOT_ENOUGH), window.StatusText());
    EXPECT_EQ(before, ReadBytes(disk->Folder() + L"diskcfg.ini"));
}

TEST_F(DiskPrepTest, AFailedWriteKeepsTheOldFile)
{
    WriteTemplate(L"MinReserv=1\r\nStep=1\r\nNSteps=1\r\nNCopies=1\r\n");
    DiskMedium* disk = MakeDisk(0, 0x1234, "DB");
    WriteDiskCfg(disk->Folder(), 7, {L"old.bak"});
    const std::string before = ReadBytes(disk->Folder() + L"diskcfg.ini");
    CreateDirectoryW((disk->Folder() + L"diskcfg.ini.new").c_str(), nullptr);   // the new file cannot be made
    ASSERT_TRUE(InsertDisk(disk));
    DBDiskPreparation& window = Open();
    window.WriteReserveFiles();
    EXPECT_EQ(Str(IDS_DISKCFG_CREATE_ERROR), window.StatusText());
    EXPECT_EQ(before, ReadBytes(disk->Folder() + L"diskcfg.ini"));
}

TEST_F(DiskPrepTest, NoSelectionOrNoDiskWritesNothing)
{
    DBDiskPreparation& window = Open();
    window.WriteReserveFiles();
    EXPECT_EQ(Str(IDS_DISK_SIZE_ERROR), window.StatusText()) << "no disk in the drive";
    DiskMedium* disk = MakeDisk(0, 0x1234, "DB");
    ASSERT_TRUE(InsertDisk(disk));
    Select(window.SizesBox(), -1);
    window.WriteReserveFiles();
    EXPECT_EQ(Str(IDS_DISKCFG_CREATE_ERROR), window.StatusText());
    EXPECT_FALSE(Exists(disk->Folder() + L"diskcfg.ini"));
}

TEST_F(DiskPrepTest, TheArchiveWindowsMenuRunsTheWindowOnceAtATime)
{
    ArjWindow archive;
    ASSERT_TRUE(archive.Create(nullptr));
    bool running = false, secondReturned = false;
    ModalDriver driver;
    driver.Then(DBDiskPreparation::kClassName, [&](HWND prep) {
        running = DBDiskPreparation::Running() != nullptr;
        secondReturned = DBDiskPreparation::Run(archive.GetHwnd()) == 1;   // returns at once
        EXPECT_TRUE(IsWindowEnabled(archive.GetHwnd())) << "the owner stays enabled";
        PostMessageW(prep, WM_CLOSE, 0, 0);
        return true;
    });
    SendMessageW(archive.GetHwnd(), WM_COMMAND, kCmdPrepareDisk, 0);
    EXPECT_TRUE(driver.Done());
    EXPECT_TRUE(running);
    EXPECT_TRUE(secondReturned);
    EXPECT_EQ(nullptr, DBDiskPreparation::Running());
}

// ---- the removable disk properties -------------------------------------------------

TEST_F(DiskPrepTest, PropertiesOfAnEmptyDriveShowOnlyTheErrorLine)
{
    const DiskPropertyTexts texts = ReadDiskProperties(ArchivePath);
    EXPECT_TRUE(texts.label.empty());
    EXPECT_TRUE(texts.serial.empty());
    EXPECT_TRUE(texts.freeSpace.empty());
    EXPECT_TRUE(texts.capacity.empty());
    EXPECT_EQ(Str(IDS_DEVICE_NOT_READY_OR_UNFORMATTED), texts.error);
}

TEST_F(DiskPrepTest, PropertiesShowWholeMegabytesLabelAndSerial)
{
    DiskMedium* disk = MakeDisk(1536, 3000000000u, "PROPS");
    ASSERT_TRUE(InsertDisk(disk));
    const ULONGLONG freeBytes = disk->FreeBytes();
    const DiskPropertyTexts texts = ReadDiskProperties(ArchivePath);
    EXPECT_EQ(std::to_wstring(freeBytes / 1048576) + L" MByte", texts.freeSpace);
    EXPECT_EQ(L"1 MByte", texts.capacity) << "1,572,864 bytes: the remainder is dropped";
    EXPECT_EQ(L"PROPS", texts.label);
    EXPECT_EQ(L"3000000000", texts.serial);
    EXPECT_TRUE(texts.error.empty());
}

TEST_F(DiskPrepTest, ShiftEnterOpensThePropertiesAndUpdateReadsThemAgain)
{
    DiskMedium* disk = MakeDisk(0, 0x1234, "PROPS");
    ArjWindow archive;
    ASSERT_TRUE(archive.Create(nullptr));
    std::wstring before, after, caption, labelText, update;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        wchar_t text[256] = L"";
        GetWindowTextW(dialog, text, 256);
        caption = text;
        GetDlgItemTextW(dialog, IDC_PROP_LABEL_TEXT, text, 256);
        labelText = text;
        GetDlgItemTextW(dialog, IDOK, text, 256);
        update = text;
        GetDlgItemTextW(dialog, IDC_PROP_ERROR, text, 256);
        before = text;
        InsertDisk(disk);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);   // Update
        GetDlgItemTextW(dialog, IDC_PROP_LABEL, text, 256);
        after = text;
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(archive.GetHwnd(), WM_KEYDOWN, VK_RETURN, 0);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(Str(IDS_DEVICE_NOT_READY_OR_UNFORMATTED), before);
    EXPECT_EQ(L"PROPS", after);
    EXPECT_EQ(Str(IDS_DISK_PROPERTIES_TITLE), caption);
    EXPECT_EQ(Str(IDS_PROP_DISK_LABEL), labelText);
    EXPECT_EQ(Str(IDS_PROP_UPDATE), update);
}

// ---- pictures ---------------------------------------------------------------------------

namespace {

class ArchivePictures : public DiskPrepTest, public ::testing::WithParamInterface<LANGID> {};

const char* LanguageName(LANGID lang)
{
    return PRIMARYLANGID(lang) == LANG_RUSSIAN ? "ru" : "en";
}

}  // namespace

TEST_P(ArchivePictures, ArchiveWindowAndDiskPreparationInTheRunningLanguage)
{
    harness::ScreenLock screen;
    ThreadLanguage language(GetParam());
    const bool russian = PRIMARYLANGID(GetParam()) == LANG_RUSSIAN;
    const LONG patient = AddPatient(L"Petrov");
    AddImage(patient, L"P0000000001", 1000);
    Exec(L"INSERT INTO DelImage ([File Name], Arj, [Disk]) VALUES ('X1', NULL, 1);");
    DiskMedium* disk = MakeDisk(4096, 0x1234, "ARCHIVE01");
    ASSERT_TRUE(InsertDisk(disk));
    IsAdministrator = true;

    ArjWindow archive;
    ASSERT_TRUE(archive.Create(nullptr));
    harness::Pump(200);
    wchar_t title[64] = L"";
    GetWindowTextW(archive.GetHwnd(), title, 64);
    EXPECT_EQ(russian ? L"Архивирование" : L"Archiving", std::wstring(title));
    wchar_t popup[64] = L"";
    GetMenuStringW(GetMenu(archive.GetHwnd()), 0, popup, 64, MF_BYPOSITION);
    EXPECT_EQ(russian ? L"Снимки" : L"Images", std::wstring(popup));
    EXPECT_EQ(Str(IDS_MARKED_IMAGES) + L": 1", archive.LineText(kInfoMarked));
    RECT r = {};
    GetWindowRect(archive.GetHwnd(), &r);
    EXPECT_LE(r.right - r.left, 1280);
    EXPECT_LE(r.bottom - r.top, 1024);
    harness::Pump(600);   // a blink of the status line
    EXPECT_TRUE(SaveWindowPicture(archive.GetHwnd(), std::wstring(L"archive-window-") +
                                                     (russian ? L"ru" : L"en")));
    archive.Destroy();

    DBDiskPreparation& prep = Open();
    harness::Pump(200);
    GetWindowTextW(prep.GetHwnd(), title, 64);
    EXPECT_EQ(russian ? L"Подготовка диска" : L"Disk Prepare", std::wstring(title));
    EXPECT_EQ(Str(IDS_PREPARE), [&] {
        wchar_t caption[64] = L"";
        prep.PrepareButton().GetText(caption, 64);
        return std::wstring(caption);
    }());
    EXPECT_TRUE(SaveWindowPicture(prep.GetHwnd(), std::wstring(L"disk-prepare-") + (russian ? L"ru" : L"en")));
}

INSTANTIATE_TEST_SUITE_P(Languages, ArchivePictures,
                         ::testing::Values(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                           MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)),
                         [](const ::testing::TestParamInfo<LANGID>& info) {
                             return std::string(LanguageName(info.param));
                         });

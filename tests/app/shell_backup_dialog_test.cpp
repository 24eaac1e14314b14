// The two dialogs the Program Settings dialog opens with its own buttons:
// Set Shell, which writes the Winlogon value "Shell" (only in this build's
// private Wine prefix, and put back afterwards), and the backup settings
// with their numbered folders.
#include "app_fixture.h"
#include "dialog_script.h"
#include "winlogon_shell.h"

#include "app/backupdlg.h"
#include "app/settingsdlg.h"
#include "common/prompt_script.h"
#include "common/settings_root.h"
#include "foundation/globals.h"
#include "foundation/settingskey.h"
#include "resources/resource.h"
#include "resources/strings.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace dlgtest;

namespace {

std::wstring Str(UINT id)
{
    wchar_t text[512] = {};
    const int n = LoadStringW(hInstance, id, text, 512);
    return std::wstring(text, n > 0 ? n : 0);
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ProgramPath()
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, n);
}

class SettingsChildDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        IsWindowsNT = true;
        wcscpy(savedDataPath_, DataPath);
        wcscpy(DataPath, folder_.Path().c_str());
    }
    void TearDown() override { wcscpy(DataPath, savedDataPath_); }
    std::wstring BackupText(const wchar_t* name)
    {
        wchar_t text[600] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        if (RegGetValueW(key_.Key(), L"BackupDB", name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
            return L"<missing>";
        return text;
    }
    DWORD BackupDword(const wchar_t* name)
    {
        DWORD value = 0xDEADBEEF, size = sizeof value;
        if (RegGetValueW(key_.Key(), L"BackupDB", name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
            return 0xDEADBEEF;
        return value;
    }

    apptest::TestKey key_;
    SettingsRootScope root_{key_.Root(), key_.Path()};
    apptest::TempFolder folder_;
    wchar_t savedDataPath_[kFolderChars] = {};
};

// ---- Set Shell ---------------------------------------------------------------------

TEST_F(SettingsChildDialogs, SetShellShowsExplorerAndMakesThisProgramTheShell)
{
    ShellValue kept;
    ShellValue::Set(L"EXPLORER.EXE");
    std::wstring shown, afterRadio;
    bool explorerChecked = false, programChecked = true;
    {
        DialogScript script;
        script.Then(IDC_SET_SHELL, [](HWND settings) { Click(settings, IDC_SET_SHELL); })
            .Then(IDC_SHELL_TEXT,
                  [&](HWND d) {
                      shown = Text(d, IDC_SHELL_TEXT);
                      explorerChecked = IsDlgButtonChecked(d, IDC_SHELL_EXPLORER) == BST_CHECKED;
                      programChecked = IsDlgButtonChecked(d, IDC_SHELL_PROGRAM) == BST_CHECKED;
                      Click(d, IDC_SHELL_PROGRAM);
                      afterRadio = Text(d, IDC_SHELL_TEXT);
                      Click(d, IDOK);
                  })
            .Then(IDC_SET_SHELL, [](HWND settings) { Click(settings, IDCANCEL); });
        ShowSettingsDialog(nullptr, SettingsOpener::kBeforePass);
    }
    EXPECT_EQ(L"EXPLORER.EXE", shown);
    EXPECT_TRUE(explorerChecked);
    EXPECT_FALSE(programChecked);
    EXPECT_EQ(ProgramPath(), afterRadio);
    EXPECT_EQ(ProgramPath(), ShellValue::Get());
}

TEST_F(SettingsChildDialogs, SetShellRecognisesThisProgramAndPutsExplorerBack)
{
    ShellValue kept;
    ShellValue::Set(ProgramPath());
    bool programChecked = false;
    INT_PTR result = 0;
    {
        DialogScript script;
        script.Then(IDC_SHELL_TEXT, [&](HWND d) {
            programChecked = IsDlgButtonChecked(d, IDC_SHELL_PROGRAM) == BST_CHECKED;
            Click(d, IDC_SHELL_EXPLORER);
            Click(d, IDOK);
        });
        result = ShowSetShellDialog(nullptr);
    }
    EXPECT_EQ(1, result);
    EXPECT_TRUE(programChecked);
    EXPECT_EQ(L"Explorer.exe", ShellValue::Get());
}

TEST_F(SettingsChildDialogs, SetShellRefusesAnEmptyShellAndCancelWritesNothing)
{
    ShellValue kept;
    ShellValue::Set(L"custom.exe");
    PromptScript prompts({IDOK});
    bool stillOpen = false;
    INT_PTR result = 0;
    {
        DialogScript script;
        script.Then(IDC_SHELL_TEXT, [&](HWND d) {
            SetText(d, IDC_SHELL_TEXT, L"");
            Click(d, IDOK);
            stillOpen = IsWindowVisible(d) != FALSE;
            SetText(d, IDC_SHELL_TEXT, L"other.exe");
            Click(d, IDCANCEL);
        });
        result = ShowSetShellDialog(nullptr);
    }
    EXPECT_EQ(2, result);
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(Str(IDS_SHELL_NOT_DEFINED), prompts.Last().text);
    EXPECT_EQ(L"custom.exe", ShellValue::Get());
}

// ---- backup settings ------------------------------------------------------------------

TEST_F(SettingsChildDialogs, BackupSettingsAreSavedAndTheirNumberedFoldersMade)
{
    const std::wstring backup = folder_.Path() + L"copies";
    std::wstring shownPath = L"?", shownLast;
    {
        DialogScript script;
        script.Then(IDC_SET_BACKUP, [](HWND settings) { Click(settings, IDC_SET_BACKUP); })
            .Then(IDC_BACKUP_FILE,
                  [&](HWND d) {
                      shownPath = Text(d, IDC_BACKUP_PATH);
                      shownLast = Text(d, IDC_BACKUP_LAST);
                      SetText(d, IDC_BACKUP_PATH, backup);
                      SetText(d, IDC_BACKUP_FILE, L"zelk.bak");
                      SetText(d, IDC_BACKUP_MAX_COUNT, L"3");
                      Click(d, IDOK);
                      Click(d, IDCANCEL);
                  })
            .Then(IDC_SET_BACKUP, [](HWND settings) { Click(settings, IDCANCEL); });
        ShowSettingsDialog(nullptr, SettingsOpener::kBeforePass);
    }
    EXPECT_EQ(L"", shownPath);   // none set: the default is not shown
    EXPECT_EQ(L"0", shownLast);
    EXPECT_EQ(L"zelk.bak", BackupText(L"File"));
    EXPECT_EQ(backup + L"\\", BackupText(L"BackupPath"));
    EXPECT_EQ(3u, BackupDword(L"nMaxFiles"));
    EXPECT_TRUE(IsFolder(backup));
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(IsFolder(backup + L"\\" + std::to_wstring(i))) << i;
    EXPECT_FALSE(IsFolder(backup + L"\\4"));
}

TEST_F(SettingsChildDialogs, BackupFoldersThatExistAlreadyAreKept)
{
    // The folder itself and one numbered folder are there from an earlier save.
    const std::wstring backup = folder_.Path() + L"Backup\\";
    ASSERT_TRUE(CreateDirectoryW(backup.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((backup + L"2").c_str(), nullptr));
    key_.SetString(L"File", L"old.bak", L"BackupDB");
    key_.SetDword(L"LastFile", 2, L"BackupDB");
    PromptScript prompts;   // no message: nothing failed
    std::wstring shownLast, shownFile;
    {
        DialogScript script;
        script.Then(IDC_BACKUP_FILE, [&](HWND d) {
            shownLast = Text(d, IDC_BACKUP_LAST);
            shownFile = Text(d, IDC_BACKUP_FILE);
            SetText(d, IDC_BACKUP_MAX_COUNT, L"2");
            Click(d, IDOK);
            Click(d, IDCANCEL);
        });
        RunBackupSettingsDlg(nullptr);
    }
    EXPECT_EQ(0u, prompts.Count());
    EXPECT_EQ(L"2", shownLast);
    EXPECT_EQ(L"old.bak", shownFile);
    EXPECT_TRUE(IsFolder(backup + L"1"));
    EXPECT_TRUE(IsFolder(backup + L"2"));
    EXPECT_EQ(L"<missing>", BackupText(L"BackupPath"));   // the default path is not stored
    EXPECT_EQ(2u, BackupDword(L"nMaxFiles"));
}

TEST_F(SettingsChildDialogs, AnEmptyFileNameDeletesAllFourValues)
{
    key_.SetString(L"File", L"old.bak", L"BackupDB");
    key_.SetString(L"BackupPath", folder_.Path(), L"BackupDB");
    key_.SetDword(L"nMaxFiles", 4, L"BackupDB");
    key_.SetDword(L"LastFile", 3, L"BackupDB");
    std::wstring shownPath;
    {
        DialogScript script;
        script.Then(IDC_BACKUP_FILE, [&](HWND d) {
            shownPath = Text(d, IDC_BACKUP_PATH);
            SetText(d, IDC_BACKUP_FILE, L"");
            Click(d, IDOK);
            Click(d, IDCANCEL);
        });
        RunBackupSettingsDlg(nullptr);
    }
    EXPECT_EQ(folder_.Path(), shownPath);
    for (const wchar_t* name : {L"File", L"BackupPath"})
        EXPECT_EQ(L"<missing>", BackupText(name)) << name[0];
    for (const wchar_t* name : {L"nMaxFiles", L"LastFile"})
        EXPECT_EQ(0xDEADBEEFu, BackupDword(name)) << name[0];
}

TEST_F(SettingsChildDialogs, AMaxCountThatIsNoNumberSavesNothing)
{
    key_.SetString(L"File", L"old.bak", L"BackupDB");
    key_.SetDword(L"nMaxFiles", 4, L"BackupDB");
    int focused = 0;
    {
        DialogScript script;
        script.Then(IDC_BACKUP_FILE, [&](HWND d) {
            SetText(d, IDC_BACKUP_FILE, L"new.bak");
            SetText(d, IDC_BACKUP_MAX_COUNT, L"");
            Click(d, IDOK);
            focused = FocusedId(d);
            Click(d, IDCANCEL);
        });
        RunBackupSettingsDlg(nullptr);
    }
    EXPECT_EQ(IDC_BACKUP_MAX_COUNT, focused);
    EXPECT_EQ(L"old.bak", BackupText(L"File"));
    EXPECT_EQ(4u, BackupDword(L"nMaxFiles"));
}

// "Max Count" takes what a clinic keeps: a larger number (200000 froze the
// program making folders) and 0 (which the backup job refuses) are refused
// over the dialog, the field focused, nothing saved and no folder made.
TEST_F(SettingsChildDialogs, AMaxCountOutsideWhatAClinicKeepsIsRefusedAndNothingSaved)
{
    const std::wstring backup = folder_.Path() + L"copies";
    const std::wstring refusal =
        Str(IDS_BACKUP_MAX_COUNT_RANGE).replace(Str(IDS_BACKUP_MAX_COUNT_RANGE).find(L"%1!u!"), 5, L"100");
    for (const wchar_t* count : {L"200000", L"101", L"0"}) {
        key_.SetString(L"File", L"old.bak", L"BackupDB");
        key_.SetDword(L"nMaxFiles", 4, L"BackupDB");
        PromptScript prompts({IDOK});
        int focused = 0;
        HWND dialog = nullptr;
        {
            DialogScript script;
            script.Then(IDC_BACKUP_FILE, [&](HWND d) {
                dialog = d;
                SetText(d, IDC_BACKUP_PATH, backup);
                SetText(d, IDC_BACKUP_FILE, L"new.bak");
                SetText(d, IDC_BACKUP_MAX_COUNT, count);
                Click(d, IDOK);
                focused = FocusedId(d);
                Click(d, IDCANCEL);
            });
            RunBackupSettingsDlg(nullptr);
        }
        ASSERT_EQ(1u, prompts.Count()) << count[0];
        std::wstring shown = prompts.Last().text;   // the formatter writes its line breaks as "\r\n"
        shown.erase(std::remove(shown.begin(), shown.end(), L'\r'), shown.end());
        EXPECT_EQ(refusal, shown);
        EXPECT_EQ(dialog, prompts.Last().owner);
        EXPECT_EQ(IDC_BACKUP_MAX_COUNT, focused);
        EXPECT_EQ(L"old.bak", BackupText(L"File"));
        EXPECT_EQ(L"<missing>", BackupText(L"BackupPath"));
        EXPECT_EQ(4u, BackupDword(L"nMaxFiles"));
        EXPECT_FALSE(IsFolder(backup));
    }
}

// While the folders are made the dialog goes on painting: here each folder
// takes a while, and the first asks for the dialog to be painted meanwhile.
HWND gPaintedDialog = nullptr;
LONG gFolderCalls = 0;
bool gPaintedMeanwhile = false;

BOOL WINAPI SlowFolder(const wchar_t* path, SECURITY_ATTRIBUTES* security)
{
    if (InterlockedIncrement(&gFolderCalls) == 1) {
        InvalidateRect(gPaintedDialog, nullptr, TRUE);
        for (int i = 0; i < 150 && !gPaintedMeanwhile; ++i) {
            gPaintedMeanwhile = !GetUpdateRect(gPaintedDialog, nullptr, FALSE);
            Sleep(20);
        }
    }
    return CreateDirectoryW(path, security);
}

TEST_F(SettingsChildDialogs, TheDialogStaysPaintedWhileTheFoldersAreMade)
{
    const std::wstring backup = folder_.Path() + L"copies";
    gFolderCalls = 0;
    gPaintedMeanwhile = false;
    SetBackupFolderCall(SlowFolder);
    {
        DialogScript script;
        script.Then(IDC_BACKUP_FILE, [&](HWND d) {
            gPaintedDialog = d;
            UpdateWindow(d);
            SetText(d, IDC_BACKUP_PATH, backup);
            SetText(d, IDC_BACKUP_FILE, L"zelk.bak");
            SetText(d, IDC_BACKUP_MAX_COUNT, L"100");
            Click(d, IDOK);
            Click(d, IDCANCEL);
        });
        RunBackupSettingsDlg(nullptr);
    }
    SetBackupFolderCall(nullptr);
    EXPECT_TRUE(gPaintedMeanwhile);
    EXPECT_EQ(101, gFolderCalls);
    EXPECT_EQ(100u, BackupDword(L"nMaxFiles"));
    EXPECT_TRUE(IsFolder(backup + L"\\100"));
    EXPECT_FALSE(IsFolder(backup + L"\\101"));
}

TEST_F(SettingsChildDialogs, AFolderThatCannotBeMadeSaysSoAfterTheValuesAreWritten)
{
    const std::wstring unreachable = folder_.Path() + L"no\\such\\parent";
    apptest::OpenJournal journal(folder_.Path());
    PromptScript prompts({IDOK});
    {
        DialogScript script;
        script.Then(IDC_BACKUP_FILE, [&](HWND d) {
            SetText(d, IDC_BACKUP_PATH, unreachable);
            SetText(d, IDC_BACKUP_FILE, L"a.bak");
            SetText(d, IDC_BACKUP_MAX_COUNT, L"1");
            Click(d, IDOK);
            Click(d, IDCANCEL);
        });
        RunBackupSettingsDlg(nullptr);
    }
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(Str(IDS_BACKUP_FOLDER_ERROR), prompts.Last().text);
    EXPECT_EQ(L"a.bak", BackupText(L"File"));
    bool recorded = false;
    for (const apptest::JournalEntry& e : journal.Entries())
        recorded |= e.text.rfind(L"CreateDirectoryW " + unreachable, 0) == 0;
    EXPECT_TRUE(recorded) << "no journal record names the call and the folder";
}

TEST_F(SettingsChildDialogs, BackupValuesOfTheWrongTypeReadAsMissing)
{
    const DWORD number = 9;
    key_.SetRaw(L"File", REG_DWORD, &number, sizeof number, L"BackupDB");
    key_.SetString(L"nMaxFiles", L"7", L"BackupDB");
    const wchar_t unterminated[] = {L'C', L':', L'\\', L'b'};
    key_.SetRaw(L"BackupPath", REG_SZ, unterminated, sizeof unterminated, L"BackupDB");
    BackupDBSettings settings;
    ASSERT_TRUE(settings.Load());
    EXPECT_EQ(L"", settings.FileName());
    EXPECT_EQ(0u, settings.MaxFiles());
    EXPECT_TRUE(settings.PathSet());
    EXPECT_EQ(L"C:\\b", settings.Path());
}

TEST_F(SettingsChildDialogs, AMissingBackupKeyIsMadeAndTheDefaultPathFollowsTheDataPath)
{
    BackupDBSettings settings;
    ASSERT_TRUE(settings.Load());
    EXPECT_FALSE(settings.PathSet());
    EXPECT_EQ(folder_.Path() + L"Backup\\", settings.Path());
    HKEY made = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key_.Key(), L"BackupDB", 0, KEY_READ, &made));
    if (made)
        RegCloseKey(made);
}

}  // namespace

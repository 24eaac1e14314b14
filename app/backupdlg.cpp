#include "app/backupdlg.h"

#include "app/reghelpers.h"
#include "app/settingsform.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/settingskey.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"
#include "ui/threadwait.h"
#include "ui/wait_cursor.h"

namespace {

const wchar_t kBackupKey[] = L"BackupDB";
const int kPathChars = 513;

std::wstring ReadText(HKEY key, const wchar_t* name)
{
    wchar_t text[kPathChars];
    DWORD size = sizeof text;
    if (RegGetString(key, name, text, &size) != ERROR_SUCCESS)
        return std::wstring();
    return std::wstring(text, size);
}

std::wstring ItemText(HWND dialog, int id)
{
    wchar_t text[kPathChars];
    const int n = GetDlgItemTextW(dialog, id, text, kPathChars);
    return std::wstring(text, n > 0 ? n : 0);
}

std::wstring DefaultPath()
{
    return std::wstring(DataPath) + L"Backup\\";
}

BackupFolderCall gFolderCall = CreateDirectoryW;

// A folder that exists already counts as made.
bool MakeFolder(const std::wstring& path)
{
    if (gFolderCall(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    LogCallError(GetLastError(), L"CreateDirectoryW", path.c_str());
    return false;
}

// The backup folder and its numbered folders, made by FolderThread.
struct FolderJob {
    std::wstring path;   // the backup folder, ending with "\"
    DWORD count;         // numbered folders 1 to count
    bool made;           // every folder exists
};

DWORD WINAPI FolderThread(void* parameter)
{
    FolderJob& job = *static_cast<FolderJob*>(parameter);
    job.made = MakeFolder(job.path);
    for (DWORD i = 1; job.made && i <= job.count; ++i)
        job.made = MakeFolder(job.path + std::to_wstring(i));
    return 0;
}

}  // namespace

void SetBackupFolderCall(BackupFolderCall call)
{
    gFolderCall = call ? call : CreateDirectoryW;
}

BOOL BackupDBSettings::Load()
{
    const SettingsRoot root = GetSettingsRoot();
    const std::wstring path = std::wstring(root.path) + L"\\" + kBackupKey;
    LONG rc = key_.Open(root.root, path.c_str(), KEY_READ | KEY_WRITE);
    if (rc == ERROR_FILE_NOT_FOUND)
        rc = key_.Create(root.root, path.c_str(), 0, KEY_READ | KEY_WRITE, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) {
        LogCallError(static_cast<DWORD>(rc), L"RegCreateKeyExW", path.c_str());
        return FALSE;
    }
    HKEY key = key_.GetHKey();
    fileName_ = ReadText(key, L"File");
    path_ = ReadText(key, L"BackupPath");
    pathSet_ = !path_.empty();
    if (!pathSet_)
        path_ = DefaultPath();
    maxFiles_ = lastFile_ = 0;
    RegGetDword(key, L"nMaxFiles", &maxFiles_);
    RegGetDword(key, L"LastFile", &lastFile_);
    return TRUE;
}

BOOL BackupDBSettings::Save()
{
    HKEY key = key_.GetHKey();
    if (!key)
        return FALSE;
    auto remove = [key](const wchar_t* name) {
        const LONG rc = RegDeleteValueW(key, name);
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    };
    if (fileName_.empty())
        return remove(L"File") & remove(L"BackupPath") & remove(L"nMaxFiles") & remove(L"LastFile");
    bool ok = RegSetStringN(key, L"File", fileName_.c_str(), static_cast<int>(fileName_.size())) == ERROR_SUCCESS;
    if (pathSet_)
        ok &= RegSetStringN(key, L"BackupPath", path_.c_str(), static_cast<int>(path_.size())) == ERROR_SUCCESS;
    else
        ok &= remove(L"BackupPath");
    ok &= RegSetDword(key, L"nMaxFiles", maxFiles_) == ERROR_SUCCESS;
    return ok;
}

BOOL BackupDBSettings::ReadDialog(HWND dialog)
{
    const std::wstring fileName = ItemText(dialog, IDC_BACKUP_FILE);
    if (fileName.empty()) {
        fileName_.clear();
        return TRUE;
    }
    std::wstring path = ItemText(dialog, IDC_BACKUP_PATH);
    const bool pathSet = !path.empty();
    if (pathSet && path.back() != L'\\')
        path += L'\\';
    DWORD count = 0;
    const bool number = ParseSettingUInt(ItemText(dialog, IDC_BACKUP_MAX_COUNT), &count);
    if (!number || count < 1 || count > kMaxBackupFolders) {
        HWND field = GetDlgItem(dialog, IDC_BACKUP_MAX_COUNT);
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
        if (number)
            MessageBoxIdFormat(dialog, IDS_BACKUP_TITLE, MB_OK | MB_ICONEXCLAMATION, IDS_BACKUP_MAX_COUNT_RANGE,
                               static_cast<unsigned>(kMaxBackupFolders));
        return FALSE;
    }
    fileName_ = fileName;
    pathSet_ = pathSet;
    path_ = pathSet ? path : DefaultPath();
    maxFiles_ = count;
    return TRUE;
}

BOOL BackupDBSettings::ShowInDialog(HWND dialog) const
{
    SetDlgItemTextW(dialog, IDC_BACKUP_PATH, pathSet_ ? path_.c_str() : L"");
    SetDlgItemTextW(dialog, IDC_BACKUP_FILE, fileName_.c_str());
    SetDlgItemInt(dialog, IDC_BACKUP_MAX_COUNT, maxFiles_, FALSE);
    SetDlgItemInt(dialog, IDC_BACKUP_LAST, lastFile_, FALSE);
    return TRUE;
}

BOOL BackupDBSettings::PrepareFolders(HWND owner)
{
    if (fileName_.empty())
        return TRUE;
    FolderJob job = {path_, maxFiles_, false};
    HANDLE thread = CreateThread(nullptr, 0, FolderThread, &job, 0, nullptr);
    if (thread) {
        gWaitCursor.Begin();
        // No time limit: each folder's call ends by itself, made or failed,
        // and the job lives on this frame.
        WaitKeepingPainted(thread, INFINITE);
        gWaitCursor.End();
        CloseHandle(thread);
    } else {
        LogCallError(GetLastError(), L"CreateThread", path_.c_str());
        FolderThread(&job);
    }
    if (!job.made)
        MessageBoxIdCaption(owner, IDS_BACKUP_FOLDER_ERROR, 0, MB_OK);
    return job.made;
}

namespace {

const DialogText kTexts[] = {
    {0, IDS_BACKUP_TITLE},
    {IDC_BACKUP_PATH_LABEL, IDS_BACKUP_PATH},
    {IDC_BACKUP_FILE_LABEL, IDS_BACKUP_FILE},
    {IDC_BACKUP_MAX_COUNT_LABEL, IDS_BACKUP_MAX_COUNT},
    {IDC_BACKUP_LAST_LABEL, IDS_BACKUP_LAST},
    {IDOK, IDS_SAVE},
    {IDCANCEL, IDS_EXIT},
    {0, 0},
};

INT_PTR CALLBACK BackupSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        ApplyDialogTexts(dialog, kTexts);
        reinterpret_cast<BackupDBSettings*>(lParam)->ShowInDialog(dialog);
        return TRUE;
    }
    BackupDBSettings* settings = reinterpret_cast<BackupDBSettings*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!settings || message != WM_COMMAND || HIWORD(wParam) != 0)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        // The dialog stays open: a beep says that something failed.
        if (!settings->ReadDialog(dialog) || !settings->Save() || !settings->PrepareFolders(dialog))
            MessageBeep(MB_ICONASTERISK);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void RunBackupSettingsDlg(HWND owner)
{
    BackupDBSettings settings;
    if (!settings.Load()) {
        MessageBeep(MB_ICONASTERISK);
        return;
    }
    DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_BACKUP_SETTINGS), owner,
                    GuardedDialogProc<BackupSettingsDlgProc>, reinterpret_cast<LPARAM>(&settings));
}

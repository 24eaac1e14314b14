#include "app/settingsdlg.h"

#include "app/backupdlg.h"
#include "app/diskhelpers.h"
#include "app/plugins.h"
#include "app/printservices.h"
#include "app/settingsform.h"
#include "app/startup.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/settingskey.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

#include <string>

const wchar_t kWinlogonKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

namespace {

const DialogText kSettingsTexts[] = {
    {0, IDS_SETTINGS_TITLE},
    {IDC_SET_DEF_DIR_LABEL, IDS_SETTINGS_DEFAULT_DIR},
    {IDC_SET_DATA_PATH_LABEL, IDS_SETTINGS_DATA_PATH},
    {IDC_SET_ARCHIVE_LABEL, IDS_SETTINGS_ARCHIVE_PATH},
    {IDC_SET_CFG_DIR_LABEL, IDS_SETTINGS_CFG_DIR},
    {IDC_SET_SERVER_NAME_LABEL, IDS_SETTINGS_SERVER_NAME},
    {IDC_SET_LOCAL_PATH_LABEL, IDS_SETTINGS_LOCAL_PATH},
    {IDC_SET_DEF_DIR_BROWSE, IDS_SET_BUTTON},
    {IDC_SET_DATA_PATH_BROWSE, IDS_SET_BUTTON},
    {IDC_SET_ARCHIVE_BROWSE, IDS_SET_BUTTON},
    {IDC_SET_CFG_DIR_BROWSE, IDS_SET_BUTTON},
    {IDC_SET_LOCAL_PATH_BROWSE, IDS_SET_BUTTON},
    {IDC_SET_ARCHIVING_GROUP, IDS_SETTINGS_ARCHIVING},
    {IDC_SET_ARJ_START_LABEL, IDS_SETTINGS_ARJ_START},
    {IDC_SET_ARJ_END_LABEL, IDS_SETTINGS_ARJ_END},
    {IDC_SET_SPACE_MIN_LABEL, IDS_SETTINGS_SPACE_MIN},
    {IDC_SET_SCREEN_GROUP, IDS_SETTINGS_SCREEN},
    {IDC_SET_WIDTH_LABEL, IDS_SETTINGS_WIDTH_LIMIT},
    {IDC_SET_HEIGHT_LABEL, IDS_SETTINGS_HEIGHT_LIMIT},
    {IDC_SET_EXIT_ACTION_LABEL, IDS_SETTINGS_EXIT_ACTION},
    {IDOK, IDS_OK},
    {IDCANCEL, IDS_CANCEL},
    {IDC_SET_RUN_NOW, IDS_SETTINGS_RUN_NOW},
    {IDC_SET_DEFAULTS, IDS_SETTINGS_DEFAULTS},
    {IDC_SET_BACKUP, IDS_SETTINGS_BACKUP},
    {IDC_SET_FONTS, IDS_FONTS},
    {IDC_SET_SHELL, IDS_SET_SHELL},
    {IDC_SET_PRINTER, IDS_SETTINGS_PRINTER},
    {IDC_SET_PLUGINS, IDS_SETTINGS_PLUGINS},
    {0, 0},
};

const DialogText kShellTexts[] = {
    {0, IDS_SET_SHELL},
    {IDC_SHELL_LABEL, IDS_SHELL_LABEL},
    {IDC_SHELL_EXPLORER, IDS_SHELL_EXPLORER},
    {IDC_SHELL_PROGRAM, IDS_SHELL_ZELK_PROGRAM},
    {IDOK, IDS_OK},
    {IDCANCEL, IDS_CANCEL},
    {0, 0},
};

// A folder that could not be made.
struct PathError {
    std::wstring path;
    DWORD error;
};

struct SettingsDlg {
    HWND dialog;
    SettingsOpener opener;

    void OnInitDialog();
    void OnCommand(int id);
    BOOL Save();

    void FillExitCombo();
    void Show(const ProgramSettingsForm& form);
    ProgramSettingsForm Read() const;
    std::wstring Text(int id) const;
    void Browse(int editId, UINT title);
    // Asks for and makes the missing data folders; false when the user
    // declined to make the data folder itself. Throws PathError.
    bool PrepareDataFolders(const std::wstring& dataPath);
    bool AskToCreate(const std::wstring& folder);
    void ShowFolderError(const PathError& e);
    void Focus(int id);
};

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The system's text for a folder that could not be made, under the folder's
// name, over the dialog.
void SettingsDlg::ShowFolderError(const PathError& e)
{
    ShowPrompt(dialog, ErrorCodeText(e.error).c_str(), e.path.c_str(), MB_OK | MB_ICONINFORMATION);
}

void MakeFolder(const std::wstring& path)
{
    if (!CreateDirectoryW(path.c_str(), nullptr)) {
        const DWORD error = GetLastError();
        LogCallError(error, L"CreateDirectoryW", path.c_str());
        throw PathError{path, error};
    }
}

void SettingsDlg::FillExitCombo()
{
    HWND combo = GetDlgItem(dialog, IDC_SET_EXIT_ACTION);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const ExitActionChoice& choice : kExitActionChoices) {
        wchar_t text[128];
        if (LoadStringW(hInstance, choice.text, text, 128) <= 0)
            text[0] = 0;
        const LRESULT item = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        if (item >= 0)
            SendMessageW(combo, CB_SETITEMDATA, item, static_cast<LPARAM>(choice.value));
    }
}

void SettingsDlg::Show(const ProgramSettingsForm& form)
{
    SetDlgItemTextW(dialog, IDC_SET_DEF_DIR, form.defDir.c_str());
    SetDlgItemTextW(dialog, IDC_SET_SERVER_NAME, form.serverName.c_str());
    SetDlgItemTextW(dialog, IDC_SET_CFG_DIR, form.cfgDir.c_str());
    SetDlgItemTextW(dialog, IDC_SET_DATA_PATH, form.dataPath.c_str());
    SetDlgItemTextW(dialog, IDC_SET_ARCHIVE_PATH, form.archivePath.c_str());
    SetDlgItemTextW(dialog, IDC_SET_SPACE_ARJ_START, form.spaceArjStart.c_str());
    SetDlgItemTextW(dialog, IDC_SET_SPACE_ARJ_END, form.spaceArjEnd.c_str());
    SetDlgItemTextW(dialog, IDC_SET_SPACE_MIN, form.spaceMin.c_str());
    SetDlgItemTextW(dialog, IDC_SET_WIDTH_LIMIT, form.widthLimit.c_str());
    SetDlgItemTextW(dialog, IDC_SET_HEIGHT_LIMIT, form.heightLimit.c_str());
    // Check boxes that a layout may carry.
    CheckDlgButton(dialog, IDC_SET_MOBIL, form.mobil > 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SET_SPAN_PULT, form.spanPult > 0 ? BST_CHECKED : BST_UNCHECKED);
    HWND combo = GetDlgItem(dialog, IDC_SET_EXIT_ACTION);
    LRESULT selected = -1;
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; form.exitActionSet && i < count; ++i)
        if (static_cast<DWORD>(SendMessageW(combo, CB_GETITEMDATA, i, 0)) == form.exitAction)
            selected = i;
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

std::wstring SettingsDlg::Text(int id) const
{
    HWND control = GetDlgItem(dialog, id);
    const int length = control ? GetWindowTextLengthW(control) : 0;
    if (length <= 0)
        return std::wstring();
    std::wstring text(length + 1, L'\0');
    const int got = GetWindowTextW(control, &text[0], length + 1);
    text.resize(got > 0 ? got : 0);
    return text;
}

ProgramSettingsForm SettingsDlg::Read() const
{
    ProgramSettingsForm form;
    form.defDir = Text(IDC_SET_DEF_DIR);
    form.serverName = Text(IDC_SET_SERVER_NAME);
    form.cfgDir = Text(IDC_SET_CFG_DIR);
    form.dataPath = Text(IDC_SET_DATA_PATH);
    form.archivePath = Text(IDC_SET_ARCHIVE_PATH);
    form.spaceArjStart = Text(IDC_SET_SPACE_ARJ_START);
    form.spaceArjEnd = Text(IDC_SET_SPACE_ARJ_END);
    form.spaceMin = Text(IDC_SET_SPACE_MIN);
    form.widthLimit = Text(IDC_SET_WIDTH_LIMIT);
    form.heightLimit = Text(IDC_SET_HEIGHT_LIMIT);
    // Without its check box a value stays as stored.
    if (GetDlgItem(dialog, IDC_SET_MOBIL))
        form.mobil = IsDlgButtonChecked(dialog, IDC_SET_MOBIL) == BST_CHECKED ? 1 : 0;
    if (GetDlgItem(dialog, IDC_SET_SPAN_PULT))
        form.spanPult = IsDlgButtonChecked(dialog, IDC_SET_SPAN_PULT) == BST_CHECKED ? 1 : 0;
    HWND combo = GetDlgItem(dialog, IDC_SET_EXIT_ACTION);
    const LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selected >= 0) {
        form.exitActionSet = true;
        form.exitAction = static_cast<DWORD>(SendMessageW(combo, CB_GETITEMDATA, selected, 0));
    }
    return form;
}

void SettingsDlg::OnInitDialog()
{
    ApplyDialogTexts(dialog, kSettingsTexts);
    // The plug-in setup is a button of the Russian layout alone.
    ShowForLanguage(dialog, IDC_SET_PLUGINS, LANG_RUSSIAN);
    FillExitCombo();
    for (int id : {IDC_SET_LOCAL_PATH_LABEL, IDC_SET_LOCAL_PATH, IDC_SET_LOCAL_PATH_BROWSE}) {
        HWND control = GetDlgItem(dialog, id);
        ShowWindow(control, SW_HIDE);
        EnableWindow(control, FALSE);
    }
    const SettingsRoot root = GetSettingsRoot();
    Show(ReadProgramSettings(root.root, root.path));
}

void SettingsDlg::Browse(int editId, UINT title)
{
    wchar_t path[MAX_PATH];
    GetDlgItemTextW(dialog, editId, path, MAX_PATH);
    wchar_t text[256];
    if (LoadStringW(hInstance, title, text, 256) <= 0)
        text[0] = 0;
    if (BrowseForFolder(dialog, path, text))
        SetDlgItemTextW(dialog, editId, path);
}

void SettingsDlg::Focus(int id)
{
    if (HWND control = GetDlgItem(dialog, id)) {
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        SendMessageW(control, EM_SETSEL, 0, -1);
    }
}

bool SettingsDlg::AskToCreate(const std::wstring& folder)
{
    return MessageBoxIdFormat(dialog, IDS_PATH_DOES_NOT_EXIST, MB_YESNO | MB_ICONQUESTION, IDS_CREATE_MISSING_PATH,
                              folder.c_str()) == IDYES;
}

bool SettingsDlg::PrepareDataFolders(const std::wstring& dataPath)
{
    std::wstring base = dataPath;
    if (base.back() != L'\\')
        base += L'\\';
    const std::wstring image = base + L"Image", icon = base + L"Icon";
    if (IsFolder(dataPath)) {
        for (const std::wstring& folder : {image, icon})
            if (!IsFolder(folder) && AskToCreate(folder))
                MakeFolder(folder);
        return true;
    }
    if (!AskToCreate(dataPath))
        return false;
    MakeFolder(dataPath);
    MakeFolder(image);
    MakeFolder(icon);
    return true;
}

BOOL SettingsDlg::Save()
{
    try {
        const ProgramSettingsForm form = Read();
        if (const int wrong = CheckProgramSettings(form)) {
            Focus(wrong);
            throw wrong;
        }
        if (!PrepareDataFolders(form.dataPath))
            return FALSE;
        const SettingsRoot root = GetSettingsRoot();
        WriteProgramSettings(form, root.root, root.path);
        return TRUE;
    } catch (int) {
        MessageBoxIdCaption(dialog, IDS_SETTINGS_BAD_ENTRY, 0, MB_OK);
    } catch (const SettingsValueError& e) {
        MessageBoxIdCaption(dialog, IDS_SETTINGS_VALUE_NOT_SET, e.value, MB_OK);
    } catch (const PathError& e) {
        ShowFolderError(e);
    } catch (const SettingsKeyError& e) {
        MessageBoxIdCaption(dialog, IDS_SETTINGS_KEY_NOT_CREATED, e.key, MB_OK);
    } catch (...) {
        MessageBoxIdCaption(dialog, IDS_SETTINGS_EXCEPTION, 0, MB_OK);
    }
    return FALSE;
}

void SettingsDlg::OnCommand(int id)
{
    switch (id) {
    case IDC_SET_DEF_DIR_BROWSE:
        Browse(IDC_SET_DEF_DIR, IDS_SELECT_DEFAULT_FOLDER);
        break;
    case IDC_SET_CFG_DIR_BROWSE:
        Browse(IDC_SET_CFG_DIR, IDS_SELECT_CONFIG_PATH);
        break;
    case IDC_SET_DATA_PATH_BROWSE:
        Browse(IDC_SET_DATA_PATH, IDS_SELECT_DATABASE_PATH);
        break;
    case IDC_SET_ARCHIVE_BROWSE:
        Browse(IDC_SET_ARCHIVE_PATH, IDS_SELECT_ARCHIVE_PATH);
        break;
    case IDC_SET_DEFAULTS:
        FillExitCombo();
        Show(DefaultProgramSettings());
        break;
    case IDOK:
        if (Save())
            EndDialog(dialog, 0);
        break;
    case IDC_SET_RUN_NOW:
        if (Save()) {
            // Only a running main window has a loop to end; before a pass the
            // cycle goes on by itself, and a quit posted now would end the
            // next pass's loop at once.
            if (opener == SettingsOpener::kRunningProgram)
                RequestRestart();
            EndDialog(dialog, 0);
        }
        break;
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    case IDC_SET_BACKUP:
        RunBackupSettingsDlg(dialog);
        break;
    case IDC_SET_FONTS:
        OpenFontsDialog(dialog);
        break;
    case IDC_SET_SHELL:
        if (IsWindowsNT)
            ShowSetShellDialog(dialog);
        break;
    case IDC_SET_PRINTER:
        OpenPrinterProfiles(dialog);
        break;
    case IDC_SET_PLUGINS:
        AddPluginDialog(dialog);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK SettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SettingsDlg* self = reinterpret_cast<SettingsDlg*>(lParam);
        self->dialog = dialog;
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->OnInitDialog();
        return TRUE;
    }
    SettingsDlg* self = reinterpret_cast<SettingsDlg*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self && message == WM_COMMAND && HIWORD(wParam) == 0) {
        self->OnCommand(LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

// ---- Set Shell -------------------------------------------------------------------

const wchar_t kExplorerShell[] = L"Explorer.exe";
const int kShellChars = 260;

void ProgramPath(wchar_t* path)
{
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    path[n < MAX_PATH ? n : MAX_PATH - 1] = 0;
}

bool SameText(const wchar_t* a, const wchar_t* b)
{
    return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

BOOL SetShellInit(HWND dialog)
{
    ApplyDialogTexts(dialog, kShellTexts);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    wchar_t shell[kShellChars + 1] = L"";
    DWORD type = REG_NONE, bytes = kShellChars * sizeof(wchar_t);
    if (RegQueryValueExW(key, L"Shell", nullptr, &type, reinterpret_cast<BYTE*>(shell), &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        bytes = 0;
    shell[bytes / sizeof(wchar_t)] = 0;   // terminated whatever was stored
    RegCloseKey(key);
    SetDlgItemTextW(dialog, IDC_SHELL_TEXT, shell);
    wchar_t program[MAX_PATH];
    ProgramPath(program);
    if (SameText(shell, kExplorerShell))
        CheckDlgButton(dialog, IDC_SHELL_EXPLORER, BST_CHECKED);
    else if (SameText(shell, program))
        CheckDlgButton(dialog, IDC_SHELL_PROGRAM, BST_CHECKED);
    return TRUE;
}

void SetShellSave(HWND dialog)
{
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, KEY_SET_VALUE, &key);
    if (opened != ERROR_SUCCESS) {
        LogCallError(static_cast<DWORD>(opened), L"RegOpenKeyExW", kWinlogonKey);
        MessageBoxIdCaption(dialog, IDS_SHELL_KEY_NOT_OPENED, 0, MB_OK);
        return;
    }
    wchar_t shell[kShellChars + 1] = L"";
    const int length = GetDlgItemTextW(dialog, IDC_SHELL_TEXT, shell, kShellChars + 1);
    if (length <= 0) {
        RegCloseKey(key);
        MessageBoxIdCaption(dialog, IDS_SHELL_NOT_DEFINED, 0, MB_OK);
        return;
    }
    const LONG rc = RegSetValueExW(key, L"Shell", 0, REG_SZ, reinterpret_cast<const BYTE*>(shell),
                                   (length + 1) * sizeof(wchar_t));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        LogCallError(static_cast<DWORD>(rc), L"RegSetValueExW", L"Shell");
        ShowSystemErrorBox(static_cast<DWORD>(rc), nullptr);
        return;
    }
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK SetShellDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    try {
        if (message == WM_INITDIALOG)
            return SetShellInit(dialog);
        if (message != WM_COMMAND || HIWORD(wParam) != 0)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDC_SHELL_EXPLORER:
            SetDlgItemTextW(dialog, IDC_SHELL_TEXT, kExplorerShell);
            return TRUE;
        case IDC_SHELL_PROGRAM: {
            wchar_t program[MAX_PATH];
            ProgramPath(program);
            SetDlgItemTextW(dialog, IDC_SHELL_TEXT, program);
            return TRUE;
        }
        case IDOK:
            SetShellSave(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 2);
            return TRUE;
        default:
            return FALSE;
        }
    } catch (...) {
        MessageBoxIdCaption(dialog, IDS_EXCEPTION, 0, MB_OK);
    }
    return FALSE;
}

}  // namespace

void ShowSettingsDialog(HWND owner, SettingsOpener opener)
{
    SettingsDlg context = {nullptr, opener};
    DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_PROGRAM_SETTINGS), owner, GuardedDialogProc<SettingsDlgProc>,
                    reinterpret_cast<LPARAM>(&context));
}

INT_PTR ShowSetShellDialog(HWND owner)
{
    return DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_SET_SHELL), owner, GuardedDialogProc<SetShellDlgProc>, 0);
}

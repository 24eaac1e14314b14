#include "app/extplugin.h"

#include "app/diskhelpers.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

#include <commdlg.h>

#include <new>
#include <vector>

namespace {

const DWORD kCreationFlags = CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS;
const int kFileChars = 4096;

// A text value into the string; missing, empty or not text leaves it empty.
void ReadText(DRegKey& key, const wchar_t* name, DString& out)
{
    out.Empty();
    DWORD type = REG_NONE, size = 0;
    if (key.QueryValue(name, &type, nullptr, &size) != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return;
    key.QueryString(name, out);
}

bool WriteText(DRegKey& key, const wchar_t* name, const DString& text)
{
    return key.SetStringN(name, text.c_str() ? text.c_str() : L"", text.Length()) == ERROR_SUCCESS;
}

// The text or null for an empty string.
const wchar_t* OrNull(const DString& text)
{
    return text.Length() > 0 ? text.c_str() : nullptr;
}

}  // namespace

ExtProgramPlugin::ExtProgramPlugin() : startup()
{
    startup.cb = sizeof startup;
}

ExtProgramPlugin* ExtProgramPlugin::Create()
{
    return new (std::nothrow) ExtProgramPlugin();
}

void ExtProgramPlugin::SetStrings(const wchar_t* moduleText, const wchar_t* cmdLineText, const wchar_t* defDirText)
{
    module.Assign(moduleText);
    cmdLine.Assign(cmdLineText);
    defDir.Assign(defDirText);
}

BOOL ExtProgramPlugin::LoadSettings(DRegKey key)
{
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    ReadText(key, L"CmdLine", cmdLine);
    ReadText(key, L"DefDir", defDir);
    ReadText(key, nullptr, module);
    return 1;
}

BOOL ExtProgramPlugin::SaveSettings(DRegKey key)
{
    const bool ok = WriteText(key, L"CmdLine", cmdLine) && WriteText(key, L"DefDir", defDir) &&
                    WriteText(key, nullptr, module);
    return ok ? 1 : 0;
}

void ExtProgramPlugin::Run()
{
    // CreateProcessW may write into the command line it is given: it gets a
    // copy of its own, never the text the plug-in keeps (or shares).
    std::vector<wchar_t> line;
    if (cmdLine.Length() > 0)
        line.assign(cmdLine.c_str(), cmdLine.c_str() + cmdLine.Length() + 1);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(OrNull(module), line.empty() ? nullptr : line.data(), nullptr, nullptr, FALSE, kCreationFlags,
                        nullptr, OrNull(defDir), &startup, &process)) {
        const DWORD error = GetLastError();
        LogCallError(error, L"CreateProcessW", module.Length() > 0 ? module.c_str() : OrNull(cmdLine));
        ShowSystemErrorBox(error, nullptr);
        return;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

// ---- the settings dialog ----------------------------------------------------------------

struct ProgramDialog {
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static void Init(HWND dialog, ExtProgramPlugin* plugin);
    static void ChooseModule(HWND dialog);
    static void ChooseFolder(HWND dialog);
    static void Accept(HWND dialog, ExtProgramPlugin* plugin);
};

const DialogText kProgramTexts[] = {
    {0, IDS_PROGRAM_TITLE},
    {IDC_PROGRAM_NAME_LABEL, IDS_PROGRAM_NAME},
    {IDC_PROGRAM_MODULE_LABEL, IDS_PROGRAM_MODULE},
    {IDC_PROGRAM_CMD_LINE_LABEL, IDS_PROGRAM_CMD_LINE},
    {IDC_PROGRAM_DIR_LABEL, IDS_PROGRAM_DIR},
    {IDC_PROGRAM_MODULE_BROWSE, IDS_SET_BUTTON},
    {IDC_PROGRAM_DIR_BROWSE, IDS_SET_BUTTON},
    {IDOK, IDS_PROGRAM_ACCEPT},
    {IDCANCEL, IDS_CLOSE},
    {0, 0},
};

void ProgramDialog::Init(HWND dialog, ExtProgramPlugin* plugin)
{
    ApplyDialogTexts(dialog, kProgramTexts);
    SetDlgItemTextW(dialog, IDC_PROGRAM_NAME, plugin->name.c_str() ? plugin->name.c_str() : L"");
    SetDlgItemTextW(dialog, IDC_PROGRAM_MODULE, plugin->module.c_str() ? plugin->module.c_str() : L"");
    SetDlgItemTextW(dialog, IDC_PROGRAM_CMD_LINE, plugin->cmdLine.c_str() ? plugin->cmdLine.c_str() : L"");
    SetDlgItemTextW(dialog, IDC_PROGRAM_DIR, plugin->defDir.c_str() ? plugin->defDir.c_str() : L"");
}

void ProgramDialog::ChooseModule(HWND dialog)
{
    std::vector<wchar_t> file(kFileChars, L'\0');
    GetDlgItemTextW(dialog, IDC_PROGRAM_MODULE, file.data(), kFileChars);
    // "Programs\0*.exe\0\0"
    wchar_t filter[160] = {};
    int n = LoadStringW(hInstance, IDS_PROGRAM_FILES_FILTER, filter, 128);
    if (n <= 0)
        n = 0;
    wcscpy(filter + n + 1, L"*.exe");
    OPENFILENAMEW open = {};
    open.lStructSize = sizeof open;
    open.hwndOwner = dialog;
    open.lpstrFilter = filter;
    open.lpstrFile = file.data();
    open.nMaxFile = kFileChars;
    open.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (GetOpenFileNameW(&open))
        SetDlgItemTextW(dialog, IDC_PROGRAM_MODULE, file.data());
}

void ProgramDialog::ChooseFolder(HWND dialog)
{
    wchar_t folder[MAX_PATH];
    GetDlgItemTextW(dialog, IDC_PROGRAM_DIR, folder, MAX_PATH);
    if (BrowseForFolder(dialog, folder, nullptr))
        SetDlgItemTextW(dialog, IDC_PROGRAM_DIR, folder);
}

void ProgramDialog::Accept(HWND dialog, ExtProgramPlugin* plugin)
{
    plugin->module.GetWindowText(GetDlgItem(dialog, IDC_PROGRAM_MODULE));
    plugin->cmdLine.GetWindowText(GetDlgItem(dialog, IDC_PROGRAM_CMD_LINE));
    plugin->defDir.GetWindowText(GetDlgItem(dialog, IDC_PROGRAM_DIR));
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK ProgramDialog::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        Init(dialog, reinterpret_cast<ExtProgramPlugin*>(lParam));
        // The name is only shown: the user starts at the program file.
        SetFocus(GetDlgItem(dialog, IDC_PROGRAM_MODULE));
        return FALSE;
    }
    ExtProgramPlugin* plugin = reinterpret_cast<ExtProgramPlugin*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!plugin || message != WM_COMMAND || HIWORD(wParam) != 0)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_PROGRAM_MODULE_BROWSE:
        ChooseModule(dialog);
        return TRUE;
    case IDC_PROGRAM_DIR_BROWSE:
        ChooseFolder(dialog);
        return TRUE;
    case IDOK:
        Accept(dialog, plugin);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

int ExtProgramPlugin::Setup(HWND owner)
{
    const INT_PTR result = DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_PLUGIN_PROGRAM), owner,
                                           GuardedDialogProc<ProgramDialog::Proc>,
                                           reinterpret_cast<LPARAM>(this));
    return result == 1 ? 1 : 0;
}

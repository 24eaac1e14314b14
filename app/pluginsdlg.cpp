// The "Plugins" management dialog: the list of plug-ins with Add, Change,
// Delete and Run. Each line of the list box keeps the index of its plug-in in
// the list as its item data; empty entries of the list have no line.
#include "app/extplugin.h"
#include "app/inputtext.h"
#include "app/plugins.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

#include <cwchar>

namespace {

const int kNameChars = 129;   // a new plug-in's name: at most 128 characters

const DialogText kTexts[] = {{0, IDS_PLUGINS},
                             {IDC_PLUGIN_ADD, IDS_PLUGIN_ADD},
                             {IDC_PLUGIN_CHANGE, IDS_PLUGIN_CHANGE},
                             {IDC_PLUGIN_DELETE, IDS_DELETE},
                             {IDC_PLUGIN_RUN, IDS_PLUGIN_RUN},
                             {IDCANCEL, IDS_CLOSE},
                             {0, 0}};

HWND ListOf(HWND dialog)
{
    return GetDlgItem(dialog, IDC_PLUGIN_LIST);
}

void AddLine(HWND dialog, int index)
{
    const DPlugin* plugin = gPluginList.At(index);
    if (!plugin || !plugin->GetName())
        return;
    const LRESULT line = SendMessageW(ListOf(dialog), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(plugin->GetName()));
    if (line >= 0)
        SendMessageW(ListOf(dialog), LB_SETITEMDATA, line, index);
}

// The list index of the selected line, or -1.
int Selected(HWND dialog)
{
    const LRESULT line = SendMessageW(ListOf(dialog), LB_GETCURSEL, 0, 0);
    return line < 0 ? -1 : static_cast<int>(SendMessageW(ListOf(dialog), LB_GETITEMDATA, line, 0));
}

// Why a name cannot be a plug-in's, or 0: a backslash would make it a key
// below another, and the registry does not tell names apart by case.
UINT RefusedName(const wchar_t* name)
{
    if (wcschr(name, L'\\'))
        return IDS_PLUGIN_NAME_INVALID;
    if (gPluginList.Find(name) >= 0)
        return IDS_PLUGIN_NAME_TAKEN;
    return 0;
}

void OnAdd(HWND dialog)
{
    wchar_t name[kNameChars] = L"";
    const int length = InputText(dialog, name, kNameChars, IDS_ENTER_PLUGIN_NAME, FALSE);
    if (length <= 0)
        return;
    if (const UINT refusal = RefusedName(name)) {
        MessageBoxIdFormat(dialog, 0, MB_OK | MB_ICONEXCLAMATION, refusal, name);
        return;
    }
    ExtProgramPlugin* plugin = ExtProgramPlugin::Create();
    if (!plugin)
        return;
    plugin->SetName(name, length);
    if (!plugin->Setup(dialog)) {
        delete plugin;
        return;
    }
    if (!gPluginList.Add(plugin)) {
        delete plugin;
        MessageBoxIdFormat(dialog, 0, MB_OK | MB_ICONEXCLAMATION, IDS_PLUGIN_NOT_SAVED, name);
        return;
    }
    AddLine(dialog, gPluginList.Count() - 1);
}

void OnChange(HWND dialog)
{
    DPlugin* plugin = gPluginList.At(Selected(dialog));
    if (plugin && plugin->Setup(dialog) && !gPluginList.SavePlugin(plugin))
        MessageBoxIdFormat(dialog, 0, MB_OK | MB_ICONEXCLAMATION, IDS_PLUGIN_NOT_SAVED, plugin->GetName());
}

void OnDelete(HWND dialog)
{
    const LRESULT line = SendMessageW(ListOf(dialog), LB_GETCURSEL, 0, 0);
    const int index = Selected(dialog);
    DPlugin* plugin = gPluginList.At(index);
    if (!plugin)
        return;
    wchar_t name[kNameChars * 2] = L"";
    lstrcpynW(name, plugin->GetName() ? plugin->GetName() : L"", kNameChars * 2);
    if (!gPluginList.Remove(index)) {
        MessageBoxIdFormat(dialog, 0, MB_OK | MB_ICONEXCLAMATION, IDS_PLUGIN_NOT_DELETED, name);
        return;
    }
    SendMessageW(ListOf(dialog), LB_DELETESTRING, line, 0);
    // The later plug-ins moved down by one in the list.
    const LRESULT count = SendMessageW(ListOf(dialog), LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT data = SendMessageW(ListOf(dialog), LB_GETITEMDATA, i, 0);
        if (data > index)
            SendMessageW(ListOf(dialog), LB_SETITEMDATA, i, data - 1);
    }
}

void OnRun(HWND dialog)
{
    if (DPlugin* plugin = gPluginList.At(Selected(dialog)))
        plugin->Run();
}

INT_PTR CALLBACK PluginsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        ApplyDialogTexts(dialog, kTexts);
        for (int i = 0; i < gPluginList.Count(); ++i)
            AddLine(dialog, i);
        return TRUE;
    }
    if (message != WM_COMMAND || HIWORD(wParam) != 0)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_PLUGIN_ADD:
        OnAdd(dialog);
        return TRUE;
    case IDC_PLUGIN_CHANGE:
        OnChange(dialog);
        return TRUE;
    case IDC_PLUGIN_DELETE:
        OnDelete(dialog);
        return TRUE;
    case IDC_PLUGIN_RUN:
        OnRun(dialog);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void AddPluginDialog(HWND owner)
{
    DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_PLUGINS), owner, GuardedDialogProc<PluginsDlgProc>, 0);
}

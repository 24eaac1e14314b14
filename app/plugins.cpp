#include "app/plugins.h"

#include "app/extplugin.h"
#include "app/reghelpers.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/settingskey.h"
#include "ui/popupmenu.h"

#include <cwchar>

DPluginList gPluginList;

namespace {

const wchar_t kPluginsKey[] = L"Plugins";
const int kKeyPathChars = 800;
const DWORD kNameChars = 512;   // RegEnumKeyExW's name buffer
const int kGrowBy = 4;          // entries added when the array is full

// The flag, or its default when the value is missing or not a REG_DWORD.
DWORD ReadFlag(HKEY key, const wchar_t* name, DWORD fallback)
{
    DWORD value = fallback;
    return RegGetDword(key, name, &value) == ERROR_SUCCESS ? value : fallback;
}

DPlugin* MakeExtProgramPlugin(const wchar_t*)
{
    return ExtProgramPlugin::Create();
}

PluginFactory gFactory = MakeExtProgramPlugin;

bool Offered(const DPlugin* plugin)
{
    return plugin && (!plugin->IsAdminOnly() || IsAdministrator) && plugin->IsEnabled();
}

}  // namespace

PluginFactory SetPluginFactory(PluginFactory factory)
{
    const PluginFactory previous = gFactory;
    gFactory = factory ? factory : MakeExtProgramPlugin;
    return previous == MakeExtProgramPlugin ? nullptr : previous;
}

// ---- DPlugin ------------------------------------------------------------------------

BOOL DPlugin::SetName(const wchar_t* text, int length)
{
    name.AssignN(text, length);
    return 1;
}

const wchar_t* DPlugin::GetName() const
{
    return name.Length() > 0 ? name.c_str() : nullptr;
}

int DPlugin::GetNameLength() const
{
    return name.Length();
}

BOOL DPlugin::OnRegistryKey(DRegKey key)
{
    key.Close();
    return 1;
}

// ---- DPluginList ----------------------------------------------------------------------

DPluginList::~DPluginList()
{
    Clear();
}

void DPluginList::Clear()
{
    for (int i = 0; i < count_; ++i)
        delete items_[i];
    if (items_)
        HeapFree(GetProcessHeap(), 0, items_);
    items_ = nullptr;
    capacity_ = count_ = 0;
}

DPlugin* DPluginList::At(int index) const
{
    return index >= 0 && index < count_ ? items_[index] : nullptr;
}

int DPluginList::Find(const wchar_t* name) const
{
    if (!name)
        return -1;
    for (int i = 0; i < count_; ++i)
        if (items_[i] && items_[i]->GetName() &&
            CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, items_[i]->GetName(), -1, name, -1) == CSTR_EQUAL)
            return i;
    return -1;
}

void DPluginList::PluginsKeyPath(wchar_t* path, int capacity)
{
    _snwprintf(path, capacity, L"%ls\\%ls", GetSettingsRoot().path, kPluginsKey);
    path[capacity - 1] = 0;
}

bool DPluginList::PluginKeyPath(const wchar_t* name, wchar_t* path, int capacity)
{
    const int n = _snwprintf(path, capacity, L"%ls\\%ls\\%ls", GetSettingsRoot().path, kPluginsKey, name);
    if (n < 0 || n >= capacity) {
        path[0] = 0;
        return false;
    }
    return true;
}

void DPluginList::Load()
{
    if (count_ != 0)
        return;
    wchar_t path[kKeyPathChars];
    PluginsKeyPath(path, kKeyPathChars);
    DRegKey plugins;
    if (plugins.Open(GetSettingsRoot().root, path, KEY_READ) != ERROR_SUCCESS)
        return;
    DWORD n = 0;
    if (plugins.QueryInfo(nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS ||
        n == 0)
        return;
    const int capacity = static_cast<int>(n / 16 * 16 + 16);
    DPlugin** items = static_cast<DPlugin**>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, capacity * sizeof(DPlugin*)));
    if (!items)
        return;
    items_ = items;
    capacity_ = capacity;
    count_ = static_cast<int>(n);
    for (DWORD i = 0; i < n; ++i) {
        wchar_t name[kNameChars];
        DWORD length = kNameChars;
        if (plugins.EnumKey(i, name, &length) != ERROR_SUCCESS)
            break;
        DRegKey key;
        if (key.Open(plugins.GetHKey(), name, KEY_READ) != ERROR_SUCCESS)
            continue;   // the entry stays empty
        DPlugin* plugin = gFactory(name);
        if (!plugin)
            continue;
        items_[i] = plugin;
        plugin->SetName(name, static_cast<int>(length));
        plugin->SetAutoStart(ReadFlag(key.GetHKey(), L"StartAuto", 0) != 0);
        plugin->SetEnabled(ReadFlag(key.GetHKey(), L"StartManual", 0) == 0);
        plugin->SetAdminOnly(ReadFlag(key.GetHKey(), L"Admin", 0) != 0);
        plugin->LoadSettings(key);
    }
}

BOOL DPluginList::SavePlugin(DPlugin* plugin)
{
    wchar_t path[kKeyPathChars];
    if (!plugin || !plugin->GetName() || !PluginKeyPath(plugin->GetName(), path, kKeyPathChars))
        return 0;
    DRegKey key;
    const LONG created = key.Create(GetSettingsRoot().root, path, nullptr, 0, KEY_WRITE, nullptr, nullptr);
    if (created != ERROR_SUCCESS) {
        LogCallError(static_cast<DWORD>(created), L"RegCreateKeyExW", path);
        return 0;
    }
    const bool flags = key.SetDword(L"StartAuto", plugin->IsAutoStart() ? 1 : 0) == ERROR_SUCCESS &&
                       key.SetDword(L"StartManual", plugin->IsEnabled() ? 0 : 1) == ERROR_SUCCESS &&
                       key.SetDword(L"Admin", plugin->IsAdminOnly() ? 1 : 0) == ERROR_SUCCESS;
    return flags && plugin->SaveSettings(key) ? 1 : 0;
}

bool DPluginList::Grow()
{
    if (count_ < capacity_)
        return true;
    const int capacity = capacity_ + kGrowBy;
    DPlugin** items = static_cast<DPlugin**>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, capacity * sizeof(DPlugin*)));
    if (!items)
        return false;
    for (int i = 0; i < count_; ++i)
        items[i] = items_[i];
    if (items_)
        HeapFree(GetProcessHeap(), 0, items_);
    items_ = items;
    capacity_ = capacity;
    return true;
}

BOOL DPluginList::Add(DPlugin* plugin)
{
    if (!plugin || !plugin->GetName() || Find(plugin->GetName()) >= 0)
        return 0;
    if (!Grow() || !SavePlugin(plugin))
        return 0;
    items_[count_++] = plugin;
    return 1;
}

BOOL DPluginList::Remove(int index)
{
    DPlugin* plugin = At(index);
    wchar_t path[kKeyPathChars];
    if (!plugin || !plugin->GetName() || !PluginKeyPath(plugin->GetName(), path, kKeyPathChars))
        return 0;
    DRegKey key;
    if (key.Open(GetSettingsRoot().root, path, KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY) != ERROR_SUCCESS)
        return 0;
    if (!plugin->OnRegistryKey(key))
        return 0;
    key.Close();
    wchar_t pluginsPath[kKeyPathChars];
    PluginsKeyPath(pluginsPath, kKeyPathChars);
    HKEY plugins = nullptr;
    if (RegOpenKeyExW(GetSettingsRoot().root, pluginsPath, 0, KEY_READ | KEY_WRITE, &plugins) != ERROR_SUCCESS)
        return 0;
    const LONG deleted = RegDeleteKeyTree(plugins, plugin->GetName());
    RegCloseKey(plugins);
    if (deleted != ERROR_SUCCESS) {
        LogCallError(static_cast<DWORD>(deleted), L"RegDeleteKeyW", path);
        return 0;
    }
    delete plugin;
    for (int i = index; i + 1 < count_; ++i)
        items_[i] = items_[i + 1];
    items_[--count_] = nullptr;
    return 1;
}

// ---- the main window's uses ----------------------------------------------------------

void LoadPlugins()
{
    gPluginList.Load();
}

void StartAutoPlugins()
{
    for (int i = 0; i < gPluginList.Count(); ++i)
        if (DPlugin* plugin = gPluginList.At(i))
            if (plugin->IsAutoStart())
                plugin->Run();
}

int HasPluginMenuItems()
{
    for (int i = 0; i < gPluginList.Count(); ++i)
        if (Offered(gPluginList.At(i)))
            return 1;
    return 0;
}

void BuildPluginMenu(HWND owner, int x, int y)
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    int offered = 0, only = 0;
    for (int i = 0; i < gPluginList.Count(); ++i) {
        DPlugin* plugin = gPluginList.At(i);
        if (!Offered(plugin) || !AppendMenuW(menu, MF_STRING, i + 1, plugin->GetName()))
            continue;
        ++offered;
        only = i + 1;
    }
    int chosen = 0;
    if (offered == 1)
        chosen = only;
    else if (offered > 1)
        chosen = TrackPopup(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_VCENTERALIGN, x, y, owner);
    DestroyMenu(menu);
    if (DPlugin* plugin = chosen > 0 ? gPluginList.At(chosen - 1) : nullptr)
        plugin->Run();
}

#include "app/settings.h"

#include "app/iconsnimok.h"

#include "app/fontsettings.h"
#include "app/reghelpers.h"
#include "app/startup.h"
#include "foundation/applocale.h"
#include "foundation/datetime.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/settingskey.h"
#include "resources/strings.h"
#include "images/files/iconrecord.h"
#include "ui/button.h"

#include <cstdio>
#include <cwchar>

namespace {

const DWORD kDefaultSpaceMin = 20;
const DWORD kDefaultSpaceArjStart = 80;
const DWORD kDefaultSpaceArjEnd = 600;
const wchar_t kArjKey[] = L"Arj";

// True when "CfgDir" set CfgFolder in this pass.
bool gCfgDirGiven = false;

// Appends `tail` to `folder` into `out` (kFolderChars); false when it does not fit.
bool JoinFolder(wchar_t* out, const wchar_t* folder, const wchar_t* tail)
{
    const size_t a = wcslen(folder), b = wcslen(tail);
    if (a + b + 1 > static_cast<size_t>(kFolderChars))
        return false;
    wmemcpy(out, folder, a);
    wmemcpy(out + a, tail, b + 1);
    return true;
}

// Adds the trailing backslash a folder setting must end with.
void EndWithBackslash(wchar_t* folder, const wchar_t* valueName)
{
    size_t length = wcslen(folder);
    if (length > 0 && folder[length - 1] == L'\\')
        return;
    if (length + 2 > static_cast<size_t>(kFolderChars))
        throw RegException(kRegWin32Error, ERROR_FILENAME_EXCED_RANGE, valueName);
    folder[length] = L'\\';
    folder[length + 1] = 0;
}

DWORD ThresholdOr(DRegKeyHandle& key, const wchar_t* name, DWORD fallback)
{
    DWORD value = key.GetDwordOr0(kRegMayBeMissing, name);
    return value ? value : fallback;
}

void ShowSettingsError(const wchar_t* text, UINT captionId)
{
    MessageBoxIdCaption(nullptr, text, captionId, MB_ICONHAND | MB_SYSTEMMODAL);
}

}  // namespace

void FormatRegistryError(const RegException& error, wchar_t* text, int capacity)
{
    const wchar_t* name = error.ValueName() ? error.ValueName() : L"NULL";
    int n;
    switch (error.Kind()) {
    case kRegWin32Error: {
        wchar_t system[512];
        ErrorCodeText(error.Error(), system, 512);
        n = _snwprintf(text, capacity, L"%ls\nError=%u\n%ls", name, static_cast<unsigned>(error.Error()), system);
        break;
    }
    case kRegKeyNotOpen: n = _snwprintf(text, capacity, L"%ls\nInternal Error", name); break;
    case kRegWrongType: n = _snwprintf(text, capacity, L"%ls\nBad Parameter Type", name); break;
    case kRegValueEmpty: n = _snwprintf(text, capacity, L"%ls\nString Is NULL", name); break;
    default: n = _snwprintf(text, capacity, L"%ls\nUnknown exception", name); break;
    }
    if (n < 0 || n >= capacity)
        text[capacity - 1] = 0;
}

BOOL LoadDefaultModality(HKEY root)
{
    DefaultModalitySet = FALSE;
    DefaultModality = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, L"Modality", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    DWORD value = 0, type = REG_NONE, size = sizeof value;
    if (RegQueryValueExW(key, L"ID_Modality", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        size == sizeof value) {
        DefaultModality = value;
        DefaultModalitySet = TRUE;
    }
    RegCloseKey(key);
    return DefaultModalitySet;
}

void LoadArchiveSettings(DRegKeyHandle& root)
{
    DRegKeyHandle arj;
    if (arj.OpenSub(root, kArjKey, KEY_READ) != ERROR_SUCCESS)
        throw MsgExcept(kArjKey, IDS_REGISTRY_OPEN_ERROR);
    arj.GetString(kRegMustNotBeEmpty, ArchivePath, kFolderChars, nullptr);
    // Every user of the archive folder appends file names to it, and a drive
    // given as "E:" has its root only with the separator.
    EndWithBackslash(ArchivePath, L"Arj");
    SpaceMin = ThresholdOr(arj, L"SpaceMin", kDefaultSpaceMin);
    SpaceArjStart = ThresholdOr(arj, L"SpaceArjStart", kDefaultSpaceArjStart);
    SpaceArjEnd = ThresholdOr(arj, L"SpaceArjEnd", kDefaultSpaceArjEnd);
}

void LoadDataPaths(DRegKeyHandle& root)
{
    root.GetString(kRegMustNotBeEmpty, DataPath, kFolderChars, L"DataPath");
    EndWithBackslash(DataPath, L"DataPath");
    wchar_t cfg[kFolderChars];
    gCfgDirGiven = root.GetString(kRegMayBeMissing, cfg, kFolderChars, L"CfgDir") > 0;
    if (gCfgDirGiven) {
        EndWithBackslash(cfg, L"CfgDir");
        wcscpy(CfgFolder, cfg);
    }
}

void BuildDataFolders()
{
    wchar_t image[kFolderChars], icon[kFolderChars], cfg[kFolderChars];
    if (!JoinFolder(image, DataPath, L"Image\\") || !JoinFolder(icon, DataPath, L"Icon\\") ||
        (!gCfgDirGiven && !JoinFolder(cfg, DataPath, L"Cfg\\")))
        throw RegException(kRegWin32Error, ERROR_FILENAME_EXCED_RANGE, L"DataPath");
    wcscpy(ImageFolder, image);
    wcscpy(IconFolder, icon);
    if (!gCfgDirGiven)
        wcscpy(CfgFolder, cfg);
}

BOOL LoadSettings()
{
    try {
        const SettingsRoot settings = GetSettingsRoot();
        DRegKeyHandle root;
        if (root.Open(settings.root, settings.path, KEY_READ) != ERROR_SUCCESS)
            throw MsgExcept(settings.path, IDS_REGISTRY_OPEN_ERROR);
        SetDateTimeFormats(gAppLocale.GetLcid());

        // Fonts; "Header" falls back on the list views' font, so it comes last.
        LoadListViewFont(root.GetHKey());
        IconSnimok::LoadSettings(root.GetHKey());
        DButton::LoadSettings(root.GetHKey());
        LoadStatusFont(root.GetHKey());
        LoadToolTipFont(root.GetHKey());
        LoadHeaderFont(root.GetHKey());

        LoadDefaultModality(root.GetHKey());
        {
            HKEY import = nullptr;
            ImportSettingsPresent = RegOpenKeyExW(root.GetHKey(), L"ImportSettings", 0, KEY_READ, &import) ==
                                    ERROR_SUCCESS;
            if (import)
                RegCloseKey(import);
        }

        DWORD exitFlag = kExitNone;   // stays when the value is missing
        root.QueryDword(exitFlag, L"ExitFlag");
        if (exitFlag != kExitShutdown && exitFlag != kExitPowerOff)
            exitFlag = kExitNone;
        CurrentExitAction = ConfiguredExitAction = exitFlag;
        // An administrator's exit leaves Windows running unless the exit menu says otherwise.
        if (IsAdministrator)
            CurrentExitAction = kExitNone;

        MobilMode = root.GetDwordOr0(kRegMayBeMissing, L"Mobil");

        wchar_t server[kServerNameChars];
        if (root.GetString(kRegMayBeMissing, server, kServerNameChars, L"ServerName") >= 0)
            wcscpy(ServerName, server);
        else
            wcscpy(ServerName, L"\\\\.");

        LoadArchiveSettings(root);
        LoadDataPaths(root);
        BuildDataFolders();
        return TRUE;
    } catch (const RegException& error) {
        wchar_t text[800];
        FormatRegistryError(error, text, 800);
        ShowSettingsError(text, IDS_REGISTRY_READ_ERROR);
    } catch (const MsgExcept& message) {
        message.Show(nullptr, MB_ICONHAND | MB_SYSTEMMODAL);
    } catch (...) {
        ShowSettingsError(L"Unknown internal error", 0);
    }
    return FALSE;
}

// The forms font, loaded once under a lock.
#include "ui/formsfont.h"

#include "foundation/applocale.h"
#include "foundation/registry.h"
#include "foundation/strbuf.h"

const wchar_t kSettingsKeyPath[] = L"SOFTWARE\\Marvod\\TobalFluoro";

namespace {

bool ReadSystemMessageFont(LOGFONTW* font)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return false;
    *font = metrics.lfMessageFont;
    return true;
}

struct FormsFontState {
    SRWLOCK lock = SRWLOCK_INIT;
    LONG loaded = 0;               // set (with release order) once `font` holds the result
    LOGFONTW font = {};
    HKEY root = nullptr;           // null: HKEY_LOCAL_MACHINE and kSettingsKeyPath
    const wchar_t* path = nullptr;
    bool (*systemReader)(LOGFONTW*) = ReadSystemMessageFont;
} gForms;

}  // namespace

bool ReadFormsFontFrom(HKEY root, const wchar_t* settingsPath, LOGFONTW* font)
{
    if (!root || !settingsPath || !font)
        return false;
    DStrBuf path(255);
    path.Append(settingsPath);
    path.Append(L"\\Forms");
    DRegKey key;
    if (key.Open(root, path.c_str(), KEY_READ) != ERROR_SUCCESS)
        return false;
    try {
        return RegReadLogFont(*font, key.GetHKey(), L"Font");
    } catch (...) {
        return false;   // unreadable counts as missing
    }
}

const LOGFONTW* GetFormsFont()
{
    if (InterlockedCompareExchange(&gForms.loaded, 0, 0))
        return &gForms.font;
    AcquireSRWLockExclusive(&gForms.lock);
    if (!gForms.loaded) {
        LOGFONTW font = {};
        HKEY root = gForms.root ? gForms.root : HKEY_LOCAL_MACHINE;
        const wchar_t* path = gForms.root ? gForms.path : kSettingsKeyPath;
        if (!ReadFormsFontFrom(root, path, &font) && !(gForms.systemReader && gForms.systemReader(&font)))
            InitDefaultLogFont(&font);
        gForms.font = font;
        InterlockedExchange(&gForms.loaded, 1);
    }
    ReleaseSRWLockExclusive(&gForms.lock);
    return &gForms.font;
}

void FormsFontForTests::SetSource(HKEY root, const wchar_t* settingsPath)
{
    gForms.root = root;
    gForms.path = settingsPath;
}

void FormsFontForTests::SetSystemReader(bool (*reader)(LOGFONTW* font))
{
    gForms.systemReader = reader ? reader : ReadSystemMessageFont;
}

void FormsFontForTests::Forget()
{
    AcquireSRWLockExclusive(&gForms.lock);
    InterlockedExchange(&gForms.loaded, 0);
    ReleaseSRWLockExclusive(&gForms.lock);
}

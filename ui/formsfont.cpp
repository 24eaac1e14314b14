// The forms font, loaded once under a lock.
#include "ui/formsfont.h"

#include "foundation/applocale.h"
#include "foundation/registry.h"
#include "foundation/settingskey.h"

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
    bool (*systemReader)(LOGFONTW*) = ReadSystemMessageFont;
} gForms;

}  // namespace

bool ReadFormsFont(LOGFONTW* font)
{
    HKEY forms = nullptr;
    if (!font || OpenSettingsKey(L"Forms", KEY_READ, false, &forms) != ERROR_SUCCESS)
        return false;
    DRegKey key(forms);
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
        if (!ReadFormsFont(&font) && !(gForms.systemReader && gForms.systemReader(&font)))
            InitDefaultLogFont(&font);
        gForms.font = font;
        InterlockedExchange(&gForms.loaded, 1);
    }
    ReleaseSRWLockExclusive(&gForms.lock);
    return &gForms.font;
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

#include "printing/snimokprintcfg.h"

#include "printing/printsettings.h"

#include <climits>
#include <cwchar>

namespace {

const wchar_t kKeyName[] = L"SnimokPrintCfg";

// The registry values, their defaults and their fields, in the order they
// are written.
struct CfgValue {
    const wchar_t* name;
    int SnimokPrintCfg::*field;
    int fallback;
};
const CfgValue kValues[] = {
    {L"LeftField", &SnimokPrintCfg::leftField, 1000},     {L"RightField", &SnimokPrintCfg::rightField, 1000},
    {L"TopField", &SnimokPrintCfg::topField, 1000},       {L"BottomField", &SnimokPrintCfg::bottomField, 1000},
    {L"Width", &SnimokPrintCfg::width, 0},                {L"Height", &SnimokPrintCfg::height, 0},
    {L"MinWidth", &SnimokPrintCfg::minWidth, 4000},       {L"MinHeight", &SnimokPrintCfg::minHeight, 4000},
    {L"PrintHeader", &SnimokPrintCfg::printHeader, 1},    {L"PrintPatient", &SnimokPrintCfg::printPatient, 1},
    {L"PrintNote", &SnimokPrintCfg::printNote, 1},        {L"PrintSnimok", &SnimokPrintCfg::printSnimok, 1},
};

}  // namespace

void SetDefaultSnimokPrintCfg(SnimokPrintCfg& cfg)
{
    for (const CfgValue& v : kValues)
        cfg.*v.field = v.fallback;
}

void LoadSnimokPrintCfg(SnimokPrintCfg& cfg)
{
    PrintKey key;
    const bool open = key.Open(kKeyName, KEY_QUERY_VALUE, false) == ERROR_SUCCESS;
    for (const CfgValue& v : kValues) {
        DWORD value = 0, type = 0, size = sizeof value;
        if (open && RegQueryValueExW(key.Get(), v.name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                        ERROR_SUCCESS &&
            type == REG_DWORD && size == sizeof value)
            cfg.*v.field = static_cast<int>(value);
        else
            cfg.*v.field = v.fallback;
    }
}

bool SaveSnimokPrintCfg(const SnimokPrintCfg& cfg)
{
    PrintKey key;
    if (key.Open(cfg.keyName ? cfg.keyName : kKeyName, KEY_SET_VALUE, true) != ERROR_SUCCESS)
        return false;
    for (const CfgValue& v : kValues) {
        const DWORD value = static_cast<DWORD>(cfg.*v.field);
        if (RegSetValueExW(key.Get(), v.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) !=
            ERROR_SUCCESS)
            return false;
    }
    return true;
}

SnimokPrintCfg& GetSnimokPrintCfg()
{
    static SnimokPrintCfg cfg = {};
    if (!cfg.keyName) {
        cfg.keyName = kKeyName;
        LoadSnimokPrintCfg(cfg);
        cfg.noteFromDatabase = 1;
    }
    return cfg;
}

bool ParseCentimetres(const wchar_t* text, int* value)
{
    if (!text || !*text)
        return false;
    long long whole = 0;
    const wchar_t* p = text;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        whole = whole * 10 + (*p - L'0');
        if (whole > INT_MAX / 1000)
            return false;
    }
    const bool hadDigits = p != text;
    int fraction = 0, fractionDigits = 0;
    if (*p == L'.') {
        for (++p; *p >= L'0' && *p <= L'9'; ++p) {
            if (++fractionDigits > 3)
                return false;
            fraction = fraction * 10 + (*p - L'0');
        }
        for (int d = fractionDigits; d < 3; ++d)
            fraction *= 10;
    }
    if (*p != 0 || (!hadDigits && fractionDigits == 0))
        return false;
    const long long result = whole * 1000 + fraction;
    if (result > INT_MAX)
        return false;
    *value = static_cast<int>(result);
    return true;
}

void FormatCentimetres(int value, wchar_t* text, int size)
{
    // As "%g" shows value / 1000, but exactly whatever the size: the text
    // reads back as the same value.
    const long long v = value;
    const unsigned long long magnitude = v < 0 ? -v : v;
    wchar_t fraction[8] = L"";
    if (magnitude % 1000) {
        _snwprintf(fraction, 8, L".%03u", static_cast<unsigned>(magnitude % 1000));
        for (size_t n = wcslen(fraction); fraction[n - 1] == L'0'; --n)
            fraction[n - 1] = 0;
    }
    _snwprintf(text, size, L"%ls%llu%ls", v < 0 ? L"-" : L"", magnitude / 1000, fraction);
    text[size - 1] = 0;
}

#include "app/settingsform.h"

#include "app/reghelpers.h"
#include "app/startup.h"
#include "foundation/journal.h"
#include "resources/resource.h"
#include "resources/strings.h"

namespace {

const int kTextChars = 513;   // a text field: 512 characters and the terminator

const wchar_t kArjKey[] = L"Arj";
const wchar_t kDesktopKey[] = L"Desktop";

// A REG_SZ into the field; anything else leaves it empty.
std::wstring ReadText(HKEY key, const wchar_t* name)
{
    wchar_t text[kTextChars];
    DWORD size = sizeof text;
    if (RegGetString(key, name, text, &size) != ERROR_SUCCESS)
        return std::wstring();
    return std::wstring(text, size);
}

// A REG_DWORD as an unsigned or signed number; anything else, empty.
std::wstring ReadNumber(HKEY key, const wchar_t* name, bool isSigned)
{
    DWORD value = 0;
    if (RegGetDword(key, name, &value) != ERROR_SUCCESS)
        return std::wstring();
    return isSigned ? std::to_wstring(static_cast<LONG>(value)) : std::to_wstring(value);
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Opens (creating) a key below `parent`; throws SettingsKeyError.
HKEY CreateKey(HKEY parent, const wchar_t* subKey, const wchar_t* keyName)
{
    HKEY key = nullptr;
    const LONG rc = RegCreateKeyExW(parent, subKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        LogCallError(static_cast<DWORD>(rc), L"RegCreateKeyExW", subKey);
        throw SettingsKeyError{keyName, rc};
    }
    return key;
}

// Closes the key when the scope ends.
class KeyHolder {
public:
    explicit KeyHolder(HKEY key) : key_(key) {}
    ~KeyHolder() { RegCloseKey(key_); }
    KeyHolder(const KeyHolder&) = delete;
    KeyHolder& operator=(const KeyHolder&) = delete;
    HKEY Get() const { return key_; }

private:
    HKEY key_;
};

void Check(LONG rc, const wchar_t* value)
{
    if (rc == ERROR_SUCCESS)
        return;
    LogCallError(static_cast<DWORD>(rc), L"RegSetValueExW", value ? value : L"NULL");
    throw SettingsValueError{value ? value : L"NULL", rc};
}

void SetText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    Check(RegSetStringN(key, name, text.c_str(), static_cast<int>(text.size())), name);
}

void SetNumber(HKEY key, const wchar_t* name, DWORD value)
{
    Check(RegSetDword(key, name, value), name);
}

// A value that is already missing is no failure.
void Delete(HKEY key, const wchar_t* name)
{
    const LONG rc = RegDeleteValueW(key, name);
    if (rc != ERROR_FILE_NOT_FOUND)
        Check(rc, name);
}

void SetTextOrDelete(HKEY key, const wchar_t* name, const std::wstring& text)
{
    if (text.empty())
        Delete(key, name);
    else
        SetText(key, name, text);
}

void SetSignedOrDelete(HKEY key, const wchar_t* name, const std::wstring& text)
{
    LONG value = 0;
    if (ParseSettingInt(text, &value))
        SetNumber(key, name, static_cast<DWORD>(value));
    else
        Delete(key, name);
}

}  // namespace

const ExitActionChoice kExitActionChoices[3] = {
    {IDS_POWER_OFF, kExitPowerOff},
    {IDS_EXIT_WITHOUT_SHUTDOWN, kExitNone},
    {IDS_SHUTDOWN_WINDOWS, kExitShutdown},
};

bool ParseSettingUInt(const std::wstring& text, DWORD* value)
{
    if (text.empty() || text.size() > 10)
        return false;
    unsigned long long n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        n = n * 10 + (c - L'0');
    }
    if (n > 0xFFFFFFFFull)
        return false;
    *value = static_cast<DWORD>(n);
    return true;
}

bool ParseSettingInt(const std::wstring& text, LONG* value)
{
    const bool negative = !text.empty() && text[0] == L'-';
    DWORD magnitude = 0;
    if (!ParseSettingUInt(negative ? text.substr(1) : text, &magnitude))
        return false;
    if (magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu))
        return false;
    *value = negative ? static_cast<LONG>(0u - magnitude) : static_cast<LONG>(magnitude);
    return true;
}

ProgramSettingsForm ReadProgramSettings(HKEY rootKey, const wchar_t* path)
{
    ProgramSettingsForm form;
    HKEY root = nullptr;
    if (RegOpenKeyExW(rootKey, path, 0, KEY_READ, &root) != ERROR_SUCCESS)
        return form;
    form.defDir = ReadText(root, L"DefDir");
    form.serverName = ReadText(root, L"ServerName");
    form.cfgDir = ReadText(root, L"CfgDir");
    form.dataPath = ReadText(root, L"DataPath");
    DWORD value = 0;
    if (RegGetDword(root, L"Mobil", &value) == ERROR_SUCCESS)
        form.mobil = value ? 1 : 0;
    if (RegGetDword(root, L"SpanPult", &value) == ERROR_SUCCESS)
        form.spanPult = value ? 1 : 0;
    if (RegGetDword(root, L"ExitFlag", &value) == ERROR_SUCCESS) {
        for (const ExitActionChoice& choice : kExitActionChoices)
            if (choice.value == value) {
                form.exitActionSet = true;
                form.exitAction = value;
            }
    }
    HKEY arj = nullptr;
    if (RegOpenKeyExW(root, kArjKey, 0, KEY_READ, &arj) == ERROR_SUCCESS) {
        form.archivePath = ReadText(arj, nullptr);
        form.spaceArjStart = ReadNumber(arj, L"SpaceArjStart", false);
        form.spaceArjEnd = ReadNumber(arj, L"SpaceArjEnd", false);
        form.spaceMin = ReadNumber(arj, L"SpaceMin", false);
        RegCloseKey(arj);
    }
    HKEY desktop = nullptr;
    if (RegOpenKeyExW(root, kDesktopKey, 0, KEY_READ, &desktop) == ERROR_SUCCESS) {
        form.widthLimit = ReadNumber(desktop, L"WidthLimit", true);
        form.heightLimit = ReadNumber(desktop, L"HeightLimit", true);
        RegCloseKey(desktop);
    }
    RegCloseKey(root);
    return form;
}

ProgramSettingsForm DefaultProgramSettings()
{
    ProgramSettingsForm form;
    form.defDir = L"c:\\zelk";
    form.serverName = L"\\\\.";
    form.exitActionSet = true;
    form.exitAction = kExitActionChoices[0].value;
    form.archivePath = L"E:\\Images";
    form.spaceArjStart = L"500";
    form.spaceArjEnd = L"1000";
    form.spaceMin = L"20";
    form.dataPath = L"d:\\";
    return form;
}

int CheckProgramSettings(const ProgramSettingsForm& form)
{
    DWORD number = 0;
    if (!form.defDir.empty() && !IsFolder(form.defDir))
        return IDC_SET_DEF_DIR;
    if (form.dataPath.empty())
        return IDC_SET_DATA_PATH;
    if (form.archivePath.empty())
        return IDC_SET_ARCHIVE_PATH;
    if (!ParseSettingUInt(form.spaceMin, &number))
        return IDC_SET_SPACE_MIN;
    if (!ParseSettingUInt(form.spaceArjStart, &number))
        return IDC_SET_SPACE_ARJ_START;
    if (!ParseSettingUInt(form.spaceArjEnd, &number))
        return IDC_SET_SPACE_ARJ_END;
    return 0;
}

void WriteProgramSettings(const ProgramSettingsForm& form, HKEY rootKey, const wchar_t* path)
{
    KeyHolder root(CreateKey(rootKey, path, L"Root"));
    HKEY r = root.Get();
    SetTextOrDelete(r, L"DefDir", form.defDir);
    SetText(r, L"ServerName", form.serverName);
    SetTextOrDelete(r, L"CfgDir", form.cfgDir);
    if (form.mobil >= 0)
        SetNumber(r, L"Mobil", form.mobil ? 1 : 0);
    if (form.spanPult >= 0)
        SetNumber(r, L"SpanPult", form.spanPult ? 1 : 0);
    if (form.exitActionSet)
        SetNumber(r, L"ExitFlag", form.exitAction);
    else
        Delete(r, L"ExitFlag");
    SetText(r, L"DataPath", form.dataPath);

    DWORD spaceMin = 0, spaceStart = 0, spaceEnd = 0;
    ParseSettingUInt(form.spaceMin, &spaceMin);
    ParseSettingUInt(form.spaceArjStart, &spaceStart);
    ParseSettingUInt(form.spaceArjEnd, &spaceEnd);
    {
        KeyHolder arj(CreateKey(r, kArjKey, kArjKey));
        SetText(arj.Get(), nullptr, form.archivePath);
        SetNumber(arj.Get(), L"SpaceMin", spaceMin);
        SetNumber(arj.Get(), L"SpaceArjStart", spaceStart);
        SetNumber(arj.Get(), L"SpaceArjEnd", spaceEnd);
    }
    KeyHolder desktop(CreateKey(r, kDesktopKey, kDesktopKey));
    SetSignedOrDelete(desktop.Get(), L"WidthLimit", form.widthLimit);
    SetSignedOrDelete(desktop.Get(), L"HeightLimit", form.heightLimit);
}

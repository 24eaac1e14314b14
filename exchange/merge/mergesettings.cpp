// The merge's settings and its error texts: see mergesettings.h.
#include "exchange/merge/mergesettings.h"

#include "foundation/applocale.h"
#include "foundation/settingskey.h"
#include "foundation/textutil.h"
#include "resources/strings.h"

namespace {

const wchar_t kImportKey[] = L"ImportSettings";

// One registry key, closed at the end of its scope.
class Key {
public:
    Key() = default;
    ~Key()
    {
        if (key_)
            RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The system's text for a Win32 error, without its line break at the end.
std::wstring SystemText(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = n && text ? std::wstring(text, n) : std::wstring();
    if (text)
        LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r'))
        result.pop_back();
    return result;
}

void OpenSub(HKEY parent, const wchar_t* name, Key& key)
{
    const LONG status = RegOpenKeyExW(parent, name, 0, KEY_READ, key.Out());
    if (status != ERROR_SUCCESS)
        ThrowMergeError(IdOrText(0), (DWORD)status);
}

// A DWORD value; false when it is missing or not a DWORD.
bool ReadDword(HKEY key, const wchar_t* name, DWORD* value)
{
    DWORD type = 0, size = sizeof *value;
    return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof *value;
}

// A string value (empty when missing); at most 259 characters.
std::wstring ReadString(HKEY key, const wchar_t* name)
{
    wchar_t buffer[261] = {};
    DWORD type = 0, size = sizeof buffer - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    buffer[size / sizeof(wchar_t)] = 0;
    return buffer;
}

// The names of the subkeys, in the order the registry gives them; the walk
// stops at the first failure of the enumeration.
std::vector<std::wstring> SubkeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 255;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<ColumnSpec> ReadColumns(HKEY parent, const wchar_t* listName, bool keys)
{
    Key list;
    OpenSub(parent, listName, list);
    std::vector<ColumnSpec> columns;
    for (const std::wstring& name : SubkeyNames(list.Get())) {
        Key column;
        OpenSub(list.Get(), name.c_str(), column);
        ColumnSpec spec;
        spec.name = name;
        DWORD type = 0, maxSize = 0, req = 0;
        const bool typed = ReadDword(column.Get(), L"CType", &type);
        ReadDword(column.Get(), L"MaxSize", &maxSize);
        if (keys)
            ReadDword(column.Get(), L"Req", &req);
        spec.type = type;
        spec.maxSize = maxSize;
        spec.key = req != 0;
        spec.kind = typed ? ValueKindOfType(type) : ValueKind::kUnsupported;
        if (spec.kind == ValueKind::kUnsupported)
            ThrowMergeErrorWith(IDS_MERGE_COLUMN_TYPE, name.c_str());
        columns.push_back(spec);
    }
    return columns;
}

void ReadFormat(HKEY parent, MergeSettings& settings)
{
    Key format;
    OpenSub(parent, L"FormatPatient", format);
    settings.formatString = ReadString(format.Get(), L"formatstring");
    for (const std::wstring& name : SubkeyNames(format.Get())) {
        Key entryKey;
        OpenSub(format.Get(), name.c_str(), entryKey);
        FormatEntry entry;
        entry.name = ReadString(entryKey.Get(), L"name");
        for (size_t i = 0; i < settings.patient.size(); ++i) {
            if (CompareStringW(gAppLocale.GetLcid(), NORM_IGNORECASE | SORT_STRINGSORT, entry.name.c_str(), -1,
                               settings.patient[i].name.c_str(), -1) == CSTR_EQUAL) {
                entry.column = (int)i;
                break;
            }
        }
        settings.format.push_back(entry);
    }
}

}  // namespace

MergeSettings ReadMergeSettings()
{
    MergeSettings settings;
    Key import;
    const LONG status = OpenSettingsKey(kImportKey, KEY_READ, false, import.Out());
    if (status != ERROR_SUCCESS)
        ThrowMergeError(IdOrText(0), (DWORD)status);
    settings.dbPath = ReadString(import.Get(), L"DBPath");
    while (!settings.dbPath.empty() && settings.dbPath.back() == L'\\')
        settings.dbPath.pop_back();

    settings.patient = ReadColumns(import.Get(), L"Patient", true);
    bool anyKey = false;
    for (const ColumnSpec& column : settings.patient)
        anyKey = anyKey || column.key;
    if (!anyKey)
        ThrowMergeError(IDS_MERGE_NO_KEY_COLUMN, 0);
    ReadFormat(import.Get(), settings);
    settings.snimok = ReadColumns(import.Get(), L"Snimok", false);
    return settings;
}

void ThrowMergeError(IdOrText text, DWORD error)
{
    std::wstring message;
    const std::wstring body = text.IsId() ? LoadText(text.Id()) : text.Text() ? std::wstring(text.Text())
                                                                              : std::wstring();
    wchar_t number[16];
    _snwprintf(number, 16, L"%lu", error);
    number[15] = 0;
    if (!body.empty() && error)
        message = body + L"\nError Win32(" + number + L")\n" + SystemText(error);
    else if (!body.empty())
        message = body;
    else if (error)
        message = std::wstring(L"Error Win32(") + number + L")\n" + SystemText(error);
    else
        message = L"Нет сообщений";
    throw MsgExcept(nullptr, 0, message.c_str(), (int)message.size());
}

void ThrowMergeErrorWith(UINT id, const wchar_t* insert)
{
    const std::wstring format = LoadText(id);
    const DWORD_PTR args[1] = {reinterpret_cast<DWORD_PTR>(insert ? insert : L"")};
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING |
                                       FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                   format.c_str(), 0, 0, reinterpret_cast<wchar_t*>(&text), 0,
                                   reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(args)));
    const std::wstring message = n && text ? std::wstring(text, n) : format;
    if (text)
        LocalFree(text);
    ThrowMergeError(message.c_str(), 0);
}

// The stand-in's settings: see config.h.
#include "tools/dicomsrv/config.h"

#include <algorithm>

namespace dicomsrv {

const wchar_t kSettingsKey[] = L"SOFTWARE\\DicomExportServer";

namespace {

class Key
{
public:
    explicit Key(const wchar_t* sub)
    {
        std::wstring path = kSettingsKey;
        if (sub && *sub)
            path += std::wstring(L"\\") + sub;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Key()
    {
        if (key_)
            RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY Get() const { return key_; }

    bool String(const wchar_t* name, std::wstring& out) const
    {
        if (!key_)
            return false;
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            return false;
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &size) != ERROR_SUCCESS)
            return false;
        text.resize(wcsnlen(text.c_str(), text.size()));
        out = text;
        return true;
    }

    bool Dword(const wchar_t* name, DWORD& out) const
    {
        if (!key_)
            return false;
        DWORD type = 0, size = sizeof out;
        return RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&out), &size) == ERROR_SUCCESS &&
               type == REG_DWORD;
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace

std::vector<Target> ReadTargets()
{
    std::vector<Target> targets;
    Key key(L"Targets");
    if (!key.Get())
        return targets;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameChars = 256, type = 0;
        const LONG status = RegEnumValueW(key.Get(), index, name, &nameChars, nullptr, &type, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || nameChars == 0)
            continue;
        Target target;
        target.name.assign(name, nameChars);
        key.String(target.name.c_str(), target.destination);
        targets.push_back(target);
    }
    std::sort(targets.begin(), targets.end(), [](const Target& a, const Target& b) { return a.name < b.name; });
    return targets;
}

std::wstring SpoolFolder()
{
    std::wstring folder;
    Key key(nullptr);
    if (!key.String(L"Spool", folder) || folder.empty()) {
        wchar_t temp[MAX_PATH];
        const DWORD n = GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp, n < MAX_PATH ? n : 0) + L"DicomExportServer";
    }
    if (folder.back() != L'\\')
        folder += L'\\';
    // Every missing folder of the path.
    for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos; at = folder.find(L'\\', at + 1))
        CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
    return folder;
}

Fault ReadFault(const wchar_t* member)
{
    Fault fault;
    Key key(L"Faults");
    if (!key.Get())
        return fault;
    DWORD hresult = 0;
    if (key.Dword((std::wstring(member) + L" HRESULT").c_str(), hresult))
        fault.hresult = (HRESULT)hresult;
    fault.hasText = key.String(member, fault.text);
    std::wstring kind;
    if (key.String((std::wstring(member) + L" Result").c_str(), kind))
        fault.resultType = kind == L"empty" ? VT_EMPTY : kind == L"number" ? VT_I4 : VT_BSTR;
    return fault;
}

}  // namespace dicomsrv

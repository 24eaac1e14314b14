#include "tools/demosite/sitedatabase.h"

#include "database/dberrors.h"
#include "database/dbsource.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "database/oledbinc.h"

#include <vector>

std::wstring SiteInitString(const std::wstring& databaseFile)
{
    return L"Provider=ZelkSQLite.1;Data Source=" + databaseFile;
}

std::wstring DatabaseText(const DODBErrors& errors)
{
    wchar_t text[1024] = {};
    errors.GetText(text, 1023);
    return text;
}

namespace {

// The provider makes a new database file through IDBDataSourceAdmin (it
// opens only files that are databases already); the file must not exist.
bool MakeEmptyDatabase(const std::wstring& databaseFile, std::wstring& error)
{
    IDataInitialize* service = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize,
                                  reinterpret_cast<void**>(&service));
    IUnknown* source = nullptr;
    if (SUCCEEDED(hr)) {
        std::wstring init = SiteInitString(databaseFile);
        hr = service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, &init[0], IID_IUnknown, &source);
        service->Release();
    }
    IDBDataSourceAdmin* admin = nullptr;
    if (SUCCEEDED(hr))
        hr = source->QueryInterface(IID_IDBDataSourceAdmin, reinterpret_cast<void**>(&admin));
    if (SUCCEEDED(hr)) {
        hr = admin->CreateDataSource(0, nullptr, nullptr, IID_NULL, nullptr);
        if (FAILED(hr))
            error = L"cannot create " + databaseFile + L" (it must not exist yet): " +
                    DatabaseText(DODBErrors(hr, TRUE));
        admin->Release();
    } else {
        wchar_t code[16];
        swprintf(code, 16, L"%08lX", static_cast<unsigned long>(hr));
        error = L"the database provider cannot create " + databaseFile + L" (" + code + L")";
    }
    if (source != nullptr)
        source->Release();
    return SUCCEEDED(hr);
}

}  // namespace

bool OpenSiteDatabase(const std::wstring& databaseFile, std::wstring& error)
{
    CloseSiteDatabase();
    g_DbSource = DODBSource::Create();
    if (!g_DbSource.IsSet()) {
        error = L"no memory for the data source";
        return false;
    }
    HRESULT hr = g_DbSource->OpenDataSource(SiteInitString(databaseFile).c_str());
    if (SUCCEEDED(hr))
        hr = g_DbSource->CreateSession(g_DbSession);
    if (FAILED(hr)) {
        error = L"cannot open " + databaseFile + L": " + DatabaseText(DODBErrors(hr, TRUE));
        CloseSiteDatabase();
        return false;
    }
    return true;
}

void CloseSiteDatabase()
{
    g_DbSession.Release();
    g_DbSource.Release();
}

std::vector<std::wstring> SplitSqlScript(const std::wstring& script)
{
    std::vector<std::wstring> out;
    std::wstring current;
    auto flush = [&]() {
        size_t first = current.find_first_not_of(L" \t\r\n");
        if (first != std::wstring::npos) {
            size_t last = current.find_last_not_of(L" \t\r\n");
            out.push_back(current.substr(first, last - first + 1));
        }
        current.clear();
    };
    const size_t n = script.size();
    for (size_t i = 0; i < n; ++i) {
        wchar_t c = script[i];
        if (c == L'-' && i + 1 < n && script[i + 1] == L'-') {
            while (i < n && script[i] != L'\n')
                ++i;
            current += L'\n';
            continue;
        }
        if (c == L'/' && i + 1 < n && script[i + 1] == L'*') {
            i += 2;
            while (i + 1 < n && !(script[i] == L'*' && script[i + 1] == L'/'))
                ++i;
            ++i;
            current += L' ';
            continue;
        }
        if (c == L'\'' || c == L'"' || c == L'[') {
            const wchar_t close = c == L'[' ? L']' : c;
            current += c;
            for (++i; i < n; ++i) {
                current += script[i];
                if (script[i] == close)
                    break;
            }
            continue;
        }
        if (c == L';') {
            flush();
            continue;
        }
        // A line holding only GO ends a batch in SQL Server's tools, as ';' does here.
        if ((c == L'G' || c == L'g') && (i == 0 || script[i - 1] == L'\n') && i + 1 < n &&
            (script[i + 1] == L'O' || script[i + 1] == L'o')) {
            size_t j = i + 2;
            while (j < n && (script[j] == L' ' || script[j] == L'\t' || script[j] == L'\r'))
                ++j;
            if (j == n || script[j] == L'\n') {
                flush();
                i = j;
                continue;
            }
        }
        current += c;
    }
    flush();
    return out;
}

bool RunSqlScript(const DODBPtr<DODBSession>& session, const std::wstring& script, std::wstring& error)
{
    for (const std::wstring& statement : SplitSqlScript(script)) {
        try {
            BoundStatement(session, statement.c_str()).Run();
        } catch (const DODBErrors& errors) {
            error = L"statement failed: " + statement + L"\n" + DatabaseText(errors);
            return false;
        }
    }
    return true;
}

bool RunSiteStatement(const wchar_t* sql, const DODBPtr<DODBBindParam>& params, std::wstring& error)
{
    try {
        BoundStatement statement(g_DbSession, sql);
        statement.UseParams(params);
        statement.Run();
        return true;
    } catch (const DODBErrors& errors) {
        error = std::wstring(L"statement failed: ") + sql + L"\n" + DatabaseText(errors);
        return false;
    }
}

bool ReadSiteKeys(const wchar_t* sql, std::vector<long>& keys, std::wstring& error)
{
    try {
        BoundStatement query(g_DbSession, sql);
        query.Execute();
        while (query.Next()) {
            LONG key = 0;
            RowInt(query.Row(), 0, &key);
            keys.push_back(key);
        }
    } catch (const DODBErrors& errors) {
        error = std::wstring(L"cannot read the keys (") + sql + L"): " + DatabaseText(errors);
        return false;
    }
    return true;
}

bool ReadScriptFile(const std::wstring& path, std::wstring& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, nullptr);
    std::vector<char> bytes(size == INVALID_FILE_SIZE ? 0 : size);
    DWORD done = 0;
    bool ok = size != INVALID_FILE_SIZE && (size == 0 || (ReadFile(file, bytes.data(), size, &done, nullptr) &&
                                                           done == size));
    CloseHandle(file);
    if (!ok)
        return false;
    if (size >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE) {
        text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (size - 2) / 2);
        return true;
    }
    size_t skip = size >= 3 && (unsigned char)bytes[0] == 0xEF && (unsigned char)bytes[1] == 0xBB &&
                          (unsigned char)bytes[2] == 0xBF
                      ? 3
                      : 0;
    int chars = MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, (int)(size - skip), nullptr, 0);
    text.assign(chars, L'\0');
    if (chars > 0)
        MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, (int)(size - skip), &text[0], chars);
    return true;
}

bool CreateSiteDatabase(const std::wstring& databaseFile, const std::wstring& schemaFile, std::wstring& error)
{
    std::wstring schema;
    if (!ReadScriptFile(schemaFile, schema)) {
        error = L"cannot read the schema " + schemaFile;
        return false;
    }
    if (!MakeEmptyDatabase(databaseFile, error))
        return false;
    if (!OpenSiteDatabase(databaseFile, error))
        return false;
    if (!RunSqlScript(g_DbSession, schema, error)) {
        CloseSiteDatabase();
        return false;
    }
    return true;
}

// Test harness of the provider: see harness.h.
#include "provider/harness.h"

#include "sqlite3.h"

#include <atomic>

namespace zt {

PostedError TakeError()
{
    PostedError out;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return out;
    out.present = true;
    Ptr<IErrorRecords> records;
    info->QueryInterface(IID_IErrorRecords, records.OutVoid());
    info->Release();
    if (!records)
        return out;
    records->GetRecordCount(&out.records);
    for (ULONG i = 0; i < out.records; ++i) {
        std::wstring state;
        LONG native = 0;
        Ptr<IUnknown> custom;
        if (SUCCEEDED(records->GetCustomErrorObject(i, IID_ISQLErrorInfo, custom.Out())) && custom) {
            Ptr<ISQLErrorInfo> sql = custom.As<ISQLErrorInfo>(IID_ISQLErrorInfo);
            BSTR text = nullptr;
            if (sql && SUCCEEDED(sql->GetSQLInfo(&text, &native)) && text) {
                state = text;
                SysFreeString(text);
            }
        }
        out.allStates.push_back(state);
        if (i == 0) {
            out.sqlState = state;
            out.nativeError = native;
            ERRORINFO basic = {};
            if (SUCCEEDED(records->GetBasicErrorInfo(0, &basic)))
                out.recordResult = basic.hrError;
            Ptr<IErrorInfo> first;
            if (SUCCEEDED(records->GetErrorInfo(0, GetUserDefaultLCID(), first.Out())) && first) {
                BSTR text = nullptr;
                if (SUCCEEDED(first->GetDescription(&text)) && text) {
                    out.description = text;
                    SysFreeString(text);
                }
            }
        }
    }
    return out;
}

void ProviderTest::SetUp()
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[MAX_PATH];
    _snwprintf(name, MAX_PATH - 1, L"%lszelk_%lu_%lu_%d", temp, GetCurrentProcessId(), GetTickCount(), ++counter);
    name[MAX_PATH - 1] = 0;
    folder_ = name;
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
}

void ProviderTest::TearDown()
{
    session_.Reset();
    source_.Reset();
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder_ + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder_ + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder_.c_str());
    CoUninitialize();
}

void ProviderTest::MakeDatabase(const char* sql)
{
    sqlite3* db = nullptr;
    char path[MAX_PATH * 3];
    WideCharToMultiByte(CP_UTF8, 0, DbPath().c_str(), -1, path, sizeof(path), nullptr, nullptr);
    ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(path, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr));
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    EXPECT_EQ(SQLITE_OK, rc) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

std::wstring ProviderTest::InitString() const
{
    return L"Provider=ZelkSQLite.1;Data Source=" + DbPath() + L";Initial Catalog=Zelk\r\n";
}

HRESULT ProviderTest::OpenSource(const std::wstring& init, Ptr<IDBInitialize>& source)
{
    Ptr<IDataInitialize> service;
    HRESULT hr = CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize,
                                  service.OutVoid());
    if (FAILED(hr))
        return hr;
    std::wstring copy = init;
    hr = service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, &copy[0], IID_IDBInitialize, source.OutUnknown());
    if (FAILED(hr))
        return hr;
    return source->Initialize();
}

HRESULT ProviderTest::CreateSource(const std::wstring& init, Ptr<IDBInitialize>& source)
{
    Ptr<IDataInitialize> service;
    HRESULT hr = CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize,
                                  service.OutVoid());
    if (FAILED(hr))
        return hr;
    std::wstring copy = init;
    hr = service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, &copy[0], IID_IDBInitialize, source.OutUnknown());
    if (FAILED(hr))
        return hr;
    Ptr<IDBDataSourceAdmin> admin = source.As<IDBDataSourceAdmin>(IID_IDBDataSourceAdmin);
    if (!admin)
        return E_NOINTERFACE;
    return admin->CreateDataSource(0, nullptr, nullptr, IID_NULL, nullptr);
}

Ptr<IDBCreateCommand> ProviderTest::OpenSession()
{
    HRESULT hr = OpenSource(InitString(), source_);
    EXPECT_EQ(S_OK, hr);
    session_ = NewSession();
    return session_;
}

Ptr<IDBCreateCommand> ProviderTest::NewSession()
{
    Ptr<IDBCreateCommand> session;
    Ptr<IDBCreateSession> factory = source_.As<IDBCreateSession>(IID_IDBCreateSession);
    EXPECT_TRUE(factory);
    if (factory) {
        EXPECT_EQ(S_OK, factory->CreateSession(nullptr, IID_IDBCreateCommand, session.OutUnknown()));
    }
    return session;
}

Ptr<ICommandText> ProviderTest::NewCommand(IDBCreateCommand* session, const wchar_t* sql)
{
    Ptr<ICommandText> command;
    EXPECT_EQ(S_OK, session->CreateCommand(nullptr, IID_ICommandText, command.OutUnknown()));
    if (command && sql) {
        EXPECT_EQ(S_OK, command->SetCommandText(DBGUID_DEFAULT, sql));
    }
    return command;
}

HRESULT ProviderTest::Run(IDBCreateCommand* session, const wchar_t* sql, DBROWCOUNT* affected)
{
    Ptr<ICommandText> command = NewCommand(session, sql);
    if (!command)
        return E_FAIL;
    DBROWCOUNT count = 0;
    HRESULT hr = command->Execute(nullptr, IID_NULL, nullptr, &count, nullptr);
    if (affected)
        *affected = count;
    return hr;
}

std::vector<Row> ProviderTest::Query(IDBCreateCommand* session, const wchar_t* sql)
{
    Ptr<ICommandText> command = NewCommand(session, sql);
    Ptr<IRowset> rowset;
    HRESULT hr = command->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown());
    EXPECT_EQ(S_OK, hr) << "query failed";
    if (FAILED(hr) || !rowset)
        return {};
    return ReadAll(rowset.Get());
}

std::vector<Row> ProviderTest::ReadAll(IRowset* rowset)
{
    std::vector<Row> rows;
    Ptr<IColumnsInfo> info;
    rowset->QueryInterface(IID_IColumnsInfo, info.OutVoid());
    DBORDINAL count = 0;
    DBCOLUMNINFO* columns = nullptr;
    OLECHAR* strings = nullptr;
    EXPECT_EQ(S_OK, info->GetColumnInfo(&count, &columns, &strings));
    Buffer buffer;
    for (DBORDINAL c = 1; c <= count; ++c)
        buffer.Add(c, DBTYPE_WSTR, 2048, true, true);
    buffer.Layout();
    CoTaskMemFree(columns);
    CoTaskMemFree(strings);
    Ptr<IAccessor> accessors;
    rowset->QueryInterface(IID_IAccessor, accessors.OutVoid());
    HACCESSOR accessor = buffer.MakeAccessor(rowset, DBACCESSOR_ROWDATA);
    for (;;) {
        DBCOUNTITEM obtained = 0;
        HROW row = 0;
        HROW* rowsOut = &row;
        HRESULT hr = rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rowsOut);
        if (obtained == 0) {
            EXPECT_EQ(DB_S_ENDOFROWSET, hr);
            break;
        }
        EXPECT_EQ(S_OK, rowset->GetData(row, accessor, buffer.Data()));
        Row values;
        for (size_t c = 0; c < count; ++c)
            values.push_back(buffer.Status(c) == DBSTATUS_S_ISNULL ? std::wstring(L"<null>")
                                                                    : std::wstring(buffer.Text(c)));
        rows.push_back(values);
        rowset->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
    }
    accessors->ReleaseAccessor(accessor, nullptr);
    return rows;
}

size_t Buffer::Add(DBORDINAL ordinal, DBTYPE type, DBLENGTH maxLen, bool withLength, bool withStatus)
{
    DBBINDING b = {};
    b.iOrdinal = ordinal;
    b.wType = type;
    b.cbMaxLen = maxLen;
    b.dwPart = DBPART_VALUE | (withLength ? DBPART_LENGTH : 0) | (withStatus ? DBPART_STATUS : 0);
    b.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
    b.eParamIO = DBPARAMIO_INPUT;
    bindings_.push_back(b);
    return bindings_.size() - 1;
}

void Buffer::Layout()
{
    size_t offset = 0;
    for (DBBINDING& b : bindings_) {
        offset = (offset + 7) & ~size_t(7);
        b.obStatus = offset;
        b.obLength = offset + 4;
        b.obValue = offset + 8;
        offset += 8 + ((b.cbMaxLen + 7) & ~size_t(7));
    }
    data_.assign(offset + 8, 0);
}

void Buffer::SetText(size_t i, const wchar_t* text)
{
    size_t bytes = wcslen(text) * sizeof(wchar_t);
    if (bindings_[i].wType & DBTYPE_BYREF) {
        const wchar_t* p = text;
        memcpy(Value(i), &p, sizeof(p));
    } else {
        memcpy(Value(i), text, bytes + sizeof(wchar_t));
    }
    if (bindings_[i].dwPart & DBPART_LENGTH)
        SetLength(i, bytes);
    SetStatus(i, DBSTATUS_S_OK);
}

HACCESSOR Buffer::MakeAccessor(IUnknown* owner, DBACCESSORFLAGS flags)
{
    Ptr<IAccessor> accessor;
    owner->QueryInterface(IID_IAccessor, accessor.OutVoid());
    HACCESSOR handle = DB_NULL_HACCESSOR;
    std::vector<DBBINDSTATUS> status(bindings_.size());
    EXPECT_EQ(S_OK, accessor->CreateAccessor(flags, bindings_.size(), bindings_.data(), 52, &handle, status.data()));
    return handle;
}

HRESULT ExecuteWith(ICommandText* command, Buffer& params, DBROWCOUNT* affected, REFIID riid, IUnknown** rowset)
{
    HACCESSOR accessor = params.MakeAccessor(command, DBACCESSOR_PARAMETERDATA);
    DBPARAMS p = {params.Data(), 1, accessor};
    HRESULT hr = command->Execute(nullptr, riid, &p, affected, rowset);
    // The error object must survive the accessor's release, which clears it.
    IErrorInfo* info = nullptr;
    GetErrorInfo(0, &info);
    Ptr<IAccessor> accessors;
    command->QueryInterface(IID_IAccessor, accessors.OutVoid());
    accessors->ReleaseAccessor(accessor, nullptr);
    SetErrorInfo(0, info);
    if (info)
        info->Release();
    return hr;
}

FILETIME MakeFileTime(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s, WORD ms)
{
    SYSTEMTIME st = {};
    st.wYear = y;
    st.wMonth = mo;
    st.wDay = d;
    st.wHour = h;
    st.wMinute = mi;
    st.wSecond = s;
    st.wMilliseconds = ms;
    FILETIME ft = {};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

}  // namespace zt

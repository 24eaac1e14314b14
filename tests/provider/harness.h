// Test harness of the provider: drives the registered DLL through Wine's
// data initialisation service only, as the database layer does, with a
// database file made in a folder of its own per test.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oledb.h>
#include <oledberr.h>
#include <msdasc.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zt {

// One owned COM reference.
template <class T>
class Ptr {
public:
    Ptr() = default;
    Ptr(const Ptr& o) : p_(o.p_) { if (p_) p_->AddRef(); }
    Ptr& operator=(const Ptr& o)
    {
        if (o.p_)
            o.p_->AddRef();
        Reset();
        p_ = o.p_;
        return *this;
    }
    ~Ptr() { Reset(); }
    void Reset()
    {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }
    T** Out()
    {
        Reset();
        return &p_;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    IUnknown** OutUnknown() { return reinterpret_cast<IUnknown**>(Out()); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    template <class U>
    Ptr<U> As(REFIID iid) const
    {
        Ptr<U> out;
        if (p_)
            p_->QueryInterface(iid, out.OutVoid());
        return out;
    }

private:
    T* p_ = nullptr;
};

// The thread's error object, read the way the database layer reads it.
struct PostedError {
    bool present = false;
    ULONG records = 0;
    std::wstring sqlState;  // of the first record
    LONG nativeError = 0;
    std::wstring description;
    HRESULT recordResult = S_OK;
    std::vector<std::wstring> allStates;
};
PostedError TakeError();

// A value read from a rowset: text form, or "<null>".
using Row = std::vector<std::wstring>;

// The fixture: COM in the multithreaded apartment, a fresh folder, a database
// file made with the SQLite C API from `schema`, and helpers to use it.
class ProviderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the database file with `sql` run by the SQLite C API.
    void MakeDatabase(const char* sql);
    std::wstring DbPath() const { return folder_ + L"\\test.db"; }
    std::wstring Folder() const { return folder_; }

    // Opens a data source through IDataInitialize on `init`; returns its IDBInitialize after Initialize.
    HRESULT OpenSource(const std::wstring& init, Ptr<IDBInitialize>& source);
    // The same data source made on a new, empty database file through
    // IDBDataSourceAdmin::CreateDataSource, the way to make a database.
    HRESULT CreateSource(const std::wstring& init, Ptr<IDBInitialize>& source);
    // The usual string for this test's database.
    std::wstring InitString() const;
    // Data source and one session (as IDBCreateCommand), ready.
    Ptr<IDBCreateCommand> OpenSession();
    Ptr<IDBCreateCommand> NewSession();  // another session on the same data source

    // Runs `sql` without parameters; returns the HRESULT and the rows affected.
    HRESULT Run(IDBCreateCommand* session, const wchar_t* sql, DBROWCOUNT* affected = nullptr);
    // Runs a query and reads every row as text through WSTR bindings.
    std::vector<Row> Query(IDBCreateCommand* session, const wchar_t* sql);
    // Reads every remaining row of a rowset as text.
    static std::vector<Row> ReadAll(IRowset* rowset);
    Ptr<ICommandText> NewCommand(IDBCreateCommand* session, const wchar_t* sql);

    Ptr<IDBInitialize> source_;
    Ptr<IDBCreateCommand> session_;

private:
    std::wstring folder_;
};

// A parameter or row buffer laid out from a list of bindings, as the
// database layer lays out its blocks: status, length, value.
class Buffer {
public:
    // Adds a binding; returns its index. `maxLen` counts bytes of the value.
    size_t Add(DBORDINAL ordinal, DBTYPE type, DBLENGTH maxLen, bool withLength = false, bool withStatus = true);
    void Layout();
    BYTE* Data() { return data_.data(); }
    const std::vector<DBBINDING>& Bindings() const { return bindings_; }
    template <class T>
    void Set(size_t i, const T& value)
    {
        memcpy(Value(i), &value, sizeof(T));
        SetStatus(i, DBSTATUS_S_OK);
    }
    void SetText(size_t i, const wchar_t* text);  // copies text and its length in bytes
    void SetStatus(size_t i, DBSTATUS status) { memcpy(data_.data() + bindings_[i].obStatus, &status, 4); }
    void SetLength(size_t i, DBLENGTH length) { memcpy(data_.data() + bindings_[i].obLength, &length, 4); }
    DBSTATUS Status(size_t i) const
    {
        DBSTATUS s;
        memcpy(&s, data_.data() + bindings_[i].obStatus, 4);
        return s;
    }
    DBLENGTH Length(size_t i) const
    {
        DBLENGTH l;
        memcpy(&l, data_.data() + bindings_[i].obLength, 4);
        return l;
    }
    BYTE* Value(size_t i) { return data_.data() + bindings_[i].obValue; }
    template <class T>
    T Get(size_t i)
    {
        T v;
        memcpy(&v, Value(i), sizeof(T));
        return v;
    }
    const wchar_t* Text(size_t i) { return reinterpret_cast<const wchar_t*>(Value(i)); }
    HACCESSOR MakeAccessor(IUnknown* owner, DBACCESSORFLAGS flags);

private:
    std::vector<DBBINDING> bindings_;
    std::vector<BYTE> data_;
};

// Executes a command with a parameter accessor over `params`.
HRESULT ExecuteWith(ICommandText* command, Buffer& params, DBROWCOUNT* affected, REFIID riid, IUnknown** rowset);

FILETIME MakeFileTime(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s, WORD ms = 0);

}  // namespace zt

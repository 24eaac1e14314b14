#include "database/dbsource.h"

#include "database/dberrors.h"
#include "database/dbinterface.h"
#include "database/dbrowset.h"
#include "database/dbsession.h"
#include "resources/strings.h"

namespace {

// The data initialization service; null (and the record posted) when it
// cannot be created.
IDataInitialize* CreateService(const wchar_t* source, HRESULT* result)
{
    IDataInitialize* service = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize,
                                  reinterpret_cast<void**>(&service));
    if (hr != S_OK || service == nullptr) {
        if (service != nullptr)
            service->Release();
        *result = FAILED(hr) ? hr : E_FAIL;
        DODBAddError(*result, IDS_DB_DATA_INITIALIZE, source);
        return nullptr;
    }
    *result = S_OK;
    return service;
}

}  // namespace

DODBSource::DODBSource() : createSession(nullptr), properties(nullptr) {}

DODBSource::~DODBSource()
{
    ReleaseAll();
}

void DODBSource::ReleaseAll()
{
    ReleaseInterface(createSession);
    ReleaseInterface(properties);
}

DODBPtr<DODBSource> DODBSource::Create()
{
    DODBPtr<DODBSource> source;
    source.CreateNew();
    return source;
}

HRESULT DODBSource::OpenSteps(const wchar_t* initString)
{
    static const wchar_t kSource[] = L"DODBSource::OpenDataSource";
    HRESULT hr = S_OK;
    IDataInitialize* service = CreateService(kSource, &hr);
    if (service == nullptr)
        return hr;
    IDBInitialize* initialize = nullptr;
    hr = service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, const_cast<LPWSTR>(initString), IID_IDBInitialize,
                                reinterpret_cast<IUnknown**>(&initialize));
    if (FAILED(hr) || initialize == nullptr) {
        if (SUCCEEDED(hr))
            hr = E_FAIL;
        DODBAddError(hr, IDS_DB_DATA_INITIALIZE, kSource);
    } else {
        hr = initialize->Initialize();
        if (FAILED(hr)) {
            DODBAddError(hr, IDS_DB_SOURCE_INITIALIZE, kSource);
        } else {
            hr = initialize->QueryInterface(IID_IDBCreateSession, reinterpret_cast<void**>(&createSession));
            if (FAILED(hr)) {
                createSession = nullptr;
                DODBAddError(hr, IDS_DB_CREATE_SESSION_INTERFACE, kSource);
            } else {
                hr = initialize->QueryInterface(IID_IDBProperties, reinterpret_cast<void**>(&properties));
                if (FAILED(hr)) {
                    properties = nullptr;
                    DODBAddError(hr, IDS_DB_PROPERTIES_INTERFACE, kSource);
                }
            }
        }
    }
    if (initialize != nullptr)
        initialize->Release();
    service->Release();
    return hr;
}

HRESULT DODBSource::OpenDataSource(const wchar_t* initString)
{
    DODBClearError();
    ReleaseAll();
    HRESULT hr;
    try {
        hr = OpenSteps(initString);
    } catch (...) {
        hr = E_FAIL;
    }
    if (FAILED(hr))
        ReleaseAll();
    return hr;
}

HRESULT DODBSource::CreateSession(DODBPtr<DODBSession>& session)
{
    static const wchar_t kSource[] = L"DODBSource::CreateSession";
    DODBClearError();
    if (createSession == nullptr) {
        DODBSetError(E_FAIL, IDS_DB_CREATE_SESSION, kSource);
        return E_FAIL;
    }
    IDBCreateCommand* made = nullptr;
    HRESULT hr = createSession->CreateSession(nullptr, IID_IDBCreateCommand, reinterpret_cast<IUnknown**>(&made));
    if (FAILED(hr) || made == nullptr) {
        if (SUCCEEDED(hr))
            hr = E_FAIL;
        DODBAddError(hr, IDS_DB_CREATE_SESSION, kSource);
        return hr;
    }
    return WrapNew(made, session, E_FAIL, IDS_DB_CREATE_SESSION_OBJECT, kSource) ? S_OK : E_FAIL;
}

HRESULT DODBSource::GetProperties(ULONG idSetCount, const DBPROPIDSET* idSets, ULONG* setCount, DBPROPSET** sets)
{
    static const wchar_t kSource[] = L"DODBSource::GetProperties";
    DODBClearError();
    if (properties == nullptr) {
        DODBSetError(E_FAIL, IDS_DB_PROPERTIES_INTERFACE, kSource);
        return E_FAIL;
    }
    HRESULT hr = properties->GetProperties(idSetCount, idSets, setCount, sets);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_PROPERTIES_INTERFACE, kSource);
    return hr;
}

HRESULT DODBSource::DumpProperties()
{
    ULONG n = 0;
    DBPROPSET* sets = nullptr;
    HRESULT hr = GetProperties(0, nullptr, &n, &sets);
    if (FAILED(hr))
        return hr;
    hr = DumpPropertySets(L"SourceProps.txt", n, sets);
    DODBFreePropertySets(n, sets);
    return hr;
}

HRESULT DODBSource::CreateConnectionString(const wchar_t* fileName)
{
    static const wchar_t kSource[] = L"DODBSource::CreateConnectionString";
    DODBClearError();
    IDBPromptInitialize* prompt = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_DataLinks, nullptr, CLSCTX_INPROC_SERVER, IID_IDBPromptInitialize,
                                  reinterpret_cast<void**>(&prompt));
    if (FAILED(hr) || prompt == nullptr) {
        DODBAddError(FAILED(hr) ? hr : E_FAIL, IDS_DB_PROMPT_INITIALIZE, kSource);
        return FAILED(hr) ? hr : E_FAIL;
    }
    IDBInitialize* initialize = nullptr;
    hr = prompt->PromptDataSource(nullptr, GetDesktopWindow(), DBPROMPTOPTIONS_PROPERTYSHEET, 0, nullptr, nullptr,
                                  IID_IDBInitialize, reinterpret_cast<IUnknown**>(&initialize));
    prompt->Release();
    if (FAILED(hr) || initialize == nullptr) {
        if (SUCCEEDED(hr))
            hr = E_FAIL;
        DODBAddError(hr, IDS_DB_GET_INITIALIZE, kSource);
        return hr;
    }
    IDataInitialize* service = CreateService(kSource, &hr);
    if (service == nullptr) {
        initialize->Release();
        return hr;
    }
    LPOLESTR text = nullptr;
    hr = service->GetInitializationString(initialize, TRUE, &text);
    if (FAILED(hr)) {
        DODBAddError(hr, IDS_DB_GET_INIT_STRING, kSource);
    } else {
        hr = service->WriteStringToStorage(const_cast<LPWSTR>(fileName), text, CREATE_ALWAYS);
        if (FAILED(hr))
            DODBAddError(hr, IDS_DB_WRITE_INIT_STRING, kSource);
    }
    CoTaskMemFree(text);
    service->Release();
    initialize->Release();
    return hr;
}

HRESULT DODBSource::OpenDataSourceFromFile(const wchar_t* fileName)
{
    static const wchar_t kSource[] = L"DODBSource::OpenDataSourceFromFile";
    DODBClearError();
    HRESULT hr = S_OK;
    IDataInitialize* service = CreateService(kSource, &hr);
    if (service == nullptr)
        return hr;
    LPWSTR text = nullptr;
    hr = service->LoadStringFromStorage(const_cast<LPWSTR>(fileName), &text);
    service->Release();
    if (FAILED(hr)) {
        DODBAddError(hr, IDS_DB_READ_INIT_STRING, kSource);
        return hr;
    }
    hr = OpenDataSource(text);
    CoTaskMemFree(text);
    return hr;
}

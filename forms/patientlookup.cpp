#include "forms/patientlookup.h"

#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "forms/dbformdesc.h"
#include "forms/sqltext.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "foundation/prompt.h"
#include "foundation/strbuf.h"
#include "resources/strings.h"

#include <string.h>

PatientLookup gPatientLookup;

// The fetched row, as the layer bound it.
class PatientLookup::Row {
public:
    explicit Row(DODBParams* block) : block_(block) {}
    // The text of a column whose status is OK, else null.
    const wchar_t* Text(ULONG index, int* length) const
    {
        if (!block_->IsOk(index) || block_->GetWType(index) != DBTYPE_WSTR)
            return nullptr;
        *length = static_cast<int>(block_->GetLength(index) / sizeof(wchar_t));
        return static_cast<const wchar_t*>(block_->GetValuePtr(index));
    }
    const FILETIME* Date(ULONG index) const
    {
        if (!block_->IsOk(index) || block_->GetWType(index) != DBTYPE_FILETIME)
            return nullptr;
        return static_cast<const FILETIME*>(block_->GetValuePtr(index));
    }

private:
    DODBParams* block_;
};

PatientLookup::PatientLookup() : listener_(nullptr), key_(0), request_(0), sql_(nullptr)
{
}

PatientLookup::~PatientLookup()
{
    listener_ = nullptr;
    request_ = 0;
    Free();
}

DWORD PatientLookup::GetIds(DWORD* key) const
{
    *key = key_;
    return request_;
}

void PatientLookup::Free()
{
    if (sql_ != nullptr)
        HeapFree(GetProcessHeap(), 0, sql_);
    sql_ = nullptr;
}

int PatientLookup::BuildSql(const DbFormDesc& form)
{
    Free();
    SqlText sql;
    sql << L"SELECT Name1, Name2, Name3, Birthday" << L" FROM " << form.Table() << L" WHERE " << form.Key() << L"=?;";
    if (!sql.Ok())
        return 0;
    const size_t bytes = (sql.Length() + 1) * sizeof(wchar_t);
    sql_ = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (sql_ == nullptr)
        return 0;
    memcpy(sql_, sql.c_str(), bytes);
    return 1;
}

int PatientLookup::Run(DWORD key, DWORD request)
{
    key_ = key;
    request_ = request;
    return RunGuarded();
}

int PatientLookup::RunGuarded()
{
    try {
        Query();
        return 1;
    } catch (const DODBErrors& e) {
        if (listener_ != nullptr) {
            const int length = e.GetText(nullptr, 0);
            wchar_t* text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
            if (text != nullptr) {
                const int n = e.GetText(text, length);
                listener_->OnLookupError(text, n);
                HeapFree(GetProcessHeap(), 0, text);
            } else {
                wchar_t error[64] = L"";
                const int n = LoadStringW(hInstance, IDS_ERROR, error, 64);
                listener_->OnLookupError(error, n);
            }
        }
        return 0;
    }
}

void PatientLookup::Query()
{
    if (request_ == 0) {
        if (listener_ != nullptr)
            listener_->OnCurrentPatient(nullptr, 0, key_, 0);
        return;
    }
    if (sql_ == nullptr)
        return;
    BoundStatement query(g_DbSession, sql_, BoundStatement::kPrepared);
    if (!query.Params().SetValI4(1, static_cast<LONG>(key_)))
        ThrowDatabaseError();
    if (!query.First()) {
        wchar_t notFound[128] = L"";
        LoadStringW(hInstance, IDS_PATIENT_NOT_FOUND, notFound, 128);
        ShowPrompt(nullptr, notFound, nullptr, MB_OK);
        // Nothing was fetched: the patient is gone, and no text is made up.
        request_ = 0;
        if (listener_ != nullptr)
            listener_->OnCurrentPatient(L"", 0, key_, 0);
        return;
    }
    Deliver(Row(query.Row()));
}

void PatientLookup::Deliver(const Row& row)
{
    if (listener_ == nullptr)
        return;
    wchar_t storage[2048];
    DStrBuf text(storage, 2048);
    text.Clear();
    for (ULONG i = 0; i < 3; ++i) {
        int length = 0;
        const wchar_t* part = row.Text(i, &length);
        if (part != nullptr)
            text.AppendN(part, length);
        text.Append(L" ");
    }
    const FILETIME* birthday = row.Date(3);
    if (birthday != nullptr)
        text.AppendTime(DatePicture, *birthday);
    listener_->OnCurrentPatient(text.GetString(), text.Length(), key_, request_);
}

// Pieces the database-backed fixtures of several test folders share: running
// a setup statement on the process session, reading a value back (the folders
// and drives of common/test_files.h come with it).
#pragma once

#include "database/dbcommand.h"
#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbsession.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"

#include "common/test_files.h"

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace testfix {

// The tests give their rows known keys: an INSERT that names the table's own
// key column ("INSERT INTO T (T, ...") runs with IDENTITY_INSERT on for T, as
// SQL Server wants for explicit identity values.
inline std::wstring ExplicitKeyTable(const std::wstring& sql)
{
    const std::wstring head = L"INSERT INTO ";
    if (sql.compare(0, head.size(), head) != 0)
        return std::wstring();
    size_t open = sql.find(L" (", head.size());
    if (open == std::wstring::npos)
        return std::wstring();
    std::wstring table = sql.substr(head.size(), open - head.size());
    return sql.compare(open + 2, table.size() + 1, table + L",") == 0 ? table : std::wstring();
}

// Runs a setup statement on the process session; a failure fails the test
// with the provider's text.
inline void ExecSetupSql(const std::wstring& sql)
{
    const std::wstring keyed = ExplicitKeyTable(sql);
    if (!keyed.empty())
        g_DbSession->ExecSql((L"SET IDENTITY_INSERT " + keyed + L" ON").c_str(), nullptr, nullptr, nullptr, nullptr);
    HRESULT hr = g_DbSession->ExecSql(sql.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (!keyed.empty())
        g_DbSession->ExecSql((L"SET IDENTITY_INSERT " + keyed + L" OFF").c_str(), nullptr, nullptr, nullptr, nullptr);
    if (FAILED(hr)) {
        DODBErrors errors(hr, TRUE);
        wchar_t text[1024] = {};
        errors.GetText(text, 1023);
        ADD_FAILURE() << "statement failed: " << std::string(sql.begin(), sql.end()) << " "
                      << std::string(text, text + wcslen(text));
    }
}

// The first column of the first row of a query on the process session, as
// text: "<error>", "<none>" or "<null>" when there is no value, "<type n>"
// for a column type it does not print.
inline std::wstring ScalarSql(const std::wstring& sql)
{
    DODBPtr<DODBCommand> command;
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    if (!g_DbSession->CreateCommand(command) || FAILED(command->SetCmdText(sql.c_str())) ||
        !command->Execute(rowset, &row, nullptr, nullptr)) {
        ADD_FAILURE() << "query failed: " << std::string(sql.begin(), sql.end());
        return L"<error>";
    }
    if (!rowset->GetNextData(row.Get()))
        return L"<none>";
    if (row->IsNull(0))
        return L"<null>";
    void* value = row->GetValuePtr(0);
    switch (row->GetWType(0)) {
    case DBTYPE_WSTR: {
        std::wstring text(70000, L'\0');
        const int n = row->GetStr(0, &text[0], 70000);
        text.resize(n > 0 ? n : 0);
        return text;
    }
    case DBTYPE_I4:
        return std::to_wstring(*static_cast<LONG*>(value));
    case DBTYPE_I8:
        return std::to_wstring(*static_cast<LONGLONG*>(value));
    case DBTYPE_I2:
        return std::to_wstring(*static_cast<SHORT*>(value));
    case DBTYPE_UI1:
        return std::to_wstring(*static_cast<BYTE*>(value));
    case DBTYPE_R4:
        return std::to_wstring(*static_cast<float*>(value));
    case DBTYPE_R8:
        return std::to_wstring(*static_cast<double*>(value));
    default:
        return L"<type " + std::to_wstring(row->GetWType(0)) + L">";
    }
}

// Every row of a query on the process session, its columns joined by "|":
// NULL for a null, integers and dates (the FILETIME as one number) in
// decimal, texts without their trailing blanks.
inline std::vector<std::wstring> RowsSql(const std::wstring& sql)
{
    std::vector<std::wstring> rows;
    DODBPtr<DODBCommand> command;
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    if (!g_DbSession->CreateCommand(command) || FAILED(command->SetCmdText(sql.c_str())) ||
        !command->Execute(rowset, &row, nullptr, nullptr)) {
        ADD_FAILURE() << "query failed: " << std::string(sql.begin(), sql.end());
        return rows;
    }
    while (rowset->GetNextData(row.Get())) {
        std::wstring line;
        for (ULONG c = 0; c < row->GetCount(); ++c) {
            LONG n = 0;
            wchar_t text[1100] = {};
            FILETIME date;
            if (c)
                line += L"|";
            if (row->IsNull(c))
                line += L"NULL";
            else if (RowInt(row.Get(), c, &n))
                line += std::to_wstring(n);
            else if (RowDate(row.Get(), c, &date))
                line += std::to_wstring((static_cast<ULONGLONG>(date.dwHighDateTime) << 32) | date.dwLowDateTime);
            else if (RowText(row.Get(), c, text, 1100) >= 0) {
                std::wstring t = text;
                while (!t.empty() && t.back() == L' ')
                    t.pop_back();
                line += t;
            }
        }
        rows.push_back(line);
    }
    return rows;
}

}  // namespace testfix

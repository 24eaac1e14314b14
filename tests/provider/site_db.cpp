// The site database fixture: see site_db.h.
#include "provider/site_db.h"

namespace zt {

P I4(int v)
{
    P p;
    p.type = DBTYPE_I4;
    p.integer = v;
    return p;
}

P UI4(unsigned v)
{
    P p;
    p.type = DBTYPE_UI4;
    p.integer = v;
    return p;
}

P R4(float v)
{
    P p;
    p.type = DBTYPE_R4;
    p.real = v;
    return p;
}

P W(const wchar_t* text)
{
    P p;
    p.type = DBTYPE_WSTR;
    p.text = text;
    return p;
}

P FT(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s)
{
    P p;
    p.type = DBTYPE_FILETIME;
    p.time = MakeFileTime(y, mo, d, h, mi, s);
    return p;
}

P Null(DBTYPE type)
{
    P p;
    p.type = type;
    p.null = true;
    return p;
}

std::vector<std::wstring> SchemaStatements()
{
    std::string bytes;
    HANDLE f = CreateFileW((std::wstring(TF_SITE_DIR) + L"schema.sql").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, f);
    if (f != INVALID_HANDLE_VALUE) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(f, buffer, sizeof(buffer), &read, nullptr) && read > 0)
            bytes.append(buffer, read);
        CloseHandle(f);
    }
    std::wstring text(bytes.size(), L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                                static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);

    std::vector<std::wstring> statements;
    std::wstring current;
    bool hasCode = false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == L'\r' || line.back() == L' ' || line.back() == L'\t'))
            line.pop_back();
        std::wstring trimmed = line.substr(std::min(line.find_first_not_of(L" \t"), line.size()));
        if (trimmed == L"GO" || trimmed == L"go") {
            if (hasCode)
                statements.push_back(current);
            current.clear();
            hasCode = false;
        } else {
            current += line + L"\n";
            hasCode = hasCode || (!trimmed.empty() && trimmed.compare(0, 2, L"--") != 0);
        }
        start = end + 1;
    }
    if (hasCode)
        statements.push_back(current);
    return statements;
}

void SiteTest::SetUp()
{
    ProviderTest::SetUp();
    ASSERT_EQ(S_OK, CreateSource(InitString(), source_));
    session_ = NewSession();
    ASSERT_TRUE(session_);
    for (const std::wstring& statement : SchemaStatements()) {
        Result r = Exec(statement.c_str());
        ASSERT_EQ(S_OK, r.hr) << testing::PrintToString(statement) << testing::PrintToString(r.error.description);
    }
    // A few realistic rows: keys given explicitly so that the tests can name them.
    const wchar_t* rows[] = {
        L"SET IDENTITY_INSERT Patient ON",
        L"INSERT INTO Patient (Patient, Name1, Name2, Name3, Birthday, Pol) VALUES "
        L"(1, N'Иванов', N'Иван', N'Иванович', '1950-03-15 00:00:00.000', 1)",
        L"INSERT INTO Patient (Patient, Name1, Name2, Name3, Birthday, Pol) VALUES "
        L"(2, N'Петрова', N'Анна', N'Сергеевна', '1962-07-01 00:00:00.000', 2)",
        L"INSERT INTO Patient (Patient, Name1, Name2, Name3, Birthday, Pol) VALUES "
        L"(3, N'Ёлкин', N'Пётр', NULL, '1971-12-31 00:00:00.000', 1)",
        L"INSERT INTO Patient (Patient, Name1, Name2, Name3, Birthday, Pol) VALUES "
        L"(4, 'Smith', 'John', NULL, '1980-01-01 00:00:00.000', 1)",
        L"SET IDENTITY_INSERT Patient OFF",
        L"INSERT INTO Arj (Arj, Name) VALUES (305419896, 'MO_0001')",
        L"INSERT INTO Arj (Arj, Name) VALUES (-1, 'MO_FFFF')",
        L"SET IDENTITY_INSERT DiagHelp ON",
        L"INSERT INTO DiagHelp (DiagHelp, Txt, DiagTemplate) VALUES (1, N'Норма', N'Патологии не выявлено.')",
        L"INSERT INTO DiagHelp (DiagHelp, Txt, DiagTemplate) VALUES (2, N'Пневмония', N'Очаговая пневмония.')",
        L"SET IDENTITY_INSERT DiagHelp OFF",
        L"SET IDENTITY_INSERT Snimok ON",
        L"INSERT INTO Snimok (Snimok, Patient, [Disk], Arj, [Date file], [File name], Bri, Contrast, Negativ, Scale, "
        L"Apicriz, DiagHelp, NoDelete) VALUES (1, 1, 1, NULL, '2020-01-10 10:00:00.000', 'И00000000010000000001', "
        L"100, 200, 0, 1.5, N'Описание', 1, 0)",
        L"INSERT INTO Snimok (Snimok, Patient, [Disk], Arj, [Date file], [File name], Bri, Contrast, Negativ, "
        L"NoDelete) VALUES (2, 1, 0, 305419896, '2020-02-11 09:30:00.000', 'И00000000010000000002', 10, 20, 1, 1)",
        L"INSERT INTO Snimok (Snimok, Patient, [Disk], Arj, [Date file], [File name], Bri, Contrast, Negativ) "
        L"VALUES (3, 2, 1, 305419896, '2019-05-05 12:00:00.000', 'П00000000020000000003', 5, 6, 0)",
        L"INSERT INTO Snimok (Snimok, Patient, [Disk], [Date file]) VALUES (4, 3, 0, '2018-01-01 08:00:00.000')",
        L"INSERT INTO Snimok (Snimok, Patient, [Disk], [Date file], [File name], imported) "
        L"VALUES (5, 4, 1, '2021-06-01 15:00:00.000', 'S00000000040000000005', 1)",
        L"SET IDENTITY_INSERT Snimok OFF",
        L"INSERT INTO FixSnimok (Snimok, [Date fix]) VALUES (3, '2099-01-01 00:00:00.000')",
        L"INSERT INTO FixSnimok (Snimok, [Date fix]) VALUES (1, '2000-01-01 00:00:00.000')",
        L"INSERT INTO Modality (Name) VALUES (N'Флюорография')",
        L"INSERT INTO Modality (Name) VALUES (N'Рентгенография')",
    };
    for (const wchar_t* row : rows) {
        Result r = Exec(row);
        ASSERT_EQ(S_OK, r.hr) << testing::PrintToString(std::wstring(row))
                              << testing::PrintToString(r.error.description);
    }
}

Result SiteTest::Exec(const wchar_t* text, const std::vector<P>& params, IDBCreateCommand* session)
{
    Result out;
    Ptr<ICommandText> command = NewCommand(session ? session : session_.Get(), text);
    if (!command)
        return out;
    Ptr<IRowset> rowset;
    if (params.empty()) {
        out.hr = command->Execute(nullptr, IID_IRowset, nullptr, &out.affected, rowset.OutUnknown());
    } else {
        Buffer b;
        for (size_t i = 0; i < params.size(); ++i) {
            const P& p = params[i];
            DBLENGTH size = p.type == DBTYPE_WSTR ? (p.text.size() + 1) * sizeof(wchar_t)
                            : p.type == DBTYPE_FILETIME ? 8
                                                         : 4;
            b.Add(i + 1, p.type, size, p.type == DBTYPE_WSTR);
        }
        b.Layout();
        for (size_t i = 0; i < params.size(); ++i) {
            const P& p = params[i];
            if (p.null) {
                b.SetStatus(i, DBSTATUS_S_ISNULL);
                continue;
            }
            switch (p.type) {
            case DBTYPE_WSTR:
                b.SetText(i, p.text.c_str());
                break;
            case DBTYPE_FILETIME:
                b.Set(i, p.time);
                break;
            case DBTYPE_R4:
                b.Set(i, static_cast<float>(p.real));
                break;
            case DBTYPE_UI4:
                b.Set(i, static_cast<unsigned>(p.integer));
                break;
            default:
                b.Set(i, static_cast<int>(p.integer));
                break;
            }
        }
        out.hr = ExecuteWith(command.Get(), b, &out.affected, IID_IRowset, rowset.OutUnknown());
    }
    if (FAILED(out.hr)) {
        out.error = TakeError();
        return out;
    }
    if (rowset)
        out.rows = ReadAll(rowset.Get());
    return out;
}

void SiteTest::ExpectRows(const wchar_t* text, const std::vector<P>& params, const std::vector<Row>& rows)
{
    Result r = Exec(text, params);
    EXPECT_EQ(S_OK, r.hr) << testing::PrintToString(std::wstring(text)) << testing::PrintToString(r.error.description);
    EXPECT_EQ(rows, r.rows) << testing::PrintToString(std::wstring(text));
}

void SiteTest::ExpectAffected(const wchar_t* text, const std::vector<P>& params, DBROWCOUNT affected)
{
    Result r = Exec(text, params);
    EXPECT_EQ(S_OK, r.hr) << testing::PrintToString(std::wstring(text)) << testing::PrintToString(r.error.description);
    EXPECT_EQ(affected, r.affected) << testing::PrintToString(std::wstring(text));
}

void SiteTest::ExpectState(const wchar_t* text, const std::vector<P>& params, const wchar_t* state)
{
    Result r = Exec(text, params);
    EXPECT_TRUE(FAILED(r.hr)) << testing::PrintToString(std::wstring(text));
    EXPECT_EQ(std::wstring(state), r.error.sqlState)
        << testing::PrintToString(std::wstring(text)) << testing::PrintToString(r.error.description);
}

}  // namespace zt

// Statements a site writes by hand (report scripts, report descriptions, the
// merge's column settings) run through the provider on a database made from
// site/schema.sql, and give the answer SQL Server gives by its documented
// rules: the rows, their order and groups, the result types IColumnsInfo
// reports, and for what is refused the SQLSTATE and the sentence.
#include "provider/site_db.h"

namespace zt {
namespace {

class SqlServerAnswersTest : public SiteTest {
protected:
    // The types IColumnsInfo reports for the result of `text`.
    std::vector<DBTYPE> Types(const wchar_t* text)
    {
        std::vector<DBTYPE> out;
        Ptr<ICommandText> command = NewCommand(session_.Get(), text);
        Ptr<IColumnsInfo> info = command.As<IColumnsInfo>(IID_IColumnsInfo);
        DBORDINAL count = 0;
        DBCOLUMNINFO* columns = nullptr;
        OLECHAR* strings = nullptr;
        EXPECT_EQ(S_OK, info->GetColumnInfo(&count, &columns, &strings)) << testing::PrintToString(std::wstring(text));
        for (DBORDINAL i = 0; i < count; ++i)
            out.push_back(columns[i].wType);
        CoTaskMemFree(columns);
        CoTaskMemFree(strings);
        return out;
    }

    // Expects `text` refused with `state`, its sentence holding `words`.
    void ExpectRefused(const wchar_t* text, const wchar_t* state, const wchar_t* words)
    {
        Result r = Exec(text);
        EXPECT_TRUE(FAILED(r.hr)) << testing::PrintToString(std::wstring(text));
        EXPECT_EQ(std::wstring(state), r.error.sqlState) << testing::PrintToString(std::wstring(text));
        EXPECT_NE(std::wstring::npos, r.error.description.find(words))
            << testing::PrintToString(std::wstring(text)) << " " << testing::PrintToString(r.error.description);
    }
};

// Patients 1 to 4 of the fixture were born 1950-03-15, 1962-07-01,
// 1971-12-31 and 1980-01-01; these three are inserted with date literals in
// three of SQL Server's unambiguous forms.
TEST_F(SqlServerAnswersTest, DateLiteralsAreTheInstantsTheyName)
{
    ExpectAffected(L"INSERT INTO Patient (Name1, Birthday) VALUES (N'Июль', '19900721')", {}, 1);
    ExpectAffected(L"INSERT INTO Patient (Name1, Birthday) VALUES (N'Сентябрь', '1935-09-01')", {}, 1);
    ExpectAffected(L"INSERT INTO Patient (Name1, Birthday) VALUES (N'Полдень', '1990-07-21T14:30:15.25')", {}, 1);
    // Stored as the same instants a FILETIME parameter gives.
    ExpectRows(L"SELECT Name1, Birthday FROM Patient WHERE Patient > 4 ORDER BY Patient", {},
               {{L"Июль", L"1990-07-21 00:00:00.000"},
                {L"Сентябрь", L"1935-09-01 00:00:00.000"},
                {L"Полдень", L"1990-07-21 14:30:15.250"}});
    ExpectRows(L"SELECT Name1 FROM Patient WHERE Birthday = ?", {FT(1990, 7, 21)}, {{L"Июль"}});

    // Every unambiguous form of the same day finds the same patient, with the literal on either side.
    for (const wchar_t* day : {L"'1990-07-21'", L"'1990-07-21T00:00:00'", L"'1990-07-21 00:00:00'", L"'19900721'",
                               L"'19900721 00:00'", L"'1990-07-21 00:00:00.000'", L"' 19900721 '"}) {
        ExpectRows((std::wstring(L"SELECT Name1 FROM Patient WHERE Birthday = ") + day).c_str(), {}, {{L"Июль"}});
        ExpectRows((std::wstring(L"SELECT Name1 FROM Patient WHERE ") + day + L" = Birthday").c_str(), {}, {{L"Июль"}});
    }
    // Order as instants, not as texts or as the number 19900721.
    ExpectRows(L"SELECT Name1 FROM Patient WHERE Birthday >= '19900721' ORDER BY Birthday", {},
               {{L"Июль"}, {L"Полдень"}});
    ExpectRows(L"SELECT Name1 FROM Patient WHERE Birthday <= '1935-09-01'", {}, {{L"Сентябрь"}});
    ExpectRows(L"SELECT Name1 FROM Patient WHERE Birthday < '19500315' OR Birthday > '1990-07-21' ORDER BY Patient",
               {}, {{L"Сентябрь"}, {L"Полдень"}});
    ExpectRows(L"SELECT COUNT(*) FROM Patient WHERE Birthday <> '19900721'", {}, {{L"6"}});
    ExpectRows(L"SELECT Name1 FROM Patient WHERE Birthday BETWEEN '19500101' AND '1962-12-31 23:59:59.997' "
               L"ORDER BY Birthday DESC",
               {}, {{L"Петрова"}, {L"Иванов"}});
    ExpectRows(L"SELECT Name1 FROM Patient WHERE Birthday IN ('19900721', '1935-09-01T00:00:00') ORDER BY Birthday",
               {}, {{L"Сентябрь"}, {L"Июль"}});
    ExpectRows(L"SELECT Name1 FROM Patient WHERE Birthday = (SELECT MIN(Birthday) FROM Patient WHERE Birthday > "
               L"'19800101')",
               {}, {{L"Июль"}});

    // UPDATE with a valid date (refused before with 22008), read back as the date.
    ExpectAffected(L"UPDATE Patient SET Birthday='2000-01-02' WHERE Patient = 4", {}, 1);
    ExpectRows(L"SELECT Name1 FROM Patient WHERE Birthday = ?", {FT(2000, 1, 2)}, {{L"Smith"}});
    ExpectAffected(L"UPDATE Patient SET Birthday='20000103 08:15' WHERE Birthday = '2000-01-02'", {}, 1);
    ExpectRows(L"SELECT Birthday FROM Patient WHERE Patient = 4", {}, {{L"2000-01-03 08:15:00.000"}});

    // A text that is no literal meets the date at run time the same way.
    ExpectRows(L"SELECT Name1 FROM Patient WHERE Birthday = N'1990' + N'0721'", {}, {{L"Июль"}});
    ExpectRefused(L"SELECT Name1 FROM Patient WHERE Birthday = Name3", L"22007", L"Иванович");
    ExpectRefused(L"SELECT Name1 FROM Patient WHERE Birthday = N'1990' + N'1321'", L"22008", L"19901321");
    // ISNULL takes the date's type: its literal is a date too.
    ExpectAffected(L"INSERT INTO Patient (Name1) VALUES (N'Безымянный')", {}, 1);
    ExpectRows(L"SELECT Name1 FROM Patient WHERE ISNULL(Birthday, '19000101') < '1940-01-01' ORDER BY Patient", {},
               {{L"Сентябрь"}, {L"Безымянный"}});
    EXPECT_EQ((std::vector<DBTYPE>{DBTYPE_DBTIMESTAMP, DBTYPE_DBTIMESTAMP, DBTYPE_I4}),
              Types(L"SELECT Birthday, ISNULL(Birthday, '19000101'), DATALENGTH(Birthday) FROM Patient"));
    ExpectRows(L"SELECT DATALENGTH(Birthday) FROM Patient WHERE Patient IN (1, 8) ORDER BY Patient", {},
               {{L"8"}, {L"<null>"}});

    // No date in any accepted form: 22007 or 22008 with SQL Server's sentence, never "no rows".
    ExpectRefused(L"SELECT Name1 FROM Patient WHERE Birthday = 'yesterday'", L"22007", L"'yesterday'");
    ExpectRefused(L"SELECT Name1 FROM Patient WHERE Birthday = '21.07.1990'", L"22007", L"Conversion failed");
    ExpectRefused(L"SELECT Name1 FROM Patient WHERE Birthday > '1990-07-21 10:00:00.1234'", L"22007", L"1234");
    ExpectRefused(L"SELECT Name1 FROM Patient WHERE Birthday = '19901345'", L"22008", L"out-of-range");
    ExpectRefused(L"SELECT Name1 FROM Patient WHERE Birthday = '20010229'", L"22008", L"out-of-range");
    ExpectRefused(L"SELECT Name1 FROM Patient WHERE Birthday BETWEEN '17000101' AND '19000101'", L"22008",
                  L"17000101");
    ExpectRefused(L"INSERT INTO Patient (Name1, Birthday) VALUES (N'Ошибка', '1990-02-30')", L"22008", L"1990-02-30");
    ExpectRefused(L"UPDATE Patient SET Birthday = 'soon' WHERE Patient = 1", L"22007", L"'soon'");
    ExpectRows(L"SELECT COUNT(*) FROM Patient WHERE Name1 = N'Ошибка'", {}, {{L"0"}});
    // A column's default date is a date too.
    ExpectAffected(L"CREATE TABLE Visit (Id int NOT NULL, Seen datetime NOT NULL DEFAULT ('20000101'))", {}, -1);
    ExpectAffected(L"INSERT INTO Visit (Id) VALUES (1)", {}, 1);
    ExpectRows(L"SELECT Seen FROM Visit", {}, {{L"2000-01-01 00:00:00.000"}});
    ExpectRefused(L"CREATE TABLE Later (Seen datetime DEFAULT 'never')", L"22007", L"'never'");
    // What SQL Server would compare in a way of its own is refused rather than answered differently.
    ExpectRefused(L"SELECT Name1 FROM Patient WHERE Birthday LIKE '1990%'", L"42000", L"LIKE");
    ExpectRefused(L"SELECT Name1 FROM Patient WHERE Birthday > 0", L"42000", L"number");
    ExpectRefused(L"SELECT LEN(Birthday) FROM Patient", L"42000", L"LEN");
}

// Patient 1 is "Иванов Иван Иванович"; this one differs from him in case only.
TEST_F(SqlServerAnswersTest, TextExpressionsKeepTheCaselessCollation)
{
    ExpectAffected(L"SET IDENTITY_INSERT Patient ON", {}, -1);
    ExpectAffected(L"INSERT INTO Patient (Patient, Name1, Name2, Name3) VALUES (5, N'ИВАНОВ', N'ИВАН', N'ПЕТРОВИЧ')", {},
                   1);
    ExpectAffected(L"SET IDENTITY_INSERT Patient OFF", {}, -1);

    ExpectRows(L"SELECT Patient FROM Patient WHERE Name1 + N' ' + Name2 = N'иванов иван' ORDER BY Patient", {},
               {{L"1"}, {L"5"}});
    ExpectRows(L"SELECT Patient FROM Patient WHERE N'иванов иван' = Name1 + N' ' + Name2 ORDER BY Patient", {},
               {{L"1"}, {L"5"}});
    ExpectRows(L"SELECT Patient FROM Patient WHERE ISNULL(Name3, N'') = N'петрович'", {}, {{L"5"}});
    ExpectRows(L"SELECT Patient FROM Patient WHERE COALESCE(Name3, Name2) = N'ПЁТР'", {}, {{L"3"}});
    ExpectRows(L"SELECT Patient FROM Patient WHERE Name1 + N'' IN (N'иванов', N'smith') ORDER BY Patient", {},
               {{L"1"}, {L"4"}, {L"5"}});
    ExpectRows(L"SELECT Patient FROM Patient WHERE Name2 + N'' BETWEEN N'иван' AND N'ИВАН' ORDER BY Patient", {},
               {{L"1"}, {L"5"}});
    ExpectRows(L"SELECT COUNT(*) FROM Patient WHERE N'abc' = N'ABC'", {}, {{L"5"}});
    // Sorted by the collation (Ё with Е, case ignored), ties in key order; by code point
    // ИВАНОВ would come before Иванов.
    ExpectRows(L"SELECT Patient FROM Patient ORDER BY Name1 + N'', Patient", {},
               {{L"4"}, {L"3"}, {L"1"}, {L"5"}, {L"2"}});
    ExpectRows(L"SELECT Name1 + N'' AS Surname FROM Patient WHERE Patient IN (1, 5) ORDER BY Surname DESC, "
               L"Patient DESC",
               {}, {{L"ИВАНОВ"}, {L"Иванов"}});
    // One group, one distinct value, one maximum.
    ExpectRows(L"SELECT COUNT(*) FROM Patient GROUP BY Name1 + N' ' + Name2 HAVING COUNT(*) > 1", {}, {{L"2"}});
    Result distinct = Exec(L"SELECT DISTINCT Name1 + N' ' + Name2 FROM Patient WHERE Patient IN (1, 5)");
    EXPECT_EQ(S_OK, distinct.hr);
    EXPECT_EQ(1u, distinct.rows.size());
    ExpectRows(L"SELECT COUNT(DISTINCT Name1 + N'') FROM Patient", {}, {{L"4"}});
    // The result types stay what they were.
    EXPECT_EQ((std::vector<DBTYPE>{DBTYPE_WSTR, DBTYPE_WSTR}),
              Types(L"SELECT Name1 + N' ' + Name2, ISNULL(Name3, N'') FROM Patient"));
}

// Snimok 1 to 5: Bri 100, 10, 5, NULL, NULL; Negativ 0, 1, 0, NULL, NULL;
// Scale 1.5 and NULLs; NoDelete is a bit. Patients' Pol: 1, 2, 1, 1.
// SQL Server fails a division by 0 (8134); SQLite would answer NULL.
TEST_F(SqlServerAnswersTest, DivisionByZeroFailsInsteadOfGivingNull)
{
    ExpectRows(L"SELECT 7 / 2, 7 % 2, -7 / 2, 7.0 / 2, 7 / 0.5", {}, {{L"3", L"1", L"-3", L"3.5", L"14"}});
    ExpectRows(L"SELECT Bri / Contrast, Bri % Contrast FROM Snimok WHERE Snimok = 1", {}, {{L"0", L"100"}});
    ExpectRows(L"SELECT Snimok FROM Snimok WHERE Bri / (Contrast - 190) = 10", {}, {{L"1"}});
    for (const wchar_t* text : {L"SELECT 1 / 0", L"SELECT 1 % 0", L"SELECT 1.5 / 0.0",
                                L"SELECT Bri / (Bri - Bri) FROM Snimok WHERE Snimok = 1",
                                L"SELECT Snimok FROM Snimok WHERE Bri % Negativ = 0",
                                L"UPDATE Snimok SET Bri = Bri / (Contrast - 200) WHERE Snimok = 1"}) {
        Result r = Exec(text);
        EXPECT_EQ(DB_E_ERRORSINCOMMAND, r.hr) << testing::PrintToString(std::wstring(text));
        EXPECT_EQ(L"22012", r.error.sqlState) << testing::PrintToString(std::wstring(text));
        EXPECT_EQ(8134, r.error.nativeError);
        EXPECT_NE(std::wstring::npos, r.error.description.find(L"Divide by zero"))
            << testing::PrintToString(r.error.description);
    }
    ExpectRows(L"SELECT Bri FROM Snimok WHERE Snimok = 1", {}, {{L"100"}});
    ExpectRows(L"SELECT COUNT(*) FROM Snimok WHERE Bri / Contrast IS NULL", {}, {{L"2"}});
}

TEST_F(SqlServerAnswersTest, AvgOfIntegersIsAnIntegerOfTheArgumentsType)
{
    ExpectRows(L"SELECT AVG(Negativ), AVG(Bri), AVG(-Bri), AVG(Bri + 1) FROM Snimok", {},
               {{L"0", L"38", L"-38", L"39"}});
    ExpectRows(L"SELECT AVG(Pol), AVG(DISTINCT Pol) FROM Patient", {}, {{L"1", L"1"}});
    ExpectRows(L"SELECT Patient, AVG(Bri) FROM Snimok GROUP BY Patient ORDER BY Patient", {},
               {{L"1", L"55"}, {L"2", L"5"}, {L"3", L"<null>"}, {L"4", L"<null>"}});
    ExpectRows(L"SELECT AVG(Scale) FROM Snimok", {}, {{L"1.5"}});
    EXPECT_EQ((std::vector<DBTYPE>{DBTYPE_I4, DBTYPE_I4, DBTYPE_R8}),
              Types(L"SELECT AVG(Negativ), AVG(Pol), AVG(Scale) FROM Snimok, Patient"));
    // SQL Server refuses the average of a bit (8117).
    Result bit = Exec(L"SELECT AVG(NoDelete) FROM Snimok");
    EXPECT_EQ(DB_E_ERRORSINCOMMAND, bit.hr);
    EXPECT_EQ(L"42000", bit.error.sqlState);
    EXPECT_EQ(8117, bit.error.nativeError);
    EXPECT_NE(std::wstring::npos, bit.error.description.find(L"AVG")) << testing::PrintToString(bit.error.description);
}

}  // namespace
}  // namespace zt

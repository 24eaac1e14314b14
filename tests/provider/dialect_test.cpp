// The SQL Server dialect on a database made from site/schema.sql: result and
// parameter types, caseless Cyrillic comparison, LIKE wildcards,
// INFORMATION_SCHEMA, SQLSTATEs of the failures the program tells apart,
// identity keys and the translation cache.
#include "provider/site_db.h"

namespace zt {
namespace {

struct ColumnDesc {
    DBTYPE type;
    DBLENGTH size;
    DBCOLUMNFLAGS flags;
};

struct ParamDesc {
    DBTYPE type;
    DBLENGTH size;
    bool isLong;
};

class DialectTest : public SiteTest {
protected:
    std::vector<ColumnDesc> Columns(const wchar_t* text)
    {
        std::vector<ColumnDesc> out;
        Ptr<ICommandText> command = NewCommand(session_.Get(), text);
        Ptr<IColumnsInfo> info = command.As<IColumnsInfo>(IID_IColumnsInfo);
        DBORDINAL count = 0;
        DBCOLUMNINFO* columns = nullptr;
        OLECHAR* strings = nullptr;
        EXPECT_EQ(S_OK, info->GetColumnInfo(&count, &columns, &strings)) << testing::PrintToString(std::wstring(text));
        for (DBORDINAL i = 0; i < count; ++i)
            out.push_back({columns[i].wType, columns[i].ulColumnSize, columns[i].dwFlags});
        CoTaskMemFree(columns);
        CoTaskMemFree(strings);
        return out;
    }

    std::vector<ParamDesc> Params(const wchar_t* text)
    {
        std::vector<ParamDesc> out;
        Ptr<ICommandText> command = NewCommand(session_.Get(), text);
        Ptr<ICommandWithParameters> with = command.As<ICommandWithParameters>(IID_ICommandWithParameters);
        DB_UPARAMS count = 0;
        DBPARAMINFO* info = nullptr;
        OLECHAR* names = nullptr;
        EXPECT_EQ(S_OK, with->GetParameterInfo(&count, &info, &names)) << testing::PrintToString(std::wstring(text));
        for (DB_UPARAMS i = 0; i < count; ++i)
            out.push_back({info[i].wType, info[i].ulParamSize, (info[i].dwFlags & DBPARAMFLAGS_ISLONG) != 0});
        CoTaskMemFree(info);
        CoTaskMemFree(names);
        return out;
    }

    HRESULT OpenForChange(const wchar_t* table, Ptr<IRowset>& rowset)
    {
        DBPROP props[2] = {};
        props[0].dwPropertyID = DBPROP_IRowsetChange;
        props[0].dwOptions = DBPROPOPTIONS_REQUIRED;
        V_VT(&props[0].vValue) = VT_BOOL;
        V_BOOL(&props[0].vValue) = VARIANT_TRUE;
        props[1].dwPropertyID = DBPROP_UPDATABILITY;
        props[1].dwOptions = DBPROPOPTIONS_REQUIRED;
        V_VT(&props[1].vValue) = VT_I4;
        V_I4(&props[1].vValue) = 7;
        DBPROPSET set = {props, 2, DBPROPSET_ROWSET};
        DBID id = {};
        id.eKind = DBKIND_NAME;
        id.uName.pwszName = const_cast<wchar_t*>(table);
        Ptr<IOpenRowset> opener = session_.As<IOpenRowset>(IID_IOpenRowset);
        return opener->OpenRowset(nullptr, &id, nullptr, IID_IRowset, 1, &set, rowset.OutUnknown());
    }
};

TEST_F(DialectTest, ResultColumnsAreTypedAsSqlServerTypesThem)
{
    std::vector<ColumnDesc> c = Columns(
        L"SELECT COUNT(*), DATALENGTH(Apicriz), Name1 + ' ' + Name2, NoDelete, Scale, [Date file], Apicriz, "
        L"Snimok.Snimok, GETDATE() FROM Snimok INNER JOIN Patient ON Patient.Patient = Snimok.Patient GROUP BY "
        L"Apicriz, Name1, Name2, NoDelete, Scale, [Date file], Snimok.Snimok");
    ASSERT_EQ(9u, c.size());
    EXPECT_EQ(DBTYPE_I4, c[0].type) << "COUNT(*)";
    EXPECT_EQ(DBTYPE_I4, c[1].type) << "DATALENGTH";
    EXPECT_EQ(DBTYPE_WSTR, c[2].type) << "concatenation";
    EXPECT_EQ(65u, c[2].size) << "32 + 1 + 32 characters";
    EXPECT_EQ(DBTYPE_BOOL, c[3].type) << "bit";
    EXPECT_EQ(DBTYPE_R4, c[4].type) << "real";
    EXPECT_EQ(DBTYPE_DBTIMESTAMP, c[5].type) << "datetime";
    EXPECT_EQ(DBTYPE_WSTR, c[6].type) << "ntext";
    EXPECT_TRUE(c[6].flags & DBCOLUMNFLAGS_ISLONG);
    EXPECT_EQ(DBTYPE_I4, c[7].type) << "identity key";
    EXPECT_FALSE(c[7].flags & DBCOLUMNFLAGS_ISNULLABLE);
    EXPECT_FALSE(c[7].flags & DBCOLUMNFLAGS_WRITE);
    EXPECT_EQ(DBTYPE_DBTIMESTAMP, c[8].type) << "GETDATE()";
    // Numbers added stay numbers.
    std::vector<ColumnDesc> sum = Columns(L"SELECT Bri + Contrast, Scale + 1 FROM Snimok");
    EXPECT_EQ(DBTYPE_I4, sum[0].type);
    EXPECT_EQ(DBTYPE_R8, sum[1].type);
    ExpectRows(L"SELECT Bri + Contrast, Name1 + N' ' + Name2 FROM Snimok, Patient WHERE Snimok = 1 AND "
               L"Patient.Patient = 2",
               {}, {{L"300", L"Петрова Анна"}});
}

TEST_F(DialectTest, ParameterInfoOfTheProgramsStatements)
{
    std::vector<ParamDesc> settings = Params(L"UPDATE Snimok SET Bri=?, Contrast=?, Negativ=?, xWinCenter=?, "
                                             L"yWinCenter=?, Scale=?, Orientation=? WHERE Snimok=?;");
    ASSERT_EQ(8u, settings.size());
    for (int i : {0, 1, 2, 3, 4, 6, 7})
        EXPECT_EQ(DBTYPE_I4, settings[i].type) << i;
    EXPECT_EQ(DBTYPE_R4, settings[5].type);

    std::vector<ParamDesc> note = Params(L"UPDATE Snimok SET DiagHelp=?, Apicriz=?, NoDelete=? WHERE Snimok=?;");
    ASSERT_EQ(4u, note.size());
    EXPECT_EQ(DBTYPE_I4, note[0].type);
    EXPECT_EQ(DBTYPE_WSTR, note[1].type);
    EXPECT_TRUE(note[1].isLong);
    EXPECT_EQ(DBTYPE_BOOL, note[2].type);
    EXPECT_EQ(DBTYPE_I4, note[3].type);

    std::vector<ParamDesc> templ = Params(L"UPDATE DiagHelp SET DiagTemplate=? WHERE DiagHelp=?;");
    ASSERT_EQ(2u, templ.size());
    EXPECT_EQ(DBTYPE_WSTR, templ[0].type);
    EXPECT_TRUE(templ[0].isLong);
    EXPECT_EQ(DBTYPE_I4, templ[1].type);

    std::vector<ParamDesc> card = Params(L"SELECT Name1, Name2, Name3, Birthday, Pol FROM Patient WHERE Patient=?;");
    ASSERT_EQ(1u, card.size());
    EXPECT_EQ(DBTYPE_I4, card[0].type);

    std::vector<ParamDesc> rename = Params(L"UPDATE Snimok Set [File Name]=? WHERE Snimok=?;");
    ASSERT_EQ(2u, rename.size());
    EXPECT_EQ(DBTYPE_WSTR, rename[0].type);
    EXPECT_EQ(21u, rename[0].size);

    for (const wchar_t* call : {L"{ call sp_delete_patient(?) }", L"{ call sp_delete_snimok(?) }",
                                L"{ call sp_delete_snimok_complete(?) }"}) {
        std::vector<ParamDesc> p = Params(call);
        ASSERT_EQ(1u, p.size());
        EXPECT_EQ(DBTYPE_I4, p[0].type);
    }
    std::vector<ParamDesc> copy = Params(L"{ call sp_cpy_smk(?, ?) };");
    ASSERT_EQ(2u, copy.size());
    EXPECT_EQ(DBTYPE_I4, copy[0].type);
    EXPECT_EQ(DBTYPE_I4, copy[1].type);
}

TEST_F(DialectTest, CyrillicComparesWithoutCase)
{
    ExpectRows(L"SELECT Patient FROM Patient WHERE Name1 = N'ИВАНОВ'", {}, {{L"1"}});
    ExpectRows(L"SELECT Patient FROM Patient WHERE Name1 = N'ёлкин'", {}, {{L"3"}});
    // Е and Ё are different letters.
    ExpectRows(L"SELECT Patient FROM Patient WHERE Name1 = N'Елкин'", {}, {});
    ExpectRows(L"SELECT Patient FROM Patient WHERE Name1 = ?", {W(L"пЕТРОВА   ")}, {{L"2"}});
    ExpectRows(L"SELECT Patient FROM Patient WHERE Name1 IN (N'smith', N'ПЕТРОВА') ORDER BY Patient", {},
               {{L"2"}, {L"4"}});
    ExpectRows(L"SELECT Patient FROM Patient WHERE Name1 IN (?, ?) ORDER BY Patient", {W(L"ёЛКИН"), W(L"SMITH")},
               {{L"3"}, {L"4"}});

    // UNIQUE, GROUP BY and ORDER BY on a table of the program's own kind.
    ExpectAffected(L"CREATE TABLE [dbo].[Words] ( [id] [int] IDENTITY (1, 1) NOT NULL PRIMARY KEY, [w] [nvarchar] "
                   L"(20) NOT NULL, [u] [nvarchar] (20) NULL CONSTRAINT [UQ_Words_u] UNIQUE )",
                   {}, -1);
    for (const wchar_t* w : {L"жук", L"Ёж", L"ель", L"ЕЛЬ ", L"ёлка", L"Ель", L"яма", L"Apple", L"apple", L"Zebra"})
        ExpectAffected(L"INSERT Words (w) VALUES (?)", {W(w)}, 1);
    ExpectAffected(L"INSERT INTO Words (w, u) VALUES (N'x', N'Ёлка')", {}, 1);
    ExpectState(L"INSERT INTO Words (w, u) VALUES (N'y', N'ёЛКА  ')", {}, L"23000");
    ExpectRows(L"SELECT w, count(*) FROM Words WHERE w <> N'x' GROUP BY w ORDER BY w", {},
               {{L"Apple", L"2"}, {L"Zebra", L"1"}, {L"ель", L"3"}, {L"Ёж", L"1"}, {L"ёлка", L"1"}, {L"жук", L"1"},
                {L"яма", L"1"}});
    ExpectRows(L"SELECT DISTINCT w FROM Words WHERE w LIKE N'ель' ORDER BY w", {}, {{L"ель"}});
}

TEST_F(DialectTest, LikeTakesEveryWildcard)
{
    auto names = [&](const wchar_t* pattern) {
        Result r = Exec(L"SELECT Name1 FROM Patient WHERE Name1 LIKE ? ORDER BY Name1", {W(pattern)});
        EXPECT_EQ(S_OK, r.hr) << testing::PrintToString(std::wstring(pattern));
        std::wstring all;
        for (const Row& row : r.rows)
            all += (all.empty() ? L"" : L",") + row[0];
        return all;
    };
    EXPECT_EQ(L"Иванов", names(L"иван%"));
    EXPECT_EQ(L"Иванов,Петрова", names(L"%ов%"));
    EXPECT_EQ(L"Smith", names(L"sm_th"));
    EXPECT_EQ(L"", names(L"sm_h"));
    EXPECT_EQ(L"Ёлкин,Петрова", names(L"[ёп]%"));
    EXPECT_EQ(L"Ёлкин,Иванов", names(L"[а-и]%")) << "ё sorts between е and ж";
    EXPECT_EQ(L"Smith", names(L"[r-t]%"));
    EXPECT_EQ(L"Smith,Иванов,Петрова", names(L"[^ё]%"));
    EXPECT_EQ(L"Smith,Ёлкин,Иванов,Петрова", names(L"%"));
    EXPECT_EQ(L"Иванов", names(L"_ВАНОВ"));
    EXPECT_EQ(L"", names(L"[ив"));
    ExpectRows(L"SELECT count(*) FROM Patient WHERE Name1 NOT LIKE N'%ов%'", {}, {{L"2"}});
    ExpectRows(L"SELECT count(*) FROM Patient WHERE Name1 LIKE N'10!%' ESCAPE N'!'", {}, {{L"0"}});
}

TEST_F(DialectTest, InformationSchemaListsEveryColumnAtOnce)
{
    ExpectRows(L"SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE FROM "
               L"INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME LIKE N'patient' AND COLUMN_NAME LIKE N'[bnp]%' ORDER BY "
               L"ORDINAL_POSITION",
               {},
               {{L"Patient", L"int", L"<null>", L"NO"},
                {L"Name1", L"nvarchar", L"32", L"NO"},
                {L"Name2", L"nvarchar", L"32", L"YES"},
                {L"Name3", L"nvarchar", L"32", L"YES"},
                {L"Birthday", L"datetime", L"<null>", L"YES"},
                {L"Pol", L"int", L"<null>", L"NO"}});
    ExpectRows(L"SELECT TABLE_NAME FROM INFORMATION_SCHEMA.COLUMNS WHERE COLUMN_NAME = N'FILE NAME' ORDER BY "
               L"TABLE_NAME",
               {}, {{L"DelImage"}, {L"Snimok"}});
    ExpectAffected(L"CREATE TABLE Later (A int)", {}, -1);
    ExpectRows(L"SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = ?", {W(L"later")}, {{L"1"}});
    ExpectAffected(L"DROP TABLE Later", {}, -1);
    ExpectRows(L"SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = ?", {W(L"later")}, {{L"0"}});
    std::vector<ParamDesc> p = Params(L"SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME LIKE ? AND "
                                      L"COLUMN_NAME LIKE ? ;");
    ASSERT_EQ(2u, p.size());
    EXPECT_EQ(DBTYPE_WSTR, p[0].type);
}

TEST_F(DialectTest, FailuresCarryTheirSqlStates)
{
    ExpectState(L"INSERT INTO Arj (Arj, Name) VALUES (?, ?)", {I4(305419896), W(L"MO_0001")}, L"23000");
    ExpectState(L"DELETE FROM Patient WHERE Patient=?;", {I4(2)}, L"23000");
    ExpectState(L"INSERT INTO Patient (Name1) VALUES (?)", {Null(DBTYPE_WSTR)}, L"23000");
    ExpectState(L"INSERT INTO Snimok (Patient) VALUES (?)", {I4(77)}, L"23000");
    ExpectState(L"INSERT INTO Patient (Name1) VALUES (?)", {W(L"Абвгдеёжзийклмнопрстуфхцчшщъыьэюя")}, L"22001");
    ExpectState(L"INSERT INTO Patient (Name1) VALUES (N'Абвгдеёжзийклмнопрстуфхцчшщъыьэюя')", {}, L"22001");
    ExpectState(L"UPDATE Arj SET Name = Name + N'-copy-of-a-disk' WHERE Arj = -1", {}, L"22001");
    ExpectState(L"INSERT INTO Patient (Patient, Name1) VALUES (?, ?)", {I4(50), W(L"Ключ")}, L"23000");
    ExpectState(L"UPDATE Patient SET Birthday=? WHERE Patient=?", {FT(1700, 1, 1), I4(1)}, L"22008");
    ExpectState(L"INSERT INTO FixSnimok (Snimok, [Date fix]) VALUES (9, '1600-01-01 00:00:00.000')", {}, L"22008");
    ExpectState(L"SELECT Name1 FROM Patient; DELETE FROM Patient", {}, L"42000");
    ExpectState(L"TRUNCATE TABLE Patient", {}, L"42000");
    ExpectState(L"SELECT Name1 FROM Patient WHERE", {}, L"42000");
    ExpectState(L"SELECT Name1 FROM Nowhere", {}, L"42S02");
    ExpectState(L"{ call sp_unknown(?) }", {I4(1)}, L"42000");
    ExpectState(L"SET IDENTITY_INSERT Arj ON", {}, L"42000");
    ExpectAffected(L"SET IDENTITY_INSERT Patient ON", {}, -1);
    ExpectState(L"SET IDENTITY_INSERT Snimok ON", {}, L"42000");
    // Nothing of the failures was stored.
    ExpectRows(L"SELECT count(*) FROM Patient", {}, {{L"4"}});
}

TEST_F(DialectTest, IdentityKeysAreNeverReused)
{
    ExpectAffected(L"INSERT INTO DiagHelp (Txt) VALUES (N'Перелом')", {}, 1);
    ExpectRows(L"SELECT DiagHelp FROM DiagHelp WHERE Txt = N'Перелом'", {}, {{L"3"}});
    ExpectAffected(L"DELETE FROM DiagHelp WHERE DiagHelp = 3", {}, 1);
    ExpectAffected(L"INSERT INTO DiagHelp (Txt) VALUES (N'Вывих')", {}, 1);
    ExpectRows(L"SELECT DiagHelp FROM DiagHelp WHERE Txt = N'Вывих'", {}, {{L"4"}});
    // Explicit keys only while IDENTITY_INSERT is ON; the next key continues above them.
    ExpectState(L"INSERT INTO DiagHelp (DiagHelp, Txt) VALUES (100, N'Сто')", {}, L"23000");
    ExpectAffected(L"SET IDENTITY_INSERT DiagHelp ON", {}, -1);
    ExpectAffected(L"INSERT INTO DiagHelp (DiagHelp, Txt) VALUES (100, N'Сто')", {}, 1);
    ExpectAffected(L"SET IDENTITY_INSERT DiagHelp OFF", {}, -1);
    ExpectState(L"INSERT INTO DiagHelp (DiagHelp, Txt) VALUES (101, N'Сто один')", {}, L"23000");
    ExpectAffected(L"INSERT INTO DiagHelp (Txt) VALUES (N'Следующий')", {}, 1);
    ExpectRows(L"SELECT DiagHelp FROM DiagHelp WHERE Txt = N'Следующий'", {}, {{L"101"}});
    // IDENTITY_INSERT belongs to the session that set it.
    ExpectAffected(L"SET IDENTITY_INSERT DiagHelp ON", {}, -1);
    Ptr<IDBCreateCommand> other = NewSession();
    Result r = Exec(L"INSERT INTO DiagHelp (DiagHelp, Txt) VALUES (200, N'Чужой')", {}, other.Get());
    EXPECT_EQ(L"23000", r.error.sqlState);
}

TEST_F(DialectTest, TableRowsetsTakeExplicitKeysOnlyWithIdentityInsert)
{
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, OpenForChange(L"DiagHelp", rowset));
    Ptr<IRowsetChange> change = rowset.As<IRowsetChange>(IID_IRowsetChange);
    Buffer row;
    row.Add(1, DBTYPE_I4, 4);
    row.Add(2, DBTYPE_WSTR, 130, true);
    row.Layout();
    HACCESSOR accessor = row.MakeAccessor(rowset.Get(), DBACCESSOR_ROWDATA);
    row.Set(0, 50);
    row.SetText(1, L"Явный ключ");
    HROW h = 0;
    EXPECT_EQ(DB_E_INTEGRITYVIOLATION, change->InsertRow(DB_NULL_HCHAPTER, accessor, row.Data(), &h));
    EXPECT_EQ(L"23000", TakeError().sqlState);
    ExpectAffected(L"SET IDENTITY_INSERT DiagHelp ON", {}, -1);
    row.Set(0, 50);
    EXPECT_EQ(S_OK, change->InsertRow(DB_NULL_HCHAPTER, accessor, row.Data(), &h));
    rowset->ReleaseRows(1, &h, nullptr, nullptr, nullptr);
    ExpectAffected(L"SET IDENTITY_INSERT DiagHelp OFF", {}, -1);
    row.SetStatus(0, DBSTATUS_S_DEFAULT);
    row.SetText(1, L"Ключ базы");
    ASSERT_EQ(S_OK, change->InsertRow(DB_NULL_HCHAPTER, accessor, row.Data(), &h));
    ASSERT_EQ(S_OK, rowset->GetData(h, accessor, row.Data()));
    EXPECT_EQ(51, row.Get<int>(0));
    rowset->ReleaseRows(1, &h, nullptr, nullptr, nullptr);
    Ptr<IAccessor> accessors = rowset.As<IAccessor>(IID_IAccessor);
    accessors->ReleaseAccessor(accessor, nullptr);
}

TEST_F(DialectTest, TranslationsFollowTheSchema)
{
    ExpectAffected(L"CREATE TABLE Tc (A int)", {}, -1);
    ExpectAffected(L"INSERT INTO Tc (A) VALUES (2)", {}, 1);
    ExpectRows(L"SELECT A + A FROM Tc", {}, {{L"4"}});
    ExpectAffected(L"DROP TABLE Tc", {}, -1);
    ExpectAffected(L"CREATE TABLE Tc (A nvarchar(5))", {}, -1);
    ExpectAffected(L"INSERT INTO Tc (A) VALUES (N'ab')", {}, 1);
    // The same text is translated again for the new table.
    ExpectRows(L"SELECT A + A FROM Tc", {}, {{L"abab"}});
}

TEST_F(DialectTest, StatementsTheProgramWritesLooselyAreAccepted)
{
    ExpectRows(L"select name1 from [dbo].[patient] where [PATIENT] = 4 ;;", {}, {{L"Smith"}});
    ExpectRows(L"SELECT TOP 2 Patient FROM dbo.Patient ORDER BY Patient DESC", {}, {{L"4"}, {L"3"}});
    ExpectAffected(L"DELETE Modality WHERE Name = N'флюорография'", {}, 1);
    ExpectAffected(L"INSERT Modality (Name) VALUES (N'КТ')", {}, 1);
    ExpectRows(L"SELECT count(*) FROM Snimok WHERE Patient = 1AND[Disk]=0", {}, {{L"1"}});
    ExpectRows(L"SELECT ISNULL(Name3, N'-') FROM Patient WHERE Patient = 3 -- the patronymic\n", {}, {{L"-"}});
    ExpectRows(L"SELECT count(*) FROM Patient p WHERE EXISTS (SELECT 1 FROM Snimok s WHERE s.Patient = p.Patient "
               L"AND s.[Disk] = 1)",
               {}, {{L"3"}});
}

}  // namespace
}  // namespace zt

// Every fixed statement of the workstation, and the shapes that the forms
// engine, the filter and the merge build, run against a database made from
// site/schema.sql: each succeeds with the expected rows and rows affected.
#include "provider/site_db.h"

#include <set>
#include <vector>

namespace zt {
namespace {

const wchar_t kNull[] = L"<null>";

class SiteStatements : public SiteTest {};

TEST_F(SiteStatements, SchemaMakesEveryTable)
{
    for (const wchar_t* table : {L"Patient", L"Snimok", L"Arj", L"DelImage", L"DiagHelp", L"Modality", L"FixSnimok"}) {
        Result r = Exec(L"SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = ? ", {W(table)});
        ASSERT_EQ(S_OK, r.hr);
        ASSERT_EQ(1u, r.rows.size());
        EXPECT_NE(L"0", r.rows[0][0]) << testing::PrintToString(std::wstring(table));
    }
}

TEST_F(SiteStatements, PatientLookupAndRecordCard)
{
    // The lookup and the card of Patient.cfg (fields Name1, Name2, Name3, Birthday, Pol; key Patient).
    ExpectRows(L"SELECT Name1, Name2, Name3, Birthday FROM Patient WHERE Patient=?;", {I4(3)},
               {{L"Ёлкин", L"Пётр", kNull, L"1971-12-31 00:00:00.000"}});
    ExpectRows(L"SELECT Name1, Name2, Name3, Birthday, Pol FROM Patient WHERE Patient=?;", {I4(1)},
               {{L"Иванов", L"Иван", L"Иванович", L"1950-03-15 00:00:00.000", L"1"}});
    ExpectRows(L"SELECT Patient FROM Patient WHERE Name1=? AND Name2=? AND Birthday=?;",
               {W(L"иванов"), W(L"ИВАН"), FT(1950, 3, 15)}, {{L"1"}});
    ExpectAffected(L"UPDATE Patient SET Name1=?, Name2=?, Name3=?, Birthday=?, Pol=? WHERE Patient=?;",
                   {W(L"Ёлкин"), W(L"Пётр"), Null(DBTYPE_WSTR), FT(1971, 12, 30), I4(1), I4(3)}, 1);
    ExpectRows(L"SELECT Birthday FROM Patient WHERE Patient=?;", {I4(3)}, {{L"1971-12-30 00:00:00.000"}});
    ExpectAffected(L"INSERT INTO Patient (Name1, Name2, Name3, Birthday, Pol) VALUES (?, ?, ?, ?, ?);",
                   {W(L"Сидоров"), W(L"Олег"), Null(DBTYPE_WSTR), FT(1990, 5, 5), I4(1)}, 1);
    ExpectRows(L"SELECT Patient FROM Patient WHERE Name1=?;", {W(L"СИДОРОВ")}, {{L"5"}});
    // A referenced patient cannot go: the card's 23000 path.
    ExpectState(L"DELETE FROM Patient WHERE Patient=?;", {I4(1)}, L"23000");
    ExpectAffected(L"DELETE FROM Patient WHERE Patient=?;", {I4(5)}, 1);
    // The list of a reference field.
    ExpectRows(L"SELECT DiagHelp, Txt FROM DiagHelp ORDER BY 2;", {}, {{L"1", L"Норма"}, {L"2", L"Пневмония"}});
    // A child pair of a form: clearing a nullable referencing column.
    ExpectAffected(L"UPDATE Snimok SET DiagHelp=NULL WHERE DiagHelp=?;", {I4(1)}, 1);
}

TEST_F(SiteStatements, FilterShapes)
{
    const wchar_t* all = L"SELECT Name1, Name2, Name3, Birthday, Patient FROM Patient ORDER BY Name1, Name2, Name3;";
    ExpectRows(all, {},
               {{L"Smith", L"John", kNull, L"1980-01-01 00:00:00.000", L"4"},
                {L"Ёлкин", L"Пётр", kNull, L"1971-12-31 00:00:00.000", L"3"},
                {L"Иванов", L"Иван", L"Иванович", L"1950-03-15 00:00:00.000", L"1"},
                {L"Петрова", L"Анна", L"Сергеевна", L"1962-07-01 00:00:00.000", L"2"}});
    // Substring on the name, Equal on the date (one day), and the images section of MainFilt.cfg.
    ExpectRows(L"SELECT Name1, Name2, Name3, Birthday, Patient FROM Patient WHERE Name1 LIKE ? AND Birthday>=? AND "
               L"Birthday<? AND Patient IN (SELECT Patient FROM Snimok WHERE [Date file]>=? AND [Date file]<?) "
               L"ORDER BY Name1, Name2, Name3;",
               {W(L"ив%"), FT(1950, 3, 15), FT(1950, 3, 16), FT(2020, 1, 10), FT(2020, 1, 11)},
               {{L"Иванов", L"Иван", L"Иванович", L"1950-03-15 00:00:00.000", L"1"}});
    ExpectRows(L"SELECT Name1, Name2, Name3, Birthday, Patient FROM Patient WHERE Name3 IS NULL ORDER BY Name1, "
               L"Name2, Name3;",
               {}, {{L"Smith", L"John", kNull, L"1980-01-01 00:00:00.000", L"4"},
                    {L"Ёлкин", L"Пётр", kNull, L"1971-12-31 00:00:00.000", L"3"}});
    ExpectRows(L"SELECT Name1, Patient FROM Patient WHERE Name3 IS NOT NULL AND Name1>? AND Birthday<? ORDER BY "
               L"Name1, Name2, Name3;",
               {W(L"Д"), FT(1970, 1, 1)}, {{L"Иванов", L"1"}, {L"Петрова", L"2"}});
    ExpectRows(L"SELECT Name1, Patient FROM Patient WHERE Name1=? ORDER BY Name1, Name2, Name3;", {W(L"ёлкин ")},
               {{L"Ёлкин", L"3"}});
    // The report's list (the counter column is not selected) with the period of RepFilt.cfg.
    ExpectRows(L"SELECT Name1, Name2, Name3, Birthday, Patient FROM Patient WHERE Patient IN (SELECT Patient FROM "
               L"Snimok WHERE [Date file]>=? AND [Date file]<?) ORDER BY Name1, Name2, Name3;",
               {FT(2019, 1, 1), FT(2020, 12, 31)},
               {{L"Иванов", L"Иван", L"Иванович", L"1950-03-15 00:00:00.000", L"1"},
                {L"Петрова", L"Анна", L"Сергеевна", L"1962-07-01 00:00:00.000", L"2"}});
}

TEST_F(SiteStatements, ImageRecords)
{
    ExpectAffected(L"UPDATE Snimok SET Bri=?, Contrast=?, Negativ=?, xWinCenter=?, yWinCenter=?, Scale=?, "
                   L"Orientation=? WHERE Snimok=?;",
                   {I4(-50), I4(4000), I4(1), I4(512), I4(384), R4(2.25f), I4(90), I4(1)}, 1);
    ExpectRows(L"SELECT Patient, Bri, Contrast, Negativ, [Date File], xWinCenter, yWinCenter, Scale, Orientation "
               L"FROM Snimok WHERE Snimok=?;",
               {I4(1)}, {{L"1", L"-50", L"4000", L"1", L"2020-01-10 10:00:00.000", L"512", L"384", L"2.25", L"90"}});
    ExpectRows(L"SELECT Patient, Bri, Contrast, Negativ, [Date File], xWinCenter, yWinCenter, Scale, Orientation "
               L"FROM Snimok WHERE Snimok=?;",
               {I4(3)}, {{L"2", L"5", L"6", L"0", L"2019-05-05 12:00:00.000", kNull, kNull, kNull, kNull}});
    ExpectRows(L"SELECT Name1, Name2, Name3, Birthday, Pol FROM Patient WHERE Patient=?;", {I4(2)},
               {{L"Петрова", L"Анна", L"Сергеевна", L"1962-07-01 00:00:00.000", L"2"}});
    ExpectRows(L"SELECT Name1, Name2, Name3, Birthday, Pol FROM Patient WHERE patient=?;", {I4(4)},
               {{L"Smith", L"John", kNull, L"1980-01-01 00:00:00.000", L"1"}});
    ExpectAffected(L"UPDATE Snimok Set [File Name]=? WHERE Snimok=?;", {W(L"S00000000040000000005"), I4(5)}, 1);
    ExpectAffected(L"UPDATE Snimok Set [File Name]=? WHERE Snimok=?;", {W(L"S00000000040000000099"), I4(99)}, 0);
}

TEST_F(SiteStatements, RecordMaintenanceStripAndNotes)
{
    ExpectRows(L"SELECT [File name], [Disk], [Date file], [Arj] FROM Snimok WHERE Snimok=?;", {I4(2)},
               {{L"И00000000010000000002", L"0", L"2020-02-11 09:30:00.000", L"305419896"}});
    ExpectRows(L"SELECT Snimok.[File Name], Snimok.[Disk], Snimok.[Arj], Arj.[Name] FROM Snimok LEFT JOIN Arj ON "
               L"Snimok.Arj=Arj.Arj WHERE Snimok.Snimok=?;",
               {I4(2)}, {{L"И00000000010000000002", L"0", L"305419896", L"MO_0001"}});
    ExpectRows(L"SELECT Snimok.[File Name], Snimok.[Disk], Snimok.[Arj], Arj.[Name] FROM Snimok LEFT JOIN Arj ON "
               L"Snimok.Arj=Arj.Arj WHERE Snimok.Snimok=?;",
               {I4(1)}, {{L"И00000000010000000001", L"1", kNull, kNull}});
    ExpectAffected(L"UPDATE Snimok SET [Disk]=1 WHERE Snimok=?;", {I4(2)}, 1);
    ExpectRows(L"SELECT name FROM arj WHERE arj=?;", {I4(305419896)}, {{L"MO_0001"}});
    ExpectRows(L"SELECT name FROM arj WHERE arj=?;", {UI4(0xFFFFFFFFu)}, {{L"MO_FFFF"}});
    ExpectAffected(L"UPDATE Snimok Set Patient=? WHERE Snimok=?;", {I4(2), I4(4)}, 1);
    // The strip: newest first, DATALENGTH in bytes of UTF-16.
    ExpectRows(L"SELECT [Snimok], [Date file], [File name], [Disk], [Negativ], DATALENGTH( [Apicriz] ) FROM Snimok "
               L"WHERE Patient=? ORDER BY [date file] DESC;",
               {I4(1)},
               {{L"2", L"2020-02-11 09:30:00.000", L"И00000000010000000002", L"1", L"1", kNull},
                {L"1", L"2020-01-10 10:00:00.000", L"И00000000010000000001", L"1", L"0", L"16"}});
    // The note window and the templates.
    ExpectRows(L"SELECT Snimok.Apicriz, Snimok.DiagHelp, Snimok.[Date file], DiagHelp.Txt, Snimok.NoDelete FROM "
               L"Snimok LEFT JOIN DiagHelp ON Snimok.DiagHelp=DiagHelp.DiagHelp WHERE Snimok.Snimok=?;",
               {I4(1)}, {{L"Описание", L"1", L"2020-01-10 10:00:00.000", L"Норма", L"0"}});
    ExpectAffected(L"UPDATE Snimok SET DiagHelp=?, Apicriz=?, NoDelete=? WHERE Snimok=?;",
                   {I4(2), W(L"Очаговая пневмония справа."), I4(5), I4(2)}, 1);
    ExpectRows(L"SELECT Apicriz, DiagHelp, NoDelete FROM Snimok WHERE Snimok=?;", {I4(2)},
               {{L"Очаговая пневмония справа.", L"2", L"1"}});
    ExpectAffected(L"UPDATE Snimok SET DiagHelp=?, Apicriz=?, NoDelete=? WHERE Snimok=?;",
                   {Null(DBTYPE_I4), W(L"Без шаблона"), I4(0), I4(2)}, 1);
    ExpectRows(L"SELECT DiagTemplate, txt FROM DiagHelp WHERE DiagHelp=?;", {I4(2)},
               {{L"Очаговая пневмония.", L"Пневмония"}});
    ExpectRows(L"SELECT DiagHelp FROM DiagHelp WHERE txt=?;", {W(L"НОРМА")}, {{L"1"}});
    ExpectRows(L"SELECT Txt, DiagHelp FROM DiagHelp ORDER BY Txt;", {}, {{L"Норма", L"1"}, {L"Пневмония", L"2"}});
    ExpectRows(L"SELECT DiagTemplate FROM DiagHelp WHERE DiagHelp=?;", {I4(1)}, {{L"Патологии не выявлено."}});
    ExpectAffected(L"UPDATE Snimok SET Apicriz=?, DiagHelp=? WHERE Snimok=?;",
                   {W(L"Патологии не выявлено."), I4(1), I4(3)}, 1);
    ExpectAffected(L"UPDATE DiagHelp SET DiagTemplate=? WHERE DiagHelp=?;", {W(L"Норма, без особенностей."), I4(1)},
                   1);
    ExpectAffected(L"UPDATE Snimok SET DiagHelp=NULL WHERE DiagHelp=?;", {I4(1)}, 2);
    ExpectAffected(L"DELETE FROM DiagHelp WHERE DiagHelp=?;", {I4(1)}, 1);
    ExpectRows(L"SELECT DiagHelp, Txt FROM DiagHelp ORDER BY 2;", {}, {{L"2", L"Пневмония"}});
    ExpectRows(L"SELECT Name, id_modality FROM Modality ORDER BY Name;", {},
               {{L"Рентгенография", L"2"}, {L"Флюорография", L"1"}});
}

TEST_F(SiteStatements, Printing)
{
    ExpectRows(L"SELECT Name1 + ' ' + Name2 + ' ' + Name3, Birthday FROM Patient WHERE Patient=?;", {I4(1)},
               {{L"Иванов Иван Иванович", L"1950-03-15 00:00:00.000"}});
    // As in SQL Server, a NULL part makes the whole name NULL.
    ExpectRows(L"SELECT Name1 + ' ' + Name2 + ' ' + Name3, Birthday FROM Patient WHERE Patient=?;", {I4(3)},
               {{kNull, L"1971-12-31 00:00:00.000"}});
    ExpectRows(L"SELECT Apicriz, [Date file] FROM Snimok WHERE Snimok=?", {I4(1)},
               {{L"Описание", L"2020-01-10 10:00:00.000"}});
}

TEST_F(SiteStatements, MergeAndImport)
{
    ExpectRows(L"SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME LIKE ? AND COLUMN_NAME LIKE ? ;",
               {W(L"snimok"), W(L"IMPORTED")}, {{L"1"}});
    ExpectRows(L"SELECT Snimok, Patient, [file name], bri, contrast, negativ , Scale, Orientation FROM Snimok Where "
               L"imported=0 AND [file name] IS NOT NULL AND [Disk]<>0 Order by Patient;",
               {}, {{L"1", L"1", L"И00000000010000000001", L"100", L"200", L"0", L"1.5", kNull},
                    {L"3", L"2", L"П00000000020000000003", L"5", L"6", L"0", kNull, kNull}});
    ExpectRows(L"SELECT Count(*) FROM Snimok WHERE  imported=0 AND [file name] IS NOT NULL AND [Disk]<>0;", {},
               {{L"2"}});
    ExpectRows(L"Select Patient From Patient Where [Name1]=? AND [Name2]=? ;", {W(L"Петрова"), W(L"Анна")},
               {{L"2"}});
    ExpectRows(L"Select Patient From Patient Where [Name1]=? AND [Name2]=? ;", {W(L"Петрова"), Null(DBTYPE_WSTR)},
               {});
    ExpectAffected(L"Insert Into Patient (Name1, Name2, Name3, Birthday, Pol)  VALUES (?, ?, ?, ?, ?);",
                   {W(L"Кузнецов"), W(L"Андрей"), W(L"Петрович"), FT(1985, 10, 20), I4(1)}, 1);
    ExpectAffected(L"Update Patient Set Name3=?, Birthday=? Where patient=? ;",
                   {W(L"Павлович"), FT(1985, 10, 21), I4(5)}, 1);
    ExpectRows(L"Select Name1, Name2, Name3, Birthday, Pol From Patient Where patient=? ;", {I4(5)},
               {{L"Кузнецов", L"Андрей", L"Павлович", L"1985-10-21 00:00:00.000", L"1"}});
    ExpectAffected(L"Update Snimok Set Scale=?, Orientation=? Where snimok=? ;", {R4(0.5f), I4(180), I4(1)}, 1);
    ExpectAffected(L"Update Snimok Set imported=1 Where snimok=? ;", {I4(1)}, 1);
    ExpectRows(L"SELECT Count(*) FROM Snimok WHERE  imported=0 AND [file name] IS NOT NULL AND [Disk]<>0;", {},
               {{L"1"}});
    // Image file import: the patient of a file.
    ExpectRows(L"SELECT Patient FROM Patient WHERE Name1=? AND Name2=? AND Name3=? AND Birthday=? AND Pol=?;",
               {W(L"Иванов"), W(L"Иван"), W(L"Иванович"), FT(1950, 3, 15), I4(1)}, {{L"1"}});
}

TEST_F(SiteStatements, MergeAddsTheImportedColumnToAnOlderDatabase)
{
    ExpectAffected(L"CREATE TABLE [dbo].[Old] ( [Snimok] [int] IDENTITY (1, 1) NOT NULL PRIMARY KEY, [Disk] [bit] NOT "
                   L"NULL )",
                   {}, -1);
    ExpectAffected(L"INSERT INTO Old ([Disk]) VALUES (1)", {}, 1);
    ExpectRows(L"SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME LIKE ? AND COLUMN_NAME LIKE ? ;",
               {W(L"Old"), W(L"imported")}, {{L"0"}});
    ExpectAffected(L"ALTER TABLE Old ADD imported [bit] NOT NULL DEFAULT (0);", {}, -1);
    ExpectRows(L"SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME LIKE ? AND COLUMN_NAME LIKE ? ;",
               {W(L"Old"), W(L"imported")}, {{L"1"}});
    ExpectRows(L"SELECT Snimok, imported FROM Old", {}, {{L"1", L"0"}});
}

// The auxiliary tables of the synchronisation, exactly as the program writes them.
const wchar_t* const kAuxiliaryTables[] = {
    L"CREATE TABLE [dbo].[Arj_tmp] ( [arj] [int] NOT NULL CONSTRAINT [PK_ArjTmp] PRIMARY KEY  CLUSTERED ON [PRIMARY], "
    L"[Name] [nvarchar] (20) NOT NULL CONSTRAINT [IX_ArjTmp_Name_Uq] UNIQUE  NONCLUSTERED )",
    L"CREATE TABLE [dbo].[Patient_tmp] ( [Patient] [int] IDENTITY (1, 1) NOT NULL CONSTRAINT [PK_PatientTmp] PRIMARY "
    L"KEY  NONCLUSTERED ON [PRIMARY], [GeneralCrit] [int] NULL , [Name1] [nvarchar] (32) NOT NULL , [Name2] "
    L"[nvarchar] (32) NOT NULL , [Name3] [nvarchar] (32) NOT NULL , [Birthday] [datetime] NOT NULL, CONSTRAINT "
    L"[IX_PatientTmp_Name_UQ] UNIQUE  NONCLUSTERED ([Name1], [Name2], [Name3], [Birthday])  ON [PRIMARY]  )",
    L"CREATE TABLE [dbo].[Snimok_tmp] ( [Snimok] [int] IDENTITY (1, 1) NOT NULL CONSTRAINT [PK_SnimokTmp] PRIMARY "
    L"KEY  NONCLUSTERED ON [PRIMARY] , [Patient] [int] NULL , [Arj] [int] NULL , [Date file] [datetime] NULL , [File "
    L"name] [nchar] (21) NOT NULL , [Disk] [bit] NOT NULL DEFAULT (0) , CONSTRAINT [FK_SnimokTmp_Arj] FOREIGN KEY "
    L"([Arj]) REFERENCES [dbo].[Arj_tmp] ([arj]) , CONSTRAINT [FK_SnimokTmp_Patient] FOREIGN KEY ([Patient]) "
    L"REFERENCES [dbo].[Patient_tmp] ([Patient])  )",
    L"CREATE  INDEX [IX_SnimokTmp_Fn] ON [dbo].[Snimok_tmp]([File name])",
    L"CREATE TABLE [dbo].[DelSynSnimok] ( [id] [int] IDENTITY (1, 1) NOT NULL CONSTRAINT [PK_DelSynSnimok] PRIMARY "
    L"KEY  NONCLUSTERED  ON [PRIMARY], [fn] [nchar] (21) NOT NULL , [Disk] [bit] NOT NULL , [Arj] [int] NULL  ) ON "
    L"[PRIMARY]",
    L"CREATE  INDEX [IX_DelSynSnimok_fn] ON [dbo].[DelSynSnimok]([fn]) ON [PRIMARY]",
    L"CREATE TABLE [dbo].[ErrCode_tmp] ( [id] [int] IDENTITY (1, 1) NOT NULL CONSTRAINT [PK_Errcode] PRIMARY KEY  "
    L"NONCLUSTERED  ON [PRIMARY], [errcode] [int] NOT NULL , [txt] [nvarchar] (1028) NOT NULL  ) ON [PRIMARY]",
    L"CREATE TABLE [dbo].[Msg_tmp] ( [id] [int] IDENTITY (1, 1) NOT NULL CONSTRAINT [PK_Messages] PRIMARY KEY  "
    L"NONCLUSTERED  ON [PRIMARY], [errcode] [int] NOT NULL , [fn] [nchar] (21) NOT NULL , [msgdate] [datetime] NOT "
    L"NULL  DEFAULT (GETDATE()) ) ON [PRIMARY]",
    L"CREATE TABLE [dbo].[Snimok_dif] ( [File name] [nchar] (21) NOT NULL CONSTRAINT [PK_Snimok_Dif] PRIMARY KEY "
    L"NONCLUSTERED ON [PRIMARY], [Disk] [bit] NOT NULL , [Arj] [int] NULL,  [nodel] [bit] NOT NULL DEFAULT (0),  "
    L"[fmove] [bit] NOT NULL DEFAULT (0)  ) ON [PRIMARY]",
    L"CREATE TABLE [dbo].[Snimok_exist] ( [File name] [nchar] (21) NOT NULL CONSTRAINT [PK_Snimok_Exist] PRIMARY KEY "
    L"NONCLUSTERED ON [PRIMARY], [Arj] [int] NOT NULL , [snim] [int] NOT NULL  ) ON [PRIMARY]",
};

TEST_F(SiteStatements, SynchronisationScansAndAuxiliaryTables)
{
    ExpectRows(L"SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = ? ", {W(L"Arj_tmp")}, {{L"0"}});
    for (const wchar_t* create : kAuxiliaryTables)
        ExpectAffected(create, {}, -1);
    ExpectRows(L"SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = ? ", {W(L"arj_TMP")}, {{L"2"}});

    // The hard-disk scan: files on the disk.
    ExpectRows(L"Select snimok, [disk] From Snimok_tmp Where [file name]=? ", {W(L"И00000000010000000001")}, {});
    ExpectAffected(L"Insert  Into Snimok_tmp ([file name], [disk]) VALUES(?, 1)", {W(L"И00000000010000000001")}, 1);
    ExpectAffected(L"Insert  Into Snimok_tmp ([file name], [disk]) VALUES(?, 1)", {W(L"X00000000090000000009")}, 1);
    ExpectRows(L"Select snimok, [disk] From Snimok_tmp Where [file name]=? ", {W(L"и00000000010000000001")},
               {{L"1", L"1"}});
    ExpectAffected(L"Update Snimok_tmp Set [disk]=1 where Snimok=? ;", {I4(1)}, 1);
    // The archive-disk scan: a disk with serial 0x80000001, stored negative.
    ExpectRows(L"Select count(*) From Arj_tmp Where [arj]=? ;", {UI4(0x80000001u)}, {{L"0"}});
    ExpectAffected(L"Insert Into Arj_tmp ([arj], [name]) VALUES(?, ?)", {UI4(0x80000001u), W(L"MO_0002")}, 1);
    ExpectRows(L"SELECT arj, name FROM Arj_tmp ORDER BY name ;", {}, {{L"-2147483647", L"MO_0002"}});
    ExpectRows(L"Select snimok From Snimok_tmp Where [file name]=? ", {W(L"И00000000010000000001")}, {{L"1"}});
    ExpectAffected(L"Update Snimok_tmp Set [arj]=? where Snimok=? ;", {UI4(0x80000001u), I4(1)}, 1);
    ExpectAffected(L"Insert  Into Snimok_tmp ([file name], [arj]) VALUES(?, ?)",
                   {W(L"П00000000020000000003"), UI4(0x80000001u)}, 1);
    ExpectAffected(L"Insert  Into Snimok_tmp ([file name], [arj]) VALUES(?, ?)",
                   {W(L"Z00000000070000000007"), UI4(0x80000001u)}, 1);

    // Creating and filling the derived tables.
    ExpectAffected(L"DELETE FROM Msg_tmp ;", {}, 0);
    ExpectAffected(L"Delete From Snimok_dif", {}, 0);
    ExpectAffected(L" Insert Snimok_dif ([file name], [disk], [arj]) Select Snimok_tmp.[file name], Snimok_tmp.[disk], "
                   L"Snimok_tmp.[arj] From Snimok_tmp Where Snimok_tmp.[file name] NOT IN  (Select Snimok.[file name] "
                   L"From Snimok Where Snimok.[file name] IS NOT NULL );",
                   {}, 2);
    ExpectAffected(L"Delete From Snimok_exist;", {}, 0);
    ExpectAffected(L" Insert Snimok_exist ([file name], [arj], [snim]) Select Snimok_tmp.[file name], Snimok_tmp.[arj], "
                   L"Snimok.snimok From Snimok_tmp, Snimok Where Snimok_tmp.[file name]=Snimok.[file name] AND "
                   L"Snimok_tmp.[arj] IS NOT NULL AND Snimok.[arj] IS NULL AND Snimok.[file name] IS NOT NULL ;",
                   {}, 1);
    ExpectRows(L"Select [arj], [snim]  From Snimok_exist ;", {}, {{L"-2147483647", L"1"}});
    ExpectRows(L" SELECT count(*) FROM Snimok_dif WHERE nodel=0;", {}, {{L"2"}});
    ExpectRows(L" SELECT count(*) FROM Snimok_dif WHERE nodel<>0;", {}, {{L"0"}});

    // The dialogs of the synchronisation window.
    ExpectAffected(L"Update Snimok_dif Set [nodel]=1 where [file name]=?;", {W(L"X00000000090000000009")}, 1);
    ExpectRows(L"Select count(*) From Snimok_dif WHERE [disk]<>0 AND [nodel]<>0 ;", {}, {{L"1"}});
    ExpectRows(L"SELECT Arj_tmp.name, count(*) FROM Snimok_dif,Arj_tmp WHERE Snimok_dif.arj=Arj_tmp.Arj AND "
               L"[nodel]<>0 AND Snimok_dif.arj IS NOT NULL GROUP BY Arj_tmp.name ORDER BY Arj_tmp.name;",
               {}, {});
    ExpectRows(L"Select [file name] From Snimok_dif WHERE [disk]<>0 AND [nodel]<>0 ;", {},
               {{L"X00000000090000000009"}});
    ExpectAffected(L"Update Snimok_dif Set [disk]=0 WHERE [file name]=? ;", {W(L"x00000000090000000009")}, 1);
    ExpectAffected(L"Delete Snimok_dif WHERE arj IS NULL AND [disk]<>1;", {}, 1);
    ExpectRows(L"SELECT [file name] FROM Snimok_dif WHERE arj=? AND [nodel]<>0 ;", {UI4(0x80000001u)}, {});
    ExpectAffected(L"UPDATE Snimok_dif SET arj=NULL WHERE [file name]=? ;", {W(L"Z00000000070000000007")}, 1);
    ExpectRows(L"SELECT arj, name FROM Arj ORDER BY name ;", {}, {{L"305419896", L"MO_0001"}, {L"-1", L"MO_FFFF"}});
    ExpectRows(L"SELECT arj, name FROM Arj WHERE arj NOT IN ( SELECT arj FROM Arj_tmp)  ORDER BY name ;", {},
               {{L"305419896", L"MO_0001"}, {L"-1", L"MO_FFFF"}});

    // The scan's own clean-up of one disk.
    ExpectAffected(L"Update Snimok_tmp Set [arj]=NULL Where [disk]=1 AND arj=? ;", {UI4(0x80000001u)}, 1);
    ExpectAffected(L"Delete From Snimok_tmp Where [disk]=0 And arj=? ;", {UI4(0x80000001u)}, 2);

    // Dropping every auxiliary table.
    for (const wchar_t* table : {L"Snimok_dif", L"Snimok_exist", L"Snimok_tmp", L"DelSynSnimok", L"Patient_tmp",
                                 L"Arj_tmp", L"ErrCode_tmp", L"Msg_tmp"}) {
        std::wstring drop = L"DROP TABLE " + std::wstring(table) + L";";
        ExpectAffected(drop.c_str(), {}, -1);
    }
    ExpectRows(L"SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = ? ", {W(L"Arj_tmp")}, {{L"0"}});
}

TEST_F(SiteStatements, SynchronisationSteps)
{
    for (const wchar_t* create : kAuxiliaryTables)
        ASSERT_EQ(S_OK, Exec(create).hr);
    ExpectAffected(L"Insert Into Arj_tmp ([arj], [name]) VALUES(?, ?)", {UI4(0xC0000000u), W(L"MO_0003")}, 1);
    ExpectAffected(L"Insert Into Arj_tmp ([arj], [name]) VALUES(?, ?)", {UI4(305419896u), W(L"MO_0001")}, 1);
    ExpectAffected(L"Insert  Into Snimok_tmp ([file name], [disk]) VALUES(?, 1)", {W(L"П00000000020000000003")}, 1);
    ExpectAffected(L"Insert  Into Snimok_tmp ([file name], [arj]) VALUES(?, ?)",
                   {W(L"И00000000010000000002"), UI4(305419896u)}, 1);
    ExpectAffected(L"Insert  Into Snimok_tmp ([file name], [arj]) VALUES(?, ?)",
                   {W(L"N00000000060000000006"), UI4(0xC0000000u)}, 1);

    ExpectRows(L"Select Count(*) From DelImage;", {}, {{L"0"}});
    ExpectAffected(L"Delete From DelImage;", {}, 0);
    ExpectAffected(L" Insert Arj (arj, [name]) Select Arj_tmp.[arj], Arj_tmp.[name] From Arj_tmp Where Arj_tmp.[arj] "
                   L"NOT IN (Select Arj.[arj] From Arj);",
                   {}, 1);
    ExpectAffected(L"Update Snimok Set [disk]=1 Where [disk]=0 AND  [file name] IS NOT NULL  AND [file name] IN "
                   L"(Select Snimok_tmp.[file name] From Snimok_tmp Where Snimok_tmp.[disk]=1 );",
                   {}, 0);
    ExpectAffected(L"Update Snimok Set [disk]=0 Where Snimok.[disk]=1 AND [file name] IS NOT NULL  AND [file name] "
                   L"NOT IN(Select Snimok_tmp.[file name] From Snimok_tmp Where Snimok_tmp.[disk]=1 ) ;",
                   {}, 2);
    ExpectAffected(L"Update Snimok Set arj=?  Where  snimok=? ;", {UI4(305419896u), I4(1)}, 1);
    ExpectAffected(L"Delete From Snimok_exist;", {}, 0);
    ExpectAffected(L"DELETE FROM DelSynSnimok ;", {}, 0);
    ExpectAffected(L"Insert Snimok_dif ([file name], [disk], [arj]) Select Snimok_tmp.[file name], Snimok_tmp.[disk], "
                   L"Snimok_tmp.[arj] From Snimok_tmp Where Snimok_tmp.[file name] NOT IN  (Select Snimok.[file name] "
                   L"From Snimok Where Snimok.[file name] IS NOT NULL );",
                   {}, 1);
    ExpectAffected(L"INSERT INTO DelSynSnimok ([fn], [disk], arj) SELECT [file name], [disk], arj FROM Snimok_dif WHERE "
                   L"[disk]=1 AND nodel=0 ;",
                   {}, 0);
    ExpectAffected(L"INSERT INTO DelSynSnimok ([fn], [disk], arj) SELECT [file name], [disk], arj FROM Snimok_dif WHERE "
                   L" Arj IS NOT NULL AND [disk]=0 AND nodel=0 ;",
                   {}, 1);
    ExpectRows(L"Select [fn], arj From DelSynSnimok;", {}, {{L"N00000000060000000006", L"-1073741824"}});
    ExpectRows(L"Select [name] From Arj_tmp Where arj=? ;", {UI4(0xC0000000u)}, {{L"MO_0003"}});
    ExpectRows(L"Select Count(*) From Arj Where arj=? ;", {UI4(0xC0000000u)}, {{L"1"}});
    ExpectRows(L"Select [file name], arj, [disk] From Snimok_dif Where nodel=0 Order by Arj ;", {},
               {{L"N00000000060000000006", L"-1073741824", L"0"}});

    // Re-inserting the image of a file: its patient and its row, under their own keys.
    ExpectRows(L"Select patient, name1, name2, name3, birthday, pol From Patient Where name1=? And name2=? And name3=? "
               L"And birthday=? ;",
               {W(L"Новиков"), W(L"Ник"), W(L"Ник"), FT(1960, 1, 2)}, {});
    ExpectRows(L"Select patient From Patient Where patient=? ;", {I4(6)}, {});
    ExpectRows(L"Select snimok, patient From Snimok Where [file name]=? ;", {W(L"N00000000060000000006")}, {});
    ExpectRows(L"Select snimok From snimok Where snimok=? ;", {I4(6)}, {});
    ExpectAffected(L"SET IDENTITY_INSERT patient ON", {}, -1);
    ExpectAffected(L"Insert  Into Patient (patient, name1, name2, name3, birthday, [pol]) VALUES(?, ?, ?, ?, ?, ?) ;",
                   {I4(6), W(L"Новиков"), W(L"Ник"), W(L"Ник"), FT(1960, 1, 2), I4(1)}, 1);
    ExpectAffected(L"SET IDENTITY_INSERT patient OFF", {}, -1);
    ExpectAffected(L"SET IDENTITY_INSERT snimok ON", {}, -1);
    ExpectAffected(L"Insert Into Snimok(snimok, patient, arj, [Date file], [File name],[Disk], Bri, Contrast, Negativ) "
                   L"VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?);",
                   {I4(6), I4(6), UI4(0xC0000000u), FT(2022, 3, 4, 5, 6, 7), W(L"N00000000060000000006"), I4(0),
                    I4(1), I4(2), I4(0)},
                   1);
    ExpectAffected(L"DELETE FROM Snimok_dif WHERE [File name]=? And [nodel]=0 ;", {W(L"N00000000060000000006")}, 1);
    ExpectAffected(L"SET IDENTITY_INSERT snimok OFF", {}, -1);
    ExpectAffected(L"Update Snimok Set [arj]=?, [Disk]=? where Snimok=?;", {Null(DBTYPE_I4), I4(1), I4(6)}, 1);
    ExpectAffected(L"INSERT INTO Msg_tmp ([errcode], [fn]) VALUES(?, ?);", {I4(3), W(L"N00000000060000000006")}, 1);
    ExpectRows(L"SELECT errcode, fn FROM Msg_tmp WHERE msgdate IS NOT NULL", {},
               {{L"3", L"N00000000060000000006"}});
    ExpectAffected(L"INSERT INTO ErrCode_tmp ([errcode], [txt]) VALUES(?, ?);", {I4(3), W(L"Файл не найден")}, 1);
    ExpectAffected(L"Update Snimok_dif Set [nodel]=1 where [file name]=?;", {W(L"N00000000060000000006")}, 0);
    ExpectAffected(L"Update Snimok Set arj=NULL Where  snimok.arj  IN (Select arj From Arj_tmp) AND (snimok.[file name] "
                   L"NOT IN (Select [file name] From Snimok_tmp) OR snimok.[file name] IN (Select [file name] From "
                   L"Snimok_tmp Where arj IS NULL) ) AND snimok.arj IS NOT NULL ;",
                   {}, 2);
    ExpectAffected(L"Insert Arj (arj, [name]) Values(?, ?);", {UI4(0x90000000u), W(L"MO_0009")}, 1);
    ExpectRows(L"Select Count(*) From Arj Where arj=? ;", {I4(static_cast<int>(0x90000000u))}, {{L"1"}});
}

TEST_F(SiteStatements, Archive)
{
    ExpectAffected(L"DELETE FROM FixSnimok WHERE [Date fix] < GetDate();", {}, 1);
    ExpectRows(L"Select name from arj where arj=?;", {UI4(305419896u)}, {{L"MO_0001"}});
    ExpectRows(L"SELECT COUNT(*) FROM Arj WHERE Arj=?;", {UI4(0xFFFFFFFFu)}, {{L"1"}});
    ExpectRows(L"SELECT Snimok, [File Name] FROM Snimok  WHERE Arj IS NULL AND [Disk]=1 AND [File Name] IS NOT NULL;", {},
               {{L"1", L"И00000000010000000001"}, {L"5", L"S00000000040000000005"}});
    ExpectAffected(L"UPDATE Snimok SET Arj=? WHERE Snimok=?;", {UI4(0xFFFFFFFFu), I4(1)}, 1);
    ExpectRows(L"SELECT Patient.Name1+' '+Patient.Name2+' '+Patient.Name3, Snimok.[Date file] FROM Patient INNER JOIN "
               L"Snimok ON Patient.Patient = Snimok.Patient WHERE [file name] = ?;",
               {W(L"И00000000010000000001")}, {{L"Иванов Иван Иванович", L"2020-01-10 10:00:00.000"}});
    // Formatting and registering a disk.
    ExpectRows(L"Select Count(*) from Arj where arj= ?;", {UI4(0xABCD0001u)}, {{L"0"}});
    ExpectRows(L"Select Count(*) From Arj where [name] = ? ;", {W(L"mo_0001")}, {{L"1"}});
    ExpectAffected(L"INSERT INTO Arj (Arj, [name]) VALUES (?, ?);", {UI4(0xABCD0001u), W(L"MO_0010")}, 1);
    // Freeing space: images on an archive disk, not protected, oldest first.
    ExpectRows(L"SELECT Snimok, [File Name] FROM Snimok WHERE Arj IS NOT NULL AND [Disk]=1 AND [File Name] IS NOT NULL "
               L"AND Snimok NOT IN (SELECT Snimok FROM FixSnimok) ORDER BY [Date file];",
               {}, {{L"1", L"И00000000010000000001"}});
    ExpectAffected(L"UPDATE Snimok SET [Disk]=0 WHERE Snimok=?;", {I4(1)}, 1);
    ExpectRows(L"SELECT COUNT(*) FROM Snimok WHERE Arj IS NULL AND [File Name] IS NOT NULL;", {}, {{L"1"}});
    // Marking images for deletion by date (the statement's "0AND" is two tokens).
    ExpectRows(L"SELECT Count(*) FROM Snimok WHERE [date file] < ? AND nodelete = 0;", {FT(2020, 1, 31)}, {{L"3"}});
    ExpectAffected(L"INSERT INTO DelImage ( [File Name], Arj, [Disk] ) SELECT [File Name], Arj, [Disk] FROM Snimok "
                   L"WHERE [date file] < ? AND [File Name] IS NOT NULL AND nodelete = 0AND [File Name] NOT IN( SELECT "
                   L"[File name] FROM DelImage);",
                   {FT(2020, 1, 31)}, 2);
    ExpectAffected(L"DELETE FROM Snimok WHERE [date file] < ? AND nodelete = 0;", {FT(2020, 1, 31)}, 3);
    ExpectRows(L"SELECT count(*) FROM DelImage ;", {}, {{L"2"}});
    ExpectAffected(L"INSERT INTO DelImage ([File Name], Arj, [Disk]) SELECT [File Name], Arj, [Disk] FROM Snimok WHERE "
                   L"Imported=1 AND [File Name] IS NOT NULL;",
                   {}, 1);
    ExpectRows(L"SELECT DelSnimok, [File Name], Arj, [Disk] FROM DelImage ORDER BY Arj;", {},
               {{L"3", L"S00000000040000000005", kNull, L"1"},
                {L"1", L"И00000000010000000001", L"-1", L"0"},
                {L"2", L"П00000000020000000003", L"305419896", L"1"}});
    ExpectAffected(L"DELETE FROM DelImage WHERE DelSnimok=?;", {I4(2)}, 1);
    // No reachable code sends a cursor: it is refused.
    ExpectState(L"Declare cur_patient Cursor  Global FORWARD_ONLY STATIC For Select name1, name2 From Patient ;", {},
                L"42000");
}

TEST_F(SiteStatements, BackupWritesAConsistentCopy)
{
    std::wstring path = Folder() + L"\\backup.bak";
    std::wstring backup = L"BACKUP DATABASE Zelk TO DISK='" + path + L"' WITH INIT";
    ExpectAffected(backup.c_str(), {}, -1);
    ExpectAffected(L"DELETE FROM FixSnimok", {}, 2);
    ExpectAffected(backup.c_str(), {}, -1);  // WITH INIT: written anew over the first
    // The copy opens as a database of its own.
    Ptr<IDBInitialize> other;
    ASSERT_EQ(S_OK, OpenSource(L"Provider=ZelkSQLite.1;Data Source=" + path + L";Initial Catalog=Zelk", other));
    Ptr<IDBCreateSession> factory = other.As<IDBCreateSession>(IID_IDBCreateSession);
    Ptr<IDBCreateCommand> session;
    ASSERT_EQ(S_OK, factory->CreateSession(nullptr, IID_IDBCreateCommand, session.OutUnknown()));
    Result r = Exec(L"SELECT count(*) FROM Snimok WHERE Patient = 1", {}, session.Get());
    EXPECT_EQ(S_OK, r.hr);
    EXPECT_EQ((std::vector<Row>{{L"2"}}), r.rows);
    r = Exec(L"SELECT count(*) FROM FixSnimok", {}, session.Get());
    EXPECT_EQ((std::vector<Row>{{L"0"}}), r.rows);
    session.Reset();
    other.Reset();
    // Only the open database can be backed up, and only into a folder that exists.
    ExpectState(L"BACKUP DATABASE Other TO DISK='x.bak' WITH INIT", {}, L"42000");
    std::wstring missing = L"BACKUP DATABASE Zelk TO DISK='" + Folder() + L"\\no such folder\\b.bak' WITH INIT";
    ExpectState(missing.c_str(), {}, L"42000");
    ExpectState(L"BACKUP DATABASE Zelk TO DISK='x.bak'", {}, L"42000");
}

// DBCC CHECKDB passes on a sound database and names what it finds in a
// damaged one: the crash tests check every database they leave with it.
TEST_F(SiteStatements, CheckDbFindsADamagedFile)
{
    ExpectAffected(L"DBCC CHECKDB", {}, -1);
    ExpectAffected(L"DBCC CHECKDB WITH NO_INFOMSGS", {}, -1);
    ExpectState(L"DBCC CHECKTABLE (Snimok)", {}, L"42000");
    std::wstring path = Folder() + L"\\damaged.bak";
    ExpectAffected((L"BACKUP DATABASE Zelk TO DISK='" + path + L"' WITH INIT").c_str(), {}, -1);
    // Every page but the schema's gets a broken page header. The schema is
    // the first page, and the pages it points to when it has outgrown it (an
    // interior page: type 5, its cells' child pages and its right-most one).
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const DWORD size = GetFileSize(file, nullptr);
    ASSERT_GT(size, 8192u);
    std::vector<BYTE> first(4096);
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file, first.data(), 4096, &read, nullptr));
    auto number = [&](size_t at, int bytes) {
        DWORD n = 0;
        for (int i = 0; i < bytes; ++i)
            n = (n << 8) | first[at + i];
        return n;
    };
    std::set<DWORD> schema = {1};
    if (first[100] == 5) {
        schema.insert(number(108, 4));
        for (DWORD cell = 0; cell < number(103, 2); ++cell)
            schema.insert(number(number(112 + 2 * cell, 2), 4));
    }
    const BYTE garbage[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    for (DWORD page = 4096; page < size; page += 4096) {
        if (schema.count(page / 4096 + 1))
            continue;
        SetFilePointer(file, (LONG)page, nullptr, FILE_BEGIN);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file, garbage, sizeof garbage, &written, nullptr));
    }
    CloseHandle(file);
    Ptr<IDBInitialize> other;
    ASSERT_EQ(S_OK, OpenSource(L"Provider=ZelkSQLite.1;Data Source=" + path + L";Initial Catalog=Zelk", other));
    Ptr<IDBCreateSession> factory = other.As<IDBCreateSession>(IID_IDBCreateSession);
    Ptr<IDBCreateCommand> session;
    ASSERT_EQ(S_OK, factory->CreateSession(nullptr, IID_IDBCreateCommand, session.OutUnknown()));
    Result r = Exec(L"DBCC CHECKDB", {}, session.Get());
    EXPECT_TRUE(FAILED(r.hr));
    EXPECT_EQ(L"HY000", r.error.sqlState);
}

}  // namespace
}  // namespace zt

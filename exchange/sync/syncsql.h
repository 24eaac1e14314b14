// The statements of the synchronisation, in SQL Server's dialect, as the
// database has always been given them.
#pragma once

namespace syncsql {

// --- the scans' tables ---
const wchar_t kTableExists[] = L"SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = ? ";
// Disks are told apart by their serial alone: two disks may have one label.
const wchar_t kCreateArjTmp[] =
    L"CREATE TABLE [dbo].[Arj_tmp] ( [arj] [int] NOT NULL CONSTRAINT [PK_ArjTmp] PRIMARY KEY  CLUSTERED ON "
    L"[PRIMARY], [Name] [nvarchar] (20) NOT NULL )";
const wchar_t kCreatePatientTmp[] =
    L"CREATE TABLE [dbo].[Patient_tmp] ( [Patient] [int] IDENTITY (1, 1) NOT NULL CONSTRAINT [PK_PatientTmp] "
    L"PRIMARY KEY  NONCLUSTERED ON [PRIMARY], [GeneralCrit] [int] NULL , [Name1] [nvarchar] (32) NOT NULL , "
    L"[Name2] [nvarchar] (32) NOT NULL , [Name3] [nvarchar] (32) NOT NULL , [Birthday] [datetime] NOT NULL, "
    L"CONSTRAINT [IX_PatientTmp_Name_UQ] UNIQUE  NONCLUSTERED ([Name1], [Name2], [Name3], [Birthday])  ON "
    L"[PRIMARY]  )";
const wchar_t kCreateSnimokTmp[] =
    L"CREATE TABLE [dbo].[Snimok_tmp] ( [Snimok] [int] IDENTITY (1, 1) NOT NULL CONSTRAINT [PK_SnimokTmp] "
    L"PRIMARY KEY  NONCLUSTERED ON [PRIMARY] , [Patient] [int] NULL , [Arj] [int] NULL , [Date file] [datetime] "
    L"NULL , [File name] [nchar] (21) NOT NULL , [Disk] [bit] NOT NULL DEFAULT (0) , CONSTRAINT "
    L"[FK_SnimokTmp_Arj] FOREIGN KEY ([Arj]) REFERENCES [dbo].[Arj_tmp] ([arj]) , CONSTRAINT "
    L"[FK_SnimokTmp_Patient] FOREIGN KEY ([Patient]) REFERENCES [dbo].[Patient_tmp] ([Patient])  )";
const wchar_t kCreateSnimokTmpIndex[] = L"CREATE  INDEX [IX_SnimokTmp_Fn] ON [dbo].[Snimok_tmp]([File name])";

// --- hard-disk and archive scans ---
const wchar_t kListSnimokTmp[] = L"Select snimok, [file name], [disk], arj From Snimok_tmp ";
const wchar_t kListMarked[] = L"Select [File Name] From DelImage ";
const wchar_t kInsertHddFile[] = L"Insert  Into Snimok_tmp ([file name], [disk]) VALUES(?, 1)";
const wchar_t kSetHddFlag[] = L"Update Snimok_tmp Set [disk]=1 where Snimok=? ;";
const wchar_t kCountArjTmp[] = L"Select count(*) From Arj_tmp Where [arj]=? ;";
const wchar_t kInsertArjTmp[] = L"Insert Into Arj_tmp ([arj], [name]) VALUES(?, ?)";
const wchar_t kSetMoDisk[] = L"Update Snimok_tmp Set [arj]=? where Snimok=? ;";
const wchar_t kInsertMoFile[] = L"Insert  Into Snimok_tmp ([file name], [arj]) VALUES(?, ?)";
const wchar_t kClearDiskFiles[] = L"Delete From Snimok_tmp Where [disk]=0 And arj=? ;";
const wchar_t kClearDiskArj[] = L"Update Snimok_tmp Set [arj]=NULL Where [disk]=1 AND arj=? ;";
// What a scan that saw its whole folder records of the files it did not meet.
const wchar_t kClearHddFlag[] = L"Update Snimok_tmp Set [disk]=0 where Snimok=? ;";
const wchar_t kClearMoDisk[] = L"Update Snimok_tmp Set [arj]=NULL where Snimok=? ;";
const wchar_t kForgetTmpRow[] = L"Delete From Snimok_tmp where Snimok=? ;";
// Rebuilding Arj_tmp without the unique name of earlier versions.
const wchar_t kCountArjTmpName[] = L"Select count(*) From Arj_tmp Where [name]=? ;";
const wchar_t kListArjTmp[] = L"Select [arj], [name] From Arj_tmp ;";
const wchar_t kDropSnimokTmp[] = L"DROP TABLE Snimok_tmp;";
const wchar_t kDropArjTmp[] = L"DROP TABLE Arj_tmp;";
const wchar_t kRestoreTmpRow[] = L"Insert Into Snimok_tmp ([file name], [disk], [arj]) VALUES(?, ?, ?)";

// --- the synchronisation's steps ---
const wchar_t kAddNewArj[] =
    L" Insert Arj (arj, [name]) Select Arj_tmp.[arj], Arj_tmp.[name] From Arj_tmp Where Arj_tmp.[arj] NOT IN "
    L"(Select Arj.[arj] From Arj);";
// Rows whose [disk] may change: the scan found their file, or they say it is
// on the hard disk; each is checked against the image folder itself.
const wchar_t kListFoundOffDisk[] =
    L"Select snimok, [file name] From Snimok Where [disk]=0 AND [file name] IS NOT NULL AND [file name] IN (Select "
    L"Snimok_tmp.[file name] From Snimok_tmp Where Snimok_tmp.[disk]=1 );";
const wchar_t kListOnDisk[] = L"Select snimok, [file name] From Snimok Where [disk]=1 AND [file name] IS NOT NULL ;";
const wchar_t kSetRowDiskFlag[] = L"Update Snimok Set [disk]=? Where snimok=? ;";
const wchar_t kListExist[] = L"Select [arj], [snim], [File name]  From Snimok_exist ;";
const wchar_t kSetArjFromExist[] = L"Update Snimok Set arj=?  Where  snimok=? ;";
const wchar_t kEmptyExist[] = L"Delete From Snimok_exist;";
const wchar_t kEmptyWorkList[] = L"DELETE FROM DelSynSnimok ;";
// The work lists leave out the files that DelImage names: their images were
// deleted and must not come back.
const wchar_t kFillHddWorkList[] =
    L"INSERT INTO DelSynSnimok ([fn], [disk], arj) SELECT [file name], [disk], arj FROM Snimok_dif WHERE [disk]=1 "
    L"AND nodel=0 AND [file name] NOT IN (SELECT [File Name] FROM DelImage) ;";
const wchar_t kFillArchiveWorkList[] =
    L"INSERT INTO DelSynSnimok ([fn], [disk], arj) SELECT [file name], [disk], arj FROM Snimok_dif WHERE  Arj IS "
    L"NOT NULL AND [disk]=0 AND nodel=0 AND [file name] NOT IN (SELECT [File Name] FROM DelImage) ;";
const wchar_t kListWork[] = L"Select [fn], arj From DelSynSnimok;";
const wchar_t kFindPatientByNames[] =
    L"Select patient, name1, name2, name3, birthday, pol From Patient Where name1=? And name2=? And name3=? And "
    L"birthday=? ;";
const wchar_t kFindPatientById[] = L"Select patient From Patient Where patient=? ;";
const wchar_t kFindSnimokByName[] = L"Select snimok, patient From Snimok Where [file name]=? ;";
const wchar_t kFindSnimokById[] = L"Select snimok From snimok Where snimok=? ;";
const wchar_t kPatientIdentityOn[] = L"SET IDENTITY_INSERT patient ON";
const wchar_t kPatientIdentityOff[] = L"SET IDENTITY_INSERT patient OFF";
const wchar_t kInsertPatient[] =
    L"Insert  Into Patient (patient, name1, name2, name3, birthday, [pol]) VALUES(?, ?, ?, ?, ?, ?) ;";
const wchar_t kUpdateRestored[] = L"Update Snimok Set [arj]=?, [Disk]=? where Snimok=?;";
const wchar_t kUpdateRestoredDisk[] = L"Update Snimok Set [Disk]=? where Snimok=?;";
const wchar_t kUpdateRestoredArj[] = L"Update Snimok Set [arj]=? where Snimok=?;";
const wchar_t kInsertRestored[] =
    L"Insert Into Snimok(snimok, patient, arj, [Date file], [File name],[Disk], Bri, Contrast, Negativ) VALUES(?, "
    L"?, ?, ?, ?, ?, ?, ?, ?);";
const wchar_t kDeleteRestoredDif[] = L"DELETE FROM Snimok_dif WHERE [File name]=? And [nodel]=0 ;";
const wchar_t kSnimokIdentityOn[] = L"SET IDENTITY_INSERT snimok ON";
const wchar_t kSnimokIdentityOff[] = L"SET IDENTITY_INSERT snimok OFF";
// A file gone from where a scan found it: from the hard disk (the row goes
// to the archive pass when the file is on an archive disk too, else it goes),
// or from its archive disk (file name, serial).
const wchar_t kGoneFromHddDif[] = L"Update Snimok_dif Set [disk]=0 Where [file name]=? AND arj IS NOT NULL ;";
const wchar_t kForgetGoneDif[] = L"Delete From Snimok_dif Where [file name]=? AND arj IS NULL ;";
const wchar_t kGoneFromHddTmp[] = L"Update Snimok_tmp Set [disk]=0 Where [file name]=? AND arj IS NOT NULL ;";
const wchar_t kForgetGoneTmp[] = L"Delete From Snimok_tmp Where [file name]=? AND arj IS NULL ;";
const wchar_t kGoneFromDiskDif[] = L"Delete From Snimok_dif Where [file name]=? AND [disk]=0 ;";
const wchar_t kGoneFromDiskTmp[] = L"Update Snimok_tmp Set [arj]=NULL Where [file name]=? AND arj=? AND [disk]=1 ;";
const wchar_t kForgetGoneDiskTmp[] = L"Delete From Snimok_tmp Where [file name]=? AND arj=? AND [disk]=0 ;";
const wchar_t kLogMessage[] = L"INSERT INTO Msg_tmp ([errcode], [fn]) VALUES(?, ?);";
const wchar_t kMarkNoDel[] = L"Update Snimok_dif Set [nodel]=1 where [file name]=?;";
const wchar_t kWriteErrCode[] = L"INSERT INTO ErrCode_tmp ([errcode], [txt]) VALUES(?, ?);";
const wchar_t kArjTmpName[] = L"Select [name] From Arj_tmp Where arj=? ;";
const wchar_t kArjRegistered[] = L"Select Count(*) From Arj Where arj=? ;";
const wchar_t kRegisterArj[] = L"Insert Arj (arj, [name]) Values(?, ?);";

}  // namespace syncsql

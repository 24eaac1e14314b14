-- Database of the X-ray room workstation, in SQL Server's own dialect.
--
-- Run it through the ZelkSQLite provider (never through SQLite itself: text
-- columns compare with the provider's own case-insensitive collation, which
-- only the provider's connections know). Statements are separated by lines
-- holding only GO, as SQL Server's tools read such scripts; each one is
-- handed to the provider as one command.
--
-- Keys made with IDENTITY are never used twice, not even after the row with
-- the highest key is deleted: image file names are built from them.
-- The stored procedures sp_delete_patient, sp_delete_snimok,
-- sp_delete_snimok_complete and sp_cpy_smk belong to the provider.

-- The patients. Pol is the sex code (an int: a bit would lose codes other
-- than 0 and 1).
CREATE TABLE Patient (
    Patient int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Patient PRIMARY KEY CLUSTERED,
    Name1 nvarchar (32) NOT NULL,
    Name2 nvarchar (32) NULL,
    Name3 nvarchar (32) NULL,
    Birthday datetime NULL,
    Pol int NOT NULL CONSTRAINT DF_Patient_Pol DEFAULT (0)
);
GO

-- The synchronisation finds an image file's patient by names and birthday.
CREATE INDEX IX_Patient_Names ON Patient (Name1, Name2, Name3, Birthday)
GO

-- Archive (MO) disks, keyed by the disk's volume serial number; serials of
-- 0x80000000 and above are kept as negative numbers.
CREATE TABLE Arj (
    Arj int NOT NULL CONSTRAINT PK_Arj PRIMARY KEY CLUSTERED,
    Name nvarchar (20) NOT NULL
);
GO

-- Diagnosis templates: the name shown in lists and the text an image's
-- description is written from.
CREATE TABLE DiagHelp (
    DiagHelp int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_DiagHelp PRIMARY KEY CLUSTERED,
    Txt nvarchar (64) NOT NULL,
    DiagTemplate ntext NULL
);
GO

-- The images. [File name] is the name of the ".xmg" and ".thb" files
-- without extension (a letter and twenty digits); NULL once the image was
-- removed. [Disk] is 1 while the file is on the hard disk, Arj the archive
-- disk that holds a copy.
CREATE TABLE Snimok (
    Snimok int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Snimok PRIMARY KEY CLUSTERED,
    Patient int NOT NULL CONSTRAINT FK_Snimok_Patient REFERENCES Patient (Patient),
    [Disk] bit NOT NULL CONSTRAINT DF_Snimok_Disk DEFAULT (1),
    Arj int NULL CONSTRAINT FK_Snimok_Arj REFERENCES Arj (Arj),
    [Date file] datetime NULL,
    [File name] nvarchar (21) NULL,
    Bri int NULL,
    Contrast int NULL,
    Negativ int NULL,
    xWinCenter int NULL,
    yWinCenter int NULL,
    Scale real NULL,
    Orientation int NULL,
    Apicriz ntext NULL,
    DiagHelp int NULL CONSTRAINT FK_Snimok_DiagHelp REFERENCES DiagHelp (DiagHelp),
    NoDelete bit NOT NULL CONSTRAINT DF_Snimok_NoDelete DEFAULT (0),
    imported bit NOT NULL CONSTRAINT DF_Snimok_imported DEFAULT (0)
);
GO

CREATE INDEX IX_Snimok_Patient ON Snimok (Patient)
GO

CREATE INDEX IX_Snimok_FileName ON Snimok ([File name])
GO

-- Image files waiting to be deleted from the hard disk and the archive disks.
CREATE TABLE DelImage (
    DelSnimok int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_DelImage PRIMARY KEY CLUSTERED,
    [File Name] nvarchar (21) NOT NULL,
    Arj int NULL,
    [Disk] bit NOT NULL
);
GO

-- Images kept on the hard disk by the free-space step until [Date fix].
CREATE TABLE FixSnimok (
    Snimok int NOT NULL CONSTRAINT PK_FixSnimok PRIMARY KEY CLUSTERED,
    [Date fix] datetime NOT NULL
);
GO

-- Modalities that new images may be given.
CREATE TABLE Modality (
    id_modality int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Modality PRIMARY KEY CLUSTERED,
    Name nvarchar (32) NOT NULL
);
GO

-- The ledger that earlier database merges wrote: which image of which other
-- database (SourceDb, its folder's full path in capitals) became which image
-- here. Merges no longer write it (a folder does not tell a database apart:
-- one recreated there reuses the keys); they read it once to give the images
-- it names their identities. It stays for the databases that hold its rows.
CREATE TABLE MergeLedger (
    SourceDb nvarchar (260) NOT NULL,
    SourceSnimok int NOT NULL,
    Snimok int NOT NULL,
    CONSTRAINT PK_MergeLedger PRIMARY KEY CLUSTERED (SourceDb, SourceSnimok)
);
GO

-- The database's identity for the merge, a GUID in braces: one row, made by
-- the first merge that meets the database. A merge refuses a database whose
-- identity is its own.
CREATE TABLE MergeDatabase (
    DbGuid nvarchar (38) NOT NULL CONSTRAINT PK_MergeDatabase PRIMARY KEY CLUSTERED
);
GO

-- The identities of the images that took part in a merge: an image and every
-- copy of it on the other workstations share one GUID, so that no merge, in
-- whatever direction, takes an image twice. An image without a row here has
-- never left this database. The merge creates both tables in an older
-- database.
CREATE TABLE MergeSnimok (
    Guid nvarchar (38) NOT NULL CONSTRAINT PK_MergeSnimok PRIMARY KEY CLUSTERED,
    Snimok int NOT NULL CONSTRAINT UQ_MergeSnimok_Snimok UNIQUE
);
GO

-- The tables of the image tests and the demo site, in SQL Server's language
-- as far as the provider takes it today: a key the database fills is declared
-- INTEGER PRIMARY KEY (SQL Server: int IDENTITY(1,1) PRIMARY KEY).

CREATE TABLE Patient (
    Patient INTEGER PRIMARY KEY,
    Name1 nvarchar(40) NOT NULL,
    Name2 nvarchar(40) NULL,
    Name3 nvarchar(40) NULL,
    Birthday datetime NULL,
    Pol tinyint NOT NULL DEFAULT 0
);

CREATE TABLE Snimok (
    Snimok INTEGER PRIMARY KEY,
    Patient int NOT NULL REFERENCES Patient (Patient),
    [Disk] bit NOT NULL DEFAULT 1,
    Arj int NULL,
    [Date file] datetime NULL,
    [File name] nvarchar(21) NULL,
    Bri int NULL,
    Contrast int NULL,
    Negativ int NULL,
    xWinCenter int NULL,
    yWinCenter int NULL,
    Scale real NULL,
    Orientation int NULL,
    Apicriz ntext NULL,
    DiagHelp int NULL,
    NoDelete bit NOT NULL DEFAULT 0,
    Imported bit NOT NULL DEFAULT 0
);

CREATE TABLE DiagHelp (
    DiagHelp INTEGER PRIMARY KEY,
    Txt nvarchar(64) NOT NULL,
    DiagTemplate ntext NULL
);

CREATE TABLE Modality (
    id_modality INTEGER PRIMARY KEY,
    Name nvarchar(64) NOT NULL
);

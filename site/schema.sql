-- Database of the X-ray room workstation: SQL Server (MSDE) schema.
--
-- The patients and their images. Only the two main tables are here so far;
-- the archive disks (Arj), deleted images (DelImage), diagnosis templates
-- (DiagHelp), modalities and the stored procedures are added with the
-- database provider's own schema work. Column names are the ones every
-- statement of the program and every description file in site/cfg uses.

CREATE TABLE Patient (
    Patient int IDENTITY(1,1) PRIMARY KEY,
    Name1 nvarchar(40) NOT NULL,        -- family name
    Name2 nvarchar(40) NULL,            -- first name
    Name3 nvarchar(40) NULL,            -- patronymic
    Birthday datetime NULL,
    Pol tinyint NOT NULL DEFAULT 0      -- sex: non-zero for male
);

CREATE TABLE Snimok (
    Snimok int IDENTITY(1,1) PRIMARY KEY,
    Patient int NOT NULL REFERENCES Patient (Patient),
    [Disk] bit NOT NULL DEFAULT 1,      -- 1: the image file is on the hard disk
    Arj int NULL,                       -- archive disk (its volume serial number)
    [Date file] datetime NULL,          -- date of the image
    [File name] nvarchar(21) NULL,      -- "Image\" file name without extension
    Bri int NULL,                       -- display offset
    Contrast int NULL,                  -- display width
    Negativ int NULL,
    xWinCenter int NULL,
    yWinCenter int NULL,
    Scale real NULL,
    Orientation int NULL,
    Apicriz ntext NULL,                 -- the image's description
    DiagHelp int NULL,                  -- the diagnosis template it was written from
    NoDelete bit NOT NULL DEFAULT 0,
    Imported bit NOT NULL DEFAULT 0
);

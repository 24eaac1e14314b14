// The merge's texts and checks: see mergesql.h.
#include "exchange/merge/mergesql.h"

const wchar_t kColumnExistsSql[] =
    L"SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME LIKE ? AND COLUMN_NAME LIKE ? ;";
const wchar_t kAddImportedSql[] = L"ALTER TABLE Snimok ADD imported [bit] NOT NULL DEFAULT (0);";
const wchar_t kMarkImportedSql[] = L"Update Snimok Set imported=1 Where snimok=? ;";
const wchar_t kHoldKeptImageSql[] = L"Update Snimok Set imported=0 Where snimok=? AND imported=0 ;";
const wchar_t kLedgerRowsSql[] = L"SELECT SourceSnimok, Snimok FROM MergeLedger WHERE SourceDb=? ;";
const wchar_t kLedgerTable[] = L"MergeLedger";
const wchar_t kLedgerKeyColumn[] = L"SourceSnimok";
const wchar_t kImageDateSql[] = L"SELECT [Date file], [File name] FROM Snimok WHERE Snimok=? ;";
const wchar_t kPatientImagesSinceSql[] =
    L"SELECT Snimok, [File name], [Date file] FROM Snimok "
    L"WHERE Patient=? AND Snimok>? AND [Disk]<>0 AND [File name] IS NOT NULL ORDER BY Snimok;";
const wchar_t kCarryDisplaySql[] = L"Update Snimok Set bri=?, contrast=?, negativ=? Where snimok=? ;";

const wchar_t kDatabaseTable[] = L"MergeDatabase";
const wchar_t kDatabaseKeyColumn[] = L"DbGuid";
const wchar_t kCreateDatabaseTableSql[] =
    L"CREATE TABLE MergeDatabase (DbGuid nvarchar (38) NOT NULL CONSTRAINT PK_MergeDatabase PRIMARY KEY CLUSTERED);";
const wchar_t kDatabaseIdentitySql[] = L"SELECT DbGuid FROM MergeDatabase ;";
const wchar_t kInsertDatabaseIdentitySql[] = L"INSERT INTO MergeDatabase (DbGuid) VALUES (?);";
const wchar_t kRenewDatabaseIdentitySql[] = L"UPDATE MergeDatabase SET DbGuid=? ;";
const wchar_t kImageTable[] = L"MergeSnimok";
const wchar_t kImageKeyColumn[] = L"Guid";
const wchar_t kCreateImageTableSql[] =
    L"CREATE TABLE MergeSnimok (Guid nvarchar (38) NOT NULL CONSTRAINT PK_MergeSnimok PRIMARY KEY CLUSTERED, "
    L"Snimok int NOT NULL CONSTRAINT UQ_MergeSnimok_Snimok UNIQUE);";
const wchar_t kImageIdentitiesSql[] = L"SELECT Guid, Snimok FROM MergeSnimok ;";
const wchar_t kIdentityOfImageSql[] = L"SELECT Guid FROM MergeSnimok WHERE Snimok=? ;";
const wchar_t kImageOfIdentitySql[] = L"SELECT Snimok FROM MergeSnimok WHERE Guid=? ;";
const wchar_t kInsertImageIdentitySql[] = L"INSERT INTO MergeSnimok (Guid, Snimok) VALUES (?, ?);";
const wchar_t kRenewImageIdentitySql[] = L"UPDATE MergeSnimok SET Guid=? WHERE Snimok=? ;";
const wchar_t kClearDatabaseIdentitySql[] = L"DELETE FROM MergeDatabase ;";

bool IsIdentity(const std::wstring& text)
{
    // {8-4-4-4-12 hexadecimal digits}
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}')
        return false;
    for (size_t i = 1; i < 37; ++i) {
        const wchar_t c = text[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const bool hex = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
        if (dash ? c != L'-' : !hex)
            return false;
    }
    return true;
}

namespace {

// "[A]=?, [B]=?" for the columns.
std::wstring Assignments(const std::vector<std::wstring>& columns)
{
    std::wstring text;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i)
            text += L", ";
        text += QuoteName(columns[i]) + L"=?";
    }
    return text;
}

}  // namespace

std::wstring QuoteName(const std::wstring& name)
{
    std::wstring quoted = L"[";
    for (wchar_t c : name) {
        quoted += c;
        if (c == L']')
            quoted += L']';
    }
    return quoted + L"]";
}

std::wstring BuildFindPatientSql(const std::vector<std::wstring>& keys, const std::vector<bool>& isNull)
{
    std::wstring sql = L"Select Patient From Patient Where ";
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i)
            sql += L" AND ";
        sql += QuoteName(keys[i]);
        sql += i < isNull.size() && isNull[i] ? L" IS NULL" : L"=?";
    }
    return sql + L" ;";
}

std::wstring BuildUpdatePatientSql(const std::vector<std::wstring>& columns)
{
    if (columns.empty())
        return std::wstring();
    return L"Update Patient Set " + Assignments(columns) + L" Where patient=? ;";
}

std::wstring BuildLoadPatientSql(const std::vector<std::wstring>& columns)
{
    std::wstring sql = L"Select ";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i)
            sql += L", ";
        sql += QuoteName(columns[i]);
    }
    return sql + L" From Patient Where patient=? ;";
}

std::wstring BuildUpdateSnimokSql(const std::vector<std::wstring>& columns)
{
    if (columns.empty())
        return std::wstring();
    return L"Update Snimok Set " + Assignments(columns) + L" Where snimok=? ;";
}

namespace {

// ", [A], [B]" for the columns.
std::wstring FurtherColumns(const std::vector<std::wstring>& columns)
{
    std::wstring text;
    for (const std::wstring& column : columns)
        text += L", " + QuoteName(column);
    return text;
}

}  // namespace

namespace {

// bri, contrast, negativ, the further columns, [Disk], [File name], imported, Patient.
std::wstring CarriedColumns(const std::vector<std::wstring>& columns)
{
    return L"bri, contrast, negativ" + FurtherColumns(columns) + L", [Disk], [File name], imported, Patient";
}

}  // namespace

std::wstring BuildCarriedValuesSql(const std::vector<std::wstring>& columns)
{
    return L"SELECT " + CarriedColumns(columns) + L" FROM Snimok WHERE Snimok=? ;";
}

std::wstring BuildListedImagesSql(const std::vector<std::wstring>& columns)
{
    return L"SELECT Snimok, " + CarriedColumns(columns) +
           L" FROM Snimok WHERE imported=0 AND [File name] IS NOT NULL AND [Disk]<>0 ORDER BY Patient, Snimok ;";
}

std::wstring BuildIdentifiedImagesSql(const std::vector<std::wstring>& columns)
{
    return L"SELECT Snimok, " + CarriedColumns(columns) +
           L" FROM Snimok WHERE Snimok IN (SELECT Snimok FROM MergeSnimok) ;";
}

std::vector<std::wstring> CarriedValuesColumns(const std::vector<std::wstring>& columns)
{
    std::vector<std::wstring> names = {L"bri", L"contrast", L"negativ"};
    names.insert(names.end(), columns.begin(), columns.end());
    for (const wchar_t* name : {L"Disk", L"File name", L"imported", L"Patient"})
        names.push_back(name);
    return names;
}

InitFileVerdict ParseInitFile(const BYTE* bytes, DWORD size, std::wstring* initString)
{
    initString->clear();
    if (!bytes || size < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE)
        return InitFileVerdict::kNoByteOrderMark;
    const DWORD chars = (size - 2) / 2;
    for (DWORD i = 0; i < chars && initString->size() < 511; ++i) {
        const wchar_t c = (wchar_t)(bytes[2 + 2 * i] | (bytes[3 + 2 * i] << 8));
        if (c < 0x20)
            break;
        *initString += c;
    }
    return initString->empty() ? InitFileVerdict::kEmpty : InitFileVerdict::kOk;
}

ValueKind ValueKindOfType(DWORD oledbType)
{
    switch (oledbType) {
    case 2:     // DBTYPE_I2
    case 3:     // DBTYPE_I4
    case 11:    // DBTYPE_BOOL
    case 16:    // DBTYPE_I1
    case 17:    // DBTYPE_UI1
    case 18:    // DBTYPE_UI2
    case 19:    // DBTYPE_UI4
    case 20:    // DBTYPE_I8
    case 21:    // DBTYPE_UI8
        return ValueKind::kInteger;
    case 4:     // DBTYPE_R4
    case 5:     // DBTYPE_R8
        return ValueKind::kReal;
    case 8:     // DBTYPE_BSTR
    case 129:   // DBTYPE_STR
    case 130:   // DBTYPE_WSTR
        return ValueKind::kText;
    case 7:     // DBTYPE_DATE
    case 64:    // DBTYPE_FILETIME
    case 133:   // DBTYPE_DBDATE
    case 135:   // DBTYPE_DBTIMESTAMP
        return ValueKind::kDate;
    default:
        return ValueKind::kUnsupported;
    }
}

wchar_t DriveLetterOfFolder(const wchar_t* folder)
{
    if (!folder)
        return 0;
    const wchar_t c = folder[0];
    const bool letter = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
    if (!letter || folder[1] != L':' || (folder[2] != 0 && folder[2] != L'\\'))
        return 0;
    return c >= L'a' ? (wchar_t)(c - L'a' + L'A') : c;
}

// The texts of the database merge that depend on its settings, and the checks
// of what the other database and its folder hand over: pure functions of
// their arguments, without windows or database handles.
//
// Column names come from the registry and are always written in brackets
// (QuoteName), so a name with a blank, a bracket or a word of the language
// stays one name. The patient search compares each key column with "=?" when
// the source patient has a value there and with "IS NULL" when it has none,
// so that a patient whose key column is NULL is found again instead of
// being inserted anew at every merge.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// "[name]" with every "]" of the name doubled.
std::wstring QuoteName(const std::wstring& name);

// "Select Patient From Patient Where [K1]=? AND [K2] IS NULL ;": one term per
// key column in order, "IS NULL" where `isNull` is true; the parameters are
// the non-null key values in order.
std::wstring BuildFindPatientSql(const std::vector<std::wstring>& keys, const std::vector<bool>& isNull);
// "Update Patient Set [A]=?, [B]=? Where patient=? ;", empty without columns.
std::wstring BuildUpdatePatientSql(const std::vector<std::wstring>& columns);
// "Select [A], [B] From Patient Where patient=? ;" on the other database.
std::wstring BuildLoadPatientSql(const std::vector<std::wstring>& columns);
// "Update Snimok Set [X]=?, [Y]=? Where snimok=? ;", empty without columns.
std::wstring BuildUpdateSnimokSql(const std::vector<std::wstring>& columns);
// What the merge carries of an image (bri, contrast, negativ, then the
// further columns), then [Disk], [File name], imported and Patient: "SELECT
// ... FROM Snimok WHERE Snimok=? ;". Both databases have the column imported
// (the merge adds it).
std::wstring BuildCarriedValuesSql(const std::vector<std::wstring>& columns);
// The other database's rows still to merge (not marked, named, on the disk),
// by patient and image: Snimok, then the columns of BuildCarriedValuesSql.
std::wstring BuildListedImagesSql(const std::vector<std::wstring>& columns);
// The images here that hold an identity: Snimok, then the columns of
// BuildCarriedValuesSql.
std::wstring BuildIdentifiedImagesSql(const std::vector<std::wstring>& columns);
// The names of the columns BuildCarriedValuesSql selects, in order.
std::vector<std::wstring> CarriedValuesColumns(const std::vector<std::wstring>& columns);

// What the merge runs besides the texts above.
extern const wchar_t kColumnExistsSql[];    // count of a column of a table (table, column)
extern const wchar_t kAddImportedSql[];     // the column "imported" for an older database
extern const wchar_t kMarkImportedSql[];    // the source image is merged
// An image here that keeps what a mark there leaves to it: one row changed
// when it is not marked imported itself, and held so until the transaction ends.
extern const wchar_t kHoldKeptImageSql[];
extern const wchar_t kLedgerRowsSql[];      // (source image, local image) of an earlier merge from a folder
extern const wchar_t kLedgerTable[];        // "MergeLedger", which earlier merges wrote
extern const wchar_t kLedgerKeyColumn[];    // "SourceSnimok", the column that tells the table exists
extern const wchar_t kImageDateSql[];       // [Date file] and [File name] of an image
extern const wchar_t kPatientImagesSinceSql[];   // (image, file name, date) of a patient's images on the disk, keys above one
extern const wchar_t kCarryDisplaySql[];   // bri, contrast, negativ of a merged image, NULL as NULL

// The identities (see importengine.h): the database's, one row of
// MergeDatabase, and each merged image's, a row of MergeSnimok.
extern const wchar_t kDatabaseTable[];             // "MergeDatabase"
extern const wchar_t kDatabaseKeyColumn[];         // "DbGuid"
extern const wchar_t kCreateDatabaseTableSql[];    // for an older database
extern const wchar_t kDatabaseIdentitySql[];       // the database's identity
extern const wchar_t kInsertDatabaseIdentitySql[]; // (identity)
extern const wchar_t kRenewDatabaseIdentitySql[];  // (identity)
extern const wchar_t kImageTable[];                // "MergeSnimok"
extern const wchar_t kImageKeyColumn[];            // "Guid"
extern const wchar_t kCreateImageTableSql[];       // for an older database
extern const wchar_t kImageIdentitiesSql[];        // every (identity, image)
extern const wchar_t kIdentityOfImageSql[];        // the identity of an image (image)
extern const wchar_t kImageOfIdentitySql[];        // the image of an identity (identity)
extern const wchar_t kInsertImageIdentitySql[];    // (identity, image)
extern const wchar_t kRenewImageIdentitySql[];     // (identity, image)
extern const wchar_t kClearDatabaseIdentitySql[];  // every row of MergeDatabase

// The text of an identity: a GUID in its braces, such as
// "{0F3C1A2B-4D5E-6F70-8192-A3B4C5D6E7F8}". An empty text or any other one
// (another program may have written it) names no identity: the image or the
// database gets a new one.
bool IsIdentity(const std::wstring& text);

enum class InitFileVerdict {
    kOk,
    kNoByteOrderMark,   // not UTF-16 little-endian with its mark
    kEmpty,             // nothing after the mark
};
// The initialization string of a "dbinit.cfg" read as `size` bytes: UTF-16
// after the byte-order mark U+FEFF, up to the first character below U+0020,
// at most 511 characters.
InitFileVerdict ParseInitFile(const BYTE* bytes, DWORD size, std::wstring* initString);

// How the value of a column of an OLE DB type (the registry's "CType") is
// carried: as an integer, a real number, a text or a date; kUnsupported for
// any other type.
enum class ValueKind { kUnsupported, kInteger, kReal, kText, kDate };
ValueKind ValueKindOfType(DWORD oledbType);

// The drive letter of a folder such as "E:\Data" (upper case), or 0 for a
// folder that is not on a lettered drive (a network share, a relative path).
wchar_t DriveLetterOfFolder(const wchar_t* folder);

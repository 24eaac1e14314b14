// KartData: the record card's operations on its row, each built from the
// database form description and run on the process-wide session.
//
// Every operation makes its command, parameter sets and rowset for the one
// call and releases them on every path. Update, insert, the check-row lookup
// and delete show database errors themselves (the database error box, or a
// string-table text for the card's own failures) and return false; a load,
// clearing references and filling a list return false silently.
//
// Rows are read into a row block bound with the fields' own types (integers
// and yes/no as 4-byte integers, texts with room for their terminator, dates
// as FILETIME), and every value is read by the type its binding has, so a
// column whose database type is narrower (a tinyint) never lends the field
// bytes that are not its own.
#pragma once

#include "database/dbobject.h"
#include "database/oledbinc.h"

#include <windows.h>

class DbFormDesc;
class DODBParams;
struct KartField;

// What a delete came to.
enum KartDeleteResult {
    kDeleteFailed = 0,      // an error was shown; the row is still there
    kDeleteDone = 1,        // the row is gone
    kDeleteCancelled = -1,  // the user kept a row that other rows still use
};

namespace KartData {

// The record SELECT for the key; copies the first row into the fields.
bool LoadRecord(const DbFormDesc& form, int count, KartField** fields, LONG key);
// Copies a row block (column i = field i) into the fields; false when a
// column's status is neither NULL nor OK.
bool LoadInto(DODBParams* row, int count, KartField** fields);
// The UPDATE of the row with the key: parameters 1..N the values, N+1 the key.
bool UpdateRecord(const DbFormDesc& form, int count, KartField** fields, LONG key);
// Inserts a row through an updatable rowset; the key the database gave it
// goes to `key` when it is not null.
bool InsertRecord(const DbFormDesc& form, int count, KartField** fields, LONG* key);
// The check-row lookup over the "rowid" fields: `found` and the key of the
// row that has those values. True when the lookup ran.
bool SelectByKey(const DbFormDesc& form, int count, KartField** fields, LONG* key, bool* found);
// Deletes the row. When other rows still use it (SQLSTATE "23000"), asks
// whether to delete anyway: No cancels; Yes clears the references of the
// form's "child" pairs and deletes again, both in one local transaction
// that a second failure rolls back.
KartDeleteResult DeleteRecord(HWND owner, const DbFormDesc& form, LONG key);
// Sets the referencing column of every "child" pair to NULL where it holds
// the key; false (nothing shown) at the first failure.
bool SetNull(const DbFormDesc& form, LONG key);
// A new parameter set: the fields (all, or only the "rowid" ones) in form
// order with their binding types and values (NULL below length 1), then
// `extraCount` parameters of the given types without values.
bool BindParams(int count, KartField** fields, bool rowIdOnly, DODBPtr<DODBParams>& params, int extraCount,
                const DBTYPE* extraTypes);
// A 32-bit integer from a column of a row block, whatever integer type the
// column is bound as; false for other types.
bool ReadInteger(DODBParams* row, ULONG index, DWORD* value);

}  // namespace KartData

struct FieldRef;
// Fills a drop-down list from a field's reference ("SELECT rk, rt FROM rtab
// ORDER BY 2;": the shown column as text, the key as item data) and selects
// the item of the value; false on any failure (nothing thrown).
bool FillLookupCombo(HWND combo, const FieldRef& reference, bool hasValue, DWORD value);

// The SQL texts of the record card, built from its database form description
// at run time: c1 to cN are the column names of the card's fields in form
// order, t the form's table and k its key column.
//
//   BuildSelect          SELECT c1, ..., cN FROM t WHERE k=?;
//   BuildUpdate          UPDATE t SET c1=?, ..., cN=? WHERE k=?;
//   BuildSelectMultiKey  SELECT k FROM t WHERE r1=? AND r2=?;   (the "rowid" fields)
//   BuildInsert          INSERT INTO t (c1, ..., cN) VALUES (?, ..., ?);
//   BuildDelete          DELETE FROM t WHERE k=?;
//   BuildSetNull         UPDATE ct SET cc=NULL WHERE cc=?;      (one "child" pair)
//   BuildLookupList      SELECT rk, rt FROM rtab ORDER BY 2;    (a field's reference)
//   BuildRowList         SELECT l1, ..., lM, k FROM t ORDER BY 1;   (the card's row list;
//                        "special" list columns are left out, as the filter's SELECT does)
//
// Each appends to the caller's text and returns false when the statement
// cannot be made whole: memory ran out, or the form gives nothing to build it
// from (no field to update, no "rowid" field to look up, no list column).
// A form without fields reads its key alone.
#pragma once

#include "forms/sqltext.h"

class DbFormDesc;
struct DescTextPair;
struct FieldRef;

namespace KartSql {

bool BuildSelect(SqlText& out, const DbFormDesc& form);
bool BuildUpdate(SqlText& out, const DbFormDesc& form);
bool BuildSelectMultiKey(SqlText& out, const DbFormDesc& form);
bool BuildInsert(SqlText& out, const DbFormDesc& form);
bool BuildDelete(SqlText& out, const DbFormDesc& form);
bool BuildSetNull(SqlText& out, const DescTextPair& child);
bool BuildLookupList(SqlText& out, const FieldRef& reference);
bool BuildRowList(SqlText& out, const DbFormDesc& form);

}  // namespace KartSql

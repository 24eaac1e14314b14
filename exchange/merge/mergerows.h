// Rows of a database that another program may have edited. A workstation's
// database can hold values the program never writes: a text in a number
// column, a number out of its column's range, a blob, a text longer than the
// database layer takes, an identity that is no GUID. Such a row fails only
// what needs it: the merge names the image it belongs to and leaves it for
// the next merge, a row of identities or of the ledger counts as none, an
// image here that cannot be read is no copy of anything. The other rows of
// the same statement are read on.
#pragma once

#include "database/dbparams.h"
#include "database/dbstatement.h"
#include "foundation/messages.h"

#include <string>
#include <vector>

// What fetching the next row of a query gave.
enum class Fetched {
    kEnd,   // no row left
    kRow,   // a row, every value read
    kBad,   // a row, but some of its values could not be read (their statuses say which)
};

// Fetches the next row of `query`. A row whose values cannot be read whole is
// fetched as kBad and the query can go on to the next one; any other failure
// throws DODBErrors.
Fetched FetchRow(BoundStatement& query);

// The first row of a query that has run, or false when there is none or it
// cannot be read.
bool FirstReadableRow(BoundStatement& query);

// Why a row fetched as kBad cannot be read, naming its first column that
// failed: `names` are the query's columns in order, `table` their table. A
// text too long says how long it is and how much this workstation takes.
MsgExcept BadRowReason(DODBParams* row, const std::vector<std::wstring>& names, const wchar_t* table);


// The seam between a command's text and SQLite.
//
// TranslateStatement turns the consumer's statement text into the text that
// SQLite runs, the kind of statement (it decides what Execute reports as rows
// affected), and what is known of the types: for each "?" the column it is
// compared with, assigned to or inserted into (GetParameterInfo describes the
// parameter from that column, and values are checked against it), and
// optionally the types of the result columns and of the parameters when the
// translator knows them better than the schema does. Today the text passes
// through unchanged; the SQL Server dialect is translated here later.
#pragma once

#include "provider/types.h"

#include <string>
#include <vector>

namespace zelk {

enum class StatementKind { Query, Change, Other };

struct ParamTarget {
    std::wstring column;               // empty: nothing to type the parameter from
    std::vector<std::wstring> tables;  // tables that may hold the column, in order of preference
    bool assigned = false;             // stored into the column (INSERT VALUES, UPDATE SET), not compared
    bool pattern = false;              // the pattern of a LIKE: compared as text, whatever the column
};

struct TranslatedStatement {
    std::wstring sqliteText;
    StatementKind kind = StatementKind::Other;
    std::vector<ParamTarget> paramTargets;  // by ordinal - 1
    std::vector<TypeDesc> paramTypes;       // by ordinal - 1 when the translator knows them, else empty
    std::vector<TypeDesc> columnTypes;      // result column types when the translator knows them, else empty
};

// Fills `out` from `text`; false with a sentence in `error` when the text
// cannot be run (the caller posts it with SQLSTATE 42000).
bool TranslateStatement(const std::wstring& text, TranslatedStatement& out, std::wstring& error);

}  // namespace zelk

// The seam between a command's text and SQLite: the SQL Server dialect that
// the workstation speaks, translated to SQLite.
//
// TranslateStatement tokenizes the consumer's text, parses the one statement
// it holds and writes the SQLite text for it, together with the kind of
// statement (it decides what Execute reports as rows affected and whether the
// provider runs it itself), what each "?" is compared with, assigned to or
// inserted into (GetParameterInfo describes the parameter from that column,
// and values are checked against it), and the types of the result columns and
// parameters that the translator knows better than the schema does.
//
// What is translated:
// - names: [bracketed] and "quoted" names with blanks, any letter case; the
//   owner prefix dbo. is dropped; INFORMATION_SCHEMA.COLUMNS names the
//   session's view of every column of every table and view;
// - SELECT (DISTINCT, TOP n, joins, sub-selects, GROUP BY, HAVING, ORDER BY),
//   INSERT [INTO] t [(...)] VALUES/SELECT, UPDATE t SET ... [WHERE],
//   DELETE [FROM] t [WHERE];
// - "+" between texts is concatenation, otherwise addition; GETDATE() and
//   DATALENGTH() are functions of the session's connection; AVG of integers
//   is an integer, as SQL Server computes it;
// - a text literal that meets a datetime (compared, in BETWEEN or IN,
//   inserted, set) is read as a date in SQL Server's unambiguous forms and
//   written as the canonical text the column keeps (datetime.h); one that is
//   no date is refused with 22007 or 22008, never compared as a text;
// - a text expression other than a column (a concatenation, ISNULL, a
//   literal...) compares, sorts, groups and is made distinct with the
//   caseless collation, as SQL Server's collation precedence gives it the
//   collation of the columns it is made from;
// - "/" and "%" by zero fail (22012) instead of giving NULL;
// - a unary sign is written apart from its operand ("- -1" never becomes the
//   comment "--1"), and nesting deeper than kMaxNesting is refused;
// - CREATE TABLE with IDENTITY keys (never reused), named constraints,
//   CLUSTERED/NONCLUSTERED and ON [PRIMARY] (dropped), DEFAULT, UNIQUE,
//   FOREIGN KEY ... REFERENCES; CREATE INDEX; ALTER TABLE ... ADD; DROP TABLE.
//   Text columns get the caseless collation and a length check, datetime
//   columns a range check;
// - SET IDENTITY_INSERT t ON|OFF, { call sp_x(?, ...) } and BACKUP DATABASE,
//   which the provider runs itself.
// Anything else is refused with a sentence naming what is not supported
// (CAST, CONVERT, @@IDENTITY, variables, CASE...), posted as 42000.
#pragma once

#include "provider/types.h"

#include <string>
#include <vector>

namespace zelk {

enum class StatementKind {
    Query,           // rows come back
    Change,          // INSERT, UPDATE, DELETE: rows affected are counted
    Other,           // DDL: no rows, no count
    Procedure,       // a stored procedure of the provider
    IdentityInsert,  // SET IDENTITY_INSERT
    Backup,          // BACKUP DATABASE
    CheckDatabase    // DBCC CHECKDB
};

// The provider's stored procedures.
enum class Procedure { None, DeletePatient, DeleteSnimok, DeleteSnimokComplete, CopySnimok };

struct ParamTarget {
    std::wstring column;               // empty: nothing to type the parameter from
    std::vector<std::wstring> tables;  // tables that may hold the column, in order of preference
    bool assigned = false;             // stored into the column (INSERT VALUES, UPDATE SET), not compared
    bool pattern = false;              // the pattern of a LIKE: compared as text, whatever the column
};

struct TranslatedStatement {
    std::wstring sqliteText;
    StatementKind kind = StatementKind::Other;
    bool changesSchema = false;             // CREATE, ALTER, DROP
    std::vector<ParamTarget> paramTargets;  // by ordinal - 1
    std::vector<TypeDesc> paramTypes;       // by ordinal - 1; meaningful where paramTyped is true
    std::vector<bool> paramTyped;
    std::vector<TypeDesc> columnTypes;      // result columns; meaningful where columnTyped is true
    std::vector<bool> columnTyped;
    // INSERT: the table and the columns given values (identity keys need IDENTITY_INSERT).
    std::wstring insertTable;
    std::vector<std::wstring> insertColumns;
    // Procedure calls: the procedure and its arguments (a parameter ordinal - 1, or a number).
    Procedure procedure = Procedure::None;
    struct Argument {
        long param = -1;
        long long number = 0;
        bool null = false;
    };
    std::vector<Argument> arguments;
    // SET IDENTITY_INSERT: the table and the state asked for.
    std::wstring identityTable;
    bool identityOn = false;
    // BACKUP DATABASE: the catalog named and the file.
    std::wstring backupCatalog;
    std::wstring backupPath;
};

// What the translator may ask of the database: the columns of a table or
// view (false when there is none).
class SchemaLookup {
public:
    virtual bool Columns(const std::wstring& table, std::vector<ColumnInfo>& out) = 0;

protected:
    ~SchemaLookup() = default;
};

// The name of the session's view of every column (INFORMATION_SCHEMA.COLUMNS).
extern const wchar_t kColumnsView[];

// The connection's function that reads a text as a datetime at run time
// (datetime.h), for a text expression other than a literal that meets a date.
extern const wchar_t kDateFunction[];

// The connection's function through which a divisor passes: a divisor of 0
// fails the statement with SQL Server's 8134 (SQLSTATE 22012) where SQLite
// would answer NULL.
extern const wchar_t kDivisorFunction[];

// How deep parentheses, sub-selects, function calls, NOT and signs may nest
// in one statement. The translator and SQLite descend once per level; a
// statement nested deeper is refused (SQL Server's 191) well before either
// could exhaust the stack of a 32-bit thread.
// Sub-selects count apart as well (SQL Server's own limit): SQLite measures a
// sub-select as a deep expression.
constexpr int kMaxNesting = 64;
constexpr int kMaxSelectNesting = 32;

// Why a text cannot be run: the sentence and what the caller posts with it.
struct TranslateError {
    std::wstring message;
    std::wstring sqlState = L"42000";
    LONG nativeError = 102;
};

// Fills `out` from `text`; false with the reason in `error` when the text
// cannot be run. `schema` may be null: result and parameter types then come
// from SQLite alone.
bool TranslateStatement(const std::wstring& text, SchemaLookup* schema, TranslatedStatement& out,
                        TranslateError& error);

// Quotes a name for SQLite ("name", inner quotes doubled).
std::wstring QuoteName(const std::wstring& name);

}  // namespace zelk

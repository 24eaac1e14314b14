// DbFilter: the conditions that restrict a described list, one per field of
// a filter form description (FormDesc), and the SELECT they make.
//
// The filter form's own fields are columns of the list's table; each of its
// "reference" sections describes another table whose fields are tested
// through a sub-select ("basekey IN (SELECT refkey FROM table WHERE ...)").
//
// A condition has a chosen kind (what the user picked) and an effective kind
// (what the SQL and the description use): the same, except 9 ("Don,t Use")
// while a kind that needs values has an empty one (Normalize). Values live
// in DescHeap buffers of the field's value size plus a terminator.
//
// Life: empty after construction -> Load (one condition per field, default
// kinds, empty values) -> kinds and values changed by the filter form ->
// Clear or the destructor. Assign copies another filter; it builds the copy
// aside and takes it over only when the whole copy succeeded, so a failure
// leaves the filter as it was.
#pragma once

#include "database/dbobject.h"
#include "forms/sqltext.h"
#include "foundation/messages.h"
#include "foundation/strbuf.h"

#include <windows.h>

#include <string>

class DbFormDesc;
class DODBBindParam;
class FormDesc;
struct FieldBlob;

// Condition kinds; their captions are strings 558 to 567.
enum FilterKind {
    kFilterEqual = 1,       // c=? (a day for a "date": c>=? AND c<?)
    kFilterEmpty = 2,       // c IS NULL
    kFilterLess = 3,        // c<?
    kFilterMore = 4,        // c>?
    kFilterBetween = 5,     // c>=? AND c<?
    kFilterLike = 6,        // c LIKE ?
    kFilterSubstring = 7,   // c LIKE ? (the form appends "%")
    kFilterNotEmpty = 8,    // c IS NOT NULL
    kFilterNotUsed = 9,     // no condition
    kFilterNow = 10,        // sets the value to now and the kind to Equal
};

// The caption's string id of a kind (0 for none).
UINT FilterKindCaption(int kind);
// Values a kind needs: 0, 1 or 2.
int FilterKindValues(int kind);

// The message to show for a failure of the filter code: a user message
// (MsgExcept) whose text is a string-table id or a text of its own, and which
// keeps the id.
class EMsg : public MsgExcept {
public:
    explicit EMsg(UINT id) : MsgExcept(IdOrText(id)), id_(id) {}
    explicit EMsg(const wchar_t* text) : MsgExcept(IdOrText(text ? text : L"")), id_(0) {}
    UINT Id() const { return id_; }
    // The message's text.
    std::wstring Text() const;

private:
    UINT id_;   // 0 when the message is a text of its own
};

enum DExceptionCode {
    kDExceptionMemory = 0,          // 548 "Out of memory"
    kDExceptionParameterType = 1,   // 549 "Invalid parameter type"
};

// An internal failure of the filter code.
struct DException {
    DExceptionCode code;
};

// One value of a condition: length in bytes (0 or below: empty), data of the
// field's value size (a text is also terminated).
struct FilterValue {
    int length;
    BYTE* data;

    bool IsEmpty() const { return length <= 0 || data == nullptr; }
};

struct FilterCondition {
    FilterValue* values;       // DescHeap array of valueCount, or null
    int valueCount;            // 0, 1 or 2
    int kind;                  // chosen
    int effective;             // used by the SQL and the description
    const FieldBlob* field;

    // Applies a kind the field offers; false for the current kind, a kind the
    // field does not offer, or when memory runs out (nothing changed then).
    static bool SetKind(FilterCondition* condition, int kind);
    // The effective kind from the chosen kind and the values; throws EMsg 557
    // for an unknown kind.
    static void Normalize(FilterCondition* condition);
    // 1 for integers, dates and lists, 9 for yes/no, 7 for text; throws
    // DException 1 for another type.
    static int DefaultKind(const FilterCondition* condition);
    // A copy of the source (values, count, kinds, field); false when memory
    // runs out (the condition is then empty).
    static bool CopyFrom(FilterCondition* condition, const FilterCondition& source);
    // True when the kind is one the field offers.
    static bool Offers(const FieldBlob* field, int kind);

    // Frees the values.
    void FreeValues();
    // Sets value i from bytes (an empty value for length 0 or below).
    void SetValue(int i, const void* data, int length);
};

// The owner of a condition array.
class DbFilterValues {
public:
    DbFilterValues() : conditions(nullptr), count(0) {}
    ~DbFilterValues();
    DbFilterValues(const DbFilterValues&) = delete;
    DbFilterValues& operator=(const DbFilterValues&) = delete;

    // Frees every condition's values and the array.
    void Free();
    // An array of n empty conditions; false when memory runs out.
    bool Allocate(int n);

    FilterCondition* conditions;   // DescHeap array, or null
    int count;
};

class DbFilter {
public:
    DbFilter();
    ~DbFilter();
    DbFilter(const DbFilter&) = delete;
    DbFilter& operator=(const DbFilter&) = delete;

    // One condition per field of the form with its default kind and empty
    // values; false when the filter is already loaded or memory runs out.
    bool Load(const FormDesc* form);
    // Frees all conditions; the filter is empty and not loaded.
    void Clear();
    // Makes this filter a copy of the source; on failure it stays as it was.
    bool Assign(const DbFilter& source);
    // "Filter on " and the captions of the active conditions, or "Filters a
    // not defined".
    void Describe(DStrBuf& out) const;
    void Describe(std::wstring& out) const;
    // Exchanges the whole content of two filters.
    void Swap(DbFilter& other);

    bool IsLoaded() const { return loaded_ != 0; }
    const FormDesc* Form() const { return form_; }
    DbFilterValues& Own() { return own_; }
    const DbFilterValues& Own() const { return own_; }
    int SectionCount() const { return sectionCount_; }
    DbFilterValues& Section(int i) { return sections_[i]; }
    const DbFilterValues& Section(int i) const { return sections_[i]; }

private:
    bool CopyFrom(const DbFilter& source);

    int loaded_;                  // 1 once loaded
    const FormDesc* form_;        // the filter form, or null
    DbFilterValues own_;          // one condition per field of the form
    DbFilterValues* sections_;    // one array per "reference" section, or null
    int sectionCount_;
};

// The SELECT of a list description restricted by the filter (which may be
// null): its non-"special" list columns and the key, the table, the active
// conditions, the sub-selects of the reference sections and the order.
// The parameters are bound in the order of their "?"; with none, `params`
// is released so that the caller executes without parameters. False on any
// failure.
bool BuildFilterSelect(SqlText& out, const DbFormDesc& list, const DbFilter* filter, DODBPtr<DODBBindParam>& params);

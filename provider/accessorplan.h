// What a re-executed statement does with the same accessor again and again,
// worked out once per accessor.
//
// A RowPlan writes a stored row through a row accessor (IRowset::GetData): it
// is made from the accessor's bindings and the rowset's columns, and a
// binding of a number into a variable of its own kind (4- and 8-byte integers,
// 4- and 8-byte reals, by value) becomes a move of the value with its status
// and length, and a NULL into it its status and length; every other binding,
// and a value that does not fit, goes through WriteBinding as before, with
// the same result.
//
// A ParamPlan binds a parameter set through a parameter accessor
// (ICommand::Execute): made when the accessor gives every parameter of the
// statement a value and names none that the statement lacks. A number of its
// own kind (by value or by reference) with status OK is bound as a number
// without the general reading of ReadBinding, and only when it differs from
// the value the statement holds bound already (a reset statement keeps its
// bindings); every other value is read and bound by the general path.
//
// Invariants: a plan is used only for the accessor (by its serial) and the
// columns or prepared statement it was made for; it points into the
// accessor's bindings, which stay while the consumer holds the handle, and
// the consumer uses no handle it released. The owner's lock guards a plan.
#pragma once

#include "provider/accessor.h"
#include "provider/columns.h"
#include "provider/values.h"

#include <cstring>
#include <memory>
#include <vector>

struct sqlite3_stmt;

namespace zelk {

// The ways a binding is carried: a number of its own kind by value, or the
// general conversion.
enum class PlanKind : uint8_t { I4, I8, R4, R8, General, Missing };

class RowPlan {
public:
    bool Fits(const Accessor& a, const ColumnSet* columns) const
    {
        return serial_ == a.serial && columns_.get() == columns;
    }
    void Make(const Accessor& a, const std::shared_ptr<const ColumnSet>& columns);

    // What Write reports of the bindings that failed.
    struct Failures {
        size_t count = 0;
        DBORDINAL missing = 0;     // the first ordinal bound that the rowset does not have
        size_t firstColumn = 0;    // else the column of the first failure
    };
    // Writes row `row` of `store` into `data`; the bindings that failed are counted in `failures`.
    void Write(BYTE* data, const RowStore& store, size_t row, Failures& failures) const;

private:
    struct Step {
        PlanKind kind;
        bool hasLength;
        bool hasStatus;
        bool valueAndStatus;  // a number bound with its value and status parts only
        size_t cell;          // byte offset of the column's cell in a stored row
        DBBYTEOFFSET value;
        DBBYTEOFFSET length;
        DBBYTEOFFSET status;
        const DBBINDING* binding;
    };
    // Every binding but the common ones of Write: conversions, NULLs, missing columns.
    void WriteStep(const Step& s, BYTE* data, const RowStore& store, const Cell& cell, Failures& failures) const;

    unsigned long long serial_ = 0;
    std::shared_ptr<const ColumnSet> columns_;
    std::vector<Step> steps_;
};

// A number bound to one parameter of a statement, as the statement holds it.
struct BoundNumber {
    enum Kind : uint8_t { None, Integer, Real } kind = None;
    int64_t bits = 0;  // the integer, or the real's bit pattern
};

class ParamPlan {
public:
    bool Fits(const Accessor& a, unsigned statement) const { return serial_ == a.serial && statement_ == statement; }
    // `statement` tells the prepared statements of a command apart;
    // `bitTargets` has one entry per parameter, true where a number is sent
    // as 0 or 1 (ReadBinding's rule for a bit column). Usable() is false when
    // the accessor leaves a parameter without a value or binds one the
    // statement lacks.
    void Make(const Accessor& a, unsigned statement, const std::vector<bool>& bitTargets);
    bool Usable() const { return usable_; }

    // One binding of the plan.
    struct Step {
        PlanKind kind;
        bool byRef;       // the value part holds a pointer to the number
        bool hasStatus;
        bool bitTarget;   // a bit parameter: a number is sent as 0 or 1
        size_t index;     // parameter, from 0
        DBBYTEOFFSET value;
        DBBYTEOFFSET status;
        const DBBINDING* binding;
    };
    const std::vector<Step>& Steps() const { return steps_; }

    // The number of a fast step read from `data`, or false when its status
    // is not OK (the general path takes it then).
    static bool ReadNumber(const Step& s, const BYTE* data, BoundNumber& out)
    {
        if (s.hasStatus && *reinterpret_cast<const DBSTATUS*>(data + s.status) != DBSTATUS_S_OK)
            return false;
        const BYTE* value = data + s.value;
        if (s.byRef) {
            memcpy(&value, value, sizeof(value));
            if (!value)
                return false;
        }
        switch (s.kind) {
        case PlanKind::I4: {
            int32_t v;
            memcpy(&v, value, sizeof(v));
            out.kind = BoundNumber::Integer;
            out.bits = s.bitTarget ? v != 0 : v;
            return true;
        }
        case PlanKind::I8:
            out.kind = BoundNumber::Integer;
            memcpy(&out.bits, value, sizeof(out.bits));
            if (s.bitTarget)
                out.bits = out.bits != 0;
            return true;
        case PlanKind::R4: {
            float f;
            memcpy(&f, value, sizeof(f));
            const double real = f;
            out.kind = BoundNumber::Real;
            memcpy(&out.bits, &real, sizeof(real));
            return true;
        }
        case PlanKind::R8:
            out.kind = BoundNumber::Real;
            memcpy(&out.bits, value, sizeof(out.bits));
            return true;
        default:
            return false;
        }
    }

private:
    unsigned long long serial_ = 0;
    unsigned statement_ = 0;
    bool usable_ = false;
    std::vector<Step> steps_;
};

// Binds `n` to parameter `index` (from 0) of `stmt`; `held` then holds it. Returns SQLite's code.
int BindNumberAnew(sqlite3_stmt* stmt, size_t index, const BoundNumber& n, BoundNumber& held);

// BindNumberAnew unless `held` holds `n` already (SQLITE_OK then).
inline int BindNumber(sqlite3_stmt* stmt, size_t index, const BoundNumber& n, BoundNumber& held)
{
    if (held.kind == n.kind && held.bits == n.bits)
        return 0;
    return BindNumberAnew(stmt, index, n, held);
}

}  // namespace zelk

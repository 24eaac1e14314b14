// Plans of accessors: see accessorplan.h.
#include "provider/accessorplan.h"

#include "sqlite3.h"

#include <cfloat>
#include <cstdint>
#include <cmath>
#include <cstring>

namespace zelk {
namespace {

bool IsErrorStatus(DBSTATUS s)
{
    return s != DBSTATUS_S_OK && s != DBSTATUS_S_ISNULL && s != DBSTATUS_S_TRUNCATED && s != DBSTATUS_S_DEFAULT &&
           s != DBSTATUS_S_IGNORE;
}

// The kind a binding of a number by value of its own kind has, else
// General; `byRef` lets a number by reference have its kind too.
PlanKind KindOf(const DBBINDING& b, bool byRef = false)
{
    if (!(b.dwPart & DBPART_VALUE))
        return PlanKind::General;
    switch (byRef ? b.wType & ~DBTYPE_BYREF : b.wType) {
    case DBTYPE_I4:
        return PlanKind::I4;
    case DBTYPE_I8:
        return PlanKind::I8;
    case DBTYPE_R4:
        return PlanKind::R4;
    case DBTYPE_R8:
        return PlanKind::R8;
    default:
        return PlanKind::General;
    }
}

template <class T>
void Put(BYTE* data, DBBYTEOFFSET at, T value)
{
    memcpy(data + at, &value, sizeof(T));
}

}  // namespace

void RowPlan::Make(const Accessor& a, const std::shared_ptr<const ColumnSet>& columns)
{
    serial_ = a.serial;
    columns_ = columns;
    steps_.clear();
    const size_t width = columns->Columns().size();
    for (const DBBINDING& b : a.bindings) {
        Step s = {};
        s.binding = &b;
        const size_t column = static_cast<size_t>(b.iOrdinal - 1);
        const bool missing = b.iOrdinal == 0 || column >= width;
        s.kind = missing ? PlanKind::Missing : KindOf(b);
        s.cell = missing ? 0 : column * sizeof(Cell);  // a missing column's step reads no cell of its own
        s.hasLength = (b.dwPart & DBPART_LENGTH) != 0;
        s.hasStatus = (b.dwPart & DBPART_STATUS) != 0;
        s.valueAndStatus = s.hasStatus && !s.hasLength && s.kind != PlanKind::General && !missing;
        s.value = b.obValue;
        s.length = b.obLength;
        s.status = b.obStatus;
        steps_.push_back(s);
    }
}

namespace {

bool FitsInt32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

}  // namespace

void RowPlan::Write(BYTE* data, const RowStore& store, size_t row, Failures& failures) const
{
    const BYTE* cells = reinterpret_cast<const BYTE*>(&store.At(row, 0));
    for (const Step& s : steps_) {
        const Cell& cell = *reinterpret_cast<const Cell*>(cells + s.cell);
        if (s.valueAndStatus) {
            // The common binding of a number, with its value and status parts only.
            if (cell.kind == CellKind::Integer && s.kind == PlanKind::I4 && FitsInt32(cell.integer)) {
                Put(data, s.value, static_cast<int32_t>(cell.integer));
                Put<DBSTATUS>(data, s.status, DBSTATUS_S_OK);
                continue;
            }
            if (cell.kind == CellKind::Null) {
                Put<DBSTATUS>(data, s.status, DBSTATUS_S_ISNULL);
                continue;
            }
        }
        WriteStep(s, data, store, cell, failures);
    }
}

void RowPlan::WriteStep(const Step& s, BYTE* data, const RowStore& store, const Cell& cell, Failures& failures) const
{
    if (s.kind == PlanKind::Missing) {
        // A binding of an inherited accessor, checked against no columns when it was made.
        if (s.hasStatus)
            Put<DBSTATUS>(data, s.status, DBSTATUS_E_BADACCESSOR);
        if (failures.count++ == 0)
            failures.missing = s.binding->iOrdinal ? s.binding->iOrdinal : ~DBORDINAL(0);
        return;
    }
    const size_t column = s.cell / sizeof(Cell);
    DBLENGTH size = 0;
    switch (s.kind) {
    case PlanKind::I4:
        if (cell.kind == CellKind::Integer && FitsInt32(cell.integer)) {
            Put(data, s.value, static_cast<int32_t>(cell.integer));
            size = 4;
        }
        break;
    case PlanKind::I8:
        if (cell.kind == CellKind::Integer) {
            Put(data, s.value, cell.integer);
            size = 8;
        }
        break;
    case PlanKind::R4:
        if (cell.kind == CellKind::Real && !(std::isfinite(cell.real) && std::fabs(cell.real) > FLT_MAX)) {
            Put(data, s.value, static_cast<float>(cell.real));
            size = 4;
        }
        break;
    case PlanKind::R8:
        if (cell.kind == CellKind::Real) {
            Put(data, s.value, cell.real);
            size = 8;
        }
        break;
    default:
        break;
    }
    if (size != 0) {
        if (s.hasLength)
            Put<DBLENGTH>(data, s.length, size);
        if (s.hasStatus)
            Put<DBSTATUS>(data, s.status, DBSTATUS_S_OK);
        return;
    }
    if (cell.kind == CellKind::Null && s.kind != PlanKind::General) {
        // As WriteBinding writes a NULL.
        if (s.hasLength)
            Put<DBLENGTH>(data, s.length, 0);
        if (s.hasStatus)
            Put<DBSTATUS>(data, s.status, DBSTATUS_S_ISNULL);
        else if (failures.count++ == 0)
            failures.firstColumn = column;
        return;
    }
    const DBSTATUS status = WriteBinding(*s.binding, data, store, cell, columns_->Columns()[column].type);
    if (IsErrorStatus(status) && failures.count++ == 0)
        failures.firstColumn = column;
}

void ParamPlan::Make(const Accessor& a, unsigned statement, const std::vector<bool>& bitTargets)
{
    serial_ = a.serial;
    statement_ = statement;
    steps_.clear();
    const size_t count = bitTargets.size();
    std::vector<bool> given(count, false);
    usable_ = true;
    for (const DBBINDING& b : a.bindings) {
        if (b.iOrdinal < 1 || b.iOrdinal > static_cast<DBORDINAL>(count)) {
            usable_ = false;
            continue;
        }
        Step s = {};
        s.binding = &b;
        s.index = static_cast<size_t>(b.iOrdinal - 1);
        s.kind = KindOf(b, true);
        s.byRef = (b.wType & DBTYPE_BYREF) != 0;
        s.hasStatus = (b.dwPart & DBPART_STATUS) != 0;
        s.bitTarget = bitTargets[s.index];
        s.value = b.obValue;
        s.status = b.obStatus;
        given[s.index] = true;
        steps_.push_back(s);
    }
    for (size_t i = 0; i < count; ++i)
        usable_ = usable_ && given[i];
}

int BindNumberAnew(sqlite3_stmt* stmt, size_t index, const BoundNumber& n, BoundNumber& held)
{
    static_assert(SQLITE_OK == 0, "BindNumber answers SQLITE_OK as 0");
    held.kind = BoundNumber::None;
    int rc;
    if (n.kind == BoundNumber::Integer) {
        rc = sqlite3_bind_int64(stmt, static_cast<int>(index + 1), n.bits);
    } else {
        double real;
        memcpy(&real, &n.bits, sizeof(real));
        rc = sqlite3_bind_double(stmt, static_cast<int>(index + 1), real);
    }
    if (rc == SQLITE_OK)
        held = n;
    return rc;
}

}  // namespace zelk

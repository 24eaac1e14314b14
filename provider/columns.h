// Column descriptions as IColumnsInfo hands them out.
#pragma once

#include "provider/types.h"

#include <string>
#include <vector>

namespace zelk {

// IColumnsInfo::GetColumnInfo's answer for `columns` (ordinals from 1), in
// memory of the COM task allocator.
HRESULT ExportColumnInfo(const std::vector<ColumnInfo>& columns, DBORDINAL* count, DBCOLUMNINFO** info,
                         OLECHAR** strings);

// The result columns of a prepared statement, shared by the command and every
// rowset of its executions, and never changed once made: a rowset takes its
// columns with one reference instead of copying the list, and GetColumnInfo
// copies an answer laid out once instead of building it at every call.
class ColumnSet {
public:
    explicit ColumnSet(std::vector<ColumnInfo> columns);
    const std::vector<ColumnInfo>& Columns() const { return columns_; }
    // What ExportColumnInfo answers for the columns.
    HRESULT Export(DBORDINAL* count, DBCOLUMNINFO** info, OLECHAR** strings) const;

private:
    std::vector<ColumnInfo> columns_;
    std::vector<DBCOLUMNINFO> info_;  // the answer, its names not pointed at
    std::vector<size_t> nameAt_;      // where each column's name starts in strings_
    std::wstring strings_;            // every name, each with its terminator
};

// IColumnsInfo::MapColumnIDs over `columns`: names compared without case.
HRESULT MapColumnIds(const std::vector<ColumnInfo>& columns, DBORDINAL count, const DBID ids[], DBORDINAL out[]);

}  // namespace zelk

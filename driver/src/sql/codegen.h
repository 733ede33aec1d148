#pragma once
// Turns a bound statement into one SQLite SELECT whose columns hold the values
// of the output columns in the storage of core/types.h. Jet semantics that
// SQLite lacks are spelled out with the functions of runtime.h.

#include <cstddef>
#include <string>

#include "sql/ast.h"

namespace vendrel::driver::sql {

std::string GenerateSql(const Query& query);

// A crosstab's first pass: the distinct values of its PIVOT expression among
// the rows its WHERE keeps, in column order (Null first), limit + 1 at most.
std::string GeneratePivotPassSql(const Query& query, const Crosstab& crosstab, size_t limit);

// A crosstab with its columns laid out: its grouping SELECT with one cell
// column per pivot value, each the TRANSFORM value over the rows of its value.
std::string GenerateCrosstabSql(const Query& query, const Crosstab& crosstab, const CrosstabLayout& layout);

}  // namespace vendrel::driver::sql

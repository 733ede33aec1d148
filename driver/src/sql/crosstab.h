#pragma once
// A crosstab's columns depend on its data: one per distinct value of the
// PIVOT expression among the rows the WHERE keeps. Compiling one takes a
// first pass that lists those values (PlanPivotPass; the layers above run
// it), or the values the statement lists after IN; then the columns are laid
// out (LayOutCrosstab) and the statement generated with them.

#include <cstddef>
#include <string_view>
#include <vector>

#include "sql/ast.h"
#include "sql/compile.h"

namespace vendrel::driver::sql {

// The fields a result holds at most: the database's column limit in this
// build. The row headings take some, the pivot values may have the rest.
inline constexpr size_t kMaxResultFields = 2000;

PivotPass PlanPivotPass(const Statement& statement);

// The values after PIVOT ... IN, as the statement lists them.
std::vector<Variant> ListedPivotValues(const Crosstab& crosstab);

// The row headings and one column per pivot value: named by the value's
// text ("<>" for Null), its type the TRANSFORM value's. Raises the error of
// too many columns.
CrosstabLayout LayOutCrosstab(const Statement& statement, std::string_view text, std::vector<Variant> values);

}  // namespace vendrel::driver::sql

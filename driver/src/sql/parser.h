#pragma once
// Parses one statement of the Jet dialect: a SELECT, or a TRANSFORM crosstab,
// either after a PARAMETERS declaration. Raises the driver's syntax errors;
// nesting deeper than the driver supports is "Query is too complex."

#include <memory>
#include <string_view>

#include "sql/ast.h"

namespace vendrel::driver::sql {

// Nesting of parentheses, subqueries and unary operators, and the height of an
// expression tree, that the parser accepts.
inline constexpr int kMaxNesting = 100;
inline constexpr int kMaxHeight = 400;

Statement Parse(std::string_view statement);

}  // namespace vendrel::driver::sql

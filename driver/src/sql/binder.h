#pragma once
// Resolves the names of a parsed statement against the catalog and gives
// every expression its static type; checks the grouping rule, the types of
// comparisons and the shape of subqueries and unions.

#include <deque>
#include <string_view>

#include "sql/ast.h"

namespace vendrel::driver::sql {

// What the bound statement points into; lives as long as the statement.
struct BoundStatement {
  std::deque<TableInstance> instances;
};

void Bind(Query& query, Catalog& catalog, std::string_view statement, BoundStatement& bound);

// Two expressions that compute the same thing (same columns, operators, literals).
bool SameExpression(const Expr& a, const Expr& b);

}  // namespace vendrel::driver::sql

#pragma once
// Resolves the names of a parsed statement against the catalog and gives
// every expression its static type; checks the grouping rule, the types of
// comparisons, the shape of subqueries, unions and crosstabs, and that no
// declared parameter is used (no values can be given for one).

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "sql/ast.h"

namespace vendrel::driver::sql {

// What the bound statement points into; lives as long as the statement.
struct BoundStatement {
  std::deque<TableInstance> instances;
};

void Bind(Statement& statement, Catalog& catalog, std::string_view text, BoundStatement& bound);

// Two expressions that compute the same thing (same columns, operators, literals).
bool SameExpression(const Expr& a, const Expr& b);

// The field names of a bound SELECT's outputs, followed by columns that come
// with names of their own (a crosstab's; an empty one is unnamed): an
// output's column name that another field has too is qualified with its
// table, and a name that an earlier field has becomes "Expr" and its place.
std::vector<std::string> OutputNames(const SelectCore& core, const std::vector<std::string>& named);

// The columns a bound expression or query names, its subqueries' included,
// and the tables its subqueries declare.
struct TableUse {
  std::vector<const Expr*> columns;
  std::vector<const TableInstance*> declared;

  void Visit(const Expr& e);
  void Visit(const Query& q);
  void Visit(const FromNode& node);
};

}  // namespace vendrel::driver::sql

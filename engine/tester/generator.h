#pragma once
// Random statements of the dialect over a random database: joins of every
// kind, nested and derived tables, WHERE and HAVING in three-valued logic,
// subqueries of every form, grouping on expressions, aggregates, DISTINCT,
// DISTINCTROW, TOP, UNION and ORDER BY, and the dialect's operators and
// functions. Nearly every statement is valid; values stay in ranges where
// the functions raise no error on the data, so that the laws compare rows.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "random_source.h"
#include "random_tables.h"
#include "statement.h"

namespace vendrel::tester {

class Generator {
 public:
  Generator(Random& random, const Database& database) : random_(random), database_(database) {}

  Statement MakeStatement();
  // A crosstab: row headings grouped, a value aggregated, a pivot expression.
  Statement MakeCrosstab();

  // A predicate over these columns (with aggregates over them when
  // `aggregates` holds, and the grouping keys outside them), for a law to
  // split a query's rows or groups by.
  Expr MakePredicate(const std::vector<VisibleColumn>& columns, const std::vector<Expr>* groupKeys = nullptr);

 private:
  struct Scope {
    std::vector<VisibleColumn> columns;
    const Scope* outer = nullptr;                  // the enclosing query's, for correlated subqueries
    const std::vector<Expr>* groupKeys = nullptr;  // set in a grouped query's list and HAVING
    bool aggregates = false;                       // an aggregate may stand here
  };

  Core MakeCore(const Scope* outer, const std::vector<Kind>* wanted, bool allowTop);
  FromNode MakeFrom(Scope& scope, int tables, int depth);
  FromNode MakeTableInstance(Scope& scope, int depth);
  std::string NewAlias();
  // The rows of a FROM's cross product: what a join without a usable key reads.
  double Combinations(const FromNode& node) const;

  Expr MakeExpr(Kind kind, const Scope& scope, int depth);
  Expr MakeNumber(const Scope& scope, int depth);
  Expr MakeText(const Scope& scope, int depth);
  Expr MakeDate(const Scope& scope, int depth);
  Expr MakeCondition(const Scope& scope, int depth);
  Expr MakeComparison(const Scope& scope, int depth);
  Expr MakeAggregate(Kind kind, const Scope& scope, int depth);
  Expr MakeSubqueryCondition(const Scope& scope, int depth);
  Expr MakeScalarSubquery(Kind kind, const Scope& scope, int depth);
  // A subquery of one column of the kind, for IN, ANY and ALL.
  std::string MakeColumnSubquery(Kind kind, const Scope& outer, int depth);

  // A column of the kind in scope (or a grouping key of it); nullopt when there is none.
  std::optional<Expr> ColumnOf(Kind kind, const Scope& scope, bool wholeOnly = false);
  Expr Literal(Kind kind);
  Expr SmallWhole();

  Random& random_;
  const Database& database_;
  int aliases_ = 0;
  std::set<std::string> bareTables_;  // tables of the statement named without an alias
  bool inDerived_ = false;
  std::map<std::string, double> derivedRows_;  // by alias: the combinations of its FROM
};

}  // namespace vendrel::tester

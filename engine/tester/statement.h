#pragma once
// The tester's own form of a statement of the dialect: plain parts that the
// laws put together in new ways (a WHERE joined with a further predicate, a
// TOP taken away) and the shrinker takes apart, and that print as SQL.

#include <optional>
#include <string>
#include <vector>

#include "random_tables.h"

namespace vendrel::tester {

// An expression as the text between its operands: text[0] args[0] text[1]
// ... args[n-1] text[n]. A leaf is its text alone.
struct Expr {
  Kind kind = Kind::Number;
  std::vector<std::string> text{""};
  std::vector<Expr> args;
  bool aggregate = false;    // holds an aggregate outside its subqueries
  bool approximate = false;  // a floating sum or mean: the last bits may depend on the rows' order
  bool simple = false;       // a literal or a column: nothing left to shrink
  // What the node is itself, apart from its arguments: the flags above are
  // made from these (Refresh, once a shrink has changed the arguments).
  bool ownAggregate = false;
  bool ownApproximate = false;

  std::string Sql() const;
  void Refresh();
  void MarkAggregate() { aggregate = ownAggregate = true; }
  void MarkApproximate(bool value) { approximate = ownApproximate = value; }

  static Expr Leaf(Kind kind, std::string text, bool simple = true);
  // The flags of the arguments carry over.
  static Expr Of(Kind kind, std::vector<std::string> text, std::vector<Expr> args);
};

// Predicates put together as the laws need them.
Expr And(const Expr& a, const Expr& b);
Expr Not(const Expr& a);
Expr IsNullOf(const Expr& a);

// A column that names in a query's clauses may refer to.
struct VisibleColumn {
  std::string qualifier;  // the alias or table name that qualifies it
  std::string name;
  Kind kind = Kind::Number;
  bool whole = false;     // a whole-number column
  bool floating = false;  // Single or Double
  bool approximate = false;  // a derived table's floating sum or mean
  std::string Sql() const { return qualifier + "." + name; }
};

struct FromNode {
  enum class Shape { Table, Derived, Join } shape = Shape::Table;
  std::string table;        // Table: the table's name
  std::string alias;        // Table (empty: the name qualifies) and Derived
  std::string derivedSql;   // Derived: the subquery
  std::string join;         // Join: "INNER JOIN", "LEFT JOIN", ... or "," for a comma list
  std::vector<FromNode> sides;  // Join: left and right
  std::optional<Expr> on;
  std::string Sql() const;
};

struct SelectItem {
  Expr expr;
  std::string alias;  // empty: none
};

struct Top {
  int count = 0;
  bool percent = false;
};

struct Core {
  std::string quantifier;  // "", "DISTINCT" or "DISTINCTROW"
  std::optional<Top> top;
  std::vector<SelectItem> items;
  std::vector<Kind> kinds;  // of the output columns (a * gives several)
  std::optional<FromNode> from;
  std::optional<Expr> where;
  std::vector<Expr> groupBy;
  std::optional<Expr> having;
  std::vector<VisibleColumn> visible;  // the columns of FROM, for predicates made later

  bool Aggregates() const;  // grouped, or an aggregate in the list
  std::string Sql() const;
};

struct OrderKey {
  int position = 0;           // 1-based output column; 0 for an expression
  std::optional<Expr> expr;   // an expression of the first member's tables
  bool descending = false;
};

// TRANSFORM value SELECT ... PIVOT pivot [IN (...)]: its SELECT is the one core.
struct Crosstab {
  Expr value;                   // an aggregate, or an expression over aggregates
  Expr pivot;
  std::vector<Expr> listed;     // after IN; empty: the values the data holds
};

struct Statement {
  std::vector<Core> cores;     // more than one: a UNION
  std::vector<bool> unionAll;  // between cores[i] and cores[i + 1]
  std::vector<OrderKey> orderBy;
  std::optional<Crosstab> crosstab;

  bool Approximate() const;  // some output column is approximate
  std::string Sql() const;
};

}  // namespace vendrel::tester

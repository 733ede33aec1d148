#pragma once
// The parsed statement. The parser fills the syntax; the binder adds the
// resolved names and static types in place (the fields under "bound"), which
// the code generator reads.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalog.h"
#include "sql/compile.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel::driver::sql {

struct Span {
  size_t begin = 0;
  size_t end = 0;
};

enum class ExprKind {
  Literal,
  Column,          // names: [column] or [qualifier, column]
  Star,            // names: [] or [qualifier]; select list only
  Unary,           // op Neg, Plus or Not; args[0]
  Binary,          // op; args[0], args[1]; And/Or chains keep every operand in args
  Like,            // args[0] LIKE args[1]
  IsNull,          // args[0] IS [NOT] NULL
  Between,         // args[0] BETWEEN args[1] AND args[2]
  InList,          // args[0] IN (args[1..])
  InSubquery,      // args[0] IN (subquery)
  Exists,          // EXISTS (subquery)
  Quantified,      // args[0] op ANY|ALL (subquery)
  ScalarSubquery,  // (subquery)
  Call,            // names[0](args)
  Case,            // CASE [x] WHEN a THEN b ... [ELSE e] END: see CaseParts
};

enum class Op {
  None,
  Neg, Plus, Not,
  Pow, Mul, Div, IntDiv, Mod, Add, Sub, Concat,
  Eq, Ne, Lt, Gt, Le, Ge,
  And, Or, Xor, Eqv, Imp,
};

inline bool IsComparison(Op op) { return op >= Op::Eq && op <= Op::Ge; }

struct Query;
struct TableInstance;
struct FunctionInfo;

struct Expr {
  ExprKind kind = ExprKind::Literal;
  Op op = Op::None;
  Span span;
  int height = 1;
  Variant value;  // Literal: Null, Boolean, Long, BigInt, Double, String or Date
  std::vector<std::string> names;
  std::vector<std::unique_ptr<Expr>> args;
  std::unique_ptr<Query> subquery;
  bool negated = false;  // NOT LIKE, IS NOT NULL, NOT BETWEEN, NOT IN, NOT EXISTS
  bool all = false;      // Quantified: ALL rather than ANY/SOME
  bool distinct = false;  // Call of Count: COUNT(DISTINCT x)
  bool caseOperand = false;  // Case: args[0] is the x of CASE x WHEN v THEN ...

  // bound
  JetType type = JetType::Null;
  long width = 0;
  const TableInstance* table = nullptr;  // Column
  int column = -1;                       // Column: index in table->columns
  const FunctionInfo* function = nullptr;  // Call of a library function
  bool aggregate = false;                  // Call of an aggregate
};
using ExprPtr = std::unique_ptr<Expr>;

// Where the parts of a Case lie in its args: [operand], then WHEN and THEN
// expressions in pairs, then the ELSE expression if there is one.
struct CaseParts {
  size_t firstWhen = 0;
  size_t pairs = 0;
  bool hasElse = false;
};
inline CaseParts PartsOfCase(const Expr& e) {
  CaseParts p;
  p.firstWhen = e.caseOperand ? 1 : 0;
  const size_t rest = e.args.size() - p.firstWhen;
  p.pairs = rest / 2;
  p.hasElse = rest % 2 != 0;
  return p;
}

struct SelectItem {
  ExprPtr expr;  // Star items are replaced by their columns when bound
  std::string alias;
  bool hasAlias = false;
  Span span;
};

enum class Quantifier { All, Distinct, DistinctRow };
enum class JoinKind { Cross, Inner, Left, Right, Full };

struct FromNode {
  enum class Kind { Table, Derived, Join } kind = Kind::Table;
  Span span;
  std::string tableName;  // Table: as written, without brackets
  Span nameSpan;          // Table: where the name stands
  std::string alias;
  bool hasAlias = false;
  std::unique_ptr<Query> derived;
  JoinKind join = JoinKind::Cross;
  std::unique_ptr<FromNode> left, right;
  ExprPtr on;

  // bound
  const TableInstance* instance = nullptr;  // Table and Derived
};

struct Top {
  bool present = false;
  double count = 0;
  bool percent = false;
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
  int outputIndex = -1;  // bound: the output column it names, or -1 for an expression
};

struct SelectCore {
  Span span;
  Quantifier quantifier = Quantifier::All;
  Top top;
  std::vector<SelectItem> items;
  std::unique_ptr<FromNode> from;  // null without FROM
  ExprPtr where;
  std::vector<ExprPtr> groupBy;
  ExprPtr having;

  // bound
  bool aggregateQuery = false;
  std::vector<const TableInstance*> tables;  // every table instance of FROM, in order
};

struct Query {
  Span span;
  std::vector<SelectCore> cores;  // more than one for UNION
  std::vector<bool> unionAll;     // between cores[i] and cores[i + 1]
  std::vector<OrderItem> orderBy;
  int64_t limit = -1;  // LIMIT n: the first n rows, ties or not; -1 without

  // bound
  std::vector<OutputColumn> columns;
};

// A name declared by PARAMETERS before the statement.
struct ParameterDecl {
  std::string name;  // as written, without brackets
  JetType type = JetType::Null;
  Span span;
};

// TRANSFORM value SELECT ... GROUP BY ... PIVOT pivot [IN (listed, ...)]:
// the query's one SELECT gives the row headings; each value of the pivot
// expression (or each listed value) a column of the TRANSFORM value over the
// rows of that value.
struct Crosstab {
  ExprPtr value;  // holds an aggregate
  ExprPtr pivot;
  bool listed = false;  // IN (...)
  std::vector<ExprPtr> listedValues;  // literals; bound: converted to the pivot's type
};

// The columns a crosstab has once its pivot values are known: the row
// headings, then one column per value, in this order.
struct CrosstabLayout {
  std::vector<Variant> values;  // in the pivot expression's type; Null for the "<>" column
  std::vector<OutputColumn> columns;
};

struct Statement {
  std::vector<ParameterDecl> parameters;
  std::unique_ptr<Query> query;
  std::unique_ptr<Crosstab> crosstab;  // a TRANSFORM statement
};

// Columns as a table instance offers them to names in the statement.
struct InstanceColumn {
  std::string name;
  JetType type = JetType::Text;
  long width = 0;
  std::string sql;  // how generated SQL names it inside the instance, quoted
};

struct TableInstance {
  std::string qualifier;  // alias, else the table name as written
  std::string sqlAlias;   // alias in generated SQL, quoted ("s0")
  const TableDef* table = nullptr;  // base table
  const Query* derived = nullptr;   // derived table
  std::vector<InstanceColumn> columns;
};

// The statement text of a span.
inline std::string TextOf(std::string_view statement, Span span) {
  if (span.begin >= statement.size() || span.end <= span.begin) return {};
  return std::string(statement.substr(span.begin, span.end - span.begin));
}

}  // namespace vendrel::driver::sql

#include "sql/codegen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <utility>

#include "core/errors.h"
#include "sql/binder.h"
#include "sql/errors.h"
#include "sql/functions.h"
#include "sql/runtime.h"
#include "sql/types.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/driver/shortcuts.h"

namespace vendrel::driver::sql {

namespace {

// SQLite operator precedence, so that generated SQL carries only the
// parentheses it needs (SQLite's parser has a small stack).
enum Precedence {
  kOr = 10,
  kAnd = 20,
  kNot = 30,
  kEquality = 35,  // = <> IN IS LIKE
  kRelational = 40,
  kBitwise = 50,
  kAdditive = 60,
  kMultiplicative = 70,
  kConcatenation = 80,
  kCollate = 85,
  kUnary = 90,
  kAtom = 100,
};

struct Sql {
  std::string text;
  int precedence = kAtom;
};

std::string Operand(const Sql& s, int minimum) {
  if (s.precedence >= minimum) return s.text;
  return "(" + s.text + ")";
}

Sql Infix(const Sql& a, std::string_view op, const Sql& b, int precedence) {
  std::string text = Operand(a, precedence);
  text += ' ';
  text += op;
  text += ' ';
  text += Operand(b, precedence + 1);
  return {std::move(text), precedence};
}

Sql Prefix(std::string_view op, const Sql& a, int precedence) {
  return {std::string(op) + " " + Operand(a, precedence), precedence};
}

Sql Call(std::string_view name, const std::vector<Sql>& args) {
  std::string text(name);
  text += '(';
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) text += ", ";
    text += args[i].text;
  }
  text += ')';
  return {std::move(text), kAtom};
}

Sql Code(JetType t) { return {std::to_string(static_cast<int>(t)), kAtom}; }

Sql Collate(const Sql& s) { return {Operand(s, kCollate) + " COLLATE " + std::string(fn::kCollation), kCollate}; }

Sql Null() { return {"NULL", kAtom}; }

std::string QuoteString(const std::string& s) {
  if (s.find('\0') != std::string::npos) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "CAST(X'";
    for (unsigned char c : s) {
      out += digits[c >> 4];
      out += digits[c & 15];
    }
    return out + "' AS TEXT)";
  }
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

// A double as SQLite reads it back: NaN as the text the text tables give
// it as (SQLite holds no NaN), the infinities as numbers beyond any double.
std::string RealText(double d) {
  if (std::isnan(d)) return "'NaN'";
  if (std::isinf(d)) return d > 0 ? "9e999" : "-9e999";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", d);
  std::string s = buf;
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
  return s;
}

Sql Number(std::string text) {
  const bool negative = !text.empty() && text[0] == '-';
  return {std::move(text), negative ? kUnary : kAtom};
}

// A value in the storage of its static type.
Sql StoredLiteral(const Variant& v) {
  switch (v.Type()) {
    case VarType::Null:
    case VarType::Empty: return Null();
    case VarType::Boolean: return Number(v.AsBoolean() ? "-1" : "0");
    case VarType::Byte: return Number(std::to_string(v.AsByte()));
    case VarType::Integer: return Number(std::to_string(v.AsInteger()));
    case VarType::Long: return Number(std::to_string(v.AsLong()));
    case VarType::BigInt: return Number(std::to_string(v.AsBigInt()));
    case VarType::Currency: return Number(std::to_string(v.AsCurrency().scaled));
    case VarType::Single: return Number(RealText(v.AsSingle()));
    case VarType::Double: return Number(RealText(v.AsDouble()));
    case VarType::Date: return Number(RealText(v.AsDate().serial));
    case VarType::String: return {QuoteString(v.AsString()), kAtom};
    case VarType::Bytes: {
      static const char digits[] = "0123456789ABCDEF";
      std::string out = "X'";
      for (uint8_t c : v.AsBytes()) {
        out += digits[c >> 4];
        out += digits[c & 15];
      }
      return {out + "'", kAtom};
    }
    default: return Null();
  }
}

bool AtMostLong(JetType t) { return IsInteger(t) && t != JetType::BigInt; }

// The type both sides of a comparison are brought to.
JetType CompareDomain(JetType a, JetType b) {
  if (a == JetType::Null) return b;
  if (b == JetType::Null) return a;
  if (IsText(a) && IsText(b)) return JetType::Text;
  if (IsText(a) || IsText(b)) return JetType::Date;
  if (a == JetType::Binary) return JetType::Binary;
  if (a == JetType::Currency || b == JetType::Currency) {
    const JetType other = a == JetType::Currency ? b : a;
    return other == JetType::Currency || AtMostLong(other) ? JetType::Currency : JetType::Double;
  }
  if (IsInteger(a) && IsInteger(b)) return JetType::BigInt;
  return JetType::Double;
}

class Generator {
 public:
  std::string Query(const sql::Query& q) {
    // A subquery's aggregates see its own rows, never the rows of a crosstab's cell.
    const CellScope subquery(*this, nullptr);
    std::string text = Unlimited(q);
    // A compound that Unlimited left bare carries its guard here, with the LIMIT.
    const bool guarded = NeedsCompoundGuard(q) && q.orderBy.empty();
    if (q.limit < 0) return guarded ? text + " LIMIT -1 OFFSET 0" : text;
    const std::string limit = " LIMIT " + std::to_string(q.limit) + (guarded ? " OFFSET 0" : "");
    // A lone SELECT with TOP already ends in a LIMIT of its own.
    if (q.cores.size() == 1 && q.cores[0].top.present) return "SELECT * FROM (" + text + ")" + limit;
    return text + limit;
  }

  std::string Unlimited(const sql::Query& q) {
    if (q.cores.size() == 1) return Core(q.cores[0], q.columns, &q.orderBy);
    std::string text;
    for (size_t i = 0; i < q.cores.size(); ++i) {
      if (i) text += q.unionAll[i - 1] ? " UNION ALL " : " UNION ";
      std::string part = Core(q.cores[i], q.columns, nullptr);
      text += q.cores[i].top.present ? "SELECT * FROM (" + part + ")" : part;
    }
    if (q.orderBy.empty()) return text;
    std::string keys;
    for (const auto& item : q.orderBy) {
      if (!keys.empty()) keys += ", ";
      keys += OutputKey(q.columns, item);
    }
    if (NeedsCompoundGuard(q)) text += " LIMIT -1 OFFSET 0";
    return "SELECT * FROM (" + text + ") ORDER BY " + keys;
  }

  // ------------------------------------------------------------ crosstabs

  // The distinct pivot values in column order, Null first. The DISTINCT is
  // found without the order, which would sort every row; it stops at the
  // value one past the limit, and only the values found are sorted.
  std::string PivotPass(const sql::Query& q, const sql::Crosstab& crosstab, size_t limit) {
    Sql value = Value(*crosstab.pivot);
    Sql key{"\"c0\"", kAtom};
    if (IsText(crosstab.pivot->type)) {
      value = Collate(value);
      key = Collate(key);
    }
    return "SELECT \"c0\" FROM (SELECT DISTINCT " + value.text + " AS \"c0\"" + Source(q.cores.front()) + " LIMIT " +
           std::to_string(limit + 1) + ") ORDER BY " + key.text;
  }

  std::string Crosstab(const sql::Query& q, const sql::Crosstab& crosstab, const CrosstabLayout& layout) {
    crosstab_ = {&q.cores.front(), &crosstab, &layout, &q.orderBy};
    return Query(q);
  }

 private:
  struct CrosstabParts {
    const SelectCore* core = nullptr;
    const sql::Crosstab* crosstab = nullptr;
    const CrosstabLayout* layout = nullptr;
    const std::vector<OrderItem>* orderBy = nullptr;
  };

  // While a cell is generated, its condition; the aggregates of the TRANSFORM
  // value see the rows where it holds.
  struct CellScope {
    CellScope(Generator& g, const Sql* condition) : generator(g), saved(std::exchange(g.cell_, condition)) {}
    ~CellScope() { generator.cell_ = saved; }
    CellScope(const CellScope&) = delete;
    CellScope& operator=(const CellScope&) = delete;
    Generator& generator;
    const Sql* saved;
  };

  std::string Source(const SelectCore& core) {
    std::string text;
    if (core.from) text += " FROM " + From(*core.from).text;
    if (core.where) text += " WHERE " + Condition(*core.where).text;
    return text;
  }

  // The crosstab's rows with the pivot value computed once per row, as "pv"
  // of "xt"; the columns the rest of the statement names become columns of
  // "xt" too. Its LIMIT keeps the database from merging it into the grouping
  // query, which would compute the pivot value again for every cell.
  std::string CrosstabSource(const SelectCore& core, const std::vector<OrderItem>& orderBy) {
    const sql::Crosstab& crosstab = *crosstab_.crosstab;
    TableUse use;
    for (const auto& item : core.items) use.Visit(*item.expr);
    for (const auto& key : core.groupBy) use.Visit(*key);
    if (core.having) use.Visit(*core.having);
    for (const auto& item : orderBy) use.Visit(*item.expr);
    use.Visit(*crosstab.value);
    std::string inner = "SELECT ";
    std::map<std::pair<const TableInstance*, int>, std::string> moved;
    for (const Expr* column : use.columns) {
      if (std::find(core.tables.begin(), core.tables.end(), column->table) == core.tables.end()) continue;
      const auto [it, added] = moved.try_emplace({column->table, column->column}, "\"x" + std::to_string(moved.size()) + "\"");
      if (added) inner += column->table->sqlAlias + "." + column->table->columns[column->column].sql + " AS " + it->second + ", ";
    }
    Sql pivot = Value(*crosstab.pivot);
    if (IsText(crosstab.pivot->type)) pivot = Collate(pivot);
    inner += pivot.text + " AS \"pv\"" + Source(core) + " LIMIT -1";
    for (auto& [column, name] : moved) moved_[column] = "\"xt\"." + name;
    return " FROM (" + inner + ") AS \"xt\"";
  }

  // The TRANSFORM value over the rows whose pivot value is v.
  Sql Cell(const Variant& v, JetType type) {
    const Sql pivot{"\"xt\".\"pv\"", kAtom};
    const JetType pivotType = crosstab_.crosstab->pivot->type;
    const Sql condition = v.IsNull() ? Sql{pivot.text + " IS NULL", kEquality}
                                     : CompareSql("=", pivot, StoredLiteral(v), pivotType);
    const CellScope cell(*this, &condition);
    Sql value = As(*crosstab_.crosstab->value, type);
    if (IsText(type)) value = Collate(value);
    return value;
  }

  // Inside a cell an aggregate takes the rows of the cell's pivot value only;
  // the database skips the others without calling the aggregate.
  Sql OfCell(const Sql& call) const {
    if (!cell_) return call;
    return {call.text + " FILTER (WHERE " + cell_->text + ")", kAtom};
  }

  // ------------------------------------------------------------ SELECT

  static std::string OutputName(size_t i) { return "\"c" + std::to_string(i) + "\""; }

  static std::string Direction(bool descending) { return descending ? " DESC" : ""; }

  static std::string OutputKey(const std::vector<OutputColumn>& columns, const OrderItem& item) {
    Sql key{OutputName(static_cast<size_t>(item.outputIndex)), kAtom};
    if (IsText(columns[static_cast<size_t>(item.outputIndex)].type)) key = Collate(key);
    return key.text + Direction(item.descending);
  }

  // DISTINCTROW drops rows whose records are the same in every field of the
  // tables that give output columns: those tables' fields join the DISTINCT.
  static std::vector<const TableInstance*> DistinctRowTables(const SelectCore& core) {
    if (core.quantifier != Quantifier::DistinctRow || core.aggregateQuery) return {};
    std::vector<const TableInstance*> used;
    for (const auto& item : core.items) CollectTables(*item.expr, core, used);
    return used;
  }

  static void CollectTables(const Expr& e, const SelectCore& core, std::vector<const TableInstance*>& used) {
    if (e.kind == ExprKind::Column && std::find(core.tables.begin(), core.tables.end(), e.table) != core.tables.end() &&
        std::find(used.begin(), used.end(), e.table) == used.end())
      used.push_back(e.table);
    for (const auto& a : e.args) CollectTables(*a, core, used);
  }

  std::string Core(const SelectCore& core, const std::vector<OutputColumn>& queryColumns,
                   const std::vector<OrderItem>* orderBy) {
    static const std::vector<OrderItem> kNoOrder;
    const std::vector<OrderItem>& order = orderBy ? *orderBy : kNoOrder;
    const std::vector<const TableInstance*> rowTables = DistinctRowTables(core);
    const bool ranked = core.top.present && (!order.empty() || core.top.percent);
    // A HAVING without GROUP BY makes the query one group; SQLite takes that
    // only from an aggregate in the list, so one is added out of sight.
    const bool oneGroup = core.aggregateQuery && core.groupBy.empty() && core.having;
    const bool wrapped = ranked || !rowTables.empty() || oneGroup;
    const bool pivoted = crosstab_.core == &core;
    const std::vector<OutputColumn>& columns = pivoted ? crosstab_.layout->columns : queryColumns;
    const std::string pivotSource = pivoted ? CrosstabSource(core, order) : std::string();

    std::string select = "SELECT ";
    if (core.quantifier == Quantifier::Distinct || !rowTables.empty()) select += "DISTINCT ";
    for (size_t i = 0; i < core.items.size(); ++i) {
      if (i) select += ", ";
      Sql value = As(*core.items[i].expr, columns[i].type);
      if (IsText(columns[i].type)) value = Collate(value);
      select += value.text + " AS " + OutputName(i);
    }
    if (pivoted)
      for (size_t k = 0; k < crosstab_.layout->values.size(); ++k) {
        const size_t i = core.items.size() + k;
        select += ", " + Cell(crosstab_.layout->values[k], columns[i].type).text + " AS " + OutputName(i);
      }
    // Keys that are not output columns travel as hidden columns when the
    // ordering happens outside this SELECT.
    std::vector<std::string> keys;
    for (size_t k = 0; k < order.size(); ++k) {
      const OrderItem& item = order[k];
      if (item.outputIndex >= 0) {
        keys.push_back(OutputKey(columns, item));
        continue;
      }
      if (item.expr->kind == ExprKind::Literal) continue;  // a constant does not order
      Sql key = Value(*item.expr);
      if (wrapped) {
        const std::string hidden = "\"o" + std::to_string(k) + "\"";
        select += ", " + key.text + " AS " + hidden;
        key = {hidden, kAtom};
      }
      if (IsText(item.expr->type)) key = Collate(key);
      keys.push_back(key.text + Direction(item.descending));
    }
    if (oneGroup) select += ", count(*) AS \"g\"";
    size_t hidden = 0;
    for (const TableInstance* t : rowTables)
      for (const auto& c : t->columns) select += ", " + t->sqlAlias + "." + c.sql + " AS \"r" + std::to_string(hidden++) + "\"";
    select += pivoted ? pivotSource : Source(core);
    std::vector<std::string> groupKeys;
    if (!core.groupBy.empty()) {
      select += " GROUP BY ";
      for (size_t i = 0; i < core.groupBy.size(); ++i) {
        if (i) select += ", ";
        const Expr& key = *core.groupBy[i];
        if (key.kind == ExprKind::Literal) {
          select += "'constant'";  // a number here would name an output column
          continue;
        }
        Sql value = Value(key);
        if (IsText(key.type)) value = Collate(value);
        select += value.text;
        groupKeys.push_back(value.text);
      }
    }
    if (core.having) select += " HAVING " + Condition(*core.having).text;
    // A crosstab's rows come in the order of its row headings unless it says otherwise.
    if (pivoted && order.empty()) keys = groupKeys;

    std::string orderText;
    for (const auto& k : keys) orderText += (orderText.empty() ? " ORDER BY " : ", ") + k;

    if (!wrapped) {
      select += orderText;
      if (core.top.present) select += " LIMIT " + std::to_string(static_cast<int64_t>(core.top.count));
      return select;
    }
    std::string outputs;
    for (size_t i = 0; i < columns.size(); ++i) outputs += (i ? ", " : "") + OutputName(i);
    if (!ranked) return "SELECT " + outputs + " FROM (" + select + ")" + orderText;

    // Without keys every row ties with the last one.
    const std::string window = order.empty()     ? "row_number() OVER ()"
                               : keys.empty()    ? "rank() OVER ()"
                                                 : "rank() OVER (" + orderText.substr(1) + ")";
    std::string numbered = "SELECT *, " + window + " AS \"_rank\"";
    std::string limit;
    if (core.top.percent) {
      numbered += ", count(*) OVER () AS \"_count\"";
      limit = "(\"_rank\" - 1) * 100.0 < " + RealText(core.top.count) + " * \"_count\"";
    } else {
      limit = "\"_rank\" <= " + std::to_string(static_cast<int64_t>(core.top.count));
    }
    return "SELECT " + outputs + " FROM (" + numbered + " FROM (" + select + ")) WHERE " + limit + " ORDER BY \"_rank\"";
  }

  Sql From(const FromNode& node) {
    switch (node.kind) {
      case FromNode::Kind::Table: return {node.instance->table->sqliteName + " AS " + node.instance->sqlAlias, kAtom};
      case FromNode::Kind::Derived:
        return {"(" + Query(*node.derived) + ") AS " + node.instance->sqlAlias, kAtom};
      case FromNode::Kind::Join: break;
    }
    // A RIGHT JOIN is written as the LEFT JOIN with its sides exchanged: the
    // same rows, and no RIGHT JOIN ever reaches SQLite (see NeedsCompoundGuard).
    const bool mirrored = node.join == JoinKind::Right;
    const FromNode& first = mirrored ? *node.right : *node.left;
    const FromNode& second = mirrored ? *node.left : *node.right;
    std::string text = From(first).text;
    const std::string right =
        second.kind == FromNode::Kind::Join ? "(" + From(second).text + ")" : From(second).text;
    switch (node.join) {
      case JoinKind::Cross: return {text + " JOIN " + right, kAtom};
      case JoinKind::Inner: text += " INNER JOIN "; break;
      case JoinKind::Left:
      case JoinKind::Right: text += " LEFT JOIN "; break;
      case JoinKind::Full: text += " FULL JOIN "; break;
    }
    return {text + right + " ON " + Condition(*node.on).text, kAtom};
  }

  // SQLite 3.40 flattens a compound subquery into the query around it even
  // when a later member holds a RIGHT or FULL JOIN, and the flattened query
  // then keeps rows that an earlier member's WHERE rejects (or loses rows).
  // RIGHT JOINs are never generated; a compound with a FULL JOIN in a member
  // gets an OFFSET, which SQLite never flattens.
  // Derived tables count: SQLite may flatten them into the member first.
  static bool HasFullJoin(const FromNode* node) {
    if (!node) return false;
    switch (node->kind) {
      case FromNode::Kind::Table: return false;
      case FromNode::Kind::Derived: return HasFullJoin(*node->derived);
      case FromNode::Kind::Join:
        return node->join == JoinKind::Full || HasFullJoin(node->left.get()) || HasFullJoin(node->right.get());
    }
    return false;
  }

  static bool HasFullJoin(const sql::Query& q) {
    return std::any_of(q.cores.begin(), q.cores.end(),
                       [](const SelectCore& core) { return HasFullJoin(core.from.get()); });
  }

  static bool NeedsCompoundGuard(const sql::Query& q) { return q.cores.size() > 1 && HasFullJoin(q); }

  // ------------------------------------------------------------ conversions

  // An expression that is always Null, as SQL: Null, unless an aggregate
  // stands in it, which keeps its query one row per group (Max(Null) + 1
  // over three rows is one row).
  static bool HoldsAggregate(const Expr& e) {
    if (e.aggregate) return true;
    return std::any_of(e.args.begin(), e.args.end(), [](const ExprPtr& a) { return HoldsAggregate(*a); });
  }
  static Sql NullOf(const Expr& e) { return HoldsAggregate(e) ? Sql{"max(NULL)", kAtom} : Null(); }

  static Sql Convert(const Sql& value, JetType from, JetType to) {
    if (from == to || to == JetType::Null) return value;
    if (from == JetType::Null) return Null();
    if (IsText(from) && IsText(to)) return value;
    if (IsText(to)) return Call(fn::kText, {value, Code(from)});
    if (IsInteger(from) && IsInteger(to) && (to == JetType::BigInt || (to == JetType::Long && from != JetType::BigInt) ||
                                             (to == JetType::Short && (from == JetType::Byte || from == JetType::Boolean))))
      return value;
    if ((IsInteger(from) || from == JetType::Date) && (IsFloat(to) || to == JetType::Date)) return value;
    if (IsFloat(from) && (to == JetType::Double || to == JetType::Date)) return value;
    if (from == JetType::Currency && (IsFloat(to) || to == JetType::Date))
      return Infix(value, "/", {"10000.0", kAtom}, kMultiplicative);
    if (AtMostLong(from) && to == JetType::Currency) return Infix(value, "*", {"10000", kAtom}, kMultiplicative);
    return Call(fn::kConvert, {value, Code(from), Code(to)});
  }

  Sql As(const Expr& e, JetType to) {
    if (e.type == JetType::Null && to != JetType::Null) return NullOf(e);
    if (e.kind == ExprKind::Literal && to != JetType::Null && to != JetType::Binary && e.type != to) {
      try {
        return StoredLiteral(ChangeType(e.value, VarTypeOf(to)));
      } catch (const Error&) {
        // left to the conversion at run time, which raises only if it is evaluated
      }
    }
    return Convert(Value(e), e.type, to);
  }

  // A number as SQLite arithmetic sees it: whole numbers and Booleans as they
  // are stored, everything else as a double.
  Sql Numeric(const Expr& e) {
    if (IsInteger(e.type) || IsFloat(e.type) || e.type == JetType::Date || e.type == JetType::Null) return Value(e);
    return As(e, JetType::Double);
  }

  // ------------------------------------------------------------ values

  static Sql FromCondition(const Sql& condition) { return Prefix("-", condition, kUnary); }

  Sql Value(const Expr& e) {
    switch (e.kind) {
      case ExprKind::Literal: return StoredLiteral(e.value);
      case ExprKind::Column: {
        if (const auto it = moved_.find({e.table, e.column}); it != moved_.end()) return {it->second, kAtom};
        return {e.table->sqlAlias + "." + e.table->columns[e.column].sql, kAtom};
      }
      case ExprKind::Star: return Null();
      case ExprKind::Unary:
        if (e.op == Op::Not) {
          if (e.type == JetType::Boolean) return FromCondition(Condition(e));
          return Prefix("~", As(*e.args[0], e.type), kUnary);
        }
        return Negation(e);
      case ExprKind::Binary: return BinaryValue(e);
      case ExprKind::Like:
      case ExprKind::IsNull:
      case ExprKind::Between:
      case ExprKind::InList:
      case ExprKind::InSubquery:
      case ExprKind::Exists:
      case ExprKind::Quantified: return FromCondition(Condition(e));
      case ExprKind::ScalarSubquery: return ScalarSubquery(*e.subquery);
      case ExprKind::Call: return CallValue(e);
      case ExprKind::Case: {
        // CASE x WHEN v compares as x = v does, so every branch is spelled as a condition.
        const CaseParts parts = PartsOfCase(e);
        std::string text = "CASE";
        for (size_t k = 0; k < parts.pairs; ++k) {
          const Expr& when = *e.args[parts.firstWhen + 2 * k];
          const Sql condition = e.caseOperand ? Compare("=", *e.args[0], when) : Condition(when);
          text += " WHEN " + condition.text + " THEN " + As(*e.args[parts.firstWhen + 2 * k + 1], e.type).text;
        }
        if (parts.hasElse) text += " ELSE " + As(*e.args.back(), e.type).text;
        return {text + " END", kAtom};
      }
    }
    return Null();
  }

  Sql Negation(const Expr& e) {
    const Expr& a = *e.args[0];
    if (e.type == JetType::Null) return NullOf(e);
    const Sql operand = As(a, e.type);
    if (e.type == JetType::Currency || (e.type == JetType::BigInt && a.type == JetType::BigInt))
      return Call(fn::kNegate, {operand});
    return Prefix("-", operand, kUnary);
  }

  Sql BinaryValue(const Expr& e) {
    const Expr& a = *e.args[0];
    if (IsComparison(e.op)) return FromCondition(Condition(e));
    switch (e.op) {
      case Op::And:
      case Op::Or:
      case Op::Xor:
      case Op::Eqv:
      case Op::Imp: return e.type == JetType::Boolean ? FromCondition(Condition(e)) : Bitwise(e);
      case Op::Concat: {
        const Sql l = As(a, JetType::Text);
        const Sql r = As(*e.args[1], JetType::Text);
        return Call(fn::kAmpersand, {l, r});
      }
      case Op::Div: return Call(fn::kDivide, {As(a, JetType::Double), As(*e.args[1], JetType::Double)});
      case Op::Pow: return Call(fn::kPower, {As(a, JetType::Double), As(*e.args[1], JetType::Double)});
      case Op::IntDiv: return Call(fn::kIntegerDivide, {Numeric(a), Numeric(*e.args[1])});
      case Op::Mod: return Call(fn::kModulo, {Numeric(a), Numeric(*e.args[1])});
      default: return Arithmetic(e);
    }
  }

  Sql Arithmetic(const Expr& e) {
    const Expr& a = *e.args[0];
    const Expr& b = *e.args[1];
    const JetType t = e.type;
    if (t == JetType::Null) return NullOf(e);
    if (IsText(t)) return Infix(As(a, JetType::Text), "||", As(b, JetType::Text), kConcatenation);
    const std::string_view op = e.op == Op::Add ? "+" : e.op == Op::Sub ? "-" : "*";
    const int precedence = e.op == Op::Mul ? kMultiplicative : kAdditive;
    if (t == JetType::Date || IsFloat(t)) {
      const JetType operand = JetType::Double;
      return Infix(As(a, operand), op, As(b, operand), precedence);
    }
    const std::string_view checked = e.op == Op::Add ? fn::kAdd : e.op == Op::Sub ? fn::kSubtract : fn::kMultiply;
    if (t == JetType::Currency) {
      if (e.op == Op::Mul) {
        // A whole number scales the count of ten-thousandths exactly.
        if (IsInteger(a.type) || a.type == JetType::Null) return Call(fn::kMultiply, {Value(a), As(b, t)});
        if (IsInteger(b.type) || b.type == JetType::Null) return Call(fn::kMultiply, {As(a, t), Value(b)});
        return Call(fn::kCurrencyMultiply, {As(a, t), As(b, t)});
      }
      return Call(checked, {As(a, t), As(b, t)});
    }
    // Whole numbers: operands up to 32 bits cannot leave 64 bits.
    const bool small = (AtMostLong(a.type) || a.type == JetType::Null) && (AtMostLong(b.type) || b.type == JetType::Null);
    if (small) return Infix(Value(a), op, Value(b), precedence);
    return Call(checked, {As(a, t), As(b, t)});
  }

  Sql Bitwise(const Expr& e) {
    auto operand = [&](const Expr& x) { return As(x, JetType::BigInt); };
    Sql acc = operand(*e.args[0]);
    for (size_t i = 1; i < e.args.size(); ++i) {
      const Sql b = operand(*e.args[i]);
      const Sql both = Infix(acc, "&", b, kBitwise);
      const Sql either = Infix(acc, "|", b, kBitwise);
      switch (e.op) {
        case Op::And: acc = both; break;
        case Op::Or: acc = either; break;
        case Op::Xor: acc = Infix(either, "-", both, kAdditive); break;
        case Op::Eqv: acc = Prefix("~", Infix(either, "-", both, kAdditive), kUnary); break;
        case Op::Imp: acc = Infix(Prefix("~", acc, kUnary), "|", b, kBitwise); break;
        default: break;
      }
    }
    return acc;
  }

  Sql ScalarSubquery(const sql::Query& q) {
    const std::string inner = Query(q);
    const SelectCore& only = q.cores.front();
    if (q.cores.size() == 1 && only.aggregateQuery && only.groupBy.empty()) return {"(" + inner + ")", kAtom};
    return {"(SELECT CASE WHEN count(*) > 1 THEN " + std::string(fn::kRaise) + "(" +
                std::to_string(hr::kSyntaxError) + ", " + QuoteString(std::string(kSubqueryRows)) +
                ") ELSE min(\"c0\") END FROM (SELECT \"c0\" FROM (" + inner + ") LIMIT 2))",
            kAtom};
  }

  Sql CallValue(const Expr& e) {
    if (e.aggregate) return AggregateValue(e);
    if (e.function) {
      std::vector<Sql> args;
      for (const auto& a : e.args) args.push_back(a->type == JetType::Null ? NullOf(*a) : Value(*a));
      args.push_back(Code(e.type));
      for (const auto& a : e.args) args.push_back(Code(a->type));
      return Call(SqlFunctionName(*e.function), args);
    }
    const JetType t = e.type;
    switch (FindSpecialForm(e.names[0])) {
      case SpecialForm::IIf:
        return {"CASE WHEN " + Condition(*e.args[0]).text + " THEN " + As(*e.args[1], t).text + " ELSE " +
                    As(*e.args[2], t).text + " END",
                kAtom};
      case SpecialForm::Switch: {
        std::string text = "CASE";
        for (size_t i = 0; i < e.args.size(); i += 2)
          text += " WHEN " + Condition(*e.args[i]).text + " THEN " + As(*e.args[i + 1], t).text;
        return {text + " END", kAtom};
      }
      case SpecialForm::Choose: {
        std::string text = "CASE " + As(*e.args[0], JetType::Long).text;
        for (size_t i = 1; i < e.args.size(); ++i)
          text += " WHEN " + std::to_string(i) + " THEN " + As(*e.args[i], t).text;
        return {text + " END", kAtom};
      }
      case SpecialForm::Nz: {
        Sql fallback;
        if (e.args.size() == 2) {
          fallback = As(*e.args[1], t);
        } else if (t == JetType::Binary) {
          fallback = {"X''", kAtom};
        } else {
          fallback = {"''", kAtom};
        }
        return Call("coalesce", {As(*e.args[0], t), fallback});
      }
      case SpecialForm::IsNull: return FromCondition(Condition(e));
      case SpecialForm::CVar: return Value(*e.args[0]);
      case SpecialForm::None: break;
    }
    return Null();
  }

  Sql AggregateValue(const Expr& e) {
    const Aggregate agg = FindAggregate(e.names[0]);
    const Expr& arg = *e.args[0];
    if (agg == Aggregate::Count && cell_) {
      // A count over a cell without rows is Null, as every aggregate over it is.
      const Sql rows = OfCell({"count(*)", kAtom});
      if (arg.kind == ExprKind::Star) return Call("nullif", {rows, {"0", kAtom}});
      return {"CASE WHEN " + rows.text + " > 0 THEN " + Aggregated(agg, e, arg).text + " END", kAtom};
    }
    return Aggregated(agg, e, arg);
  }

  Sql Aggregated(Aggregate agg, const Expr& e, const Expr& arg) {
    if (arg.kind == ExprKind::Star) return OfCell({"count(*)", kAtom});
    // Null, but still an aggregate: the query stays one row per group.
    if (arg.type == JetType::Null && agg != Aggregate::Count) return NullOf(e);
    const Sql value = Value(arg);
    auto over = [&](std::string_view function, const Sql& operand) { return OfCell(Call(function, {operand})); };
    switch (agg) {
      case Aggregate::Count:
        // Distinct values are told apart as the statement compares them: texts without regard to case.
        if (e.distinct) return OfCell({"count(DISTINCT " + (IsText(arg.type) ? Collate(value) : value).text + ")", kAtom});
        return over("count", value);
      case Aggregate::Sum:
        if (IsInteger(arg.type) || arg.type == JetType::Currency) return over(fn::kSumWhole, value);
        return over(fn::kSumReal, As(arg, JetType::Double));
      case Aggregate::Avg:
        if (arg.type == JetType::Date) return over("avg", value);
        if (arg.type == JetType::Currency) return Infix(over("avg", value), "/", {"10000.0", kAtom}, kMultiplicative);
        return over("avg", As(arg, JetType::Double));
      case Aggregate::Min:
      case Aggregate::Max: return over(agg == Aggregate::Min ? "min" : "max", IsText(arg.type) ? Collate(value) : value);
      case Aggregate::First: return over(fn::kFirst, value);
      case Aggregate::Last: return over(fn::kLast, value);
      case Aggregate::StDev: return over(fn::kStDev, As(arg, JetType::Double));
      case Aggregate::StDevP: return over(fn::kStDevP, As(arg, JetType::Double));
      case Aggregate::Var: return over(fn::kVar, As(arg, JetType::Double));
      case Aggregate::VarP: return over(fn::kVarP, As(arg, JetType::Double));
      case Aggregate::None: break;
    }
    return Null();
  }

  // ------------------------------------------------------------ conditions

  Sql Compare(std::string_view op, const Expr& a, const Expr& b) {
    const JetType domain = CompareDomain(a.type, b.type);
    return CompareSql(op, As(a, domain), As(b, domain), domain);
  }

  Sql CompareSql(std::string_view op, const Sql& left, const Sql& right, JetType domain) {
    const int precedence = op == "=" || op == "<>" ? kEquality : kRelational;
    return Infix(left, op, IsText(domain) ? Collate(right) : right, precedence);
  }

  static std::string_view OpText(Op op) {
    switch (op) {
      case Op::Eq: return "=";
      case Op::Ne: return "<>";
      case Op::Lt: return "<";
      case Op::Gt: return ">";
      case Op::Le: return "<=";
      case Op::Ge: return ">=";
      default: return "=";
    }
  }

  static std::string_view NegatedOpText(Op op) {
    switch (op) {
      case Op::Eq: return "<>";
      case Op::Ne: return "=";
      case Op::Lt: return ">=";
      case Op::Gt: return "<=";
      case Op::Le: return ">";
      case Op::Ge: return "<";
      default: return "<>";
    }
  }

  // A column compared with a literal that is stored as it is in the
  // comparison's domain: `column op literal` or `literal op column`.
  struct ColumnAndConstant {
    const Expr* column = nullptr;
    const Expr* constant = nullptr;
    JetType domain = JetType::Null;
  };

  static std::optional<ColumnAndConstant> ColumnComparedWithConstant(const Expr& e, Op op) {
    if (e.kind != ExprKind::Binary || e.op != op) return std::nullopt;
    const Expr* a = e.args[0].get();
    const Expr* b = e.args[1].get();
    if (a->kind == ExprKind::Literal && b->kind == ExprKind::Column) std::swap(a, b);
    if (a->kind != ExprKind::Column || b->kind != ExprKind::Literal || b->type == JetType::Null) return std::nullopt;
    const JetType domain = CompareDomain(a->type, b->type);
    if (domain == JetType::Binary) return std::nullopt;
    if (b->type != domain) {
      // A literal that converts only at run time stays in its own comparison,
      // where it raises only if it is evaluated.
      try {
        ChangeType(b->value, VarTypeOf(domain));
      } catch (const Error&) {
        return std::nullopt;
      }
    }
    return ColumnAndConstant{a, b, domain};
  }

  // The operands of an Or chain, with the equalities of one column with
  // literals gathered into one IN list (the inequalities of an And chain into
  // one NOT IN): the truth is the same in every case, Null included. SQLite
  // compares every constant operand of a statement with those before it, so
  // thousands of single comparisons cost it quadratic time; a list is one
  // operand.
  std::vector<Sql> ChainParts(const Expr& chain) {
    std::vector<Sql> parts;
    if (!CurrentShortcuts().inListFolding) {
      for (const auto& a : chain.args) parts.push_back(Condition(*a));
      return parts;
    }
    const Op gathered = chain.op == Op::Or ? Op::Eq : Op::Ne;
    struct Group {
      size_t part = 0;
      const Expr* first = nullptr;  // the comparison as written, when it stays alone
      ColumnAndConstant term;
      std::vector<const Expr*> constants;
    };
    std::vector<Group> groups;
    std::map<std::pair<std::string, JetType>, size_t> groupOf;  // by column text and domain
    for (const auto& a : chain.args) {
      const auto term = ColumnComparedWithConstant(*a, gathered);
      if (!term) {
        parts.push_back(Condition(*a));
        continue;
      }
      const auto [it, added] = groupOf.try_emplace({As(*term->column, term->domain).text, term->domain}, groups.size());
      if (added) {
        groups.push_back(Group{parts.size(), a.get(), *term, {}});
        parts.emplace_back();
      }
      groups[it->second].constants.push_back(term->constant);
    }
    for (const Group& g : groups) {
      if (g.constants.size() == 1) {
        parts[g.part] = Condition(*g.first);
        continue;
      }
      Sql left = As(*g.term.column, g.term.domain);
      if (IsText(g.term.domain)) left = Collate(left);
      std::string text = Operand(left, kRelational) + (gathered == Op::Eq ? " IN (" : " NOT IN (");
      for (size_t i = 0; i < g.constants.size(); ++i) {
        if (i) text += ", ";
        text += As(*g.constants[i], g.term.domain).text;
      }
      parts[g.part] = {text + ")", kEquality};
    }
    return parts;
  }

  // And and Or over many operands, as a balanced tree: SQLite limits the
  // height of an expression.
  Sql Chain(const std::vector<Sql>& parts, size_t begin, size_t end, std::string_view op, int precedence) {
    if (end - begin == 1) return parts[begin];
    if (end - begin <= 32) {
      Sql acc = parts[begin];
      for (size_t i = begin + 1; i < end; ++i) acc = Infix(acc, op, parts[i], precedence);
      return acc;
    }
    const size_t middle = begin + (end - begin) / 2;
    return {Operand(Chain(parts, begin, middle, op, precedence), precedence + 1) + " " + std::string(op) + " " +
                Operand(Chain(parts, middle, end, op, precedence), precedence + 1),
            precedence};
  }

  Sql Condition(const Expr& e) {
    switch (e.kind) {
      case ExprKind::Binary:
        if (IsComparison(e.op)) return Compare(OpText(e.op), *e.args[0], *e.args[1]);
        switch (e.op) {
          case Op::And:
          case Op::Or: {
            if (e.type != JetType::Boolean) break;
            const std::vector<Sql> parts = ChainParts(e);
            if (parts.size() == 1) return parts[0];
            return e.op == Op::And ? Chain(parts, 0, parts.size(), "AND", kAnd) : Chain(parts, 0, parts.size(), "OR", kOr);
          }
          case Op::Xor:
          case Op::Eqv: {
            if (e.type != JetType::Boolean) break;
            Sql acc = Condition(*e.args[0]);
            for (size_t i = 1; i < e.args.size(); ++i)
              acc = Infix(Prefix("NOT", acc, kNot), e.op == Op::Xor ? "<>" : "=",
                          Prefix("NOT", Condition(*e.args[i]), kNot), kEquality);
            return acc;
          }
          case Op::Imp: {
            if (e.type != JetType::Boolean) break;
            return Infix(Prefix("NOT", Condition(*e.args[0]), kNot), "OR", Condition(*e.args[1]), kOr);
          }
          default: break;
        }
        break;
      case ExprKind::Unary:
        if (e.op == Op::Not && e.type == JetType::Boolean) return Prefix("NOT", Condition(*e.args[0]), kNot);
        break;
      case ExprKind::Like: {
        const Sql text = As(*e.args[0], JetType::Text);
        const Sql pattern = As(*e.args[1], JetType::Text);
        const Sql like = Call(fn::kLike, {text, pattern});
        return e.negated ? Prefix("NOT", like, kNot) : like;
      }
      case ExprKind::IsNull: {
        const Sql value = Value(*e.args[0]);
        return {Operand(value, kRelational) + (e.negated ? " IS NOT NULL" : " IS NULL"), kEquality};
      }
      case ExprKind::Between: {
        const Sql both = Infix(Compare(">=", *e.args[0], *e.args[1]), "AND", Compare("<=", *e.args[0], *e.args[2]), kAnd);
        return e.negated ? Prefix("NOT", both, kNot) : both;
      }
      case ExprKind::InList: return InList(e);
      case ExprKind::InSubquery: return InSubquery(e);
      case ExprKind::Exists: return {"EXISTS (" + Query(*e.subquery) + ")", kAtom};
      case ExprKind::Quantified: return Quantified(e);
      case ExprKind::Call:
        if (!e.aggregate && !e.function && FindSpecialForm(e.names[0]) == SpecialForm::IsNull) {
          const Sql value = Value(*e.args[0]);
          return {Operand(value, kRelational) + " IS NULL", kEquality};
        }
        break;
      default: break;
    }
    return Value(e);  // a value is true when it is not zero
  }

  Sql InList(const Expr& e) {
    JetType domain = e.args[0]->type;
    for (size_t i = 1; i < e.args.size(); ++i) domain = CompareDomain(domain, e.args[i]->type);
    Sql left = As(*e.args[0], domain);
    if (IsText(domain)) left = Collate(left);
    std::string text = Operand(left, kRelational) + (e.negated ? " NOT IN (" : " IN (");
    for (size_t i = 1; i < e.args.size(); ++i) {
      if (i > 1) text += ", ";
      text += As(*e.args[i], domain).text;
    }
    return {text + ")", kEquality};
  }

  // The subquery's single column brought to the comparison's domain.
  std::string SubqueryIn(const sql::Query& q, JetType domain) {
    const JetType column = q.columns[0].type;
    const Sql converted = Convert({"\"c0\"", kAtom}, column, domain);
    if (converted.text == "\"c0\"") return Query(q);
    // Named as it was: a quantified comparison reads the column by its name.
    return "SELECT " + converted.text + " AS \"c0\" FROM (" + Query(q) + ")";
  }

  Sql InSubquery(const Expr& e) {
    const JetType domain = CompareDomain(e.args[0]->type, e.subquery->columns[0].type);
    Sql left = As(*e.args[0], domain);
    if (IsText(domain)) left = Collate(left);
    return {Operand(left, kRelational) + (e.negated ? " NOT IN (" : " IN (") + SubqueryIn(*e.subquery, domain) + ")",
            kEquality};
  }

  // x op ANY (S) is true when some comparison is true, Null when none is true
  // but some is Null; x op ALL (S) is false when some comparison is false.
  Sql Quantified(const Expr& e) {
    const JetType domain = CompareDomain(e.args[0]->type, e.subquery->columns[0].type);
    const std::string alias = "\"q" + std::to_string(nextAlias_++) + "\"";
    const std::string source = "SELECT 1 FROM (" + SubqueryIn(*e.subquery, domain) + ") AS " + alias + " WHERE ";
    const Sql left = As(*e.args[0], domain);
    const Sql right{alias + ".\"c0\"", kAtom};
    const Sql holds = CompareSql(OpText(e.op), left, right, domain);
    const Sql fails = CompareSql(NegatedOpText(e.op), left, right, domain);
    const std::string unknown = "EXISTS (" + source + Operand(holds, kRelational) + " IS NULL)";
    if (!e.all)
      return {"CASE WHEN EXISTS (" + source + holds.text + ") THEN 1 WHEN " + unknown + " THEN NULL ELSE 0 END", kAtom};
    return {"CASE WHEN EXISTS (" + source + fails.text + ") THEN 0 WHEN " + unknown + " THEN NULL ELSE 1 END", kAtom};
  }

  int nextAlias_ = 0;
  CrosstabParts crosstab_;
  const Sql* cell_ = nullptr;
  // Columns that a crosstab's source hands on, and how the statement reads them there.
  std::map<std::pair<const TableInstance*, int>, std::string> moved_;
};

}  // namespace

std::string GenerateSql(const Query& query) { return Generator().Query(query); }

std::string GeneratePivotPassSql(const Query& query, const Crosstab& crosstab, size_t limit) {
  return Generator().PivotPass(query, crosstab, limit);
}

std::string GenerateCrosstabSql(const Query& query, const Crosstab& crosstab, const CrosstabLayout& layout) {
  return Generator().Crosstab(query, crosstab, layout);
}

}  // namespace vendrel::driver::sql

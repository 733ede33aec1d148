#include "statement.h"

#include <algorithm>

namespace vendrel::tester {

std::string Expr::Sql() const {
  std::string out = text[0];
  for (size_t i = 0; i < args.size(); ++i) out += args[i].Sql() + text[i + 1];
  return out;
}

void Expr::Refresh() {
  aggregate = ownAggregate;
  approximate = ownApproximate;
  for (Expr& a : args) {
    a.Refresh();
    aggregate = aggregate || a.aggregate;
    approximate = approximate || a.approximate;
  }
}

Expr Expr::Leaf(Kind kind, std::string leaf, bool simple) {
  Expr e;
  e.kind = kind;
  e.text = {std::move(leaf)};
  e.simple = simple;
  return e;
}

Expr Expr::Of(Kind kind, std::vector<std::string> text, std::vector<Expr> args) {
  Expr e;
  e.kind = kind;
  e.text = std::move(text);
  e.args = std::move(args);
  for (const Expr& a : e.args) {
    e.aggregate = e.aggregate || a.aggregate;
    e.approximate = e.approximate || a.approximate;
  }
  return e;
}

Expr And(const Expr& a, const Expr& b) { return Expr::Of(Kind::Boolean, {"(", ") AND (", ")"}, {a, b}); }
Expr Not(const Expr& a) { return Expr::Of(Kind::Boolean, {"NOT (", ")"}, {a}); }
Expr IsNullOf(const Expr& a) { return Expr::Of(Kind::Boolean, {"(", ") IS NULL"}, {a}); }

std::string FromNode::Sql() const {
  switch (shape) {
    case Shape::Table: return alias.empty() ? table : table + " AS " + alias;
    case Shape::Derived: return "(" + derivedSql + ") AS " + alias;
    case Shape::Join: break;
  }
  const auto side = [](const FromNode& n) { return n.shape == Shape::Join ? "(" + n.Sql() + ")" : n.Sql(); };
  if (join == ",") return side(sides[0]) + ", " + side(sides[1]);
  return side(sides[0]) + " " + join + " " + side(sides[1]) + " ON " + on->Sql();
}

bool Core::Aggregates() const {
  return !groupBy.empty() || having ||
         std::any_of(items.begin(), items.end(), [](const SelectItem& i) { return i.expr.aggregate; });
}

std::string Core::Sql() const {
  std::string sql = "SELECT ";
  if (!quantifier.empty()) sql += quantifier + " ";
  if (top) sql += "TOP " + std::to_string(top->count) + (top->percent ? " PERCENT " : " ");
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) sql += ", ";
    sql += items[i].expr.Sql();
    if (!items[i].alias.empty()) sql += " AS " + items[i].alias;
  }
  if (from) sql += " FROM " + from->Sql();
  if (where) sql += " WHERE " + where->Sql();
  for (size_t i = 0; i < groupBy.size(); ++i) sql += (i ? ", " : " GROUP BY ") + groupBy[i].Sql();
  if (having) sql += " HAVING " + having->Sql();
  return sql;
}

bool Statement::Approximate() const {
  if (crosstab && crosstab->value.approximate) return true;
  for (const Core& core : cores)
    for (const SelectItem& item : core.items)
      if (item.expr.approximate) return true;
  return false;
}

std::string Statement::Sql() const {
  std::string sql = crosstab ? "TRANSFORM " + crosstab->value.Sql() + " " : "";
  for (size_t i = 0; i < cores.size(); ++i) {
    if (i) sql += unionAll[i - 1] ? " UNION ALL " : " UNION ";
    sql += cores[i].Sql();
  }
  for (size_t i = 0; i < orderBy.size(); ++i) {
    sql += i ? ", " : " ORDER BY ";
    sql += orderBy[i].position > 0 ? std::to_string(orderBy[i].position) : orderBy[i].expr->Sql();
    if (orderBy[i].descending) sql += " DESC";
  }
  if (crosstab) {
    sql += " PIVOT " + crosstab->pivot.Sql();
    for (size_t i = 0; i < crosstab->listed.size(); ++i) sql += (i ? ", " : " IN (") + crosstab->listed[i].Sql();
    if (!crosstab->listed.empty()) sql += ")";
  }
  return sql;
}

}  // namespace vendrel::tester

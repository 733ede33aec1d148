#include "generator.h"

#include <algorithm>
#include <string_view>

namespace vendrel::tester {

namespace {

constexpr int kMaxDepth = 3;
constexpr double kMostCombinations = 40000;

std::string Quoted(std::string_view text, char quote) {
  std::string out(1, quote);
  for (char c : text) {
    if (c == quote) out += quote;
    out += c;
  }
  return out + quote;
}

constexpr std::string_view kTextLiterals[] = {"a", "A", "ab", "AB", "b", "é", "E", "ß", "ss", "Дом", "日本", "", " ",
                                              "x", "zebra", "it's", "1", "10", "a_b", "50%", "abc", "Zoë"};
constexpr std::string_view kLikePatterns[] = {"a%", "%b", "_", "%", "", "A%", "%[a-c]%", "[!a]%", "%é%", "a_", "%'%",
                                              "[x]", "[[]x]", "z%", "ab", "AB", "%5[%]", "?", "*", "%s%", "__%"};
constexpr std::string_view kDateLiterals[] = {"#1/1/2000#", "#2/29/2004#", "#12/31/1999#", "#1/1/1900#",
                                              "#7/4/2024 12:00:00#", "#1/2/2003 10:30:15#", "#1/3/2000#"};
constexpr std::string_view kNumberLiterals[] = {"0", "1", "2", "3", "-1", "-2", "10", "0.5", "2.5", "-1.5",
                                                "100", "1E3", "0.1", "7", "4", "1000000"};
constexpr std::string_view kComparisons[] = {" = ", " <> ", " < ", " > ", " <= ", " >= "};

Kind AnyKind(Random& random) {
  return random.Pick({Kind::Number, Kind::Number, Kind::Text, Kind::Text, Kind::Date, Kind::Boolean});
}

}  // namespace

std::string Generator::NewAlias() { return "q" + std::to_string(++aliases_); }

Expr Generator::SmallWhole() { return Expr::Leaf(Kind::Number, std::to_string(random_.Between(0, 3))); }

Expr Generator::Literal(Kind kind) {
  if (random_.OneIn(25)) return Expr::Leaf(kind, "Null");
  switch (kind) {
    case Kind::Number: return Expr::Leaf(kind, std::string(random_.Pick(std::span<const std::string_view>(kNumberLiterals))));
    case Kind::Text: {
      const std::string_view text = random_.Pick(std::span<const std::string_view>(kTextLiterals));
      return Expr::Leaf(kind, Quoted(text, random_.OneIn(6) ? '"' : '\''));
    }
    case Kind::Date: return Expr::Leaf(kind, std::string(random_.Pick(std::span<const std::string_view>(kDateLiterals))));
    case Kind::Boolean: return Expr::Leaf(kind, random_.OneIn(2) ? "True" : "False");
  }
  return Expr::Leaf(kind, "Null");
}

std::optional<Expr> Generator::ColumnOf(Kind kind, const Scope& scope, bool wholeOnly) {
  if (scope.groupKeys) {
    std::vector<const Expr*> keys;
    for (const Expr& k : *scope.groupKeys)
      if (k.kind == kind) keys.push_back(&k);
    if (keys.empty()) return std::nullopt;
    Expr key = *keys[static_cast<size_t>(random_.Below(static_cast<int>(keys.size())))];
    key.simple = true;  // a grouping key stands as written
    return key;
  }
  std::vector<const VisibleColumn*> columns;
  for (const VisibleColumn& c : scope.columns)
    if (c.kind == kind && (!wholeOnly || c.whole)) columns.push_back(&c);
  // Now and then a column of the enclosing query: a correlated subquery.
  if (scope.outer && random_.OneIn(4)) {
    for (const VisibleColumn& c : scope.outer->columns)
      if (c.kind == kind && (!wholeOnly || c.whole)) columns.push_back(&c);
  }
  if (columns.empty()) return std::nullopt;
  const VisibleColumn& c = *columns[static_cast<size_t>(random_.Below(static_cast<int>(columns.size())))];
  Expr e = Expr::Leaf(kind, c.Sql());
  e.MarkApproximate(c.approximate);
  return e;
}

// ---------------------------------------------------------------- expressions

Expr Generator::MakeExpr(Kind kind, const Scope& scope, int depth) {
  switch (kind) {
    case Kind::Number: return MakeNumber(scope, depth);
    case Kind::Text: return MakeText(scope, depth);
    case Kind::Date: return MakeDate(scope, depth);
    case Kind::Boolean: return MakeCondition(scope, depth);
  }
  return Literal(kind);
}

Expr Generator::MakeNumber(const Scope& scope, int depth) {
  const Kind N = Kind::Number;
  if (scope.aggregates && random_.OneIn(depth == 0 ? 2 : 4)) return MakeAggregate(N, scope, depth);
  if (depth >= kMaxDepth || random_.OneIn(3)) {
    if (!random_.OneIn(4))
      if (auto column = ColumnOf(N, scope)) return *column;
    return Literal(N);
  }
  const int d = depth + 1;
  auto number = [&] { return MakeNumber(scope, d); };
  auto text = [&] { return MakeText(scope, d); };
  auto date = [&] { return MakeDate(scope, d); };
  switch (random_.Below(22)) {
    case 0: return Expr::Of(N, {"", " + ", ""}, {number(), number()});
    case 1: return Expr::Of(N, {"", " - ", ""}, {number(), number()});
    case 2: return Expr::Of(N, {"", " * ", ""}, {number(), SmallWhole()});
    case 3: return Expr::Of(N, {"", " / ", ""}, {number(), Expr::Leaf(N, random_.Pick({"2", "4", "0.5", "-3"}))});
    case 4: return Expr::Of(N, {"", " \\ ", ""}, {number(), Expr::Leaf(N, random_.Pick({"2", "3", "-2"}))});
    case 5: return Expr::Of(N, {"", " Mod ", ""}, {number(), Expr::Leaf(N, random_.Pick({"2", "3", "-4"}))});
    case 6: return Expr::Of(N, {"-(", ")"}, {number()});
    case 7: {
      const std::string f = random_.Pick({"Abs", "Int", "Fix", "Sgn", "Round", "CDbl", "CCur"});
      return Expr::Of(N, {f + "(", ")"}, {number()});
    }
    case 8: return Expr::Of(N, {"Round(", ", " + std::to_string(random_.Between(0, 2)) + ")"}, {number()});
    case 9: return Expr::Of(N, {"Len(", ")"}, {text()});
    case 10:
      return Expr::Of(N, {"InStr(", ", " + Quoted(random_.Pick({"a", "b", "É", " ", ""}), '\'') + ")"}, {text()});
    case 11: {
      const std::string f = random_.Pick({"Year", "Month", "Day", "Hour", "Minute", "Weekday"});
      return Expr::Of(N, {f + "(", ")"}, {date()});
    }
    case 12: return Expr::Of(N, {"DatePart('" + random_.Pick<std::string>({"yyyy", "q", "m", "d", "ww", "h"}) + "', ", ")"}, {date()});
    case 13:
      return Expr::Of(N, {"DateDiff('" + random_.Pick<std::string>({"d", "m", "yyyy", "h"}) + "', ", ", ", ")"}, {date(), date()});
    case 14: return Expr::Of(N, {"Val(", ")"}, {text()});
    case 15: return Expr::Of(N, {"IIf(", ", ", ", ", ")"}, {MakeCondition(scope, d), number(), number()});
    case 16: return Expr::Of(N, {"Nz(", ", ", ")"}, {number(), number()});
    case 17:
      return Expr::Of(N, {"Switch(", ", ", ", True, ", ")"}, {MakeCondition(scope, d), number(), number()});
    case 18: return Expr::Of(N, {"Choose(", ", ", ", ", ")"}, {Expr::Leaf(N, random_.Pick({"1", "2", "3"})), number(), number()});
    case 19:
      if (!scope.groupKeys) return MakeScalarSubquery(N, scope, d);
      return number();
    case 20: return Expr::Of(N, {"", " ^ 2"}, {SmallWhole()});
    default: return Expr::Of(N, {"Sqr(Abs(", "))"}, {number()});
  }
}

Expr Generator::MakeText(const Scope& scope, int depth) {
  const Kind T = Kind::Text;
  if (scope.aggregates && random_.OneIn(depth == 0 ? 3 : 6)) return MakeAggregate(T, scope, depth);
  if (depth >= kMaxDepth || random_.OneIn(3)) {
    if (!random_.OneIn(4))
      if (auto column = ColumnOf(T, scope)) return *column;
    return Literal(T);
  }
  const int d = depth + 1;
  auto text = [&] { return MakeText(scope, d); };
  switch (random_.Below(18)) {
    case 0: {
      const std::string f = random_.Pick({"UCase", "LCase", "Trim", "LTrim", "RTrim", "StrReverse"});
      return Expr::Of(T, {f + "(", ")"}, {text()});
    }
    case 1: return Expr::Of(T, {"Left(", ", " + std::to_string(random_.Between(0, 3)) + ")"}, {text()});
    case 2: return Expr::Of(T, {"Right(", ", " + std::to_string(random_.Between(0, 3)) + ")"}, {text()});
    case 3: return Expr::Of(T, {"Mid(", ", " + std::to_string(random_.Between(1, 3)) + ")"}, {text()});
    case 4:
      return Expr::Of(T, {"Mid(", ", " + std::to_string(random_.Between(1, 3)) + ", " + std::to_string(random_.Between(0, 2)) + ")"},
                      {text()});
    case 5: return Expr::Of(T, {"", " & ", ""}, {text(), MakeExpr(random_.OneIn(3) ? Kind::Number : T, scope, d)});
    case 6: return Expr::Of(T, {"", " + ", ""}, {text(), text()});
    case 7: return Expr::Of(T, {"Replace(", ", 'a', 'x')"}, {text()});
    case 8: return Expr::Of(T, {"CStr(", ")"}, {MakeNumber(scope, d)});
    case 9: return Expr::Of(T, {"Str(", ")"}, {MakeNumber(scope, d)});
    case 10: {
      const std::string format = random_.Pick({"0.00", "Fixed", "Standard", "General Number", "Percent", "#,##0"});
      return Expr::Of(T, {"Format(", ", '" + format + "')"}, {MakeNumber(scope, d)});
    }
    case 11: {
      const std::string format = random_.Pick({"yyyy-mm-dd", "Short Date", "Long Date", "mmm d", "hh:nn", "General Date"});
      return Expr::Of(T, {"Format(", ", '" + format + "')"}, {MakeDate(scope, d)});
    }
    case 12: return Expr::Of(T, {"IIf(", ", ", ", ", ")"}, {MakeCondition(scope, d), text(), text()});
    case 13: return Expr::Of(T, {"Nz(", ", 'z')"}, {text()});
    case 14: return Expr::Leaf(T, "String(" + std::to_string(random_.Between(0, 3)) + ", '" + random_.Pick({"x", "é", "A"}) + "')", false);
    case 15: return Expr::Of(T, {"MonthName(", ")"}, {Expr::Leaf(Kind::Number, std::to_string(random_.Between(1, 12)))});
    case 16:
      if (!scope.groupKeys) return MakeScalarSubquery(T, scope, d);
      return text();
    default: return Expr::Of(T, {"Hex(", ")"}, {SmallWhole()});
  }
}

Expr Generator::MakeDate(const Scope& scope, int depth) {
  const Kind D = Kind::Date;
  if (scope.aggregates && random_.OneIn(depth == 0 ? 3 : 6)) return MakeAggregate(D, scope, depth);
  if (depth >= kMaxDepth || random_.OneIn(2)) {
    if (!random_.OneIn(4))
      if (auto column = ColumnOf(D, scope)) return *column;
    return Literal(D);
  }
  const int d = depth + 1;
  switch (random_.Below(6)) {
    case 0:
      return Expr::Of(D, {"DateAdd('" + random_.Pick<std::string>({"d", "m", "yyyy", "h", "ww"}) + "', " +
                              std::to_string(random_.Between(-3, 3)) + ", ",
                          ")"},
                      {MakeDate(scope, d)});
    case 1: return Expr::Of(D, {"", " + " + std::to_string(random_.Between(0, 3))}, {MakeDate(scope, d)});
    case 2:
      return Expr::Of(D, {"DateSerial(2000 + ", ", " + std::to_string(random_.Between(1, 13)) + ", 1)"}, {SmallWhole()});
    case 3: return Expr::Of(D, {"IIf(", ", ", ", ", ")"}, {MakeCondition(scope, d), MakeDate(scope, d), MakeDate(scope, d)});
    case 4: return Expr::Of(D, {"Nz(", ", #1/1/2000#)"}, {MakeDate(scope, d)});
    default: return Expr::Leaf(D, random_.Pick({"CDate('1/2/2003')", "CDate('2004-02-29 10:00:00')", "DateValue('7/4/2024')"}), false);
  }
}

Expr Generator::MakeAggregate(Kind kind, const Scope& scope, int depth) {
  // Inside the aggregate: the rows' columns, not the grouping keys, no
  // aggregate again, and no column of an enclosing query (which would make
  // it that query's aggregate).
  Scope inner = scope;
  inner.groupKeys = nullptr;
  inner.aggregates = false;
  inner.outer = nullptr;
  const int d = std::max(depth + 1, kMaxDepth - 1);
  Expr e;
  if (kind == Kind::Number) {
    switch (random_.Below(9)) {
      case 0: e = Expr::Leaf(kind, "Count(*)", false); break;
      case 1: e = Expr::Of(kind, {"Count(", ")"}, {MakeExpr(AnyKind(random_), inner, d)}); break;
      case 2: {
        // Counted as the statement compares them (texts without regard to case).
        const auto column = ColumnOf(random_.Pick({Kind::Number, Kind::Text}), inner);
        e = column ? Expr::Of(kind, {"Count(DISTINCT ", ")"}, {*column}) : Expr::Leaf(kind, "Count(*)", false);
        break;
      }
      case 3:
      case 4: {
        Expr arg = MakeNumber(inner, d);
        const bool exact = !arg.approximate && ColumnOf(Kind::Number, inner, true).has_value() && random_.OneIn(2);
        if (exact) arg = *ColumnOf(Kind::Number, inner, true);
        e = Expr::Of(kind, {"Sum(", ")"}, {arg});
        // A sum of whole numbers is exact; any other may differ in its last bits.
        e.MarkApproximate(!exact);
        break;
      }
      case 5:
        e = Expr::Of(kind, {random_.Pick<std::string>({"Avg(", "StDev(", "Var(", "StDevP(", "VarP("}), ")"},
                     {MakeNumber(inner, d)});
        e.MarkApproximate(true);
        break;
      default: e = Expr::Of(kind, {random_.OneIn(2) ? "Min(" : "Max(", ")"}, {MakeNumber(inner, d)}); break;
    }
  } else {
    e = Expr::Of(kind, {random_.OneIn(2) ? "Min(" : "Max(", ")"}, {MakeExpr(kind, inner, d)});
  }
  e.MarkAggregate();
  return e;
}

// ---------------------------------------------------------------- conditions

Expr Generator::MakeComparison(const Scope& scope, int depth) {
  const int d = depth + 1;
  Kind kind = random_.Pick({Kind::Number, Kind::Number, Kind::Text, Kind::Text, Kind::Date});
  Expr a = MakeExpr(kind, scope, d);
  // Now and then a text against a number: the dialect converts.
  const Kind other = random_.OneIn(20) ? (kind == Kind::Text ? Kind::Number : Kind::Text) : kind;
  Expr b = MakeExpr(other, scope, d);
  return Expr::Of(Kind::Boolean, {"", std::string(random_.Pick(std::span<const std::string_view>(kComparisons))), ""},
                  {a, b});
}

Expr Generator::MakeCondition(const Scope& scope, int depth) {
  const Kind B = Kind::Boolean;
  const int d = depth + 1;
  if (depth >= kMaxDepth) {
    if (random_.OneIn(3))
      if (auto column = ColumnOf(B, scope)) return *column;
    return MakeComparison(scope, depth);
  }
  switch (random_.Below(20)) {
    case 0:
    case 1:
    case 2: return MakeComparison(scope, depth);
    case 3: return Expr::Of(B, {"(", ") AND (", ")"}, {MakeCondition(scope, d), MakeCondition(scope, d)});
    case 4: return Expr::Of(B, {"(", ") OR (", ")"}, {MakeCondition(scope, d), MakeCondition(scope, d)});
    case 5: return Expr::Of(B, {"NOT (", ")"}, {MakeCondition(scope, d)});
    case 6: {
      const std::string op = random_.Pick({") Xor (", ") Eqv (", ") Imp ("});
      return Expr::Of(B, {"(", op, ")"}, {MakeCondition(scope, d), MakeCondition(scope, d)});
    }
    case 7: {
      const Kind kind = AnyKind(random_);
      return Expr::Of(B, {"", random_.OneIn(2) ? " IS NULL" : " IS NOT NULL"}, {MakeExpr(kind, scope, d)});
    }
    case 8: {
      const Kind kind = random_.Pick({Kind::Number, Kind::Text, Kind::Date});
      return Expr::Of(B, {"", random_.OneIn(3) ? " NOT BETWEEN " : " BETWEEN ", " AND ", ""},
                      {MakeExpr(kind, scope, d), Literal(kind), Literal(kind)});
    }
    case 9: {
      const Kind kind = random_.Pick({Kind::Number, Kind::Text, Kind::Date});
      std::vector<std::string> text{"", random_.OneIn(3) ? " NOT IN (" : " IN ("};
      std::vector<Expr> args{MakeExpr(kind, scope, d)};
      const int n = random_.Between(1, 4);
      for (int i = 0; i < n; ++i) {
        args.push_back(Literal(kind));
        text.push_back(i + 1 < n ? ", " : ")");
      }
      return Expr::Of(B, text, args);
    }
    case 10: {
      // An Or of equalities of one column with constants (or an And of
      // inequalities), which the driver may fold into one IN list.
      const Kind kind = random_.Pick({Kind::Number, Kind::Text});
      const auto column = ColumnOf(kind, scope);
      if (!column) return MakeComparison(scope, depth);
      const bool any = random_.OneIn(2);
      std::vector<std::string> text{"("};
      std::vector<Expr> args;
      const int n = random_.Between(2, 4);
      for (int i = 0; i < n; ++i) {
        args.push_back(Expr::Of(B, {"", any ? " = " : " <> ", ""}, {*column, Literal(kind)}));
        text.push_back(i + 1 < n ? (any ? ") OR (" : ") AND (") : ")");
      }
      return Expr::Of(B, text, args);
    }
    case 11: {
      const std::string pattern(random_.Pick(std::span<const std::string_view>(kLikePatterns)));
      return Expr::Of(B, {"", std::string(random_.OneIn(4) ? " NOT LIKE " : " LIKE ") + Quoted(pattern, '\'')},
                      {MakeText(scope, d)});
    }
    case 12:
    case 13:
      if (scope.groupKeys) return MakeComparison(scope, depth);
      return MakeSubqueryCondition(scope, d);
    case 14:
      if (auto column = ColumnOf(B, scope)) return *column;
      return Literal(B);
    case 15: return Expr::Of(B, {"IsNull(", ")"}, {MakeExpr(AnyKind(random_), scope, d)});
    case 16: return Expr::Of(B, {random_.OneIn(2) ? "IsNumeric(" : "IsDate(", ")"}, {MakeText(scope, d)});
    case 17: return Literal(B);
    default: return MakeComparison(scope, depth);
  }
}

Expr Generator::MakeSubqueryCondition(const Scope& scope, int depth) {
  const Kind B = Kind::Boolean;
  switch (random_.Below(4)) {
    case 0: {
      // EXISTS, nearly always correlated.
      Scope inner;
      inner.outer = &scope;
      FromNode from = MakeFrom(inner, random_.OneIn(4) ? 2 : 1, depth + 1);
      // Run once per row of the query around it: kept small.
      if (Combinations(from) > 2000) {
        inner.columns.clear();
        from = MakeFrom(inner, 1, depth + 1);
      }
      std::string sql = "SELECT * FROM " + from.Sql();
      Scope both = inner;
      both.columns.insert(both.columns.end(), scope.columns.begin(), scope.columns.end());
      sql += " WHERE " + MakeCondition(both, std::max(depth + 1, kMaxDepth - 1)).Sql();
      return Expr::Leaf(B, std::string(random_.OneIn(3) ? "NOT " : "") + "EXISTS (" + sql + ")", false);
    }
    case 1: {
      const Kind kind = random_.Pick({Kind::Number, Kind::Text, Kind::Date});
      return Expr::Of(B, {"", std::string(random_.OneIn(3) ? " NOT IN (" : " IN (") + MakeColumnSubquery(kind, scope, depth) + ")"},
                      {MakeExpr(kind, scope, depth + 1)});
    }
    default: {
      const Kind kind = random_.Pick({Kind::Number, Kind::Text, Kind::Date});
      const std::string quantifier = random_.Pick({" ANY (", " SOME (", " ALL ("});
      return Expr::Of(B, {"", std::string(random_.Pick(std::span<const std::string_view>(kComparisons))).substr(0, 3) +
                                  quantifier + MakeColumnSubquery(kind, scope, depth) + ")"},
                      {MakeExpr(kind, scope, depth + 1)});
    }
  }
}

std::string Generator::MakeColumnSubquery(Kind kind, const Scope& outer, int depth) {
  Scope inner;
  inner.outer = &outer;
  FromNode from = MakeFrom(inner, 1, depth + 1);
  Expr item = ColumnOf(kind, inner).value_or(Literal(kind));
  if (random_.OneIn(3)) item = MakeExpr(kind, inner, kMaxDepth - 1);
  std::string sql = std::string(random_.OneIn(5) ? "SELECT DISTINCT " : "SELECT ") + item.Sql() + " FROM " + from.Sql();
  if (random_.OneIn(2)) sql += " WHERE " + MakeCondition(inner, kMaxDepth - 1).Sql();
  return sql;
}

Expr Generator::MakeScalarSubquery(Kind kind, const Scope& scope, int depth) {
  Scope inner;
  inner.outer = &scope;
  FromNode from = MakeFrom(inner, 1, depth + 1);
  inner.aggregates = true;
  Expr item = MakeAggregate(kind, inner, kMaxDepth - 1);
  std::string sql = "(SELECT " + item.Sql() + " FROM " + from.Sql();
  inner.aggregates = false;
  if (random_.OneIn(2)) sql += " WHERE " + MakeCondition(inner, kMaxDepth - 1).Sql();
  Expr e = Expr::Leaf(kind, sql + ")", false);
  e.MarkApproximate(item.approximate);
  return e;
}

// ---------------------------------------------------------------- FROM

FromNode Generator::MakeTableInstance(Scope& scope, int depth) {
  FromNode node;
  // A derived table now and then, never one inside another.
  if (depth <= 1 && !inDerived_ && random_.OneIn(8)) {
    inDerived_ = true;
    Core core = MakeCore(nullptr, nullptr, false);
    node.shape = FromNode::Shape::Derived;
    node.alias = NewAlias();
    node.derivedSql = core.Sql();
    double rows = core.Aggregates() ? 50 : Combinations(*core.from);
    // Now and then a UNION: its first member names the columns.
    if (random_.OneIn(3) && core.items[0].expr.Sql() != "*") {
      for (size_t i = 0; i < core.items.size(); ++i)
        if (core.items[i].alias.empty()) core.items[i].alias = "c" + std::to_string(i + 1);
      node.derivedSql = core.Sql();
      const Core other = MakeCore(nullptr, &core.kinds, false);
      node.derivedSql += std::string(random_.OneIn(2) ? " UNION ALL " : " UNION ") + other.Sql();
      rows += other.Aggregates() ? 50 : Combinations(*other.from);
      // A Boolean column beside a number (an aggregate stands for a Boolean) is a number.
      for (size_t i = 0; i < core.items.size() && i < other.kinds.size(); ++i)
        if (other.kinds[i] != core.items[i].expr.kind) core.items[i].expr.kind = Kind::Number;
    }
    inDerived_ = false;
    derivedRows_[node.alias] = rows;
    // Its columns are its output names, which are known when every item has an alias.
    for (size_t i = 0; i < core.items.size(); ++i) {
      if (core.items[i].alias.empty()) continue;
      VisibleColumn c;
      c.qualifier = node.alias;
      c.name = core.items[i].alias;
      c.kind = core.items[i].expr.kind;
      c.approximate = core.items[i].expr.approximate;
      scope.columns.push_back(c);
    }
    return node;
  }
  const TestTable& table = random_.Pick(database_);
  node.table = table.name;
  // A table named without an alias is qualified by its name: once a statement.
  node.alias = random_.OneIn(4) && bareTables_.insert(table.name).second ? "" : NewAlias();
  for (const TestColumn& column : table.columns) {
    VisibleColumn c;
    c.qualifier = node.alias.empty() ? table.name : node.alias;
    c.name = column.name;
    c.kind = column.type->kind;
    c.whole = column.type->whole;
    c.floating = column.type->adoType == adDouble || column.type->adoType == adSingle;
    scope.columns.push_back(c);
  }
  return node;
}

FromNode Generator::MakeFrom(Scope& scope, int tables, int depth) {
  if (tables <= 1) return MakeTableInstance(scope, depth);
  const int leftTables = random_.Between(1, tables - 1);
  Scope leftScope = scope, rightScope = scope;
  leftScope.columns.clear();
  rightScope.columns.clear();
  FromNode left = MakeFrom(leftScope, leftTables, depth);
  FromNode right = MakeFrom(rightScope, tables - leftTables, depth);
  FromNode join;
  join.shape = FromNode::Shape::Join;
  join.join = random_.Pick({"INNER JOIN", "INNER JOIN", "LEFT JOIN", "LEFT OUTER JOIN", "RIGHT JOIN", "FULL OUTER JOIN", ","});
  Scope both = scope;
  both.columns = leftScope.columns;
  both.columns.insert(both.columns.end(), rightScope.columns.begin(), rightScope.columns.end());
  if (join.join != ",") {
    // Mostly an equality of keys, now and then anything.
    std::optional<Expr> key;
    const Kind kind = random_.Pick({Kind::Number, Kind::Number, Kind::Number, Kind::Text, Kind::Date});
    Scope l = both, r = both;
    l.columns = leftScope.columns;
    r.columns = rightScope.columns;
    l.outer = r.outer = nullptr;
    const auto a = ColumnOf(kind, l);
    const auto b = ColumnOf(kind, r);
    if (a && b && !random_.OneIn(6)) {
      key = Expr::Of(Kind::Boolean, {"", random_.OneIn(8) ? " < " : " = ", ""}, {*a, *b});
      if (random_.OneIn(5)) key = Expr::Of(Kind::Boolean, {"", " AND ", ""}, {*key, MakeCondition(both, kMaxDepth - 1)});
    } else {
      key = MakeCondition(both, kMaxDepth - 1);
    }
    join.on = key;
  }
  join.sides.push_back(std::move(left));
  join.sides.push_back(std::move(right));
  scope.columns.insert(scope.columns.end(), both.columns.begin(), both.columns.end());
  return join;
}

// ---------------------------------------------------------------- SELECT

double Generator::Combinations(const FromNode& node) const {
  switch (node.shape) {
    case FromNode::Shape::Table:
      for (const TestTable& t : database_)
        if (t.name == node.table) return std::max<double>(1, static_cast<double>(t.rows.size()));
      return 1;
    case FromNode::Shape::Derived: {
      const auto it = derivedRows_.find(node.alias);
      return it == derivedRows_.end() ? kMostCombinations : it->second;
    }
    case FromNode::Shape::Join: return Combinations(node.sides[0]) * Combinations(node.sides[1]);
  }
  return 1;
}

Core Generator::MakeCore(const Scope* outer, const std::vector<Kind>* wanted, bool allowTop) {
  Core core;
  Scope scope;
  scope.outer = outer;
  // Joins of big tables without a key would make more rows than the run can
  // hold: a FROM of too many combinations is drawn again, smaller.
  int tables = random_.Pick({1, 1, 2, 2, 2, 3});
  for (;;) {
    Scope drawn = scope;
    const int derivedBefore = aliases_;
    core.from = MakeFrom(drawn, tables, 1);
    if (tables == 1 || Combinations(*core.from) <= kMostCombinations) {
      scope = drawn;
      break;
    }
    aliases_ = derivedBefore;
    --tables;
  }
  core.visible = scope.columns;

  const bool grouped = random_.Percent(30);
  if (random_.Percent(grouped ? 30 : 60)) core.where = MakeCondition(scope, 0);
  if (grouped) {
    const int keys = random_.Between(0, 2);
    for (int i = 0; i < keys; ++i) {
      const Kind kind = random_.Pick({Kind::Number, Kind::Text, Kind::Text, Kind::Date, Kind::Boolean});
      std::optional<Expr> key = ColumnOf(kind, scope);
      if (!key || random_.OneIn(4)) key = MakeExpr(kind == Kind::Boolean ? Kind::Number : kind, scope, 2);
      core.groupBy.push_back(*key);
    }
  }
  Scope listScope = scope;
  if (grouped) {
    listScope.groupKeys = &core.groupBy;
    listScope.aggregates = true;
  }
  const int columns = wanted ? static_cast<int>(wanted->size()) : random_.Between(1, 4);
  if (!wanted && !grouped && random_.OneIn(12)) {
    core.items.push_back({Expr::Leaf(Kind::Number, "*"), ""});
    for (const VisibleColumn& c : scope.columns) core.kinds.push_back(c.kind);
  } else {
    for (int i = 0; i < columns; ++i) {
      const Kind kind = wanted ? (*wanted)[static_cast<size_t>(i)] : AnyKind(random_);
      Expr e;
      if (grouped && i < static_cast<int>(core.groupBy.size()) && core.groupBy[static_cast<size_t>(i)].kind == kind &&
          random_.OneIn(2))
        e = core.groupBy[static_cast<size_t>(i)];
      else if (grouped && !random_.OneIn(4))
        e = MakeAggregate(kind == Kind::Boolean ? Kind::Number : kind, listScope, 0);
      else
        e = MakeExpr(kind, listScope, 0);
      // A Boolean aggregate does not exist: the column is a number then.
      core.kinds.push_back(e.kind);
      core.items.push_back({e, random_.OneIn(2) ? "c" + std::to_string(i + 1) : ""});
    }
  }
  if (grouped && random_.OneIn(3)) core.having = MakeCondition(listScope, 0);
  if (random_.OneIn(7)) core.quantifier = random_.OneIn(4) ? "DISTINCTROW" : "DISTINCT";
  if (allowTop && random_.OneIn(10)) core.top = Top{random_.Pick({1, 2, 3, 5, 10}), random_.OneIn(4)};
  return core;
}

Statement Generator::MakeStatement() {
  Statement s;
  aliases_ = 0;
  bareTables_.clear();
  Core first = MakeCore(nullptr, nullptr, true);
  s.cores.push_back(std::move(first));
  if (random_.OneIn(6)) {
    const std::vector<Kind> kinds = s.cores[0].kinds;
    const int more = random_.OneIn(4) ? 2 : 1;
    for (int i = 0; i < more; ++i) {
      s.unionAll.push_back(random_.OneIn(2));
      s.cores.push_back(MakeCore(nullptr, &kinds, false));
      // A member whose list came out otherwise (a *) keeps the union's width all the same.
    }
  }
  const int width = static_cast<int>(s.cores[0].kinds.size());
  if (width > 0 && random_.Percent(45)) {
    const int keys = random_.Between(1, std::min(width, 3));
    for (int i = 0; i < keys; ++i) {
      OrderKey key;
      key.descending = random_.OneIn(3);
      if (s.cores.size() == 1 && !s.cores[0].Aggregates() && s.cores[0].quantifier.empty() && random_.OneIn(3)) {
        Scope scope;
        scope.columns = s.cores[0].visible;
        key.expr = MakeExpr(random_.Pick({Kind::Number, Kind::Text, Kind::Date}), scope, 1);
      } else {
        key.position = random_.Between(1, width);
      }
      s.orderBy.push_back(key);
    }
  }
  // Which rows a TOP keeps is settled only by an ORDER BY of its own SELECT.
  if (s.cores[0].top && (s.cores.size() > 1 || s.orderBy.empty())) s.cores[0].top.reset();
  return s;
}

Statement Generator::MakeCrosstab() {
  Statement s;
  aliases_ = 0;
  bareTables_.clear();
  Core core;
  Scope scope;
  int tables = random_.Pick({1, 1, 2});
  for (;;) {
    Scope drawn;
    core.from = MakeFrom(drawn, tables, 1);
    if (tables == 1 || Combinations(*core.from) <= kMostCombinations) {
      scope = drawn;
      break;
    }
    --tables;
  }
  core.visible = scope.columns;
  if (random_.OneIn(2)) core.where = MakeCondition(scope, 1);
  // The row headings: one or two grouped columns (or expressions), each in the list.
  const int keys = random_.Pick({1, 1, 2});
  for (int i = 0; i < keys; ++i) {
    const Kind kind = random_.Pick({Kind::Number, Kind::Text, Kind::Text, Kind::Date});
    Expr key = ColumnOf(kind, scope).value_or(Literal(kind));
    if (random_.OneIn(5)) key = MakeExpr(kind, scope, 2);
    core.groupBy.push_back(key);
    core.items.push_back({key, random_.OneIn(2) ? "h" + std::to_string(i + 1) : ""});
    core.kinds.push_back(kind);
  }
  Scope listScope = scope;
  listScope.groupKeys = &core.groupBy;
  listScope.aggregates = true;
  // Now and then a row total beside the headings.
  if (random_.OneIn(5)) {
    core.items.push_back({MakeAggregate(Kind::Number, listScope, 0), "total"});
    core.kinds.push_back(Kind::Number);
  }
  if (random_.OneIn(8)) core.having = MakeCondition(listScope, 0);
  Crosstab crosstab;
  const Kind valueKind = random_.Pick({Kind::Number, Kind::Number, Kind::Number, Kind::Text, Kind::Date});
  crosstab.value = MakeAggregate(valueKind, listScope, 0);
  if (random_.OneIn(8)) crosstab.value = Expr::Of(Kind::Number, {"Nz(", ", 0)"}, {MakeAggregate(Kind::Number, listScope, 0)});
  const Kind pivotKind = random_.Pick({Kind::Number, Kind::Text, Kind::Text, Kind::Date, Kind::Boolean});
  switch (random_.Below(6)) {
    case 0:
      if (auto number = ColumnOf(Kind::Number, scope, true)) {
        crosstab.pivot = Expr::Of(Kind::Text, {"Partition(", ", 0, 10, " + std::to_string(random_.Between(1, 4)) + ")"},
                                  {*number});
        break;
      }
      [[fallthrough]];
    case 1:
      if (auto date = ColumnOf(Kind::Date, scope)) {
        crosstab.pivot = random_.OneIn(2) ? Expr::Of(Kind::Text, {"Format(", ", 'yyyy-mm')"}, {*date})
                                          : Expr::Of(Kind::Number, {"Month(", ")"}, {*date});
        break;
      }
      [[fallthrough]];
    default:
      crosstab.pivot = ColumnOf(pivotKind, scope).value_or(MakeExpr(pivotKind == Kind::Boolean ? Kind::Text : pivotKind, scope, 2));
      break;
  }
  if (random_.OneIn(5)) {
    const int n = random_.Between(1, 4);
    for (int i = 0; i < n; ++i) crosstab.listed.push_back(Literal(crosstab.pivot.kind == Kind::Boolean ? Kind::Boolean : crosstab.pivot.kind));
  }
  s.cores.push_back(std::move(core));
  s.crosstab = std::move(crosstab);
  if (random_.OneIn(3)) s.orderBy.push_back(OrderKey{1, std::nullopt, random_.OneIn(2)});
  return s;
}

Expr Generator::MakePredicate(const std::vector<VisibleColumn>& columns, const std::vector<Expr>* groupKeys) {
  Scope scope;
  scope.columns = columns;
  if (groupKeys) {
    scope.groupKeys = groupKeys;
    scope.aggregates = true;
  }
  return MakeCondition(scope, 1);
}

}  // namespace vendrel::tester

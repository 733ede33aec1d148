#include "laws.h"

#include <algorithm>
#include <cmath>

#include "results.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/driver/text_order.h"

namespace vendrel::tester {

namespace {

constexpr std::string_view kRuntimeTexts[] = {
    "Overflow",
    "Division by zero",
    "Invalid use of Null",
    "Invalid procedure call or argument",
    "Type mismatch",
    "Data type mismatch in criteria expression.",
    "At most one record can be returned by this subquery.",
};

// SQLite gives 0 for -0 where values pass through its sorts, compounds and
// temporary tables, and which of those a plan uses is its own choice: -0
// and 0 count as one (the value round-trip tests hold -0 in a plain SELECT).
Likeness LikenessOf(const Check& check) { return Likeness{check.approximate, check.anySpelling, false}; }

// Whether a statement lets the database pick one of texts equal but for case:
// a group's key, DISTINCT's row, UNION's, Min's or Max's value.
bool PicksASpelling(const std::string& sql) {
  if (sql.find("GROUP BY") != std::string::npos || sql.find("DISTINCT") != std::string::npos ||
      sql.find("Min(") != std::string::npos || sql.find("Max(") != std::string::npos)
    return true;
  for (size_t at = sql.find(" UNION "); at != std::string::npos; at = sql.find(" UNION ", at + 1))
    if (sql.compare(at + 7, 4, "ALL ") != 0) return true;
  return false;
}

Verdict Failed(std::string signature, std::string what) {
  Verdict v;
  v.failed = true;
  v.signature = std::move(signature);
  v.what = std::move(what);
  return v;
}
Verdict Skipped() {
  Verdict v;
  v.skipped = true;
  return v;
}
Verdict Held() { return {}; }

std::string Shown(const Outcome& o) {
  if (o.failed) return "error " + std::to_string(o.number) + " " + o.description;
  std::string columns;
  for (const auto& c : o.columns) columns += (columns.empty() ? "" : ", ") + c;
  return std::to_string(o.rows.size()) + " rows of (" + columns + ")";
}

// An outcome of the reference road, or the reason the law cannot be judged.
struct Ran {
  Outcome outcome;
  bool usable = true;
};

// The statements of a structural law, each through the reference road. A
// runtime error of the data makes the law unjudgeable; any other error is
// a finding in itself (the law's statements are all valid when the first is).
std::vector<Outcome> RunAll(const Check& check, Roads& roads, Verdict& verdict) {
  std::vector<Outcome> outcomes;
  for (const std::string& sql : check.sql) {
    outcomes.push_back(roads.Run("driver", sql));
    const Outcome& o = outcomes.back();
    if (!o.failed) continue;
    // The whole refused, a runtime error of the data, or a predicate that
    // the dialect refuses where the law put it: nothing to judge. An error
    // that is not the dialect's is a finding all the same.
    if (outcomes.size() == 1 || IsRuntimeError(o) || IsDialectError(o)) {
      verdict = Skipped();
    } else {
      verdict = Failed(check.law + ": statement " + std::to_string(outcomes.size()) + " fails: " + o.description.substr(0, 30),
                       "the whole runs but statement " + std::to_string(outcomes.size()) + " fails: " + Shown(o));
    }
    return {};
  }
  return outcomes;
}

// A crosstab's columns are named by texts that SQLite picks, as a group's
// key: where a statement may pick a spelling, names equal but for case match.
bool SameColumns(const std::vector<std::string>& a, const std::vector<std::string>& b, bool anySpelling) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && !(anySpelling && driver::CompareTexts(a[i], b[i]) == 0)) return false;
  return true;
}

Verdict JudgeRoads(const Check& check, Roads& roads) {
  const std::string& sql = check.sql.at(0);
  const Outcome reference = roads.Run("driver", sql);
  Verdict held = Held();
  if (reference.failed) held.refusal = reference.description;
  // SQLite refusing the SQL that the driver wrote: a valid statement refused,
  // or an invalid one that gets no error of the dialect.
  if (reference.failed && !IsDialectError(reference))
    return Failed("roads: driver: " + reference.description.substr(0, 40), "driver: " + Shown(reference));
  for (const std::string& road : check.terms) {
    Outcome expected = reference;
    if (reference.failed && IsExecuteRoad(road)) expected = Roads::AsExecuteError(reference);
    const Outcome got = roads.Run(road, sql);
    if (expected.failed || got.failed) {
      if (expected.failed && got.failed) {
        if (got.number == expected.number && got.description == expected.description) continue;
        // Two plans may meet different bad values first.
        if (IsRuntimeError(got) && IsRuntimeError(expected)) continue;
        return Failed("roads: " + road + ": other error", "driver: " + Shown(expected) + "\n" + road + ": " + Shown(got));
      }
      // One plan evaluated a value that raises, the other did not reach it.
      if (IsRuntimeError(expected.failed ? expected : got)) continue;
      return Failed("roads: " + road + ": " + (got.failed ? "fails" : "runs"),
                    "driver: " + Shown(expected) + "\n" + road + ": " + Shown(got));
    }
    if (!SameColumns(got.columns, expected.columns, check.anySpelling))
      return Failed("roads: " + road + ": columns", "driver: " + Shown(expected) + "\n" + road + ": " + Shown(got));
    const std::string difference = MultisetDifference(expected.rows, got.rows, LikenessOf(check));
    if (!difference.empty()) return Failed("roads: " + road + ": rows", "driver against " + road + ": " + difference);
  }
  return held;
}

Verdict JudgePartition(const Check& check, Roads& roads) {
  Verdict verdict;
  const std::vector<Outcome> o = RunAll(check, roads, verdict);
  if (o.empty()) return verdict;
  std::vector<Row> parts;
  for (size_t i = 1; i < o.size(); ++i) parts.insert(parts.end(), o[i].rows.begin(), o[i].rows.end());
  const bool distinct = !check.terms.empty() && check.terms[0] == "distinct";
  const std::string difference =
      distinct ? DistinctDifference(o[0].rows, parts) : MultisetDifference(o[0].rows, parts, LikenessOf(check));
  if (difference.empty()) return Held();
  return Failed("partition: rows", "the whole against its three parts: " + difference);
}

// Count and Sum add up, Min and Max take the least or greatest; Null where no part gives a value.
Variant Recombined(const std::string& how, const std::vector<Variant>& parts) {
  Variant acc = Variant::Null();
  for (const Variant& v : parts) {
    if (v.IsNull()) continue;
    if (acc.IsNull()) {
      acc = v;
      continue;
    }
    if (how == "min" || how == "max") {
      const int c = CompareValues(v, acc);
      if ((how == "min" && c < 0) || (how == "max" && c > 0)) acc = v;
    } else if (acc.Type() == VarType::Currency) {
      acc = Variant(Currency{acc.AsCurrency().scaled + v.AsCurrency().scaled});
    } else if (acc.Type() == VarType::Double) {
      acc = Variant::Double(acc.AsDouble() + v.AsDouble());
    } else {
      const int64_t sum = ToBigInt(acc) + ToBigInt(v);
      acc = acc.Type() == VarType::Long ? Variant::Long(static_cast<int32_t>(sum)) : Variant::BigInt(sum);
    }
  }
  return acc;
}

Verdict JudgeRecombine(const Check& check, Roads& roads) {
  Verdict verdict;
  const std::vector<Outcome> o = RunAll(check, roads, verdict);
  if (o.empty()) return verdict;
  for (const Outcome& part : o)
    if (part.rows.size() != 1) return Failed("recombine: not one row", "an aggregate without GROUP BY gave " + Shown(part));
  Row combined;
  for (size_t c = 0; c < check.terms.size(); ++c) {
    std::vector<Variant> values;
    for (size_t i = 1; i < o.size(); ++i) values.push_back(o[i].rows[0][c]);
    combined.push_back(Recombined(check.terms[c], values));
  }
  // Of texts that the dialect holds equal, Min and Max may give any one.
  for (size_t c = 0; c < combined.size(); ++c) {
    const Variant& whole = o[0].rows[0][c];
    const bool same = check.terms[c] == "min" || check.terms[c] == "max"
                          ? CompareValues(whole, combined[c]) == 0
                          : MultisetDifference({{whole}}, {{combined[c]}}, Likeness{}).empty();
    if (!same)
      return Failed("recombine: values", "column " + std::to_string(c + 1) + " (" + check.terms[c] + "): the whole gives " +
                                             ShowRow({whole}) + ", its parts recombined " + ShowRow({combined[c]}));
  }
  return Held();
}

struct Key {
  size_t column = 0;
  bool descending = false;
};

std::vector<Key> KeysOf(const std::vector<std::string>& terms, size_t from) {
  std::vector<Key> keys;
  for (size_t i = from; i < terms.size(); ++i) {
    Key k;
    k.column = static_cast<size_t>(std::stoi(terms[i]) - 1);
    k.descending = terms[i].ends_with(" desc");
    keys.push_back(k);
  }
  return keys;
}

int CompareByKeys(const Row& a, const Row& b, const std::vector<Key>& keys) {
  for (const Key& k : keys) {
    int c = CompareValues(a[k.column], b[k.column]);
    if (k.descending) c = -c;
    if (c) return c;
  }
  return 0;
}

Verdict JudgeOrder(const Check& check, Roads& roads) {
  Verdict verdict;
  const std::vector<Outcome> o = RunAll(check, roads, verdict);
  if (o.empty()) return verdict;
  const std::vector<Key> keys = KeysOf(check.terms, 0);
  for (size_t i = 1; i < o[0].rows.size(); ++i)
    if (CompareByKeys(o[0].rows[i - 1], o[0].rows[i], keys) > 0)
      return Failed("order: out of order", "row " + std::to_string(i + 1) + " " + ShowRow(o[0].rows[i]) +
                                               " comes after " + ShowRow(o[0].rows[i - 1]));
  const std::string difference = MultisetDifference(o[0].rows, o[1].rows, LikenessOf(check));
  if (difference.empty()) return Held();
  return Failed("order: rows", "with ORDER BY against without: " + difference);
}

Verdict JudgeTop(const Check& check, Roads& roads) {
  Verdict verdict;
  const std::vector<Outcome> o = RunAll(check, roads, verdict);
  if (o.empty()) return verdict;
  const double n = std::stod(check.terms.at(0));
  const bool percent = check.terms.at(1) == "percent";
  const std::vector<Key> keys = KeysOf(check.terms, 2);
  const std::vector<Row>& all = o[1].rows;
  // A row's rank: one more than the rows ordered strictly before it.
  const double last = percent ? std::ceil(n * static_cast<double>(all.size()) / 100.0) : n;
  std::vector<Row> expected;
  for (const Row& row : all) {
    size_t before = 0;
    for (const Row& other : all) before += CompareByKeys(other, row, keys) < 0;
    if (static_cast<double>(before + 1) <= last) expected.push_back(row);
  }
  const std::string difference = MultisetDifference(o[0].rows, expected, LikenessOf(check));
  if (difference.empty()) return Held();
  return Failed("top: rows", "TOP against the first rows of the whole and their ties: " + difference);
}

VarType VarTypeNamed(const std::string& name) {
  if (name == "Short") return VarType::Integer;
  if (name == "Long") return VarType::Long;
  if (name == "Single") return VarType::Single;
  if (name == "Double") return VarType::Double;
  if (name == "Currency") return VarType::Currency;
  if (name == "Date") return VarType::Date;
  if (name == "Boolean") return VarType::Boolean;
  if (name == "Byte") return VarType::Byte;
  if (name == "BigInt") return VarType::BigInt;
  return VarType::String;
}

Verdict JudgeUnion(const Check& check, Roads& roads) {
  Verdict verdict;
  const std::vector<Outcome> o = RunAll(check, roads, verdict);
  if (o.empty()) return verdict;
  // The members' values in the union's types.
  std::vector<VarType> types;
  for (const std::string& column : o[0].columns) types.push_back(VarTypeNamed(column.substr(column.rfind(' ') + 1)));
  auto converted = [&](std::vector<Row> rows) {
    for (Row& row : rows)
      for (size_t c = 0; c < row.size() && c < types.size(); ++c) {
        try {
          row[c] = ChangeType(row[c], types[c]);
        } catch (const Error&) {
          // kept as it was: the comparison then shows it
        }
      }
    return rows;
  };
  // Left to right: a UNION keeps one of each row of all that came before it.
  std::vector<Row> rows = converted(o[1].rows);
  bool distinct = false;
  for (size_t i = 2; i < o.size(); ++i) {
    const std::vector<Row> member = converted(o[i].rows);
    rows.insert(rows.end(), member.begin(), member.end());
    if (check.terms.at(i - 2) == "distinct") {
      rows = DistinctRows(std::move(rows));
      distinct = true;
    }
  }
  // The members' values take the union's types: compared as the dialect
  // compares them; after a UNION, texts that differ only by case may be
  // either one.
  const std::string difference = !distinct                       ? DialectMultisetDifference(o[0].rows, rows, true)
                                 : check.terms.back() == "distinct" ? DistinctDifference(o[0].rows, rows)
                                                                  : DialectMultisetDifference(o[0].rows, rows, false);
  if (difference.empty()) return Held();
  return Failed("union: rows", "the union against its members: " + difference);
}

// The name of a crosstab's column for a pivot value; empty where the value makes none of its own.
std::string PivotColumnName(const Variant& value) {
  if (value.IsNull()) return "<>";
  if (value.Type() == VarType::Boolean) return value.AsBoolean() ? "True" : "False";
  return ToText(value);
}

Verdict JudgePivot(const Check& check, Roads& roads) {
  Verdict verdict;
  const std::vector<Outcome> o = RunAll(check, roads, verdict);
  if (o.empty()) return verdict;
  const Outcome& crosstab = o[0];
  const Outcome& grouped = o[1];
  const size_t headings = static_cast<size_t>(std::stoi(check.terms.at(0)));
  std::vector<std::string> names;
  for (const std::string& c : crosstab.columns) names.push_back(c.substr(0, c.rfind(' ')));
  const Likeness likeness = LikenessOf(check);
  size_t cells = 0;
  std::vector<Row> groups;
  for (const Row& g : grouped.rows) {
    const Row keys(g.begin(), g.begin() + static_cast<long>(headings));
    groups.push_back(keys);
    const std::string name = PivotColumnName(g[headings]);
    size_t column = names.size();
    for (size_t c = headings; c < names.size() && column == names.size(); ++c)
      if (driver::CompareTexts(names[c], name) == 0) column = c;
    if (column == names.size()) {
      // A value without a name of its own, or one that a heading's name took.
      if (name.empty()) return Skipped();
      for (size_t c = 0; c < headings; ++c)
        if (driver::CompareTexts(names[c], name) == 0) return Skipped();
      return Failed("pivot: no column", "no column named '" + name + "' for the rows " + ShowRow(g));
    }
    const Row* row = nullptr;
    for (const Row& r : crosstab.rows)
      if (CompareRows(Row(r.begin(), r.begin() + static_cast<long>(headings)), keys) == 0) row = &r;
    if (!row) return Failed("pivot: no row", "no row for the headings " + ShowRow(keys));
    const Variant& cell = g[headings + 1];
    if (!MultisetDifference({{(*row)[column]}}, {{cell}}, likeness).empty())
      return Failed("pivot: cell", "the cell of " + ShowRow(keys) + " under '" + names[column] + "' is " +
                                       ShowRow({(*row)[column]}) + "; grouped, the rows give " + ShowRow({cell}));
    cells += !cell.IsNull();
  }
  size_t filled = 0;
  for (const Row& r : crosstab.rows)
    for (size_t c = headings; c < r.size(); ++c) filled += !r[c].IsNull();
  if (filled != cells)
    return Failed("pivot: cells", std::to_string(filled) + " cells hold a value where the grouped rows give " +
                                      std::to_string(cells));
  if (crosstab.rows.size() != DistinctRows(groups).size())
    return Failed("pivot: rows", std::to_string(crosstab.rows.size()) + " rows where the grouped rows have " +
                                     std::to_string(DistinctRows(groups).size()) + " headings");
  return Held();
}

Verdict JudgeDistinct(const Check& check, Roads& roads) {
  Verdict verdict;
  const std::vector<Outcome> o = RunAll(check, roads, verdict);
  if (o.empty()) return verdict;
  const std::string difference = DistinctDifference(o[0].rows, o[1].rows);
  if (!difference.empty()) return Failed("distinct: rows", "DISTINCT against the rows it keeps one of: " + difference);
  if (DistinctRows(o[0].rows).size() != o[0].rows.size())
    return Failed("distinct: duplicates", "DISTINCT kept rows that the dialect holds equal");
  return Held();
}

// ---------------------------------------------------------------- trials to checks

bool HasTop(const Statement& s) { return s.cores.size() == 1 && s.cores[0].top.has_value(); }

// A FROM that is an inner join: a predicate in its ON splits the rows as
// one in WHERE does. (Below an outer join it would change which rows get
// Nulls; its columns are then those of the whole FROM, as the predicate's.)
bool IsInnerJoin(const std::optional<FromNode>& node) {
  return node && node->shape == FromNode::Shape::Join && node->join == "INNER JOIN";
}

// How an item recombines from the parts: only a bare aggregate of a value does.
std::string HowToRecombine(const Expr& e) {
  if (!e.aggregate) return {};
  const std::string& head = e.text.front();
  if (e.args.empty()) return head == "Count(*)" ? "count" : "";
  if (e.args.size() != 1 || e.text.back() != ")") return {};
  if (head == "Count(") return "count";
  if (head == "Sum(" && !e.approximate) return "sum";
  if (head == "Min(") return "min";
  if (head == "Max(") return "max";
  return {};
}

}  // namespace

bool IsDialectError(const Outcome& outcome) {
  if (!outcome.failed) return false;
  std::string_view d = outcome.description;
  if (d.starts_with("[Vendrel] ")) d.remove_prefix(10);
  return !d.starts_with("Unexpected error") && !d.starts_with("An error has occured");
}

bool IsRuntimeError(const Outcome& outcome) {
  if (!outcome.failed) return false;
  std::string_view d = outcome.description;
  if (d.starts_with("[Vendrel] ")) d.remove_prefix(10);
  for (std::string_view text : kRuntimeTexts)
    if (d.starts_with(text)) return true;
  return false;
}

Verdict Judge(const Check& check, Roads& roads) {
  if (check.law == "roads") return JudgeRoads(check, roads);
  if (check.law == "partition") return JudgePartition(check, roads);
  if (check.law == "recombine") return JudgeRecombine(check, roads);
  if (check.law == "order") return JudgeOrder(check, roads);
  if (check.law == "top") return JudgeTop(check, roads);
  if (check.law == "union") return JudgeUnion(check, roads);
  if (check.law == "distinct") return JudgeDistinct(check, roads);
  if (check.law == "pivot") return JudgePivot(check, roads);
  return Failed("unknown law", "no law is called " + check.law);
}

std::optional<Check> CheckOf(const Trial& trial) {
  const Statement& s = trial.statement;
  if (s.cores.empty()) return std::nullopt;
  Check check;
  check.law = trial.law;
  check.approximate = s.Approximate();
  check.anySpelling = PicksASpelling(s.Sql());
  if (trial.law == "roads") {
    check.sql = {s.Sql()};
    check.terms = trial.roads;
    return check;
  }
  // A crosstab keeps to the roads law, and to its own.
  if (s.crosstab && trial.law != "pivot") return std::nullopt;
  if (trial.law == "pivot") {
    // Its cells are the grouped rows of headings and pivot value: only where
    // the headings are the keys alone and the value a bare aggregate.
    if (!s.crosstab || !s.crosstab->listed.empty()) return std::nullopt;
    const Core& core = s.cores[0];
    if (core.having || core.top || core.items.size() != core.groupBy.size()) return std::nullopt;
    for (size_t i = 0; i < core.items.size(); ++i)
      if (core.items[i].expr.Sql() != core.groupBy[i].Sql()) return std::nullopt;
    const Expr& value = s.crosstab->value;
    if (!value.aggregate || value.text.back() != ")" || value.text.front().find('(') + 1 != value.text.front().size())
      if (value.Sql() != "Count(*)") return std::nullopt;
    Core grouped = core;
    grouped.items.push_back({s.crosstab->pivot, "pivot"});
    grouped.items.push_back({value, "cell"});
    grouped.groupBy.push_back(s.crosstab->pivot);
    check.sql = {s.Sql(), grouped.Sql()};
    check.terms = {std::to_string(core.groupBy.size())};
    return check;
  }
  if (trial.law == "partition" || trial.law == "recombine") {
    if (!trial.predicate || s.cores.size() != 1 || HasTop(s) || s.cores[0].quantifier == "DISTINCTROW") return std::nullopt;
    const Core& core = s.cores[0];
    const Expr& p = *trial.predicate;
    auto with = [&](const std::optional<Expr>& q) {
      Statement t = s;
      Core& c = t.cores[0];
      if (trial.place == "having") {
        c.having = c.having && q ? And(*c.having, *q) : q ? q : c.having;
      } else if (trial.place == "on") {
        if (q) c.from->on = And(*c.from->on, *q);
      } else {
        c.where = c.where && q ? And(*c.where, *q) : q ? q : c.where;
      }
      // The parts are compared as multisets: their order does not matter.
      t.orderBy.clear();
      return t.Sql();
    };
    if (trial.law == "partition") {
      if (trial.place == "having" && !core.Aggregates()) return std::nullopt;
      if (trial.place != "having" && core.Aggregates()) return std::nullopt;
      if (trial.place == "on" && !IsInnerJoin(core.from)) return std::nullopt;
      check.terms = {core.quantifier == "DISTINCT" ? "distinct" : "rows"};
    } else {
      if (!core.groupBy.empty() || core.having || !core.quantifier.empty() || trial.place != "where") return std::nullopt;
      for (const SelectItem& item : core.items) {
        check.terms.push_back(HowToRecombine(item.expr));
        if (check.terms.back().empty()) return std::nullopt;
      }
    }
    check.sql = {with(std::nullopt), with(p), with(Not(p)), with(IsNullOf(p))};
    return check;
  }
  if (trial.law == "order") {
    if (s.orderBy.empty() || HasTop(s)) return std::nullopt;
    for (const OrderKey& k : s.orderBy) {
      if (k.position == 0) return std::nullopt;
      check.terms.push_back(std::to_string(k.position) + (k.descending ? " desc" : ""));
    }
    Statement unordered = s;
    unordered.orderBy.clear();
    check.sql = {s.Sql(), unordered.Sql()};
    return check;
  }
  if (trial.law == "top") {
    if (!HasTop(s) || s.orderBy.empty()) return std::nullopt;
    check.terms = {std::to_string(s.cores[0].top->count), s.cores[0].top->percent ? "percent" : "count"};
    for (const OrderKey& k : s.orderBy) {
      if (k.position == 0) return std::nullopt;
      check.terms.push_back(std::to_string(k.position) + (k.descending ? " desc" : ""));
    }
    Statement whole = s;
    whole.cores[0].top.reset();
    check.sql = {s.Sql(), whole.Sql()};
    return check;
  }
  if (trial.law == "union") {
    if (s.cores.size() < 2) return std::nullopt;
    Statement bare = s;
    bare.orderBy.clear();
    check.sql = {bare.Sql()};
    for (const Core& core : s.cores) check.sql.push_back(core.Sql());
    for (bool all : s.unionAll) check.terms.push_back(all ? "all" : "distinct");
    return check;
  }
  if (trial.law == "distinct") {
    if (s.cores.size() != 1 || s.cores[0].quantifier != "DISTINCT" || HasTop(s)) return std::nullopt;
    Statement plain = s;
    plain.cores[0].quantifier.clear();
    plain.orderBy.clear();
    Statement distinct = s;
    distinct.orderBy.clear();
    check.sql = {distinct.Sql(), plain.Sql()};
    return check;
  }
  return std::nullopt;
}

}  // namespace vendrel::tester

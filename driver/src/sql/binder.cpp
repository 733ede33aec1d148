#include "sql/binder.h"

#include <algorithm>
#include <optional>

#include "sql/errors.h"
#include "sql/functions.h"
#include "sql/types.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::sql {

namespace {

constexpr size_t kMaxUnionParts = 250;  // the executor's limit is 500
constexpr size_t kMaxTables = 64;       // tables in one FROM, as the executor joins them

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

// Spellings of a table name: "a.txt", "a#txt".
bool SameTableName(std::string_view a, std::string_view b) {
  if (EqualsNoCase(a, b)) return true;
  std::string x(a), y(b);
  std::replace(x.begin(), x.end(), '#', '.');
  std::replace(y.begin(), y.end(), '#', '.');
  return EqualsNoCase(x, y);
}

struct Scope {
  std::vector<const TableInstance*> tables;
  const Scope* parent = nullptr;
};

struct Context {
  const Scope* scope = nullptr;
  bool aggregatesAllowed = false;
  std::string_view clause = "expression";
  bool insideAggregate = false;
  bool* sawAggregate = nullptr;
};

class Binder {
 public:
  Binder(Catalog& catalog, std::string_view text, BoundStatement& bound, const std::vector<ParameterDecl>& parameters)
      : catalog_(catalog), text_(text), bound_(bound), parameters_(parameters) {}

  // A crosstab's parts are bound with its one SELECT, in that SELECT's scope.
  void BindQuery(Query& q, const Scope* outer, Crosstab* crosstab = nullptr) {
    if (q.cores.size() > kMaxUnionParts) RaiseTooComplex();
    if (q.cores.size() == 1) {
      q.columns = BindCore(q.cores[0], outer, &q.orderBy, crosstab);
      return;
    }
    std::vector<std::vector<OutputColumn>> parts;
    for (auto& core : q.cores) {
      parts.push_back(BindCore(core, outer, nullptr, nullptr));
      if (parts.back().size() != parts.front().size()) RaiseUnionWidths();
    }
    q.columns = parts.front();
    for (size_t i = 0; i < q.columns.size(); ++i) {
      OutputColumn& c = q.columns[i];
      for (size_t p = 1; p < parts.size(); ++p) {
        c.type = Unify(c.type, parts[p][i].type);
        c.width = std::max(c.width, parts[p][i].width);
      }
      if (!IsText(c.type)) c.width = 0;
    }
    for (auto& item : q.orderBy) item.outputIndex = UnionOrderPosition(q, *item.expr);
  }

 private:
  std::string Text(Span s) const { return TextOf(text_, s); }
  // The expression as the user wrote it; a column that came from '*' by its qualified name.
  std::string Display(const Expr& e) const {
    std::string written = Text(e.span);
    if (e.kind == ExprKind::Column && e.table && (written.empty() || written.back() == '*'))
      return e.table->qualifier + "." + e.table->columns[e.column].name;
    return written;
  }

  // ------------------------------------------------------------ FROM

  TableInstance& NewInstance(std::string qualifier) {
    TableInstance& t = bound_.instances.emplace_back();
    t.qualifier = std::move(qualifier);
    t.sqlAlias = "\"s" + std::to_string(bound_.instances.size() - 1) + "\"";
    return t;
  }

  void BindFrom(FromNode& node, const Scope* outer, std::vector<const TableInstance*>& tables) {
    switch (node.kind) {
      case FromNode::Kind::Table: {
        const TableDef* def = catalog_.FindTable(node.tableName);
        if (!def)
          RaiseTableNotFound(node.tableName, ClosestName(node.tableName, catalog_.TableNames()),
                             NearText(text_, node.nameSpan.begin, node.nameSpan.end));
        TableInstance& inst = NewInstance(node.hasAlias ? node.alias : node.tableName);
        inst.table = def;
        for (const ColumnDef& c : def->columns)
          inst.columns.push_back({c.name, c.type, IsText(c.type) ? c.width : 0, QuoteIdentifier(c.name)});
        node.instance = &inst;
        tables.push_back(&inst);
        break;
      }
      case FromNode::Kind::Derived: {
        BindQuery(*node.derived, outer);
        TableInstance& inst =
            NewInstance(node.hasAlias ? node.alias : "Query" + std::to_string(bound_.instances.size()));
        inst.derived = node.derived.get();
        for (size_t i = 0; i < node.derived->columns.size(); ++i) {
          const OutputColumn& c = node.derived->columns[i];
          inst.columns.push_back({c.name, c.type, c.width, "\"c" + std::to_string(i) + "\""});
        }
        node.instance = &inst;
        tables.push_back(&inst);
        break;
      }
      case FromNode::Kind::Join: {
        const size_t first = tables.size();
        BindFrom(*node.left, outer, tables);
        BindFrom(*node.right, outer, tables);
        if (node.on) {
          Scope joined{{tables.begin() + static_cast<long>(first), tables.end()}, outer};
          Context ctx{&joined, false, "JOIN operation"};
          BindExpression(node.on, ctx);
          RequireCondition(*node.on);
        }
        break;
      }
    }
    if (tables.size() > kMaxTables) RaiseTooComplex();
  }

  // ------------------------------------------------------------ SELECT

  std::vector<OutputColumn> BindCore(SelectCore& core, const Scope* outer, std::vector<OrderItem>* orderBy,
                                     Crosstab* crosstab) {
    Scope scope{{}, outer};
    if (core.from) {
      BindFrom(*core.from, outer, scope.tables);
      for (size_t i = 0; i < scope.tables.size(); ++i)
        for (size_t j = 0; j < i; ++j)
          if (EqualsNoCase(scope.tables[i]->qualifier, scope.tables[j]->qualifier))
            RaiseDuplicateTable(scope.tables[i]->qualifier);
    }
    core.tables = scope.tables;

    ExpandStars(core, scope);
    bool sawAggregate = false;
    Context items{&scope, true, "expression", false, &sawAggregate};
    for (auto& item : core.items) BindExpression(item.expr, items);

    if (core.where) {
      Context ctx{&scope, false, "WHERE clause"};
      BindExpression(core.where, ctx);
      RequireCondition(*core.where);
    }
    for (auto& key : core.groupBy) {
      Context ctx{&scope, false, "GROUP BY clause"};
      BindExpression(key, ctx);
    }
    if (core.having) {
      Context ctx{&scope, true, "HAVING clause", false, &sawAggregate};
      BindExpression(core.having, ctx);
      RequireCondition(*core.having);
    }
    if (crosstab) BindCrosstab(*crosstab, scope);

    std::vector<OutputColumn> outputs = NameOutputs(core);
    if (orderBy)
      for (auto& item : *orderBy) BindOrderItem(core, scope, outputs, item, sawAggregate);

    core.aggregateQuery = sawAggregate || !core.groupBy.empty() || core.having;
    if (core.aggregateQuery) {
      for (auto& item : core.items) CheckGrouped(core, *item.expr, *item.expr);
      if (core.having) CheckGrouped(core, *core.having, *core.having);
      if (orderBy)
        for (auto& item : *orderBy)
          if (item.outputIndex < 0) CheckGrouped(core, *item.expr, *item.expr);
      if (crosstab) CheckGrouped(core, *crosstab->value, *crosstab->value);
    }
    return outputs;
  }

  // The TRANSFORM value aggregates the rows of a cell; the PIVOT expression
  // is one value of each row, the values after IN constants of its type.
  void BindCrosstab(Crosstab& crosstab, const Scope& scope) {
    bool aggregates = false;
    Context value{&scope, true, "TRANSFORM statement", false, &aggregates};
    BindExpression(crosstab.value, value);
    if (!aggregates)
      RaiseClauseError("TRANSFORM statement", "The value after TRANSFORM is an aggregate, such as Sum(x) or Count(*).");
    Context pivot{&scope, false, "PIVOT clause"};
    BindExpression(crosstab.pivot, pivot);
    const JetType type = crosstab.pivot->type;
    if (type == JetType::Binary) RaiseTypeMismatch("The values of a PIVOT expression become column names.");
    for (ExprPtr& listed : crosstab.listedValues) {
      if (listed->kind != ExprKind::Literal)
        RaiseClauseError("TRANSFORM statement", "The values after PIVOT ... IN are constants: '" + Text(listed->span) +
                                                    "' is none.");
      if (type != JetType::Null && !listed->value.IsNull()) {
        try {
          listed->value = ChangeType(listed->value, VarTypeOf(type));
        } catch (const Error&) {
          RaiseTypeMismatch(Text(listed->span) + " is no value of the PIVOT expression's type.");
        }
      }
      listed->type = type;
    }
  }

  void ExpandStars(SelectCore& core, const Scope& scope) {
    std::vector<SelectItem> expanded;
    for (auto& item : core.items) {
      if (item.expr->kind != ExprKind::Star) {
        expanded.push_back(std::move(item));
        continue;
      }
      const Expr& star = *item.expr;
      bool matched = false;
      for (const TableInstance* t : scope.tables) {
        if (!star.names.empty() && !QualifierMatches(*t, star.names[0])) continue;
        matched = true;
        for (size_t c = 0; c < t->columns.size(); ++c) {
          SelectItem column;
          column.span = item.span;
          column.expr = std::make_unique<Expr>();
          column.expr->kind = ExprKind::Column;
          column.expr->span = star.span;
          column.expr->names = {t->qualifier, t->columns[c].name};
          column.expr->table = t;
          column.expr->column = static_cast<int>(c);
          column.expr->type = t->columns[c].type;
          column.expr->width = t->columns[c].width;
          expanded.push_back(std::move(column));
        }
      }
      if (!matched) {
        if (star.names.empty()) RaiseBadSelectList("There is no table for '*'.");
        RaiseUnknownField(star.names[0] + ".*");
      }
    }
    core.items = std::move(expanded);
  }

  std::vector<OutputColumn> NameOutputs(const SelectCore& core) const {
    std::vector<OutputColumn> out(core.items.size());
    for (size_t i = 0; i < core.items.size(); ++i) {
      const SelectItem& item = core.items[i];
      out[i].type = item.expr->type;
      out[i].width = IsText(item.expr->type) ? item.expr->width : 0;
      if (item.hasAlias)
        for (size_t j = 0; j < i; ++j)
          if (core.items[j].hasAlias && EqualsNoCase(core.items[j].alias, item.alias)) RaiseDuplicateAlias(item.alias);
    }
    const std::vector<std::string> names = OutputNames(core, {});
    for (size_t i = 0; i < out.size(); ++i) out[i].name = names[i];
    return out;
  }

  void BindOrderItem(SelectCore& core, const Scope& scope, const std::vector<OutputColumn>& outputs,
                     OrderItem& item, bool& sawAggregate) {
    Expr& e = *item.expr;
    if (e.kind == ExprKind::Literal && e.value.Type() == VarType::Long) {
      const int position = e.value.AsLong();
      if (position < 1 || position > static_cast<int>(outputs.size()))
        RaiseClauseError("ORDER BY clause", "There is no output column " + std::to_string(position) + ".");
      item.outputIndex = position - 1;
      return;
    }
    if (e.kind == ExprKind::Column && e.names.size() == 1 && !ResolveColumn(e, &scope, false)) {
      for (size_t i = 0; i < outputs.size(); ++i)
        if (EqualsNoCase(outputs[i].name, e.names[0]) ||
            (core.items[i].hasAlias && EqualsNoCase(core.items[i].alias, e.names[0]))) {
          item.outputIndex = static_cast<int>(i);
          return;
        }
    }
    Context ctx{&scope, true, "ORDER BY clause", false, &sawAggregate};
    BindExpression(item.expr, ctx);
    for (size_t i = 0; i < core.items.size(); ++i)
      if (SameExpression(*item.expr, *core.items[i].expr)) {
        item.outputIndex = static_cast<int>(i);
        return;
      }
    if (core.quantifier == Quantifier::Distinct) RaiseOrderByConflictsWithDistinct(Text(item.expr->span));
  }

  int UnionOrderPosition(const Query& q, const Expr& e) const {
    const SelectCore& first = q.cores.front();
    if (e.kind == ExprKind::Literal && e.value.Type() == VarType::Long) {
      const int position = e.value.AsLong();
      if (position >= 1 && position <= static_cast<int>(q.columns.size())) return position - 1;
    } else if (e.kind == ExprKind::Column) {
      const std::string& column = e.names.back();
      for (size_t i = 0; i < q.columns.size(); ++i) {
        const Expr& item = *first.items[i].expr;
        const bool sameColumn = item.kind == ExprKind::Column && !first.items[i].hasAlias &&
                                EqualsNoCase(item.table->columns[item.column].name, column) &&
                                (e.names.size() == 1 || QualifierMatches(*item.table, e.names[0]));
        const bool sameName = EqualsNoCase(q.columns[i].name, e.names.size() == 1 ? column : Text(e.span));
        if (sameColumn || sameName) return static_cast<int>(i);
      }
    }
    RaiseClauseError("ORDER BY clause", "A union is ordered by its output columns: '" + Text(e.span) +
                                            "' is none of them.");
  }

  // ------------------------------------------------------------ grouping

  bool IsGrouped(const SelectCore& core, const Expr& e) const {
    if (e.aggregate) return true;
    for (const auto& key : core.groupBy)
      if (SameExpression(e, *key)) return true;
    switch (e.kind) {
      case ExprKind::Literal: return true;
      case ExprKind::Column:
        return std::find(core.tables.begin(), core.tables.end(), e.table) == core.tables.end();
      case ExprKind::Exists:
      case ExprKind::ScalarSubquery:
      case ExprKind::InSubquery:
      case ExprKind::Quantified: {
        for (const auto& a : e.args)
          if (!IsGrouped(core, *a)) return false;
        // A subquery sees one value of each group: its columns of this query must be grouped.
        TableUse use;
        use.Visit(*e.subquery);
        for (const Expr* c : use.columns)
          if (std::find(core.tables.begin(), core.tables.end(), c->table) != core.tables.end() && !IsGrouped(core, *c))
            return false;
        return true;
      }
      default:
        for (const auto& a : e.args)
          if (!IsGrouped(core, *a)) return false;
        return true;
    }
  }

  void CheckGrouped(const SelectCore& core, const Expr& e, const Expr& shown) const {
    if (!IsGrouped(core, e)) RaiseNotGrouped(Display(shown));
  }

  // ------------------------------------------------------------ names

  static bool QualifierMatches(const TableInstance& t, std::string_view qualifier) {
    return EqualsNoCase(t.qualifier, qualifier) || SameTableName(t.qualifier, qualifier);
  }

  bool ResolveColumn(Expr& e, const Scope* scope, bool raise) const {
    const bool qualified = e.names.size() == 2;
    const std::string& column = e.names.back();
    for (const Scope* s = scope; s; s = s->parent) {
      const TableInstance* found = nullptr;
      int index = -1;
      bool qualifierSeen = false;
      for (const TableInstance* t : s->tables) {
        if (qualified && !QualifierMatches(*t, e.names[0])) continue;
        qualifierSeen = true;
        for (size_t c = 0; c < t->columns.size(); ++c) {
          if (!EqualsNoCase(t->columns[c].name, column)) continue;
          if (found && found != t) {
            if (!raise) return false;
            RaiseAmbiguousField(column);
          }
          if (!found) {
            found = t;
            index = static_cast<int>(c);
          }
        }
      }
      if (found) {
        e.table = found;
        e.column = index;
        e.type = found->columns[index].type;
        e.width = found->columns[index].width;
        return true;
      }
      if (qualified && qualifierSeen) break;  // the table is known, the column is not
    }
    if (raise) {
      const std::string suggestion = Suggest(e, scope);
      // CURRENT_TIMESTAMP and the like, which other dialects write without parentheses.
      const std::string_view hint = qualified || !suggestion.empty() ? std::string_view() : OtherDialectHint(column);
      RaiseUnknownField(Text(e.span), suggestion, NearText(text_, e.span.begin, e.span.end), hint);
    }
    return false;
  }

  std::string Suggest(const Expr& e, const Scope* scope) const {
    const bool qualified = e.names.size() == 2;
    std::vector<std::string> candidates;
    for (const Scope* s = scope; s; s = s->parent)
      for (const TableInstance* t : s->tables)
        for (const auto& c : t->columns) candidates.push_back(qualified ? t->qualifier + "." + c.name : c.name);
    return ClosestName(qualified ? e.names[0] + "." + e.names[1] : e.names[0], candidates);
  }

  // ------------------------------------------------------------ expressions

  void RequireCondition(const Expr& e) const {
    if (IsText(e.type) || e.type == JetType::Binary) RaiseTypeMismatch();
  }

  void RequireComparable(const Expr& a, const Expr& b) const {
    if (!Comparable(a.type, b.type)) RaiseTypeMismatch();
  }

  void BindSubquery(Expr& e, const Context& ctx, bool oneColumn) {
    BindQuery(*e.subquery, ctx.scope);
    if (oneColumn && e.subquery->columns.size() != 1) RaiseSubqueryColumns();
  }

  void BindExpression(ExprPtr& slot, Context& ctx) {
    Expr& e = *slot;
    switch (e.kind) {
      case ExprKind::Literal:
        e.type = LiteralType(e.value);
        return;
      case ExprKind::Column:
        // A declared parameter is the parameter wherever the statement names it.
        if (e.names.size() == 1)
          for (const ParameterDecl& p : parameters_)
            if (EqualsNoCase(p.name, e.names[0])) RaiseParameterWithoutValue(p.name);
        if (e.names.size() == 1 && !ResolveColumn(e, ctx.scope, false)) {
          const FunctionInfo* f = FindFunction(e.names[0]);
          if (f && IsNiladic(*f)) {
            e.kind = ExprKind::Call;
            BindExpression(slot, ctx);
            return;
          }
        }
        if (!e.table) ResolveColumn(e, ctx.scope, true);
        return;
      case ExprKind::Star: RaiseMissingOperator(Text(e.span));
      case ExprKind::Unary: {
        BindExpression(e.args[0], ctx);
        const JetType a = e.args[0]->type;
        if (e.op == Op::Not) {
          e.type = LogicalType(a, a);
          if (e.type == JetType::Null) RaiseTypeMismatch();
        } else {
          e.type = NegationType(a);
          if (e.type == JetType::Null && a != JetType::Null) RaiseTypeMismatch();
        }
        return;
      }
      case ExprKind::Binary: BindBinary(e, ctx); return;
      case ExprKind::Like:
        BindAll(e, ctx);
        for (const auto& a : e.args)
          if (a->type == JetType::Binary) RaiseTypeMismatch();
        e.type = JetType::Boolean;
        return;
      case ExprKind::IsNull:
        BindAll(e, ctx);
        e.type = JetType::Boolean;
        return;
      case ExprKind::Between:
      case ExprKind::InList:
        BindAll(e, ctx);
        for (size_t i = 1; i < e.args.size(); ++i) RequireComparable(*e.args[0], *e.args[i]);
        e.type = JetType::Boolean;
        return;
      case ExprKind::InSubquery:
      case ExprKind::Quantified: {
        BindAll(e, ctx);
        BindSubquery(e, ctx, true);
        if (!Comparable(e.args[0]->type, e.subquery->columns[0].type)) RaiseTypeMismatch();
        e.type = JetType::Boolean;
        return;
      }
      case ExprKind::Exists:
        BindSubquery(e, ctx, false);
        e.type = JetType::Boolean;
        return;
      case ExprKind::ScalarSubquery:
        BindSubquery(e, ctx, true);
        e.type = e.subquery->columns[0].type;
        e.width = e.subquery->columns[0].width;
        return;
      case ExprKind::Call: BindCall(e, ctx); return;
      case ExprKind::Case: {
        // The common type of the values, as Switch takes it; no branch taken is Null.
        BindAll(e, ctx);
        const CaseParts parts = PartsOfCase(e);
        e.type = JetType::Null;
        for (size_t k = 0; k < parts.pairs; ++k) {
          const Expr& when = *e.args[parts.firstWhen + 2 * k];
          if (e.caseOperand) RequireComparable(*e.args[0], when);
          else RequireCondition(when);
          e.type = Unify(e.type, e.args[parts.firstWhen + 2 * k + 1]->type);
        }
        if (parts.hasElse) e.type = Unify(e.type, e.args.back()->type);
        return;
      }
    }
  }

  void BindAll(Expr& e, Context& ctx) {
    for (auto& a : e.args) BindExpression(a, ctx);
  }

  void BindBinary(Expr& e, Context& ctx) {
    BindAll(e, ctx);
    if (IsComparison(e.op)) {
      RequireComparable(*e.args[0], *e.args[1]);
      e.type = JetType::Boolean;
      return;
    }
    switch (e.op) {
      case Op::And:
      case Op::Or:
      case Op::Xor:
      case Op::Eqv:
      case Op::Imp: {
        JetType t = e.args[0]->type;
        for (size_t i = 1; i < e.args.size(); ++i) {
          t = LogicalType(t, e.args[i]->type);
          if (t == JetType::Null) RaiseTypeMismatch();
        }
        if (e.args.size() == 1 || t == JetType::Null) t = LogicalType(t, t);
        if (t == JetType::Null) RaiseTypeMismatch();
        e.type = t;
        return;
      }
      case Op::Concat: {
        const JetType a = e.args[0]->type, b = e.args[1]->type;
        e.type = a == JetType::Memo || b == JetType::Memo ? JetType::Memo : JetType::Text;
        return;
      }
      default: {
        const JetType a = e.args[0]->type, b = e.args[1]->type;
        e.type = ArithmeticType(e.op, a, b);
        if (e.type == JetType::Null && (a != JetType::Null || b != JetType::Null)) RaiseTypeMismatch();
        return;
      }
    }
  }

  void RequireArguments(const Expr& e, size_t min, size_t max) const {
    if (e.args.size() < min || e.args.size() > max) RaiseWrongArgumentCount(Text(e.span));
    for (const auto& a : e.args)
      if (a->kind == ExprKind::Star) RaiseMissingOperator(Text(e.span));
  }

  void BindCall(Expr& e, Context& ctx) {
    const std::string& name = e.names[0];
    if (const Aggregate agg = FindAggregate(name); agg != Aggregate::None) {
      if (!ctx.aggregatesAllowed) RaiseAggregateMisplaced(ctx.clause, Text(e.span));
      if (ctx.insideAggregate) RaiseAggregateMisplaced("expression", Text(e.span));
      if (e.args.size() != 1) RaiseWrongArgumentCount(Text(e.span));
      e.aggregate = true;
      if (ctx.sawAggregate) *ctx.sawAggregate = true;
      if (e.args[0]->kind == ExprKind::Star) {
        if (agg != Aggregate::Count || e.distinct) RaiseMissingOperator(Text(e.span));
        e.type = JetType::Long;
        return;
      }
      Context inner = ctx;
      inner.insideAggregate = true;
      BindExpression(e.args[0], inner);
      // An aggregate over columns of outer queries only would be theirs in the executor.
      if (ReferencesOnlyOuterColumns(*e.args[0], *ctx.scope)) RaiseAggregateMisplaced("expression", Text(e.span));
      e.type = AggregateType(agg, *e.args[0]);
      e.width = e.type == e.args[0]->type ? e.args[0]->width : 0;
      return;
    }
    if (const SpecialForm form = FindSpecialForm(name); form != SpecialForm::None) {
      BindSpecialForm(form, e, ctx);
      return;
    }
    const FunctionInfo* f = FindFunction(name);
    if (!f) RaiseUndefinedFunction(name, FunctionHint(name), NearText(text_, e.span.begin, e.span.begin + name.size()));
    RequireArguments(e, static_cast<size_t>(f->minArgs), static_cast<size_t>(f->maxArgs));
    BindAll(e, ctx);
    std::vector<JetType> types;
    for (const auto& a : e.args) {
      if (a->type == JetType::Binary) RaiseTypeMismatch();
      types.push_back(a->type);
    }
    e.function = f;
    e.type = ResultType(*f, types);
  }


  // Whether e names columns of outer queries and none of the scope's own
  // tables (the executor would give such an aggregate to the outer query).
  static bool ReferencesOnlyOuterColumns(const Expr& e, const Scope& scope) {
    TableUse use;
    use.Visit(e);
    auto in = [](const std::vector<const TableInstance*>& v, const TableInstance* t) {
      return std::find(v.begin(), v.end(), t) != v.end();
    };
    bool inner = false, outer = false;
    for (const Expr* c : use.columns) {
      if (in(scope.tables, c->table)) inner = true;
      else if (!in(use.declared, c->table)) outer = true;
    }
    return outer && !inner;
  }

  JetType AggregateType(Aggregate agg, const Expr& arg) const {
    const JetType t = arg.type;
    switch (agg) {
      case Aggregate::Count: return JetType::Long;
      case Aggregate::Min:
      case Aggregate::Max:
      case Aggregate::First:
      case Aggregate::Last: return t;
      default: break;
    }
    if (t == JetType::Null) return agg == Aggregate::Sum ? JetType::Null : JetType::Double;
    if (!IsNumber(t) && t != JetType::Date) RaiseTypeMismatch();
    if (agg == Aggregate::Sum) {
      if (IsInteger(t)) return JetType::BigInt;
      if (t == JetType::Currency) return JetType::Currency;
      return JetType::Double;
    }
    if (agg == Aggregate::Avg && t == JetType::Date) return JetType::Date;
    return JetType::Double;
  }

  void BindSpecialForm(SpecialForm form, Expr& e, Context& ctx) {
    switch (form) {
      case SpecialForm::IIf:
        RequireArguments(e, 3, 3);
        BindAll(e, ctx);
        RequireCondition(*e.args[0]);
        e.type = Unify(e.args[1]->type, e.args[2]->type);
        break;
      case SpecialForm::Switch:
        RequireArguments(e, 2, 64);
        if (e.args.size() % 2 != 0) RaiseWrongArgumentCount(Text(e.span));
        BindAll(e, ctx);
        e.type = JetType::Null;
        for (size_t i = 0; i < e.args.size(); i += 2) {
          RequireCondition(*e.args[i]);
          e.type = Unify(e.type, e.args[i + 1]->type);
        }
        break;
      case SpecialForm::Choose:
        RequireArguments(e, 2, 64);
        BindAll(e, ctx);
        if (!IsNumber(e.args[0]->type) && e.args[0]->type != JetType::Null && !IsText(e.args[0]->type))
          RaiseTypeMismatch();
        e.type = JetType::Null;
        for (size_t i = 1; i < e.args.size(); ++i) e.type = Unify(e.type, e.args[i]->type);
        break;
      case SpecialForm::Nz:
        RequireArguments(e, 1, 2);
        BindAll(e, ctx);
        // Without a fallback, Null gives a zero-length text inside a query:
        // Nz(x) is Nz(x, ''), so its values are texts (Binary keeps its type).
        if (e.args.size() == 2) e.type = Unify(e.args[0]->type, e.args[1]->type);
        else e.type = e.args[0]->type == JetType::Binary ? JetType::Binary : Unify(e.args[0]->type, JetType::Text);
        break;
      case SpecialForm::IsNull:
        RequireArguments(e, 1, 1);
        BindAll(e, ctx);
        e.type = JetType::Boolean;
        break;
      case SpecialForm::CVar:
        RequireArguments(e, 1, 1);
        BindAll(e, ctx);
        e.type = e.args[0]->type;
        e.width = e.args[0]->width;
        break;
      case SpecialForm::None: break;
    }
  }

  Catalog& catalog_;
  std::string_view text_;
  BoundStatement& bound_;
  const std::vector<ParameterDecl>& parameters_;
};

}  // namespace

std::vector<std::string> OutputNames(const SelectCore& core, const std::vector<std::string>& named) {
  const size_t n = core.items.size() + named.size();
  std::vector<std::string> out(n);
  std::vector<bool> fromColumn(n, false);
  for (size_t i = 0; i < n; ++i) {
    if (i >= core.items.size()) {
      out[i] = named[i - core.items.size()];
      if (out[i].empty()) out[i] = "Expr" + std::to_string(1000 + i);
      continue;
    }
    const SelectItem& item = core.items[i];
    const Expr& e = *item.expr;
    if (item.hasAlias) {
      out[i] = item.alias;
    } else if (e.kind == ExprKind::Column) {
      out[i] = e.table->columns[e.column].name;
      fromColumn[i] = true;
    } else {
      out[i] = "Expr" + std::to_string(1000 + i);
    }
  }
  // Column names that would appear twice are qualified with their table.
  std::vector<std::string> names(out);
  for (size_t i = 0; i < n; ++i) {
    if (!fromColumn[i]) continue;
    for (size_t j = 0; j < n; ++j)
      if (j != i && EqualsNoCase(out[i], out[j])) {
        names[i] = core.items[i].expr->table->qualifier + "." + out[i];
        break;
      }
  }
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < i; ++j)
      if (EqualsNoCase(names[i], names[j])) {
        names[i] = "Expr" + std::to_string(1000 + i);
        break;
      }
  return names;
}

void TableUse::Visit(const Expr& e) {
  if (e.kind == ExprKind::Column && e.table) columns.push_back(&e);
  for (const auto& a : e.args) Visit(*a);
  if (e.subquery) Visit(*e.subquery);
}

void TableUse::Visit(const Query& q) {
  for (const auto& core : q.cores) {
    declared.insert(declared.end(), core.tables.begin(), core.tables.end());
    for (const auto& item : core.items) Visit(*item.expr);
    for (const auto* clause : {core.where.get(), core.having.get()})
      if (clause) Visit(*clause);
    for (const auto& key : core.groupBy) Visit(*key);
    if (core.from) Visit(*core.from);
  }
  for (const auto& item : q.orderBy) Visit(*item.expr);
}

void TableUse::Visit(const FromNode& node) {
  if (node.on) Visit(*node.on);
  if (node.derived) Visit(*node.derived);
  if (node.left) Visit(*node.left);
  if (node.right) Visit(*node.right);
}

bool SameExpression(const Expr& a, const Expr& b) {
  if (a.kind != b.kind || a.op != b.op || a.negated != b.negated || a.all != b.all || a.distinct != b.distinct ||
      a.caseOperand != b.caseOperand)
    return false;
  if (a.args.size() != b.args.size()) return false;
  switch (a.kind) {
    case ExprKind::Literal:
      if (!(a.value == b.value)) return false;
      break;
    case ExprKind::Column:
      if (a.table != b.table || a.column != b.column || !a.table) return false;
      break;
    case ExprKind::Call:
      if (!EqualsNoCase(a.names[0], b.names[0])) return false;
      break;
    case ExprKind::Exists:
    case ExprKind::InSubquery:
    case ExprKind::Quantified:
    case ExprKind::ScalarSubquery:
      if (a.subquery != b.subquery) return false;
      break;
    default: break;
  }
  for (size_t i = 0; i < a.args.size(); ++i)
    if (!SameExpression(*a.args[i], *b.args[i])) return false;
  return true;
}

void Bind(Statement& statement, Catalog& catalog, std::string_view text, BoundStatement& bound) {
  Binder(catalog, text, bound, statement.parameters).BindQuery(*statement.query, nullptr, statement.crosstab.get());
}

}  // namespace vendrel::driver::sql

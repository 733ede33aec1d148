#include "shrink.h"

#include <algorithm>

namespace vendrel::tester {

namespace {

// Every expression of the trial, parents before their arguments, in one
// fixed order: a number names one of them.
void EachExpr(Expr& e, const std::function<void(Expr&)>& visit) {
  visit(e);
  for (Expr& a : e.args) EachExpr(a, visit);
}

void EachExpr(FromNode& node, const std::function<void(Expr&)>& visit) {
  if (node.on) EachExpr(*node.on, visit);
  for (FromNode& side : node.sides) EachExpr(side, visit);
}

void EachExpr(Trial& trial, const std::function<void(Expr&)>& visit) {
  for (Core& core : trial.statement.cores) {
    for (SelectItem& item : core.items) EachExpr(item.expr, visit);
    if (core.from) EachExpr(*core.from, visit);
    if (core.where) EachExpr(*core.where, visit);
    for (Expr& key : core.groupBy) EachExpr(key, visit);
    if (core.having) EachExpr(*core.having, visit);
  }
  for (OrderKey& key : trial.statement.orderBy)
    if (key.expr) EachExpr(*key.expr, visit);
  if (Crosstab* crosstab = trial.statement.crosstab ? &*trial.statement.crosstab : nullptr) {
    EachExpr(crosstab->value, visit);
    EachExpr(crosstab->pivot, visit);
    for (Expr& listed : crosstab->listed) EachExpr(listed, visit);
  }
  if (trial.predicate) EachExpr(*trial.predicate, visit);
}

Expr* NthExpr(Trial& trial, size_t n) {
  Expr* found = nullptr;
  size_t at = 0;
  EachExpr(trial, [&](Expr& e) {
    if (at++ == n) found = &e;
  });
  return found;
}

// The flags of every expression made again from what each node is itself.
void RefreshFlags(Trial& trial) {
  for (Core& core : trial.statement.cores) {
    for (SelectItem& item : core.items) item.expr.Refresh();
    if (core.where) core.where->Refresh();
    for (Expr& key : core.groupBy) key.Refresh();
    if (core.having) core.having->Refresh();
    std::function<void(FromNode&)> from = [&](FromNode& node) {
      if (node.on) node.on->Refresh();
      for (FromNode& side : node.sides) from(side);
    };
    if (core.from) from(*core.from);
  }
  if (trial.statement.crosstab) trial.statement.crosstab->value.Refresh();
  if (trial.predicate) trial.predicate->Refresh();
}

Expr SimplestOf(Kind kind) {
  switch (kind) {
    case Kind::Number: return Expr::Leaf(kind, "1");
    case Kind::Text: return Expr::Leaf(kind, "'a'");
    case Kind::Date: return Expr::Leaf(kind, "#1/1/2000#");
    case Kind::Boolean: return Expr::Leaf(kind, "True");
  }
  return Expr::Leaf(kind, "Null");
}

class Shrinker {
 public:
  Shrinker(Database& database, Trial& trial, const StillFails& stillFails)
      : database_(database), trial_(trial), stillFails_(stillFails) {}

  void Run() {
    // Rows first: every later try is quicker on small tables.
    ShrinkRows();
    for (bool progress = true; progress;) {
      progress = false;
      progress |= ShrinkClauses();
      progress |= ShrinkExpressions();
      progress |= ShrinkRows();
      progress |= ShrinkColumns();
    }
  }

 private:
  bool Try(const Database& database, const Trial& trial) {
    if (!stillFails_(database, trial)) return false;
    database_ = database;
    trial_ = trial;
    return true;
  }
  bool Try(const Trial& trial) { return Try(database_, trial); }
  bool Try(const Database& database) { return Try(database, trial_); }

  bool ShrinkRows() {
    bool progress = false;
    for (size_t t = 0; t < database_.size(); ++t) {
      // Halves, quarters... then single rows.
      for (size_t chunk = std::max<size_t>(database_[t].rows.size() / 2, 1); chunk >= 1; chunk /= 2) {
        for (size_t start = 0; start < database_[t].rows.size();) {
          Database smaller = database_;
          auto& rows = smaller[t].rows;
          rows.erase(rows.begin() + static_cast<long>(start),
                     rows.begin() + static_cast<long>(std::min(start + chunk, rows.size())));
          if (Try(smaller))
            progress = true;
          else
            start += chunk;
        }
        if (chunk == 1) break;
      }
    }
    return progress;
  }

  bool ShrinkColumns() {
    bool progress = false;
    for (size_t t = 0; t < database_.size(); ++t) {
      for (size_t c = database_[t].columns.size(); c-- > 0;) {
        if (database_[t].columns.size() == 1) break;
        Database smaller = database_;
        smaller[t].columns.erase(smaller[t].columns.begin() + static_cast<long>(c));
        for (auto& row : smaller[t].rows) row.erase(row.begin() + static_cast<long>(c));
        progress |= Try(smaller);
      }
    }
    for (size_t t = database_.size(); t-- > 0;) {
      if (database_.size() == 1) break;
      Database smaller = database_;
      smaller.erase(smaller.begin() + static_cast<long>(t));
      progress |= Try(smaller);
    }
    return progress;
  }

  bool ShrinkClauses() {
    bool progress = false;
    Statement& s = trial_.statement;
    for (size_t i = s.cores.size(); i-- > 0 && s.cores.size() > 1;) {
      Trial t = trial_;
      t.statement.cores.erase(t.statement.cores.begin() + static_cast<long>(i));
      t.statement.unionAll.erase(t.statement.unionAll.begin() + static_cast<long>(i == 0 ? 0 : i - 1));
      progress |= Try(t);
    }
    for (size_t i = s.orderBy.size(); i-- > 0;) {
      Trial t = trial_;
      t.statement.orderBy.erase(t.statement.orderBy.begin() + static_cast<long>(i));
      progress |= Try(t);
    }
    for (size_t c = 0; c < trial_.statement.cores.size(); ++c) {
      auto core = [&](Trial& t) -> Core& { return t.statement.cores[c]; };
      for (size_t i = core(trial_).items.size(); i-- > 0 && core(trial_).items.size() > 1;) {
        Trial t = trial_;
        core(t).items.erase(core(t).items.begin() + static_cast<long>(i));
        if (i < core(t).kinds.size()) core(t).kinds.erase(core(t).kinds.begin() + static_cast<long>(i));
        progress |= Try(t);
      }
      for (size_t i = core(trial_).groupBy.size(); i-- > 0;) {
        Trial t = trial_;
        core(t).groupBy.erase(core(t).groupBy.begin() + static_cast<long>(i));
        progress |= Try(t);
      }
      const auto drop = [&](auto member) {
        Trial t = trial_;
        auto& part = core(t).*member;
        if (!part) return;
        part.reset();
        progress |= Try(t);
      };
      drop(&Core::where);
      drop(&Core::having);
      drop(&Core::top);
      if (!core(trial_).quantifier.empty()) {
        Trial t = trial_;
        core(t).quantifier.clear();
        progress |= Try(t);
      }
      // A join by one of its sides.
      for (bool again = true; again;) {
        again = false;
        if (!core(trial_).from || core(trial_).from->shape != FromNode::Shape::Join) break;
        for (size_t side = 0; side < 2 && !again; ++side) {
          Trial t = trial_;
          FromNode kept = core(t).from->sides[side];
          core(t).from = std::move(kept);
          again = Try(t);
          progress |= again;
        }
      }
    }
    return progress;
  }

  bool ShrinkExpressions() {
    bool progress = false;
    for (size_t n = 0;; ++n) {
      Expr* e = NthExpr(trial_, n);
      if (!e) break;
      std::vector<Expr> simpler;
      for (const Expr& a : e->args)
        if (a.kind == e->kind) simpler.push_back(a);
      if (!e->simple) simpler.push_back(SimplestOf(e->kind));
      for (const Expr& replacement : simpler) {
        Trial t = trial_;
        *NthExpr(t, n) = replacement;
        RefreshFlags(t);
        if (Try(t)) {
          progress = true;
          break;
        }
      }
    }
    return progress;
  }

  Database& database_;
  Trial& trial_;
  const StillFails& stillFails_;
};

}  // namespace

void Shrink(Database& database, Trial& trial, const StillFails& stillFails) {
  Shrinker(database, trial, stillFails).Run();
}

}  // namespace vendrel::tester

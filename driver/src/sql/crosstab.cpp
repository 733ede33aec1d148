#include "sql/crosstab.h"

#include "sql/binder.h"
#include "sql/codegen.h"
#include "sql/errors.h"
#include "sql/types.h"
#include "vendrel/dataaccess/convert.h"

namespace vendrel::driver::sql {

namespace {

size_t MaxPivotValues(const Statement& statement) {
  const size_t headings = statement.query->columns.size();
  return headings < kMaxResultFields ? kMaxResultFields - headings : 0;
}

}  // namespace

PivotPass PlanPivotPass(const Statement& statement) {
  PivotPass pass;
  pass.type = statement.crosstab->pivot->type;
  pass.maxValues = MaxPivotValues(statement);
  pass.sql = GeneratePivotPassSql(*statement.query, *statement.crosstab, pass.maxValues);
  return pass;
}

std::vector<Variant> ListedPivotValues(const Crosstab& crosstab) {
  std::vector<Variant> values;
  for (const ExprPtr& listed : crosstab.listedValues) values.push_back(listed->value);
  return values;
}

CrosstabLayout LayOutCrosstab(const Statement& statement, std::string_view text, std::vector<Variant> values) {
  const Query& query = *statement.query;
  const Crosstab& crosstab = *statement.crosstab;
  if (values.size() > MaxPivotValues(statement))
    RaiseTooManyPivotColumns(TextOf(text, crosstab.pivot->span), MaxPivotValues(statement), query.columns.size());
  std::vector<std::string> headings;
  for (const Variant& v : values) headings.push_back(v.IsNull() ? "<>" : ToText(v));
  const std::vector<std::string> names = OutputNames(query.cores.front(), headings);
  CrosstabLayout layout;
  layout.columns = query.columns;
  const JetType cell = crosstab.value->type;
  for (size_t i = 0; i < values.size(); ++i)
    layout.columns.push_back({"", cell, IsText(cell) ? crosstab.value->width : 0});
  for (size_t i = 0; i < layout.columns.size(); ++i) layout.columns[i].name = names[i];
  layout.values = std::move(values);
  return layout;
}

}  // namespace vendrel::driver::sql

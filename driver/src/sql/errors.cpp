#include "sql/errors.h"

#include "core/errors.h"

namespace vendrel::driver::sql {

namespace {
[[noreturn]] void Syntax(std::string text, std::string_view hint = {}) {
  if (!hint.empty()) {
    text += ' ';
    text += hint;
  }
  RaiseDriverError(hr::kSyntaxError, std::move(text));
}
std::string Quoted(std::string_view before, std::string_view name, std::string_view after) {
  std::string s(before);
  s += name;
  s += after;
  return s;
}
}  // namespace

void RaiseMissingOperator(std::string_view expression, std::string_view hint) {
  Syntax(Quoted("Syntax error (missing operator) in query expression '", expression, "'."), hint);
}
void RaiseClauseError(std::string_view clause, std::string_view hint) {
  Syntax(Quoted("Syntax error in ", clause, "."), hint);
}
void RaiseBadString(std::string_view expression) {
  Syntax(Quoted("Syntax error in string in query expression '", expression, "'."));
}
void RaiseBadDate(std::string_view expression) {
  Syntax(Quoted("Syntax error in date in query expression '", expression, "'."));
}
void RaiseBadBracketing(std::string_view name) { Syntax(Quoted("Invalid bracketing of name '", name, "'.")); }
void RaiseTextAfterEnd(std::string_view hint) { Syntax("Characters found after end of SQL statement.", hint); }
void RaiseNotSelect() {
  Syntax("Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
}
void RaiseBadSelectList(std::string_view hint) {
  Syntax(
      "The SELECT statement includes a reserved word or an argument name that is misspelled or missing, or the "
      "punctuation is incorrect.",
      hint);
}
void RaiseTooComplex() { Syntax("Query is too complex."); }
void RaiseUnknownField(std::string_view name, std::string_view suggestion) {
  std::string text = Quoted("The Microsoft Jet database engine does not recognize '", name,
                            "' as a valid field name or expression.");
  if (!suggestion.empty()) text += Quoted(" Did you mean '", suggestion, "'?");
  RaiseDriverError(hr::kNoValueGiven, std::move(text));
}
void RaiseTableNotFound(std::string_view name) {
  RaiseDriverError(hr::kTableNotFound,
                   Quoted("The Microsoft Jet database engine cannot find the input table or query '", name,
                          "'.  Make sure it exists and that its name is spelled correctly."));
}
void RaiseNotGrouped(std::string_view expression) {
  Syntax(Quoted("You tried to execute a query that does not include the specified expression '", expression,
                "' as part of an aggregate function."));
}
void RaiseTypeMismatch(std::string_view hint) {
  std::string text = "Data type mismatch in criteria expression.";
  if (!hint.empty()) {
    text += ' ';
    text += hint;
  }
  RaiseDriverError(hr::kTypeMismatch, std::move(text));
}
void RaiseUndefinedFunction(std::string_view name) { Syntax(Quoted("Undefined function '", name, "' in expression.")); }
void RaiseWrongArgumentCount(std::string_view expression) {
  Syntax(Quoted("Wrong number of arguments used with function in query expression '", expression, "'."));
}
void RaiseAmbiguousField(std::string_view name) {
  Syntax(Quoted("The specified field '", name,
                "' could refer to more than one table listed in the FROM clause of your SQL statement."));
}
void RaiseUnionWidths() {
  Syntax("The number of columns in the two selected tables or queries of a union query don't match.");
}
void RaiseAggregateMisplaced(std::string_view where, std::string_view expression) {
  Syntax(Quoted(Quoted("Cannot have aggregate function in ", where, " ("), expression, ")."));
}
void RaiseOrderByConflictsWithDistinct(std::string_view expression) {
  Syntax(Quoted("ORDER BY clause (", expression, ") conflicts with DISTINCT."));
}
void RaiseSubqueryColumns() {
  Syntax(
      "You have written a subquery that can return more than one field without using the EXISTS reserved word in "
      "the main query's FROM clause. Revise the SELECT statement of the subquery to request only one field.");
}
void RaiseDuplicateAlias(std::string_view alias) { Syntax(Quoted("Duplicate output alias '", alias, "'.")); }
void RaiseDuplicateTable(std::string_view name) {
  Syntax("Syntax error in FROM clause.", Quoted("The name '", name, "' stands for two tables."));
}

void RaiseParameterWithoutValue(std::string_view name) {
  RaiseDriverError(hr::kNoValueGiven,
                   Quoted("No value given for one or more required parameters. The statement uses the parameter '",
                          name, "', declared in PARAMETERS, and no values can be given for parameters here."));
}
void RaiseTooManyPivotColumns(std::string_view pivot, size_t columns, size_t headings) {
  Syntax("Too many crosstab column headings: the PIVOT expression '" + std::string(pivot) + "' has more than " +
         std::to_string(columns) + " values. A result holds at most " + std::to_string(columns + headings) +
         " fields, and the row headings take " + std::to_string(headings) + " of them.");
}

}  // namespace vendrel::driver::sql

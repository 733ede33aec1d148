#include "sql/errors.h"

#include <algorithm>

#include "core/errors.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::sql {

namespace {
std::string WithHint(std::string text, std::string_view hint) {
  if (!hint.empty()) {
    text += ' ';
    text += hint;
  }
  return text;
}
[[noreturn]] void Syntax(std::string text, std::string_view hint = {}) {
  RaiseDriverError(hr::kSyntaxError, WithHint(std::move(text), hint));
}
std::string Quoted(std::string_view before, std::string_view name, std::string_view after) {
  std::string s(before);
  s += name;
  s += after;
  return s;
}
}  // namespace

size_t CharacterNumber(std::string_view statement, size_t offset) {
  return CodePointCount(statement.substr(0, std::min(offset, statement.size()))) + 1;
}

std::string NearText(std::string_view statement, size_t begin, size_t end) {
  constexpr size_t kShown = 40;
  std::string shown(statement.substr(begin, end - begin));
  if (shown.size() > kShown) {
    size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) --cut;
    shown = shown.substr(0, cut) + "...";
  }
  for (char& c : shown)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return "Near '" + shown + "' at character " + std::to_string(CharacterNumber(statement, begin)) + ".";
}

namespace {
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}
}  // namespace

std::string ClosestName(std::string_view wanted, const std::vector<std::string>& candidates) {
  const std::string folded = FoldCase(wanted);
  std::string best;
  size_t bestDistance = std::max<size_t>(2, folded.size() / 3) + 1;
  for (const std::string& candidate : candidates) {
    const size_t d = EditDistance(folded, FoldCase(candidate));
    if (d < bestDistance) {
      bestDistance = d;
      best = candidate;
    }
  }
  return best;
}

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
void RaiseNotSelect(std::string_view firstWord, std::string_view near) {
  std::string text = "Invalid SQL statement; expected 'SELECT', 'TRANSFORM' or 'PARAMETERS'.";
  if (near.empty()) {
    text += " The statement is empty.";
  } else {
    text += " Only queries (SELECT, and TRANSFORM crosstabs) run here, reading the tables without changing them";
    text += firstWord.empty() ? std::string(".") : Quoted(": '", firstWord, "' statements do not run.");
    text += ' ';
    text += near;
  }
  RaiseDriverError(hr::kSyntaxError, std::move(text));
}
void RaiseBadSelectList(std::string_view hint) {
  Syntax(
      "The SELECT statement includes a reserved word or an argument name that is misspelled or missing, or the "
      "punctuation is incorrect.",
      hint);
}
void RaiseTooComplex() { Syntax("Query is too complex."); }
void RaiseUnknownField(std::string_view name, std::string_view suggestion, std::string_view near,
                       std::string_view hint) {
  std::string text = Quoted("The Microsoft Jet database engine does not recognize '", name,
                            "' as a valid field name or expression.");
  if (!suggestion.empty()) text += Quoted(" Did you mean '", suggestion, "'?");
  RaiseDriverError(hr::kNoValueGiven, WithHint(WithHint(std::move(text), hint), near));
}
void RaiseTableNotFound(std::string_view name, std::string_view suggestion, std::string_view near) {
  std::string text = Quoted("The Microsoft Jet database engine cannot find the input table or query '", name,
                            "'.  Make sure it exists and that its name is spelled correctly.");
  if (!suggestion.empty()) text += Quoted(" Did you mean '", suggestion, "'?");
  RaiseDriverError(hr::kTableNotFound, WithHint(std::move(text), near));
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
void RaiseUndefinedFunction(std::string_view name, std::string_view hint, std::string_view near) {
  Syntax(WithHint(WithHint(Quoted("Undefined function '", name, "' in expression."), hint), near));
}
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

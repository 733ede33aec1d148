#pragma once
// The driver's reading of a statement into tokens, for components that work
// on statements before they reach the driver and must see them as it does.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrel::driver {

enum class SqlTokenKind {
  Name,        // a plain word; `reserved` tells whether the dialect keeps it as a keyword
  QuotedName,  // [in brackets] or `in backquotes`
  String,      // '...' or "..."
  Number,
  Date,      // #...#
  Operator,  // + - * / \ ^ & = <> < > <= >= ( ) , . ; !
  Invalid,   // text the driver cannot read; it runs to the end of the statement
};

struct SqlToken {
  SqlTokenKind kind = SqlTokenKind::Invalid;
  bool reserved = false;  // Name only: SELECT, FROM, AS, JOIN, ...
  std::string text;       // a name without its brackets, a string's contents, an operator
  size_t begin = 0;       // byte range in the statement, brackets and quotes included
  size_t end = 0;
};

// Every token of the statement, in order; white space and comments ("--" to
// the end of the line, "/* ... */") between them are not tokens. Nothing
// follows an Invalid token.
std::vector<SqlToken> TokenizeSql(std::string_view statement);

// Where the first statement of `text` ends: just after the first ";" outside
// quotes, brackets, date literals and comments (after the second when the
// statement begins with a PARAMETERS declaration, which ends in one);
// nothing while none stands there, or while one of those is still open at
// the end of the text.
std::optional<size_t> SqlStatementEnd(std::string_view text);

// Whether the text holds nothing but white space and closed comments.
bool SqlHoldsNoTokens(std::string_view text);

}  // namespace vendrel::driver

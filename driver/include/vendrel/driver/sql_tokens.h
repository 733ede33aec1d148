#pragma once
// The driver's reading of a statement into tokens, for components that work
// on statements before they reach the driver and must see them as it does.

#include <cstddef>
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

// Every token of the statement, in order; white space between them is not a
// token. Nothing follows an Invalid token.
std::vector<SqlToken> TokenizeSql(std::string_view statement);

}  // namespace vendrel::driver

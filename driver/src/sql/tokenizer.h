#pragma once
// Splits a Jet-dialect statement into tokens. Lexical faults do not raise:
// they become an Invalid token, so the parser can name the clause they are in.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrel::driver::sql {

enum class TokenKind {
  End,
  Identifier,        // plain word (may be a keyword)
  QuotedIdentifier,  // [in brackets] or `in backquotes`
  String,
  Number,
  Date,
  Operator,  // + - * / \ ^ & = <> < > <= >= ( ) , . ; !
  Invalid,
};

enum class Keyword {
  None,
  All, And, Any, As, Asc, Between, By, Desc, Distinct, DistinctRow, Eqv, Exists, False, From, Full,
  Group, Having, Imp, In, Inner, Is, Join, Left, Like, Mod, Not, Null, On, Or, Order, Outer, Percent,
  Right, Select, Some, Top, True, Union, Where, Xor,
};

enum class LexError {
  None,
  UnterminatedString,
  UnterminatedBracket,
  UnterminatedComment,
  BadDate,
  UnexpectedCharacter,
};

struct Token {
  TokenKind kind = TokenKind::End;
  Keyword keyword = Keyword::None;  // for Identifier only
  std::string text;  // identifier without brackets, string contents, operator, number as written
  size_t begin = 0;  // byte offsets in the statement
  size_t end = 0;
  // Number: whole numbers that fit 64 bits keep their exact value.
  bool isWhole = false;
  int64_t whole = 0;
  double real = 0;  // Number as a double, or Date as a serial
  LexError error = LexError::None;

  bool Is(Keyword k) const { return kind == TokenKind::Identifier && keyword == k; }
  bool IsOperator(std::string_view op) const { return kind == TokenKind::Operator && text == op; }
};

// The reserved words, in upper case.
std::vector<std::string_view> KeywordNames();

// The last token is always End (after an Invalid token the rest is not read).
// Comments are white space: "--" to the end of the line and "/* ... */",
// outside quotes, brackets and date literals; a "/*" without its "*/" is an
// Invalid token.
std::vector<Token> Tokenize(std::string_view statement);

// Where the first statement of `text` ends: just after the first ";" that
// is a token (the second, when the statement begins with a PARAMETERS
// declaration, which ends in one); nothing while none is, or while a quote,
// bracket, date or comment is still open at the end. A character the dialect
// does not know does not stop the search.
std::optional<size_t> StatementEnd(std::string_view text);
// Whether the text holds nothing but white space and closed comments.
bool HoldsNoTokens(std::string_view text);

}  // namespace vendrel::driver::sql

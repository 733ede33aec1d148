#include "vendrel/driver/sql_tokens.h"

#include "sql/tokenizer.h"

namespace vendrel::driver {

namespace {

SqlTokenKind PublicKind(sql::TokenKind kind) {
  switch (kind) {
    case sql::TokenKind::Identifier: return SqlTokenKind::Name;
    case sql::TokenKind::QuotedIdentifier: return SqlTokenKind::QuotedName;
    case sql::TokenKind::String: return SqlTokenKind::String;
    case sql::TokenKind::Number: return SqlTokenKind::Number;
    case sql::TokenKind::Date: return SqlTokenKind::Date;
    case sql::TokenKind::Operator: return SqlTokenKind::Operator;
    case sql::TokenKind::End:
    case sql::TokenKind::Invalid: break;
  }
  return SqlTokenKind::Invalid;
}

}  // namespace

std::vector<SqlToken> TokenizeSql(std::string_view statement) {
  std::vector<sql::Token> tokens = sql::Tokenize(statement);
  std::vector<SqlToken> out;
  out.reserve(tokens.size());
  for (sql::Token& t : tokens) {
    if (t.kind == sql::TokenKind::End) break;
    SqlToken token;
    token.kind = PublicKind(t.kind);
    token.reserved = t.kind == sql::TokenKind::Identifier && t.keyword != sql::Keyword::None;
    token.text = std::move(t.text);
    token.begin = t.begin;
    token.end = t.end;
    out.push_back(std::move(token));
  }
  return out;
}

std::optional<size_t> SqlStatementEnd(std::string_view text) { return sql::StatementEnd(text); }

bool SqlHoldsNoTokens(std::string_view text) { return sql::HoldsNoTokens(text); }

}  // namespace vendrel::driver

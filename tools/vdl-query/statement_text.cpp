#include "statement_text.h"

namespace vendrel::vdlquery {

namespace {

// The character that closes the quoted part `c` opens, or 0.
char ClosingOf(char c) {
  switch (c) {
    case '\'':
    case '"':
    case '`': return c;
    case '[': return ']';
    default: return 0;
  }
}

// Whether the text begins with a PARAMETERS declaration, whose ";" comes
// before the statement it declares for.
bool BeginsWithDeclaration(std::string_view text) {
  const size_t start = text.find_first_not_of(" \t\r\n");
  constexpr std::string_view kWord = "parameters";
  if (start == std::string_view::npos || text.size() - start <= kWord.size()) return false;
  for (size_t i = 0; i < kWord.size(); ++i)
    if ((text[start + i] | 0x20) != kWord[i]) return false;
  const char after = text[start + kWord.size()];
  return after == ' ' || after == '\t' || after == '\r' || after == '\n' || after == '[';
}

}  // namespace

std::optional<size_t> StatementEnd(std::string_view text) {
  char closing = 0;
  bool declaration = BeginsWithDeclaration(text);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (closing != 0) {
      if (c == closing) closing = 0;  // a doubled quote reopens at once
    } else if (c == ';' && declaration) {
      declaration = false;
    } else if (c == ';') {
      return i + 1;
    } else {
      closing = ClosingOf(c);
    }
  }
  return std::nullopt;
}

std::string StatementForExecute(std::string_view sql) {
  std::string out;
  out.reserve(sql.size() + 1);
  char closing = 0;  // the character that ends the quoted part we are in
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (closing != 0) {
      out += c;
      if (c == closing) closing = 0;  // a doubled quote reopens at once
      continue;
    }
    closing = ClosingOf(c);
    out += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
  }
  if (closing == 0) {
    const size_t end = out.find_last_not_of(' ');
    if (end != std::string::npos && out[end] == ';' && (end == 0 || out[end - 1] != ' ')) {
      out.resize(end);
      out += " ;";
    }
  }
  return out;
}

}  // namespace vendrel::vdlquery

#include "sql/tokenizer.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::sql {

namespace {

constexpr std::pair<std::string_view, Keyword> kKeywords[] = {
    {"all", Keyword::All},         {"and", Keyword::And},
    {"any", Keyword::Any},         {"as", Keyword::As},
    {"asc", Keyword::Asc},         {"between", Keyword::Between},
    {"by", Keyword::By},           {"desc", Keyword::Desc},
    {"distinct", Keyword::Distinct}, {"distinctrow", Keyword::DistinctRow},
    {"eqv", Keyword::Eqv},         {"exists", Keyword::Exists},
    {"false", Keyword::False},     {"from", Keyword::From},
    {"full", Keyword::Full},       {"group", Keyword::Group},
    {"having", Keyword::Having},   {"imp", Keyword::Imp},
    {"in", Keyword::In},           {"inner", Keyword::Inner},
    {"is", Keyword::Is},           {"join", Keyword::Join},
    {"left", Keyword::Left},       {"like", Keyword::Like},
    {"mod", Keyword::Mod},         {"not", Keyword::Not},
    {"null", Keyword::Null},       {"on", Keyword::On},
    {"or", Keyword::Or},           {"order", Keyword::Order},
    {"outer", Keyword::Outer},     {"percent", Keyword::Percent},
    {"right", Keyword::Right},     {"select", Keyword::Select},
    {"some", Keyword::Some},       {"top", Keyword::Top},
    {"true", Keyword::True},       {"union", Keyword::Union},
    {"where", Keyword::Where},     {"xor", Keyword::Xor},
};

}  // namespace

std::vector<std::string_view> KeywordNames() {
  static const std::vector<std::string> upper = [] {
    std::vector<std::string> words;
    for (const auto& [name, keyword] : kKeywords) {
      std::string word(name);
      for (char& c : word) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
      words.push_back(std::move(word));
    }
    return words;
  }();
  return {upper.begin(), upper.end()};
}

namespace {

Keyword KeywordOf(std::string_view word) {
  if (word.size() > 11) return Keyword::None;
  char lower[12];
  for (size_t i = 0; i < word.size(); ++i) {
    const char c = word[i];
    lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  const std::string_view w(lower, word.size());
  for (const auto& [name, keyword] : kKeywords)
    if (name == w) return keyword;
  return Keyword::None;
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
// Letters, digits, underscore and every byte of a multi-byte UTF-8 character.
bool IsWordStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }
bool IsWordChar(unsigned char c) { return IsWordStart(c) || IsDigit(c); }
bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

class Lexer {
 public:
  // A lenient lexer reads on after a character it does not know and after a
  // date it cannot read, leaving no token for them.
  explicit Lexer(std::string_view s, bool lenient = false) : s_(s), lenient_(lenient) {}

  std::vector<Token> Run() {
    std::vector<Token> out;
    while (true) {
      if (!SkipSpaceAndComments()) {
        out.push_back(Invalid(pos_, LexError::UnterminatedComment));
        break;
      }
      if (pos_ >= s_.size()) break;
      const size_t begin = pos_;
      Token t = Next();
      if (lenient_ && (t.error == LexError::UnexpectedCharacter || (t.error == LexError::BadDate && t.end > begin + 1 &&
                                                                    s_[t.end - 1] == '#'))) {
        pos_ = t.error == LexError::UnexpectedCharacter ? begin + 1 : t.end;
        continue;
      }
      const bool stop = t.kind == TokenKind::Invalid;
      out.push_back(std::move(t));
      if (stop) break;
    }
    Token end;
    end.kind = TokenKind::End;
    end.begin = end.end = s_.size();
    out.push_back(std::move(end));
    return out;
  }

 private:
  unsigned char At(size_t i) const { return static_cast<unsigned char>(s_[i]); }

  // False at a "/*" that is never closed, which is left at pos_.
  bool SkipSpaceAndComments() {
    for (;;) {
      while (pos_ < s_.size() && IsSpace(At(pos_))) ++pos_;
      if (s_.substr(pos_, 2) == "--") {
        const size_t lineEnd = s_.find_first_of("\r\n", pos_);
        pos_ = lineEnd == std::string_view::npos ? s_.size() : lineEnd;
      } else if (s_.substr(pos_, 2) == "/*") {
        const size_t close = s_.find("*/", pos_ + 2);
        if (close == std::string_view::npos) return false;
        pos_ = close + 2;
      } else {
        return true;
      }
    }
  }

  Token Make(TokenKind kind, size_t begin, std::string text) {
    Token t;
    t.kind = kind;
    t.begin = begin;
    t.end = pos_;
    t.text = std::move(text);
    return t;
  }

  Token Invalid(size_t begin, LexError error) {
    pos_ = s_.size();
    Token t = Make(TokenKind::Invalid, begin, std::string(s_.substr(begin)));
    t.error = error;
    return t;
  }

  Token Next() {
    const size_t begin = pos_;
    const unsigned char c = At(pos_);
    if (IsWordStart(c)) return Word(begin);
    if (IsDigit(c) || (c == '.' && pos_ + 1 < s_.size() && IsDigit(At(pos_ + 1)))) return NumberToken(begin);
    if (c == '\'' || c == '"') return StringToken(begin, static_cast<char>(c));
    if (c == '[' || c == '`') return Quoted(begin, c == '[' ? ']' : '`');
    if (c == '#') return DateToken(begin);
    if (c == '<' || c == '>') {
      ++pos_;
      if (pos_ < s_.size() && (At(pos_) == '=' || (c == '<' && At(pos_) == '>'))) ++pos_;
      return Make(TokenKind::Operator, begin, std::string(s_.substr(begin, pos_ - begin)));
    }
    static constexpr std::string_view kSingles = "+-*/\\^&=(),.;!";
    if (kSingles.find(static_cast<char>(c)) != std::string_view::npos) {
      ++pos_;
      return Make(TokenKind::Operator, begin, std::string(1, static_cast<char>(c)));
    }
    return Invalid(begin, LexError::UnexpectedCharacter);
  }

  Token Word(size_t begin) {
    while (pos_ < s_.size()) {
      const unsigned char c = At(pos_);
      if (IsWordChar(c)) {
        ++pos_;
      } else if (c == '#' && pos_ + 1 < s_.size() && IsWordChar(At(pos_ + 1))) {
        ++pos_;  // file#ext names a file
      } else {
        break;
      }
    }
    Token t = Make(TokenKind::Identifier, begin, std::string(s_.substr(begin, pos_ - begin)));
    t.keyword = KeywordOf(t.text);
    return t;
  }

  Token NumberToken(size_t begin) {
    bool fraction = false;
    while (pos_ < s_.size() && IsDigit(At(pos_))) ++pos_;
    if (pos_ < s_.size() && At(pos_) == '.') {
      fraction = true;
      ++pos_;
      while (pos_ < s_.size() && IsDigit(At(pos_))) ++pos_;
    }
    if (pos_ < s_.size() && (At(pos_) == 'e' || At(pos_) == 'E')) {
      size_t p = pos_ + 1;
      if (p < s_.size() && (At(p) == '+' || At(p) == '-')) ++p;
      if (p < s_.size() && IsDigit(At(p))) {
        fraction = true;
        pos_ = p;
        while (pos_ < s_.size() && IsDigit(At(pos_))) ++pos_;
      }
    }
    const std::string_view text = s_.substr(begin, pos_ - begin);
    Token t = Make(TokenKind::Number, begin, std::string(text));
    if (!fraction) {
      auto r = std::from_chars(text.data(), text.data() + text.size(), t.whole);
      t.isWhole = r.ec == std::errc() && r.ptr == text.data() + text.size();
    }
    std::string digits(text);
    if (!digits.empty() && digits.front() == '.') digits.insert(digits.begin(), '0');
    auto r = std::from_chars(digits.data(), digits.data() + digits.size(), t.real);
    if (r.ec == std::errc::result_out_of_range || !std::isfinite(t.real)) t.real = HUGE_VAL;
    return t;
  }

  Token StringToken(size_t begin, char quote) {
    std::string value;
    ++pos_;
    while (true) {
      if (pos_ >= s_.size()) return Invalid(begin, LexError::UnterminatedString);
      const char c = s_[pos_++];
      if (c == quote) {
        if (pos_ < s_.size() && s_[pos_] == quote) {
          value += quote;
          ++pos_;
          continue;
        }
        break;
      }
      value += c;
    }
    return Make(TokenKind::String, begin, std::move(value));
  }

  Token Quoted(size_t begin, char close) {
    const size_t at = s_.find(close, pos_ + 1);
    if (at == std::string_view::npos) return Invalid(begin, LexError::UnterminatedBracket);
    pos_ = at + 1;
    return Make(TokenKind::QuotedIdentifier, begin, std::string(s_.substr(begin + 1, at - begin - 1)));
  }

  Token DateToken(size_t begin) {
    const size_t at = s_.find('#', pos_ + 1);
    if (at == std::string_view::npos) return Invalid(begin, LexError::BadDate);
    const std::string_view body = s_.substr(begin + 1, at - begin - 1);
    auto date = ParseDate(body);
    if (!date) {
      pos_ = at + 1;
      Token t = Make(TokenKind::Invalid, begin, std::string(s_.substr(begin, pos_ - begin)));
      t.error = LexError::BadDate;
      pos_ = s_.size();
      return t;
    }
    pos_ = at + 1;
    Token t = Make(TokenKind::Date, begin, std::string(body));
    t.real = date->serial;
    return t;
  }

  std::string_view s_;
  bool lenient_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view statement) { return Lexer(statement).Run(); }

std::optional<size_t> StatementEnd(std::string_view text) {
  const std::vector<Token> tokens = Lexer(text, true).Run();
  // A PARAMETERS declaration ends in a ";" of its own, before the statement it declares for.
  bool declaration = tokens.front().kind == TokenKind::Identifier && EqualsNoCase(tokens.front().text, "parameters");
  for (const Token& t : tokens) {
    if (t.kind == TokenKind::Invalid) break;
    if (!t.IsOperator(";")) continue;
    if (!declaration) return t.end;
    declaration = false;
  }
  return std::nullopt;
}

bool HoldsNoTokens(std::string_view text) { return Lexer(text, true).Run().size() == 1; }

}  // namespace vendrel::driver::sql

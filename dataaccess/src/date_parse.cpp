#include "date_parse.h"

#include <array>
#include <cctype>
#include <cstddef>
#include <memory_resource>
#include <string>
#include <vector>

#include "vendrel/dataaccess/convert.h"

namespace vendrel {

namespace date_parse {

namespace {

constexpr double kSecondsPerDay = 86400;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct DateToken {
  enum Kind { Number, Month, Meridiem, Separator } kind;
  int value = 0;       // number, month 1..12, or 0 (AM) / 12 (PM)
  int digits = 0;      // digits of a number
  char separator = 0;  // for separators
};
using Tokens = std::pmr::vector<DateToken>;

int MonthFromName(std::string_view word) {
  static const char* names[] = {"january", "february", "march",     "april",   "may",      "june",
                                "july",    "august",   "september", "october", "november", "december"};
  std::string lower;
  for (char c : word) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (int i = 0; i < 12; ++i) {
    const std::string_view full = names[i];
    if (lower == full || (lower.size() == 3 && full.substr(0, 3) == lower) || (lower == "sept" && i == 8))
      return i + 1;
  }
  return 0;
}

// A date names at most three parts of the day, three of the time and AM or
// PM; more is no date. Nor is a text of thousands of tokens (separators
// between the parts are skipped, however many): a long text costs no more
// than its first tokens, and their memory stays small.
constexpr size_t kMostValues = 7;
constexpr size_t kMostTokens = 4096;
constexpr size_t kLongestWord = 9;  // "september"

bool TokenizeDate(std::string_view s, Tokens& tokens) {
  size_t i = 0;
  size_t values = 0;
  while (i < s.size()) {
    if (tokens.size() >= kMostTokens || values > kMostValues) return false;
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (std::isdigit(c)) {
      DateToken t{DateToken::Number};
      while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        if (t.digits >= 5) return false;
        t.value = t.value * 10 + (s[i] - '0');
        ++t.digits;
        ++i;
      }
      tokens.push_back(t);
      ++values;
    } else if (std::isalpha(c)) {
      size_t start = i;
      while (i < s.size() && i - start <= kLongestWord && std::isalpha(static_cast<unsigned char>(s[i]))) ++i;
      std::string_view word = s.substr(start, i - start);
      if (word.size() > kLongestWord) return false;  // no month name or AM/PM is that long
      if (word.size() == 1 && (word[0] == 'T' || word[0] == 't') && !tokens.empty()) {
        tokens.push_back({DateToken::Separator, 0, 0, ' '});
        continue;
      }
      std::string lower;
      for (char ch : word) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      if (lower == "am" || lower == "pm") {
        tokens.push_back({DateToken::Meridiem, lower == "pm" ? 12 : 0});
      } else if (int m = MonthFromName(word)) {
        tokens.push_back({DateToken::Month, m});
      } else {
        return false;
      }
      ++values;
    } else if (c == '/' || c == '-' || c == ':' || c == ',' || c == ' ' || c == '.') {
      if (c == '.' && (tokens.empty() || tokens.back().kind != DateToken::Number)) return false;
      if (c == ' ' || c == ',') {
        if (!tokens.empty() && tokens.back().kind == DateToken::Separator && tokens.back().separator == ' ') {
          ++i;
          continue;
        }
        tokens.push_back({DateToken::Separator, 0, 0, ' '});
      } else {
        tokens.push_back({DateToken::Separator, 0, 0, static_cast<char>(c)});
      }
      ++i;
    } else {
      return false;
    }
  }
  return values <= kMostValues;
}

int ExpandYear(const DateToken& t) {
  if (t.digits <= 2) return t.value < 30 ? 2000 + t.value : 1900 + t.value;
  return t.value;
}

// Reads digits at `at`: between 1 and `most` of them.
bool ReadDigits(std::string_view s, size_t& at, size_t most, int& value) {
  const size_t start = at;
  value = 0;
  while (at < s.size() && at - start < most && s[at] >= '0' && s[at] <= '9') value = value * 10 + (s[at++] - '0');
  return at > start;
}

// The form the system writes, "M/d/yyyy hh:mm:ss" (time optional, seconds
// too), month first: what the general reading below makes of it, without
// its tokens. Nullopt for anything else, which the general reading decides.
std::optional<std::optional<DateValue>> ParseWrittenDate(std::string_view s) {
  const char dateSep = Regional().dateSeparator, timeSep = Regional().timeSeparator;
  size_t at = 0;
  int month, day, year, hour = 0, minute = 0, second = 0;
  if (!ReadDigits(s, at, 2, month) || at >= s.size() || s[at++] != dateSep) return std::nullopt;
  if (!ReadDigits(s, at, 2, day) || at >= s.size() || s[at++] != dateSep) return std::nullopt;
  const size_t yearStart = at;
  if (!ReadDigits(s, at, 4, year) || at - yearStart != 4) return std::nullopt;
  if (at < s.size()) {
    if (s[at++] != ' ' || !ReadDigits(s, at, 2, hour) || at >= s.size() || s[at++] != timeSep ||
        !ReadDigits(s, at, 2, minute))
      return std::nullopt;
    if (at < s.size() && (s[at++] != timeSep || !ReadDigits(s, at, 2, second))) return std::nullopt;
    if (at != s.size()) return std::nullopt;
  }
  if (month < 1 || month > 12) return std::nullopt;  // perhaps day first
  return MakeDate(year, month, day, hour, minute, second);
}

// "yyyy-mm-dd", "yyyy/mm/dd", with " h:mm[:ss]" or "Th:mm[:ss]" after it:
// the year first, as the general reading takes a first number of four
// digits. Nullopt for anything else.
std::optional<std::optional<DateValue>> ParseIsoDate(std::string_view s) {
  const char timeSep = Regional().timeSeparator;
  auto dateSeparator = [&](size_t at) { return at < s.size() && (s[at] == '-' || s[at] == '/'); };
  size_t at = 0;
  int year, month, day, hour = 0, minute = 0, second = 0;
  if (!ReadDigits(s, at, 4, year) || at != 4 || !dateSeparator(at++)) return std::nullopt;
  if (!ReadDigits(s, at, 2, month) || !dateSeparator(at++)) return std::nullopt;
  if (!ReadDigits(s, at, 2, day)) return std::nullopt;
  if (at < s.size()) {
    if ((s[at] != ' ' && s[at] != 'T') || !ReadDigits(s, ++at, 2, hour) || at >= s.size() || s[at++] != timeSep ||
        !ReadDigits(s, at, 2, minute))
      return std::nullopt;
    if (at < s.size() && (s[at++] != timeSep || !ReadDigits(s, at, 2, second))) return std::nullopt;
    if (at != s.size()) return std::nullopt;
  }
  return MakeDate(year, month, day, hour, minute, second);
}

}  // namespace

std::string_view TrimWhiteSpace(std::string_view s) {
  // White space as the C library classifies it; ASCII without the library call.
  auto space = [](unsigned char c) { return c < 0x80 ? c == ' ' || (c >= '\t' && c <= '\r') : std::isspace(c) != 0; };
  while (!s.empty() && space(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && space(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::optional<std::optional<DateValue>> ParseCommonDateForm(std::string_view trimmed) {
  if (trimmed.size() < 8 || !IsDigit(trimmed[0])) return std::nullopt;
  if (auto written = ParseWrittenDate(trimmed)) return written;
  return ParseIsoDate(trimmed);
}

std::optional<DateValue> ParseAnyDateForm(std::string_view s) {
  if (s.empty()) return std::nullopt;
  // The tokens and parts of a date live on the stack; only a text of very
  // many tokens takes memory from the heap.
  std::array<std::byte, 2048> space;
  std::pmr::monotonic_buffer_resource arena(space.data(), space.size());
  Tokens t(&arena);
  t.reserve(24);
  if (!TokenizeDate(s, t)) return std::nullopt;

  // The time: h:mm[:ss] [AM|PM], or h AM|PM, at the end.
  int hour = 0, minute = 0, second = 0;
  bool hasTime = false;
  size_t end = t.size();
  while (end > 0 && t[end - 1].kind == DateToken::Separator && t[end - 1].separator == ' ') --end;
  int meridiem = -1;
  if (end > 0 && t[end - 1].kind == DateToken::Meridiem) {
    meridiem = t[end - 1].value;
    --end;
    while (end > 0 && t[end - 1].kind == DateToken::Separator && t[end - 1].separator == ' ') --end;
  }
  // Find the first ':' and take the time from the number before it.
  size_t colon = end;
  for (size_t i = 0; i < end; ++i)
    if (t[i].kind == DateToken::Separator && t[i].separator == ':') {
      colon = i;
      break;
    }
  size_t dateEnd = end;
  if (colon < end) {
    if (colon == 0 || t[colon - 1].kind != DateToken::Number) return std::nullopt;
    std::pmr::vector<int> parts(&arena);
    size_t i = colon - 1;
    dateEnd = i;
    parts.push_back(t[i].value);
    ++i;
    while (i + 1 < end && t[i].kind == DateToken::Separator && t[i].separator == ':' &&
           t[i + 1].kind == DateToken::Number) {
      parts.push_back(t[i + 1].value);
      i += 2;
    }
    if (i != end || parts.size() < 2 || parts.size() > 3) return std::nullopt;
    hour = parts[0];
    minute = parts[1];
    second = parts.size() == 3 ? parts[2] : 0;
    hasTime = true;
  } else if (meridiem >= 0 && end > 0 && t[end - 1].kind == DateToken::Number) {
    hour = t[end - 1].value;
    dateEnd = end - 1;
    hasTime = true;
  }
  if (meridiem >= 0) {
    if (!hasTime || hour < 1 || hour > 12) return std::nullopt;
    hour = hour % 12 + meridiem;
  }
  while (dateEnd > 0 && t[dateEnd - 1].kind == DateToken::Separator) --dateEnd;

  // The date: numbers and at most one month name, separated by / - space.
  Tokens parts(&arena);
  char separator = 0;
  for (size_t i = 0; i < dateEnd; ++i) {
    if (t[i].kind == DateToken::Separator) {
      if (t[i].separator == ':' || t[i].separator == '.') return std::nullopt;
      if (t[i].separator != ' ') separator = t[i].separator;
      continue;
    }
    if (t[i].kind == DateToken::Meridiem) return std::nullopt;
    parts.push_back(t[i]);
  }
  int year = 1899, month = 12, day = 30;
  if (!parts.empty()) {
    if (parts.size() != 3) return std::nullopt;
    int monthAt = -1;
    for (int i = 0; i < 3; ++i)
      if (parts[i].kind == DateToken::Month) {
        if (monthAt >= 0) return std::nullopt;
        monthAt = i;
      }
    if (monthAt >= 0) {
      month = parts[monthAt].value;
      Tokens numbers(&arena);
      for (int i = 0; i < 3; ++i)
        if (i != monthAt) numbers.push_back(parts[i]);
      if (numbers[0].digits >= 3) {  // 1970 Jan 2
        year = numbers[0].value;
        day = numbers[1].value;
      } else {  // 2 Jan 1970, Jan 2 1970
        day = numbers[0].value;
        year = ExpandYear(numbers[1]);
      }
    } else if (parts[0].digits >= 3) {  // ISO order
      year = parts[0].value;
      month = parts[1].value;
      day = parts[2].value;
    } else {
      const int a = parts[0].value, b = parts[1].value;
      year = ExpandYear(parts[2]);
      if (a <= 12) {
        month = a;
        day = b;
      } else if (b <= 12) {
        day = a;
        month = b;
      } else {
        return std::nullopt;
      }
    }
    (void)separator;
  } else if (!hasTime) {
    return std::nullopt;
  }
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  if (parts.empty()) return DateValue{(hour * 3600.0 + minute * 60.0 + second) / kSecondsPerDay};
  return MakeDate(year, month, day, hour, minute, second);
}

}  // namespace date_parse

std::optional<DateValue> ParseDate(std::string_view text) {
  const std::string_view s = date_parse::TrimWhiteSpace(text);
  if (auto common = date_parse::ParseCommonDateForm(s)) return *common;
  return date_parse::ParseAnyDateForm(s);
}

}  // namespace vendrel

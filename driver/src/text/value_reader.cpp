#include "text/value_reader.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::text {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// A plain number as a program writes it: [sign] digits [. digits] [E [sign] digits],
// or [sign] . digits; no leading zeros, no grouping, no currency symbol.
struct PlainNumber {
  bool ok = false;
  bool whole = false;       // no point and no exponent
  int significant = 0;      // digits without leading zeros
  bool nearLimits = false;  // a power of ten beyond 300 either way: perhaps beyond a double's range
};

PlainNumber ScanPlainNumber(std::string_view s) {
  PlainNumber out;
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const size_t intStart = i;
  while (i < s.size() && IsDigit(s[i])) ++i;
  const size_t intDigits = i - intStart;
  if (intDigits > 1 && s[intStart] == '0') return out;  // a code such as 007
  size_t fracDigits = 0;
  bool point = false;
  if (i < s.size() && s[i] == '.') {
    point = true;
    ++i;
    const size_t fracStart = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    fracDigits = i - fracStart;
    if (fracDigits == 0) return out;
  }
  if (intDigits == 0 && fracDigits == 0) return out;
  bool exponent = false;
  long power = 0;  // the exponent written, held at a size that is already far beyond any limit
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    exponent = true;
    ++i;
    const bool negativePower = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const size_t expStart = i;
    while (i < s.size() && IsDigit(s[i])) {
      power = std::min(power * 10 + (s[i] - '0'), 100000L);
      ++i;
    }
    if (i == expStart) return out;
    if (negativePower) power = -power;
  }
  if (i != s.size()) return out;
  int significant = 0;
  bool leading = true;
  long firstDigit = 0;  // the power of ten of the first significant digit, before the exponent
  long place = static_cast<long>(intDigits) - 1;
  for (size_t k = intStart; k < s.size() && (IsDigit(s[k]) || s[k] == '.'); ++k) {
    if (s[k] == '.') continue;
    if (leading && s[k] == '0') {
      --place;
      continue;
    }
    if (leading) firstDigit = place;
    leading = false;
    ++significant;
  }
  out.ok = true;
  out.whole = !point && !exponent;
  out.significant = significant;
  const long magnitude = firstDigit + power;
  out.nearLimits = significant > 0 && (magnitude > 300 || magnitude < -300);
  return out;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Most field texts are no such word: a first ASCII character that differs
// from the word's settles it without the full comparison.
bool IsWord(std::string_view s, std::string_view word) {
  if (s.empty() || word.empty()) return s.empty() && word.empty();
  if (static_cast<unsigned char>(s[0]) < 0x80 && AsciiLower(s[0]) != AsciiLower(word[0])) return false;
  return EqualsNoCase(s, word);
}

// Where the first two numbers of a date such as "13/01/2024 10:00" lie, when
// both are numbers of one or two digits followed by a separator and a third
// number: the dates whose reading depends on the day-month order.
struct LeadingNumbers {
  bool found = false;
  size_t firstEnd = 0, secondBegin = 0, secondEnd = 0;
  int first = 0, second = 0;
};

LeadingNumbers FindLeadingNumbers(std::string_view s) {
  LeadingNumbers out;
  auto digits = [&](size_t at, size_t& end, int& value) {
    end = at;
    value = 0;
    while (end < s.size() && end - at < 3 && IsDigit(s[end])) value = value * 10 + (s[end++] - '0');
    return end > at && end - at <= 2;
  };
  auto separator = [&](size_t at) { return at < s.size() && (s[at] == '/' || s[at] == '-'); };
  if (!digits(0, out.firstEnd, out.first) || !separator(out.firstEnd)) return out;
  out.secondBegin = out.firstEnd + 1;
  if (!digits(out.secondBegin, out.secondEnd, out.second) || !separator(out.secondEnd)) return out;
  out.found = out.secondEnd + 1 < s.size() && IsDigit(s[out.secondEnd + 1]);
  return out;
}

}  // namespace

std::string_view ValueReader::Normalized(std::string_view text, std::string& buffer) const {
  const char decimal = format_.decimalSymbol;
  if (decimal == Regional().decimalSeparator) return text;
  // The file's decimal symbol becomes the point; the regional one then reads
  // as grouping only where the file would use it so, so it is dropped.
  const char grouping = decimal == ',' ? '.' : Regional().thousandsSeparator;
  buffer.clear();
  for (char c : text) {
    if (c == decimal)
      buffer += Regional().decimalSeparator;
    else if (c == grouping)
      continue;
    else
      buffer += c;
  }
  return buffer;
}

NumberReading ValueReader::Number(std::string_view text) const {
  std::string buffer;
  const std::string_view s = Normalized(text, buffer);
  NumberReading out;
  if (auto whole = ParseWholeNumber(s)) {
    out.kind = NumberReading::Kind::Whole;
    out.whole = *whole;
    out.real = static_cast<double>(*whole);
    return out;
  }
  auto real = ParseNumber(s);
  if (!real || !std::isfinite(*real)) return out;
  out.real = *real;
  if (std::trunc(*real) == *real && std::fabs(*real) < 9.2233720368547758e18) {
    out.kind = NumberReading::Kind::Whole;
    out.whole = static_cast<int64_t>(*real);
  } else {
    out.kind = NumberReading::Kind::Fraction;
  }
  return out;
}

namespace {

std::optional<double> SpecialReal(std::string_view s) {
  if (IsWord(s, "NaN")) return std::numeric_limits<double>::quiet_NaN();
  if (IsWord(s, "Infinity") || IsWord(s, "+Infinity")) return HUGE_VAL;
  if (IsWord(s, "-Infinity")) return -HUGE_VAL;
  return std::nullopt;
}

}  // namespace

std::optional<double> ValueReader::Real(std::string_view text) const {
  const NumberReading n = Number(text);
  if (n.kind == NumberReading::Kind::Bad) return SpecialReal(TrimSpaces(text));
  // A whole zero read as a whole number has lost the sign of "-0".
  if (n.real == 0 && TrimSpaces(text).starts_with('-')) return -0.0;
  return n.real;
}

std::optional<float> ValueReader::SingleValue(std::string_view text) const {
  std::string buffer;
  const std::string_view s = Normalized(TrimSpaces(text), buffer);
  if (auto special = SpecialReal(s)) return static_cast<float>(*special);
  std::string_view digits = s;
  if (digits.starts_with('+')) digits.remove_prefix(1);
  float f = 0;
  const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), f);
  if (r.ptr == digits.data() + digits.size() && r.ec == std::errc()) return f;
  // Other forms of a number (grouping, a currency sign), and values too small
  // for a Single, which it holds as 0 or a denormal, go through a double.
  const NumberReading n = Number(text);
  if (n.kind == NumberReading::Kind::Bad || std::fabs(n.real) > FLT_MAX) return std::nullopt;
  return static_cast<float>(n.real);
}

std::optional<Currency> ValueReader::CurrencyValue(std::string_view text) const {
  std::string_view s = TrimSpaces(text);
  const std::string_view symbol = format_.currencySymbol;
  std::string buffer;
  if (!symbol.empty() || format_.currencyDecimalSymbol != '.' || format_.currencyThousandSymbol != ',') {
    bool negative = false;
    if (!s.empty() && s.front() == '-') {
      negative = true;
      s.remove_prefix(1);
    }
    s = TrimSpaces(s);
    if (!symbol.empty() && s.starts_with(symbol)) s = TrimSpaces(s.substr(symbol.size()));
    if (!symbol.empty() && s.ends_with(symbol)) s = TrimSpaces(s.substr(0, s.size() - symbol.size()));
    if (!negative && !s.empty() && s.front() == '-') {
      negative = true;
      s.remove_prefix(1);
    }
    if (negative) buffer += '-';
    for (char c : s) {
      if (c == format_.currencyThousandSymbol) continue;
      buffer += c == format_.currencyDecimalSymbol ? '.' : c;
    }
    s = buffer;
  }
  return ParseCurrency(s);
}

std::optional<DateValue> ValueReader::Date(std::string_view text) const {
  if (!format_.dateTimeFormat.empty())
    if (auto d = ParseDateByPicture(TrimSpaces(text), format_.dateTimeFormat)) return d;
  if (auto d = ParseDate(text)) return d;
  return ParseExactDate(TrimSpaces(text));
}

std::optional<DateValue> ValueReader::Date(std::string_view text, DayMonthOrder order) const {
  const std::string_view s = TrimSpaces(text);
  if (!format_.dateTimeFormat.empty())
    if (auto d = ParseDateByPicture(s, format_.dateTimeFormat)) return d;
  const LeadingNumbers n = FindLeadingNumbers(s);
  if (!n.found) return ParseDate(s);
  // The general reading takes the first number as the month whenever it can
  // be one; for the day first, the two numbers change places.
  if (order == DayMonthOrder::MonthFirst) return n.first <= 12 ? ParseDate(s) : std::nullopt;
  if (n.second > 12) return std::nullopt;
  // A date's text fits the stack; a longer one (it is then no date) the heap.
  char inPlace[64];
  std::string onHeap;
  char* swapped = inPlace;
  if (s.size() > sizeof inPlace) {
    onHeap.resize(s.size());
    swapped = onHeap.data();
  }
  char* at = std::copy(s.begin() + n.secondBegin, s.begin() + n.secondEnd, swapped);
  at = std::copy(s.begin() + n.firstEnd, s.begin() + n.secondBegin, at);
  at = std::copy(s.begin(), s.begin() + n.firstEnd, at);
  at = std::copy(s.begin() + n.secondEnd, s.end(), at);
  return ParseDate(std::string_view(swapped, s.size()));
}

std::optional<bool> ValueReader::Boolean(std::string_view text) const {
  const std::string_view s = TrimSpaces(text);
  if (IsWord(s, "Yes") || IsWord(s, "On")) return true;
  if (IsWord(s, "No") || IsWord(s, "Off")) return false;
  return ParseBoolean(s);
}

unsigned ValueReader::Guess(std::string_view text) const {
  const std::string_view trimmed = TrimSpaces(text);
  if (IsWord(trimmed, "True") || IsWord(trimmed, "False")) return kGuessBoolean;
  std::string buffer;
  const std::string_view s = Normalized(trimmed, buffer);
  const PlainNumber plain = ScanPlainNumber(s);
  if (plain.ok) {
    // Beyond 17 digits a double keeps no more; such values stay text.
    if (plain.whole) {
      if (auto whole = ParseWholeNumber(s)) {
        const unsigned asDouble = plain.significant <= 17 ? kGuessDouble : 0;
        if (*whole >= INT32_MIN && *whole <= INT32_MAX) return kGuessLong | kGuessBigInt | asDouble;
        return kGuessBigInt | asDouble;
      }
      return 0;
    }
    // A value beyond a double's range (1e400, 1e-400) reads as no double at all.
    if (plain.nearLimits && Number(trimmed).kind == NumberReading::Kind::Bad) return kGuessBeyondDouble;
    return plain.significant <= 17 ? kGuessDouble : 0;
  }
  // A date whose reading does not depend on the order is read once.
  const LeadingNumbers n = FindLeadingNumbers(trimmed);
  if (!n.found || n.first == n.second) return Date(trimmed, DayMonthOrder::MonthFirst) ? kGuessDate : 0;
  unsigned orders = 0;
  if (Date(trimmed, DayMonthOrder::MonthFirst)) orders |= kGuessDateMonthFirst;
  if (Date(trimmed, DayMonthOrder::DayFirst)) orders |= kGuessDateDayFirst;
  return orders;
}

bool IsWholeNumberType(JetType type) {
  return type == JetType::Byte || type == JetType::Short || type == JetType::Long || type == JetType::BigInt;
}

JetType WholeTypeFor(int64_t n, JetType atLeast) {
  static constexpr JetType kTypes[] = {JetType::Byte, JetType::Short, JetType::Long, JetType::BigInt};
  const int need = (n >= 0 && n <= 255)                ? 0
                   : (n >= INT16_MIN && n <= INT16_MAX) ? 1
                   : (n >= INT32_MIN && n <= INT32_MAX) ? 2
                                                        : 3;
  const int at = static_cast<int>(std::find(std::begin(kTypes), std::end(kTypes), atLeast) - std::begin(kTypes));
  return kTypes[std::max(need, at < 4 ? at : 0)];
}

// ---------------------------------------------------------------- date pictures

namespace {

struct PictureCursor {
  std::string_view text;
  size_t at = 0;

  std::optional<int> Digits(size_t minDigits, size_t maxDigits) {
    size_t n = 0;
    int value = 0;
    while (at < text.size() && n < maxDigits && IsDigit(text[at])) {
      value = value * 10 + (text[at] - '0');
      ++at;
      ++n;
    }
    if (n < minDigits) return std::nullopt;
    return value;
  }
  std::string_view Letters() {
    const size_t start = at;
    while (at < text.size() && std::isalpha(static_cast<unsigned char>(text[at]))) ++at;
    return text.substr(start, at - start);
  }
};

int MonthFromName(std::string_view word) {
  static constexpr std::string_view kMonths[] = {"january", "february", "march",     "april",   "may",      "june",
                                                 "july",    "august",   "september", "october", "november", "december"};
  for (int i = 0; i < 12; ++i) {
    if (EqualsNoCase(word, kMonths[i]) || (word.size() == 3 && EqualsNoCase(word, kMonths[i].substr(0, 3))))
      return i + 1;
  }
  return 0;
}

}  // namespace

std::optional<DateValue> ParseDateByPicture(std::string_view text, std::string_view picture) {
  PictureCursor in{text};
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
  int meridiem = -1;  // -1: none; 0: AM; 12: PM
  bool sawHour = false;
  bool afterHour = false;  // "m" right after an hour means minutes
  size_t p = 0;
  auto run = [&](char c) {
    size_t n = 0;
    while (p + n < picture.size() && std::tolower(static_cast<unsigned char>(picture[p + n])) == c) ++n;
    p += n;
    return n;
  };
  auto digits = [&](int& target, size_t minDigits, size_t maxDigits) {
    auto value = in.Digits(minDigits, maxDigits);
    if (value) target = *value;
    return value.has_value();
  };
  while (p < picture.size()) {
    const std::string_view rest = picture.substr(p);
    const size_t marker = rest.size() >= 5 && EqualsNoCase(rest.substr(0, 5), "AM/PM") ? 5
                          : rest.size() >= 4 && EqualsNoCase(rest.substr(0, 4), "AMPM") ? 4
                                                                                          : 0;
    if (marker > 0) {
      p += marker;
      const std::string_view word = in.Letters();
      if (!EqualsNoCase(word, "AM") && !EqualsNoCase(word, "PM")) return std::nullopt;
      meridiem = EqualsNoCase(word, "AM") ? 0 : 12;
      continue;
    }
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(picture[p])));
    bool ok = true;
    const bool wasAfterHour = afterHour;
    afterHour = false;
    switch (c) {
      case 'd': ok = run('d') <= 2 && digits(day, 1, 2); break;
      case 'y': {
        const bool twoDigits = run('y') <= 2;
        ok = twoDigits ? digits(year, 2, 2) : digits(year, 4, 4);
        if (ok && twoDigits) year += year < 30 ? 2000 : 1900;
        break;
      }
      case 'h':
        run('h');
        ok = digits(hour, 1, 2);
        sawHour = afterHour = true;
        break;
      case 'n': run('n'); ok = digits(minute, 1, 2); break;
      case 's': run('s'); ok = digits(second, 1, 2); break;
      case 'm': {
        const size_t n = run('m');
        if (wasAfterHour && n <= 2) {
          ok = digits(minute, 1, 2);
        } else if (n >= 3) {
          month = MonthFromName(in.Letters());
          ok = month != 0;
        } else {
          ok = digits(month, 1, 2);
        }
        break;
      }
      default:
        // A literal must match; a separator keeps the hour context ("h:mm").
        ok = in.at < text.size() && text[in.at] == picture[p];
        ++in.at;
        ++p;
        afterHour = wasAfterHour;
        break;
    }
    if (!ok) return std::nullopt;
  }
  if (in.at != text.size()) return std::nullopt;
  if (meridiem >= 0) {
    if (!sawHour || hour < 1 || hour > 12) return std::nullopt;
    hour = hour % 12 + meridiem;
  }
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  return MakeDate(year, month, day, hour, minute, second);
}

}  // namespace vendrel::driver::text

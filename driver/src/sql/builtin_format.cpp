// Format(value [, format [, firstdayofweek [, firstweekofyear]]]): named
// formats and pictures for numbers, dates and text, United States settings.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "sql/utf8.h"
#include "sql/builtin.h"
#include "sql/builtin_util.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::sql::builtin {

namespace {


// ------------------------------------------------------------ sections

// Splits at ';' outside quotes and escapes.
std::vector<std::string> Sections(const std::string& f) {
  std::vector<std::string> out(1);
  for (size_t i = 0; i < f.size(); ++i) {
    const char c = f[i];
    if (c == '"') {
      const size_t close = f.find('"', i + 1);
      const size_t end = close == std::string::npos ? f.size() : close + 1;
      out.back() += f.substr(i, end - i);
      i = end - 1;
    } else if (c == '\\' && i + 1 < f.size()) {
      out.back() += f.substr(i, 2);
      ++i;
    } else if (c == ';') {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

// Characters of a picture outside quotes and escapes, for classifying it.
std::string Placeholders(const std::string& f) {
  std::string out;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] == '"') {
      const size_t close = f.find('"', i + 1);
      if (close == std::string::npos) break;
      i = close;
    } else if (f[i] == '\\') {
      ++i;
    } else {
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(f[i])));
    }
  }
  return out;
}

// ------------------------------------------------------------ numbers

// Decimal digits of |v| rounded half away from zero to `decimals` places.
void DecimalDigits(double v, int decimals, std::string& whole, std::string& fraction) {
  v = std::fabs(v);
  char buf[512];
  const int precision = std::min(decimals + 12, 60);
  std::snprintf(buf, sizeof buf, "%.*f", precision, v);
  std::string s = buf;
  const size_t point = s.find('.');
  whole = s.substr(0, point);
  std::string rest = point == std::string::npos ? "" : s.substr(point + 1);
  // Places beyond the printed precision are zeros, and one more place decides the rounding.
  rest.resize(static_cast<size_t>(std::max(precision, decimals + 1)), '0');
  fraction = rest.substr(0, static_cast<size_t>(decimals));
  if (rest[static_cast<size_t>(decimals)] >= '5') {
    std::string digits = whole + fraction;
    int i = static_cast<int>(digits.size()) - 1;
    while (i >= 0 && digits[static_cast<size_t>(i)] == '9') digits[static_cast<size_t>(i--)] = '0';
    if (i < 0) digits.insert(digits.begin(), '1');
    else digits[static_cast<size_t>(i)] += 1;
    whole = digits.substr(0, digits.size() - static_cast<size_t>(decimals));
    fraction = digits.substr(digits.size() - static_cast<size_t>(decimals));
  }
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
}

std::string Grouped(const std::string& digits) {
  std::string out;
  const size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    if (i && (n - i) % 3 == 0) out += Regional().thousandsSeparator;
    out += digits[i];
  }
  return out;
}

// Stands for the decimal point, which shows only with digits after it.
const std::string kPoint = "\x01";

struct NumberPicture {
  // The picture as pieces: literal text, or a run of placeholders in a part.
  struct Piece {
    enum Kind { Literal, Integer, Fraction, Exponent, ExponentSign } kind;
    std::string text;  // Literal text, or the placeholders ("0", "#")
  };
  std::vector<Piece> pieces;
  int percent = 0;
  int scale = 0;  // thousands removed by commas after the digits
  bool grouping = false;
  bool scientific = false;
  bool exponentPlus = false;
};

NumberPicture ParseNumberPicture(const std::string& f) {
  NumberPicture p;
  enum { BeforePoint, AfterPoint, InExponent } part = BeforePoint;
  auto literal = [&](std::string text) {
    if (!p.pieces.empty() && p.pieces.back().kind == NumberPicture::Piece::Literal) p.pieces.back().text += text;
    else p.pieces.push_back({NumberPicture::Piece::Literal, std::move(text)});
  };
  auto placeholder = [&](char c) {
    const auto kind = part == BeforePoint  ? NumberPicture::Piece::Integer
                      : part == AfterPoint ? NumberPicture::Piece::Fraction
                                           : NumberPicture::Piece::Exponent;
    if (!p.pieces.empty() && p.pieces.back().kind == kind) p.pieces.back().text += c;
    else p.pieces.push_back({kind, std::string(1, c)});
  };
  int pendingCommas = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    const char c = f[i];
    if (c == '0' || c == '#') {
      if (pendingCommas && part == BeforePoint) p.grouping = true;
      pendingCommas = 0;
      placeholder(c);
    } else if (c == ',' && part == BeforePoint) {
      ++pendingCommas;
    } else if (c == '.' && part == BeforePoint) {
      p.scale += pendingCommas;
      pendingCommas = 0;
      part = AfterPoint;
      p.pieces.push_back({NumberPicture::Piece::Literal, kPoint});
    } else if ((c == 'E' || c == 'e') && i + 1 < f.size() && (f[i + 1] == '+' || f[i + 1] == '-') &&
               part != InExponent) {
      p.scale += pendingCommas;
      pendingCommas = 0;
      p.scientific = true;
      p.exponentPlus = f[i + 1] == '+';
      literal(std::string(1, c));
      p.pieces.push_back({NumberPicture::Piece::ExponentSign, ""});
      part = InExponent;
      ++i;
    } else if (c == '%') {
      ++p.percent;
      literal("%");
    } else if (c == '"') {
      const size_t close = f.find('"', i + 1);
      const size_t end = close == std::string::npos ? f.size() : close;
      literal(f.substr(i + 1, end - i - 1));
      i = end;
    } else if (c == '\\' && i + 1 < f.size()) {
      literal(std::string(1, f[++i]));
    } else {
      literal(std::string(1, c));
    }
  }
  if (part == BeforePoint) p.scale += pendingCommas;
  return p;
}

void FillInteger(const std::string& digits, const std::vector<NumberPicture::Piece*>& runs, bool grouping,
                 std::vector<std::string>& filled) {
  // Digits fill the placeholders from the right; what is left goes before the first.
  filled.assign(runs.size(), "");
  std::string rest = digits;
  for (size_t r = runs.size(); r-- > 0;) {
    const std::string& pattern = runs[r]->text;
    std::string out;
    for (size_t k = pattern.size(); k-- > 0;) {
      if (!rest.empty()) {
        out.insert(out.begin(), rest.back());
        rest.pop_back();
      } else if (pattern[k] == '0') {
        out.insert(out.begin(), '0');
      }
    }
    if (r == 0) out = rest + out;
    filled[r] = out;
  }
  if (grouping && !runs.empty()) {
    std::string all;
    for (auto& f : filled) all += f;
    for (size_t r = 1; r < filled.size(); ++r) filled[r].clear();
    filled[0] = Grouped(all);
  }
}

std::string FormatNumber(double value, const std::string& section, bool showSign) {
  NumberPicture p = ParseNumberPicture(section);
  double v = value * std::pow(100.0, p.percent) / std::pow(1000.0, p.scale);
  if (!std::isfinite(v)) Fail(err::kOverflow);  // so many "%" that the value has no digits left
  int decimals = 0;
  int integerPlaces = 0;
  std::vector<NumberPicture::Piece*> integerRuns, exponentRuns;
  for (auto& piece : p.pieces) {
    if (piece.kind == NumberPicture::Piece::Fraction) decimals += static_cast<int>(piece.text.size());
    if (piece.kind == NumberPicture::Piece::Integer) {
      integerPlaces += static_cast<int>(piece.text.size());
      integerRuns.push_back(&piece);
    }
    if (piece.kind == NumberPicture::Piece::Exponent) exponentRuns.push_back(&piece);
  }
  int exponent = 0;
  if (p.scientific && v != 0) {
    const int places = std::max(integerPlaces, 1);
    exponent = static_cast<int>(std::floor(std::log10(std::fabs(v)))) - (places - 1);
    double mantissa = v / std::pow(10.0, exponent);
    std::string w, fr;
    DecimalDigits(mantissa, decimals, w, fr);
    if (static_cast<int>(w.size()) > places) ++exponent;
    v = v / std::pow(10.0, exponent);
  }
  std::string whole, fraction;
  DecimalDigits(v, decimals, whole, fraction);
  const bool zero = whole.empty() && fraction.find_first_not_of('0') == std::string::npos;
  std::vector<std::string> filled;
  FillInteger(whole, integerRuns, p.grouping, filled);
  // '#' places after the point drop trailing zeros.
  std::string shownFraction = fraction;
  {
    std::string pattern;
    for (auto& piece : p.pieces)
      if (piece.kind == NumberPicture::Piece::Fraction) pattern += piece.text;
    while (!shownFraction.empty() && shownFraction.back() == '0' && pattern[shownFraction.size() - 1] == '#')
      shownFraction.pop_back();
  }
  std::string out;
  size_t integerRun = 0, fractionAt = 0;
  for (auto& piece : p.pieces) {
    switch (piece.kind) {
      case NumberPicture::Piece::Literal:
        if (piece.text == kPoint) {
          if (!shownFraction.empty() || integerRuns.empty()) out += Regional().decimalSeparator;
        } else {
          out += piece.text;
        }
        break;
      case NumberPicture::Piece::Integer: out += filled[integerRun++]; break;
      case NumberPicture::Piece::Fraction: {
        // Places that the dropped trailing zeros leave empty show nothing.
        if (fractionAt < shownFraction.size()) out += shownFraction.substr(fractionAt, piece.text.size());
        fractionAt += piece.text.size();
        break;
      }
      case NumberPicture::Piece::ExponentSign:
        if (exponent < 0) out += '-';
        else if (p.exponentPlus) out += '+';
        break;
      case NumberPicture::Piece::Exponent: {
        std::string digits = std::to_string(std::abs(exponent));
        const size_t zeros = static_cast<size_t>(std::count(piece.text.begin(), piece.text.end(), '0'));
        if (digits.size() < zeros) digits.insert(0, zeros - digits.size(), '0');
        out += digits;
        break;
      }
    }
  }
  if (showSign && value < 0 && !zero) out.insert(out.begin(), '-');
  return out;
}

std::string FormatNumberPicture(const Variant& value, const std::string& format) {
  const std::vector<std::string> sections = Sections(format);
  const double v = ToDouble(value);
  if (v < 0 && sections.size() >= 2 && !sections[1].empty()) return FormatNumber(-v, sections[1], false);
  if (v == 0 && sections.size() >= 3 && !sections[2].empty()) return FormatNumber(v, sections[2], false);
  return FormatNumber(v, sections[0], true);
}

// ------------------------------------------------------------ dates

std::string Two(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

struct DateToken {
  std::string text;  // lower-case placeholder, or literal
  bool literal = false;
};

std::vector<DateToken> TokenizeDatePicture(const std::string& f) {
  std::vector<DateToken> tokens;
  for (size_t i = 0; i < f.size();) {
    const char c = f[i];
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto startsWith = [&](std::string_view word) {
      if (f.size() - i < word.size()) return false;
      for (size_t k = 0; k < word.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(f[i + k])) != word[k]) return false;
      return true;
    };
    if (c == '"') {
      const size_t close = f.find('"', i + 1);
      const size_t end = close == std::string::npos ? f.size() : close;
      tokens.push_back({f.substr(i + 1, end - i - 1), true});
      i = end + 1;
    } else if (c == '\\' && i + 1 < f.size()) {
      tokens.push_back({f.substr(i + 1, 1), true});
      i += 2;
    } else if (startsWith("am/pm") || startsWith("a/p") || startsWith("ampm")) {
      const size_t length = startsWith("am/pm") ? 5 : startsWith("ampm") ? 4 : 3;
      tokens.push_back({f.substr(i, length), false});
      i += length;
    } else if (std::string_view("dmyhnswqct").find(lower) != std::string_view::npos) {
      size_t j = i;
      while (j < f.size() && std::tolower(static_cast<unsigned char>(f[j])) == lower) ++j;
      tokens.push_back({std::string(j - i, lower), false});
      i = j;
    } else {
      tokens.push_back({std::string(1, c), true});
      ++i;
    }
  }
  return tokens;
}

std::string Meridiem(const std::string& token, int hour) {
  const bool pm = hour >= 12;
  if (token.size() == 3) {  // A/P keeps the case written
    const char shown = pm ? token[2] : token[0];
    return std::string(1, shown);
  }
  if (token == "am/pm") return pm ? "pm" : "am";
  if (token[0] == 'a' && token[1] == 'm') return pm ? "pm" : "am";
  return pm ? "PM" : "AM";
}

std::string FormatDatePicture(vendrel::DateValue d, const std::string& format, int firstDay, int firstWeek) {
  const CivilDateTime c = SplitDate(d);
  std::vector<DateToken> tokens = TokenizeDatePicture(format);
  bool twelveHour = false;
  for (const auto& t : tokens)
    if (!t.literal && (t.text[0] == 'a' || t.text[0] == 'A' ||
                       (t.text.size() >= 3 && std::tolower(static_cast<unsigned char>(t.text[0])) == 'a')))
      twelveHour = true;
  std::string out;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const DateToken& t = tokens[i];
    if (t.literal) {
      out += t.text;
      continue;
    }
    const std::string lower = FoldCase(t.text);
    const char kind = lower[0];
    const size_t n = lower.size();
    auto neighbourIs = [&](int step, char wanted) {
      for (long k = static_cast<long>(i) + step; k >= 0 && k < static_cast<long>(tokens.size()); k += step) {
        if (tokens[static_cast<size_t>(k)].literal) continue;
        return tokens[static_cast<size_t>(k)].text[0] == wanted;
      }
      return false;
    };
    switch (kind) {
      case 'a': out += Meridiem(t.text, c.hour); break;
      case 'c': out += FormatGeneralDate(d); break;
      case 'd':
        if (n == 1) out += std::to_string(c.day);
        else if (n == 2) out += Two(c.day);
        else if (n == 3) out += std::string(kWeekdays[vendrel::Weekday(d) - 1]).substr(0, 3);
        else if (n == 4) out += kWeekdays[vendrel::Weekday(d) - 1];
        else if (n == 5) out += FormatShortDate(d);
        else out += FormatDatePicture(d, "dddd, mmmm d, yyyy", firstDay, firstWeek);
        break;
      case 'w':
        if (n == 1) {
          out += std::to_string((vendrel::Weekday(d) - firstDay + 7) % 7 + 1);
        } else {
          Variant args[] = {Variant::String("ww"), Variant(d), Variant::Long(firstDay), Variant::Long(firstWeek)};
          out += ToText(DatePart(args));
        }
        break;
      case 'm': {
        const bool minute = n <= 2 && (neighbourIs(-1, 'h') || neighbourIs(1, 's'));
        if (minute) out += n == 1 ? std::to_string(c.minute) : Two(c.minute);
        else if (n == 1) out += std::to_string(c.month);
        else if (n == 2) out += Two(c.month);
        else if (n == 3) out += std::string(kMonths[c.month - 1]).substr(0, 3);
        else out += kMonths[c.month - 1];
        break;
      }
      case 'q': out += std::to_string((c.month - 1) / 3 + 1); break;
      case 'y':
        if (n == 1) out += std::to_string(DaysFromCivil(c.year, c.month, c.day) - DaysFromCivil(c.year, 1, 1) + 1);
        else if (n <= 3) out += Two(c.year % 100);
        else out += std::to_string(c.year);
        break;
      case 'h': {
        const int hour = twelveHour ? (c.hour % 12 == 0 ? 12 : c.hour % 12) : c.hour;
        out += n == 1 ? std::to_string(hour) : Two(hour);
        break;
      }
      case 'n': out += n == 1 ? std::to_string(c.minute) : Two(c.minute); break;
      case 's': out += n == 1 ? std::to_string(c.second) : Two(c.second); break;
      case 't': out += FormatDatePicture(d, "h:mm:ss AM/PM", firstDay, firstWeek); break;
      default: out += t.text; break;
    }
  }
  return out;
}

// ------------------------------------------------------------ text

std::string FormatTextPicture(const std::string& text, const std::string& format) {
  std::string picture;
  bool lower = false, upper = false, leftToRight = false;
  for (char c : format) {
    if (c == '<') lower = true;
    else if (c == '>') upper = true;
    else if (c == '!') leftToRight = true;
    else picture += c;
  }
  std::u32string chars = DecodeUtf8(text);
  const std::u32string pattern = DecodeUtf8(picture);
  size_t slots = 0;
  for (char32_t c : pattern)
    if (c == U'@' || c == U'&') ++slots;
  std::u32string out;
  if (leftToRight) {
    size_t next = 0;
    for (char32_t c : pattern) {
      if (c == U'@' || c == U'&') {
        if (next < chars.size()) out += chars[next++];
        else if (c == U'@') out += U' ';
      } else {
        out += c;
      }
    }
    out += chars.substr(std::min(next, chars.size()));
  } else {
    const size_t extra = chars.size() > slots ? chars.size() - slots : 0;
    long next = static_cast<long>(chars.size()) - static_cast<long>(slots);
    out += chars.substr(0, extra);
    for (char32_t c : pattern) {
      if (c == U'@' || c == U'&') {
        if (next >= 0) out += chars[static_cast<size_t>(next)];
        else if (c == U'@') out += U' ';
        ++next;
      } else {
        out += c;
      }
    }
  }
  const Variant result = Variant::String(EncodeUtf8(out));
  if (lower) return ToText(LCase({&result, 1}));
  if (upper) return ToText(UCase({&result, 1}));
  return ToText(result);
}

// ------------------------------------------------------------ named formats

bool Named(const std::string& format, std::string_view name) { return EqualsNoCase(format, name); }

std::string YesNo(const Variant& v, const char* yes, const char* no) {
  if (v.IsString()) {
    auto d = ParseNumber(v.AsString());
    if (!d) return v.AsString();
    return *d != 0 ? yes : no;
  }
  return ToDouble(v) != 0 ? yes : no;
}

// A number given as text is formatted as the number.
Variant Number(const Variant& v) {
  if (!v.IsString()) return v;
  const auto d = ParseNumber(v.AsString());
  if (!d) Fail(err::kTypeMismatch);
  return Variant::Double(*d);
}

bool IsDatePicture(const std::string& shown) {
  if (shown.find_first_of("0#@&") != std::string::npos) return false;
  return shown.find_first_of("dmyhnswqct") != std::string::npos || shown.find("am/pm") != std::string::npos ||
         shown.find("a/p") != std::string::npos;
}

}  // namespace

Variant Format(Args a) {
  const Variant& v = a[0];
  if (v.IsNull() || v.IsEmpty()) return Variant::Null();
  if (!Given(a, 1) || a[1].IsNull()) return Variant::String(ToText(v));
  const std::string format = ToText(a[1]);
  if (format.empty()) return Variant::String(ToText(v));
  int firstDay = LongArg(a, 2, 1);
  Require(firstDay >= 0 && firstDay <= 7);
  if (firstDay == 0) firstDay = 1;
  const int firstWeek = LongArg(a, 3, 1);

  auto asDate = [&] { return ToDate(v); };
  if (Named(format, "General Date")) return Variant::String(FormatGeneralDate(asDate()));
  if (Named(format, "Long Date")) return Variant::String(FormatDatePicture(asDate(), "dddd, mmmm d, yyyy", firstDay, firstWeek));
  if (Named(format, "Medium Date")) return Variant::String(FormatDatePicture(asDate(), "dd-mmm-yy", firstDay, firstWeek));
  if (Named(format, "Short Date")) return Variant::String(FormatShortDate(asDate()));
  if (Named(format, "Long Time")) return Variant::String(FormatDatePicture(asDate(), "h:mm:ss AM/PM", firstDay, firstWeek));
  if (Named(format, "Medium Time")) return Variant::String(FormatDatePicture(asDate(), "hh:mm AM/PM", firstDay, firstWeek));
  if (Named(format, "Short Time")) return Variant::String(FormatDatePicture(asDate(), "hh:mm", firstDay, firstWeek));
  if (Named(format, "Yes/No")) return Variant::String(YesNo(v, "Yes", "No"));
  if (Named(format, "True/False")) return Variant::String(YesNo(v, "True", "False"));
  if (Named(format, "On/Off")) return Variant::String(YesNo(v, "On", "Off"));

  static constexpr std::pair<std::string_view, std::string_view> kNumberFormats[] = {
      {"Currency", "$#,##0.00;($#,##0.00)"}, {"Fixed", "0.00"},         {"Standard", "#,##0.00"},
      {"Percent", "0.00%"},                  {"Scientific", "0.00E+00"},
  };
  if (Named(format, "General Number")) {
    const Variant n = Number(v);
    return Variant::String(ToText(n.Type() == VarType::Date ? Variant::Double(ToDouble(n)) : n));
  }
  for (const auto& [name, picture] : kNumberFormats)
    if (Named(format, name)) return Variant::String(FormatNumberPicture(Number(v), std::string(picture)));

  const bool text = v.IsString() && !ParseNumber(v.AsString()) && !ParseDate(v.AsString());
  const std::string shown = Placeholders(format);
  if (shown.find_first_of("@&") != std::string::npos || (text && !IsDatePicture(shown)))
    return Variant::String(FormatTextPicture(ToText(v), format));
  if (IsDatePicture(shown)) {
    if (text) return Variant::String(ToText(v));
    return Variant::String(FormatDatePicture(asDate(), format, firstDay, firstWeek));
  }
  return Variant::String(FormatNumberPicture(Number(v), format));
}

}  // namespace vendrel::driver::sql::builtin

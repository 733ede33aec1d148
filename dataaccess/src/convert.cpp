#include "vendrel/dataaccess/convert.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "vendrel/dataaccess/error.h"

namespace vendrel {

const RegionalSettings& Regional() {
  static const RegionalSettings us;
  return us;
}

// ---------------------------------------------------------------- dates

namespace {
constexpr int64_t kSecondsPerDay = 86400;
constexpr double kMinDateSerial = -657434.0;  // 1 January 100
constexpr double kMaxDateSerial = 2958465.99999;  // 31 December 9999, end of day

int64_t DaysFromEpoch(int64_t y, unsigned m, unsigned d) {  // days since 1970-01-01
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromEpoch(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

const int64_t kDayZero = DaysFromEpoch(1899, 12, 30);

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Calendar day number and seconds since its midnight, rounded to the second.
// A serial that no date can show (NaN, infinite, beyond any year) is split
// as day zero, so that no conversion overflows.
void SplitSerial(double serial, int64_t& day, int64_t& seconds) {
  if (!(std::fabs(serial) < 1e15)) serial = 0;
  const double whole = std::trunc(serial);
  day = static_cast<int64_t>(whole);
  seconds = std::llround(std::fabs(serial - whole) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    day += 1;
  }
}
}  // namespace

bool IsValidDate(DateValue d) { return d.serial >= kMinDateSerial && d.serial <= kMaxDateSerial; }

int64_t DaysFromCivil(int year, int month, int day) {
  return DaysFromEpoch(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kDayZero;
}

CivilDateTime SplitDate(DateValue d) {
  int64_t day, seconds;
  SplitSerial(d.serial, day, seconds);
  CivilDateTime c;
  CivilFromEpoch(day + kDayZero, c.year, c.month, c.day);
  c.hour = static_cast<int>(seconds / 3600);
  c.minute = static_cast<int>(seconds / 60 % 60);
  c.second = static_cast<int>(seconds % 60);
  return c;
}

std::optional<DateValue> MakeDate(int year, int month, int day, int hour, int minute, int second) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return std::nullopt;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return std::nullopt;
  const double days = static_cast<double>(DaysFromCivil(year, month, day));
  const double time = (hour * 3600.0 + minute * 60.0 + second) / kSecondsPerDay;
  return DateValue{days < 0 ? days - time : days + time};
}

int Weekday(DateValue d) {
  int64_t day, seconds;
  SplitSerial(d.serial, day, seconds);
  return static_cast<int>(((day % 7 + 7) % 7 + 6) % 7 + 1);
}

namespace {
// Digits of a non-negative number, at least `width` of them.
char* PutDigits(char* at, int64_t n, int width) {
  if (n >= 0 && n < 10000 && width <= 4) {  // a month, day or year, as most are
    const int length = n >= 1000 ? 4 : n >= 100 ? 3 : n >= 10 ? 2 : 1;
    for (int i = length; i < width; ++i) *at++ = '0';
    for (int i = length - 1; i >= 0; --i, n /= 10) at[i] = static_cast<char>('0' + n % 10);
    return at + length;
  }
  char digits[24];
  const auto r = std::to_chars(digits, digits + sizeof digits, n);
  const int length = static_cast<int>(r.ptr - digits);
  for (int i = length; i < width; ++i) *at++ = '0';
  return std::copy(digits, r.ptr, at);
}

// "00" to "99", two characters a number.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* PutTwoDigits(char* at, int n) {
  std::memcpy(at, kDigitPairs + 2 * n, 2);
  return at + 2;
}

// 1 to 99 without a leading zero.
char* PutOneOrTwoDigits(char* at, int n) {
  if (n < 10) {
    *at = static_cast<char>('0' + n);
    return at + 1;
  }
  return PutTwoDigits(at, n);
}

char* PutShortDate(char* at, const CivilDateTime& c) {
  const char sep = Regional().dateSeparator;
  if (c.year >= 0 && c.year < 10000 && c.month >= 1 && c.month <= 12 && c.day >= 1 && c.day <= 31) {
    at = PutOneOrTwoDigits(at, c.month);
    *at++ = sep;
    at = PutOneOrTwoDigits(at, c.day);
    *at++ = sep;
    at = PutTwoDigits(at, c.year / 100);
    return PutTwoDigits(at, c.year % 100);
  }
  at = PutDigits(at, c.month, 1);
  *at++ = sep;
  at = PutDigits(at, c.day, 1);
  *at++ = sep;
  if (c.year < 0) {  // before year 1: the sign, then at least three digits
    *at++ = '-';
    return PutDigits(at, -static_cast<int64_t>(c.year), 3);
  }
  return PutDigits(at, c.year, 4);
}

char* PutTime24(char* at, const CivilDateTime& c) {
  const char sep = Regional().timeSeparator;
  at = PutTwoDigits(at, c.hour);
  *at++ = sep;
  at = PutTwoDigits(at, c.minute);
  *at++ = sep;
  return PutTwoDigits(at, c.second);
}
}  // namespace

std::string FormatShortDate(DateValue d) {
  char buf[64];
  return std::string(buf, PutShortDate(buf, SplitDate(d)));
}

std::string FormatTime24(DateValue d) {
  char buf[16];
  return std::string(buf, PutTime24(buf, SplitDate(d)));
}

void AppendShortDateTime(std::string& out, DateValue d) {
  const CivilDateTime c = SplitDate(d);
  char buf[64];
  char* at = PutShortDate(buf, c);
  *at++ = ' ';
  out.append(buf, PutTime24(at, c));
}

std::string FormatShortDateTime(DateValue d) {
  std::string out;
  AppendShortDateTime(out, d);
  return out;
}

namespace {

// The serial of a day and a time of day in seconds, rounded once: the time
// counts forward from the day's midnight, also before day zero.
double SerialOf(int64_t day, long double seconds) {
  const long double time = seconds / kSecondsPerDay;
  return static_cast<double>(day < 0 ? static_cast<long double>(day) - time : static_cast<long double>(day) + time);
}

constexpr int kMostFractionDigits = 19;

}  // namespace

char* PutExactDate(char* at, DateValue d) {
  // The text to the second when it reads back (through MakeDate, as
  // ParseDate reads it) to the same serial, which is the usual case. The
  // day and the seconds are those MakeDate would take, so its serial is
  // computed from them directly.
  {
    int64_t day, seconds;
    SplitSerial(d.serial, day, seconds);
    CivilDateTime rounded;
    CivilFromEpoch(day + kDayZero, rounded.year, rounded.month, rounded.day);
    const double days = static_cast<double>(day);
    const double time = static_cast<double>(seconds) / kSecondsPerDay;
    if (rounded.year >= 100 && rounded.year <= 9999 && (days < 0 ? days - time : days + time) == d.serial) {
      rounded.hour = static_cast<int>(seconds / 3600);
      rounded.minute = static_cast<int>(seconds / 60 % 60);
      rounded.second = static_cast<int>(seconds % 60);
      at = PutShortDate(at, rounded);
      *at++ = ' ';
      return PutTime24(at, rounded);
    }
  }
  // The time to the second, cut (not rounded) so that the fraction stays below
  // one; then the fewest digits of the fraction that read back to the serial.
  // The fraction of a double times 86,400 is exact in a long double.
  const double whole = std::trunc(d.serial);
  const int64_t day = static_cast<int64_t>(whole);
  const long double seconds = static_cast<long double>(std::fabs(d.serial - whole)) * kSecondsPerDay;
  const long double second = std::floor(seconds);
  CivilDateTime c;
  CivilFromEpoch(day + kDayZero, c.year, c.month, c.day);
  const auto s = static_cast<int64_t>(second);
  c.hour = static_cast<int>(s / 3600);
  c.minute = static_cast<int>(s / 60 % 60);
  c.second = static_cast<int>(s % 60);
  char buf[64];
  char* end = PutShortDate(buf, c);
  *end++ = ' ';
  end = PutTime24(end, c);
  const std::string base(buf, end);
  std::string candidate;
  bool exact = false;
  long double scale = 1;
  for (int digits = 1; digits <= kMostFractionDigits; ++digits) {
    scale *= 10;
    const long double scaled = std::nearbyint((seconds - second) * scale);
    if (scaled >= scale) continue;  // rounds up to the next second: more digits
    char fraction[32];
    const int length = std::snprintf(fraction, sizeof fraction, "%0*llu", digits,
                                     static_cast<unsigned long long>(scaled));
    std::string_view f(fraction, static_cast<size_t>(length));
    while (f.size() > 1 && f.back() == '0') f.remove_suffix(1);
    candidate = base + Regional().decimalSeparator + std::string(f);
    exact = ParseExactDate(candidate) == std::optional<DateValue>(d);
    if (exact) break;
  }
  // Only a time before day zero that is less than a day away (-0.25) has no
  // such text: it shows as the same time of day zero, and is written so.
  if (!exact) {
    const CivilDateTime same = SplitDate(d);
    at = PutShortDate(at, same);
    *at++ = ' ';
    return PutTime24(at, same);
  }
  return std::copy(candidate.begin(), candidate.end(), at);
}

void AppendExactDate(std::string& out, DateValue d) {
  char buf[kMostValueChars];
  out.append(buf, PutExactDate(buf, d));
}

std::optional<DateValue> ParseExactDate(std::string_view text) {
  const size_t point = text.rfind(Regional().decimalSeparator);
  if (point == std::string_view::npos) return ParseDate(text);
  const std::string_view fraction = text.substr(point + 1);
  if (fraction.empty() || fraction.size() > static_cast<size_t>(kMostFractionDigits)) return std::nullopt;
  unsigned long long digits = 0;
  long double scale = 1;
  for (char c : fraction) {
    if (c < '0' || c > '9') return std::nullopt;
    digits = digits * 10 + static_cast<unsigned>(c - '0');
    scale *= 10;
  }
  // The part before the point in the form the system writes, with seconds.
  const std::string_view dateTime = text.substr(0, point);
  const char dateSep = Regional().dateSeparator, timeSep = Regional().timeSeparator;
  int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
  size_t at = 0;
  auto number = [&](int& value, size_t least, size_t most) {
    const size_t begin = at;
    value = 0;
    while (at < dateTime.size() && at - begin < most && dateTime[at] >= '0' && dateTime[at] <= '9')
      value = value * 10 + (dateTime[at++] - '0');
    return at - begin >= least;
  };
  auto literal = [&](char c) { return at < dateTime.size() && dateTime[at++] == c; };
  if (!number(month, 1, 2) || !literal(dateSep) || !number(day, 1, 2) || !literal(dateSep) || !number(year, 4, 4) ||
      !literal(' ') || !number(hour, 2, 2) || !literal(timeSep) || !number(minute, 2, 2) || !literal(timeSep) ||
      !number(second, 2, 2) || at != dateTime.size())
    return std::nullopt;
  if (!MakeDate(year, month, day, hour, minute, second)) return std::nullopt;
  const long double seconds = hour * 3600.0L + minute * 60.0L + second + static_cast<long double>(digits) / scale;
  const DateValue d{SerialOf(DaysFromCivil(year, month, day), seconds)};
  if (!IsValidDate(d)) return std::nullopt;
  return d;
}

std::string FormatGeneralDate(DateValue d) {
  int64_t day, seconds;
  SplitSerial(d.serial, day, seconds);
  const CivilDateTime c = SplitDate(d);
  const char sep = Regional().timeSeparator;
  char time[32];
  const int hour12 = c.hour % 12 == 0 ? 12 : c.hour % 12;
  std::snprintf(time, sizeof time, "%d%c%02d%c%02d %s", hour12, sep, c.minute, sep, c.second,
                std::string(c.hour < 12 ? Regional().amDesignator : Regional().pmDesignator).c_str());
  if (day == 0) return time;
  if (seconds == 0) return FormatShortDate(d);
  return FormatShortDate(d) + " " + time;
}

// ---------------------------------------------------------------- numbers

namespace {

// Decimal digits (no leading or trailing zeros) and the exponent of the first one.
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

Decimal ParseScientific(const char* text) {
  Decimal d;
  const char* p = text;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  for (; *p && *p != 'e' && *p != 'E'; ++p)
    if (std::isdigit(static_cast<unsigned char>(*p))) d.digits += *p;
  if (*p) d.exponent = std::atoi(p + 1);
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// Rounds to `precision` significant digits, halves away from zero, as the
// platform's conversion does (an exact tie 654322.25 gives 654322.3).
Decimal Significant(double v, int precision) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.40e", v);  // exact enough to see ties
  Decimal d = ParseScientific(buf);
  if (static_cast<int>(d.digits.size()) > precision) {
    const bool up = d.digits[precision] >= '5';
    d.digits.resize(precision);
    if (up) {
      int i = precision - 1;
      while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
      if (i < 0) {
        d.digits.insert(d.digits.begin(), '1');
        d.digits.pop_back();
        d.exponent += 1;
      } else {
        d.digits[i] += 1;
      }
    }
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  }
  return d;
}

// Digits (no leading or trailing zeros; none for zero) with the exponent of
// the first one, laid out as the platform does: plain up to `precision`
// digits, else scientific with a two-digit exponent. At most
// digits.size() + precision + 16 characters.
char* PutLayout(char* at, bool negative, std::string_view digits, int e, int precision) {
  if (digits.empty()) {
    *at++ = '0';
    return at;
  }
  const char point = Regional().decimalSeparator;
  if (negative) *at++ = '-';
  const int n = static_cast<int>(digits.size());
  const bool scientific = e >= precision || (e < 0 && (-e - 1) + std::min(n, precision) > precision);
  if (scientific) {
    *at++ = digits[0];
    if (n > 1) {
      *at++ = point;
      at = std::copy(digits.begin() + 1, digits.end(), at);
    }
    *at++ = 'E';
    *at++ = e < 0 ? '-' : '+';
    return PutDigits(at, std::abs(e), 2);
  }
  if (e < 0) {
    *at++ = '0';
    *at++ = point;
    at = std::fill_n(at, -e - 1, '0');
    return std::copy(digits.begin(), digits.end(), at);
  }
  if (n <= e + 1) {
    at = std::copy(digits.begin(), digits.end(), at);
    return std::fill_n(at, e + 1 - n, '0');
  }
  at = std::copy(digits.begin(), digits.begin() + e + 1, at);
  *at++ = point;
  return std::copy(digits.begin() + e + 1, digits.end(), at);
}

void AppendLayout(std::string& out, bool negative, std::string_view digits, int e, int precision) {
  char buf[64];
  if (digits.size() + static_cast<size_t>(precision) + 16 <= sizeof buf) {
    out.append(buf, PutLayout(buf, negative, digits, e, precision));
    return;
  }
  std::string text(digits.size() + static_cast<size_t>(precision) + 16, '\0');
  text.resize(static_cast<size_t>(PutLayout(text.data(), negative, digits, e, precision) - text.data()));
  out += text;
}

std::string Layout(const Decimal& d, int precision) {
  std::string out;
  AppendLayout(out, d.negative, d.digits, d.exponent, precision);
  return out;
}

// The shortest digits that read back as `v`, laid out as Layout does.
template <class T>
void AppendShortest(std::string& out, T v, int precision) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  // "-d.ddde+XX": the digits without the point, then the exponent.
  const char* p = buf;
  const bool negative = *p == '-';
  if (negative) ++p;
  char digits[32];
  int n = 0;
  for (; p < r.ptr && *p != 'e'; ++p)
    if (*p != '.') digits[n++] = *p;
  int exponent = 0;
  if (p < r.ptr) std::from_chars(p + 1 + (p[1] == '+'), r.ptr, exponent);
  while (n > 0 && digits[n - 1] == '0') --n;
  char text[64];
  out.append(text, PutLayout(text, negative, std::string_view(digits, static_cast<size_t>(n)), exponent, precision));
}

// The digits of a whole number or a binary fraction (m / 2^j) whose exact
// decimal has at most 15 significant digits, such as 1234.25 or 3.0517578125:
// any other decimal of 15 digits or fewer is more than half a unit in the
// last place away from the value (their spacing is at least 10^-15 of it, the
// unit at most 2^-52), so the exact one is the shortest that reads back.
// The count of the digits (no trailing zeros) and the exponent of the first;
// 0 when the value is not such a number.
int ExactBinaryDigits(double magnitude, char* digits, int& exponent) {
  static constexpr uint64_t kMost = 999'999'999'999'999;
  static constexpr uint64_t kPowersOf5[] = {1,
                                            5,
                                            25,
                                            125,
                                            625,
                                            3125,
                                            15625,
                                            78125,
                                            390625,
                                            1953125,
                                            9765625,
                                            48828125,
                                            244140625,
                                            1220703125,
                                            6103515625,
                                            30517578125,
                                            152587890625,
                                            762939453125,
                                            3814697265625,
                                            19073486328125,
                                            95367431640625,
                                            476837158203125};
  const uint64_t bits = std::bit_cast<uint64_t>(magnitude);
  const int biased = static_cast<int>(bits >> 52);
  if (biased == 0 || biased == 0x7ff) return 0;  // zero, subnormal or not finite: the general path
  uint64_t mantissa = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
  int power = biased - 1075;  // magnitude = mantissa * 2^power
  const int zeros = std::countr_zero(mantissa);
  mantissa >>= zeros;
  power += zeros;
  uint64_t scaled;  // magnitude * 10^places
  int places = 0;
  if (power >= 0) {
    if (power > 50 || mantissa > (kMost >> power)) return 0;
    scaled = mantissa << power;
  } else {
    places = -power;
    if (places >= static_cast<int>(std::size(kPowersOf5)) || mantissa > kMost / kPowersOf5[places]) return 0;
    scaled = mantissa * kPowersOf5[places];
  }
  const auto r = std::to_chars(digits, digits + 24, scaled);
  int n = static_cast<int>(r.ptr - digits);
  exponent = n - 1 - places;
  while (n > 1 && digits[n - 1] == '0') --n;
  return n;
}

// The digits of a double that is the nearest one to a decimal of at most 15
// digits and few places, such as 1234.25, without the general search: such
// a decimal is the only one of 15 digits or fewer that reads as the value,
// so it is the shortest. m / 10^k is exact in a double and rounds once, as
// reading the decimal does. False when the value is not such a decimal.
bool AppendFewPlaces(std::string& out, double v, int precision) {
  static constexpr double kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  if (v == 0) return false;  // keeps the sign rule of the general path
  const double magnitude = std::fabs(v);
  for (int k = 0; k < 7; ++k) {
    const double scaled = magnitude * kPowers[k];
    if (!(scaled < 1e15)) return false;
    const auto m = static_cast<int64_t>(std::nearbyint(scaled));
    if (m == 0 || static_cast<double>(m) / kPowers[k] != magnitude) continue;
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, m);
    int n = static_cast<int>(r.ptr - digits);
    const int exponent = n - 1 - k;
    while (n > 0 && digits[n - 1] == '0') --n;
    char text[64];
    out.append(text, PutLayout(text, v < 0, std::string_view(digits, static_cast<size_t>(n)), exponent, precision));
    return true;
  }
  return false;
}

std::string SpecialValue(double v) {
  if (std::isnan(v)) return "NaN";
  return v < 0 ? "-Infinity" : "Infinity";
}

}  // namespace

std::string FormatDouble(double v) {
  if (!std::isfinite(v)) return SpecialValue(v);
  return Layout(Significant(v, 15), 15);
}

std::string FormatSingle(float f) {
  if (!std::isfinite(f)) return SpecialValue(f);
  return Layout(Significant(static_cast<double>(f), 7), 7);
}

char* PutDoubleRoundTrip(char* at, double v) {
  if (!std::isfinite(v)) {
    const std::string special = SpecialValue(v);
    return std::copy(special.begin(), special.end(), at);
  }
  char digits[24];
  int exponent;
  if (const int n = ExactBinaryDigits(std::fabs(v), digits, exponent))
    return PutLayout(at, v < 0, std::string_view(digits, static_cast<size_t>(n)), exponent, 15);
  std::string text;
  if (!AppendFewPlaces(text, v, 15)) AppendShortest(text, v, 15);
  return std::copy(text.begin(), text.end(), at);
}

void AppendDoubleRoundTrip(std::string& out, double v) {
  char buf[kMostValueChars];
  out.append(buf, PutDoubleRoundTrip(buf, v));
}

std::string FormatDoubleRoundTrip(double v) {
  std::string out;
  AppendDoubleRoundTrip(out, v);
  return out;
}

std::string FormatSingleRoundTrip(float f) {
  if (!std::isfinite(f)) return SpecialValue(f);
  std::string out;
  AppendShortest(out, f, 7);
  return out;
}

char* PutCurrency(char* at, Currency c) {
  static_assert(Currency::kScale == 10000);
  const uint64_t magnitude = c.scaled < 0 ? 0 - static_cast<uint64_t>(c.scaled) : static_cast<uint64_t>(c.scaled);
  if (c.scaled < 0) *at++ = '-';
  at = std::to_chars(at, at + 24, magnitude / Currency::kScale).ptr;
  if (const int fraction = static_cast<int>(magnitude % Currency::kScale); fraction != 0) {
    // Four places, then without their trailing zeros.
    *at++ = Regional().decimalSeparator;
    at = PutTwoDigits(at, fraction / 100);
    at = PutTwoDigits(at, fraction % 100);
    while (at[-1] == '0') --at;
  }
  return at;
}

void AppendCurrency(std::string& out, Currency c) {
  char buf[kMostValueChars];
  out.append(buf, PutCurrency(buf, c));
}

std::string FormatCurrency(Currency c) {
  std::string out;
  AppendCurrency(out, c);
  return out;
}

double RoundHalfEven(double d) { return std::nearbyint(d); }

// ---------------------------------------------------------------- parsing

namespace {

// White space as the C library classifies it; ASCII without the library call.
bool IsSpace(unsigned char c) { return c < 0x80 ? c == ' ' || (c >= '\t' && c <= '\r') : std::isspace(c) != 0; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && IsSpace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Normalises "[+-][$]1,234.5E3" to "-1234.5E3" for from_chars; empty when not a number.
std::string CleanNumber(std::string_view text) {
  std::string_view s = Trim(text);
  std::string out;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    if (s.front() == '-') out += '-';
    s.remove_prefix(1);
  }
  if (!s.empty() && s.front() == '$') s.remove_prefix(1);
  bool digits = false, point = false, exponent = false, lastWasDigit = false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      out += c;
      digits = true;
      lastWasDigit = true;
    } else if (c == Regional().thousandsSeparator && !point && !exponent && lastWasDigit && i + 1 < s.size() &&
               std::isdigit(static_cast<unsigned char>(s[i + 1]))) {
      lastWasDigit = false;
    } else if (c == Regional().decimalSeparator && !point && !exponent) {
      out += '.';
      point = true;
      lastWasDigit = false;
    } else if ((c == 'e' || c == 'E') && digits && !exponent) {
      out += 'e';
      exponent = true;
      lastWasDigit = false;
      if (i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) out += s[++i];
      if (i + 1 >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i + 1]))) return {};
    } else {
      return {};
    }
  }
  return digits ? out : std::string();
}

}  // namespace

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A number written plainly ("-12.5", "1e-7"): the text as CleanNumber would
// leave it, so it needs no copy.
bool IsPlainNumber(std::string_view s) {
  if (s.empty() || !(IsDigit(s[0]) || (s[0] == '-' && s.size() > 1 && IsDigit(s[1])))) return false;
  for (char c : s)
    if (!IsDigit(c) && c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') return false;
  return Regional().decimalSeparator == '.';
}
}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
  if (IsPlainNumber(text)) {
    double value = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    return value;
  }
  const std::string clean = CleanNumber(text);
  if (clean.empty()) return std::nullopt;
  double value = 0;
  auto r = std::from_chars(clean.data(), clean.data() + clean.size(), value);
  if (r.ec != std::errc() || r.ptr != clean.data() + clean.size()) return std::nullopt;
  return value;
}

std::optional<int64_t> ParseWholeNumber(std::string_view text) {
  std::string_view s = Trim(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  int64_t value = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), value);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return value;
}

namespace {
// "[-]digits[.digits]" with at most 14 digits before the point and 4 after
// it: the amount without the general reading below (which gives the same).
std::optional<Currency> ParsePlainCurrency(std::string_view s) {
  size_t at = 0;
  const bool negative = !s.empty() && s[0] == '-';
  if (negative) ++at;
  const size_t wholeStart = at;
  int64_t value = 0;
  while (at < s.size() && IsDigit(s[at]) && at - wholeStart < 14) value = value * 10 + (s[at++] - '0');
  if (at == wholeStart) return std::nullopt;
  int fractionDigits = 0;
  if (at < s.size() && s[at] == Regional().decimalSeparator) {
    ++at;
    while (at < s.size() && IsDigit(s[at]) && fractionDigits < 4) {
      value = value * 10 + (s[at++] - '0');
      ++fractionDigits;
    }
    if (fractionDigits == 0) return std::nullopt;
  }
  if (at != s.size()) return std::nullopt;
  for (int i = fractionDigits; i < 4; ++i) value *= 10;
  return Currency{negative ? -value : value};
}
}  // namespace

std::optional<Currency> ParseCurrency(std::string_view text) {
  if (auto plain = ParsePlainCurrency(text)) return plain;
  const std::string clean = CleanNumber(text);
  if (clean.empty()) return std::nullopt;
  if (clean.find('e') != std::string::npos) {
    auto d = ParseNumber(text);
    if (!d) return std::nullopt;
    const double scaled = RoundHalfEven(*d * Currency::kScale);
    if (!(std::fabs(scaled) < 9.2233720368547758e18)) return std::nullopt;
    return Currency{static_cast<int64_t>(scaled)};
  }
  std::string_view s = clean;
  const bool negative = !s.empty() && s.front() == '-';
  if (negative) s.remove_prefix(1);
  const size_t point = s.find('.');
  std::string_view whole = s.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
  unsigned __int128 value = 0;
  for (char c : whole) {
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > (static_cast<unsigned __int128>(1) << 64)) return std::nullopt;
  }
  int64_t frac = 0;
  for (size_t i = 0; i < 4; ++i) frac = frac * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
  value = value * Currency::kScale + static_cast<unsigned>(frac);
  if (fraction.size() > 4) {  // round the rest half to even
    const std::string_view rest = fraction.substr(4);
    const bool moreThanHalf = rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string_view::npos);
    const bool half = rest[0] == '5' && !moreThanHalf;
    if (moreThanHalf || (half && (value & 1))) value += 1;
  }
  const unsigned __int128 limit = negative ? (static_cast<unsigned __int128>(1) << 63)
                                           : (static_cast<unsigned __int128>(1) << 63) - 1;
  if (value > limit) return std::nullopt;
  const int64_t scaled = negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(value)) : static_cast<int64_t>(value);
  return Currency{scaled};
}

std::optional<bool> ParseBoolean(std::string_view text) {
  std::string_view s = Trim(text);
  auto equals = [&](std::string_view word) {
    return s.size() == word.size() && std::equal(s.begin(), s.end(), word.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) == b;
           });
  };
  if (equals("true")) return true;
  if (equals("false")) return false;
  if (auto n = ParseNumber(s)) return *n != 0;
  return std::nullopt;
}

// ---------------------------------------------------------------- coercion

namespace {

[[noreturn]] void Mismatch() { RaisePlatform(err::kTypeMismatch, source::kRuntime); }
[[noreturn]] void Overflow() { RaisePlatform(err::kOverflow, source::kRuntime); }
[[noreturn]] void NullUse() { RaisePlatform(err::kInvalidUseOfNull, source::kRuntime); }

// A whole-number conversion: rounds half to even and checks the range.
int64_t ToWhole(const Variant& v, int64_t lo, int64_t hi) {
  int64_t n = 0;
  switch (v.Type()) {
    case VarType::Empty: return 0;
    case VarType::Null: NullUse();
    case VarType::Integer: n = v.AsInteger(); break;
    case VarType::Long: n = v.AsLong(); break;
    case VarType::BigInt: n = v.AsBigInt(); break;
    case VarType::Byte: n = v.AsByte(); break;
    case VarType::Boolean: n = v.AsBoolean() ? -1 : 0; break;
    case VarType::Currency: {
      const int64_t s = v.AsCurrency().scaled;
      int64_t q = s / Currency::kScale, r = s % Currency::kScale;
      if (r > 5000 || (r == 5000 && (q & 1))) ++q;
      if (r < -5000 || (r == -5000 && (q & 1))) --q;
      n = q;
      break;
    }
    case VarType::String: {
      if (auto whole = ParseWholeNumber(v.AsString())) {
        n = *whole;
        break;
      }
      auto d = ParseNumber(v.AsString());
      if (!d) Mismatch();
      return ToWhole(Variant::Double(*d), lo, hi);
    }
    case VarType::Single:
    case VarType::Double:
    case VarType::Date: {
      const double d = RoundHalfEven(ToDouble(v));
      if (!(d >= static_cast<double>(lo) && d <= static_cast<double>(hi))) Overflow();
      if (d >= 9.2233720368547758e18) Overflow();
      n = static_cast<int64_t>(d);
      break;
    }
    default: Mismatch();
  }
  if (n < lo || n > hi) Overflow();
  return n;
}

}  // namespace

double ToDouble(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty: return 0;
    case VarType::Null: NullUse();
    case VarType::Integer: return v.AsInteger();
    case VarType::Long: return v.AsLong();
    case VarType::BigInt: return static_cast<double>(v.AsBigInt());
    case VarType::Byte: return v.AsByte();
    case VarType::Single: return v.AsSingle();
    case VarType::Double: return v.AsDouble();
    case VarType::Currency: return static_cast<double>(v.AsCurrency().scaled) / Currency::kScale;
    case VarType::Date: return v.AsDate().serial;
    case VarType::Boolean: return v.AsBoolean() ? -1 : 0;
    case VarType::String: {
      auto d = ParseNumber(v.AsString());
      if (!d) Mismatch();
      return *d;
    }
    default: Mismatch();
  }
}

int16_t ToInteger(const Variant& v) { return static_cast<int16_t>(ToWhole(v, INT16_MIN, INT16_MAX)); }
int32_t ToLong(const Variant& v) { return static_cast<int32_t>(ToWhole(v, INT32_MIN, INT32_MAX)); }
int64_t ToBigInt(const Variant& v) { return ToWhole(v, INT64_MIN, INT64_MAX); }
uint8_t ToByte(const Variant& v) { return static_cast<uint8_t>(ToWhole(v, 0, 255)); }

float ToSingle(const Variant& v) {
  const double d = ToDouble(v);
  if (std::isfinite(d) && std::fabs(d) > FLT_MAX) Overflow();
  return static_cast<float>(d);
}

Currency ToCurrency(const Variant& v) {
  switch (v.Type()) {
    case VarType::Currency: return v.AsCurrency();
    case VarType::Null: NullUse();
    case VarType::Empty: return {};
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
    case VarType::Boolean: return Currency{ToBigInt(v) * Currency::kScale};
    case VarType::BigInt: {
      const int64_t n = v.AsBigInt();
      if (n > INT64_MAX / Currency::kScale || n < INT64_MIN / Currency::kScale) Overflow();
      return Currency{n * Currency::kScale};
    }
    case VarType::String: {
      auto c = ParseCurrency(v.AsString());
      if (!c) {
        if (!ParseNumber(v.AsString())) Mismatch();
        Overflow();
      }
      return *c;
    }
    default: {
      const double scaled = RoundHalfEven(ToDouble(v) * Currency::kScale);
      if (!(std::fabs(scaled) < 9.2233720368547758e18)) Overflow();
      return Currency{static_cast<int64_t>(scaled)};
    }
  }
}

DateValue ToDate(const Variant& v) {
  switch (v.Type()) {
    case VarType::Date: return v.AsDate();
    case VarType::Null: NullUse();
    case VarType::String: {
      if (auto d = ParseDate(v.AsString())) return *d;
      if (auto n = ParseNumber(v.AsString())) return ToDate(Variant::Double(*n));
      Mismatch();
    }
    case VarType::Object:
    case VarType::Bytes: Mismatch();
    default: {
      const double d = ToDouble(v);
      if (!IsValidDate(DateValue{d})) Overflow();
      return DateValue{d};
    }
  }
}

bool ToBoolean(const Variant& v) {
  switch (v.Type()) {
    case VarType::Boolean: return v.AsBoolean();
    case VarType::Null: NullUse();
    case VarType::String: {
      auto b = ParseBoolean(v.AsString());
      if (!b) Mismatch();
      return *b;
    }
    case VarType::Object:
    case VarType::Bytes: Mismatch();
    default: return ToDouble(v) != 0;
  }
}

namespace {
std::string HexBytes(const Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::string TextOf(const Variant& v, bool roundTrip) {
  switch (v.Type()) {
    case VarType::Empty: return "";
    case VarType::Null: NullUse();
    case VarType::Integer: return std::to_string(v.AsInteger());
    case VarType::Long: return std::to_string(v.AsLong());
    case VarType::BigInt: return std::to_string(v.AsBigInt());
    case VarType::Byte: return std::to_string(v.AsByte());
    case VarType::Single: return roundTrip ? FormatSingleRoundTrip(v.AsSingle()) : FormatSingle(v.AsSingle());
    case VarType::Double: return roundTrip ? FormatDoubleRoundTrip(v.AsDouble()) : FormatDouble(v.AsDouble());
    case VarType::Currency: return FormatCurrency(v.AsCurrency());
    case VarType::Date: return FormatGeneralDate(v.AsDate());
    case VarType::String: return v.AsString();
    case VarType::Boolean: return v.AsBoolean() ? "True" : "False";
    case VarType::Bytes: return HexBytes(v.AsBytes());
    default: Mismatch();
  }
}
}  // namespace

std::string ToText(const Variant& v) { return TextOf(v, false); }
std::string ToRoundTripText(const Variant& v) { return TextOf(v, true); }

Variant ChangeType(const Variant& v, VarType type) {
  if (v.IsNull() || v.IsEmpty() || v.Type() == type) return v;
  switch (type) {
    case VarType::Integer: return Variant::Integer(ToInteger(v));
    case VarType::Long: return Variant::Long(ToLong(v));
    case VarType::BigInt: return Variant::BigInt(ToBigInt(v));
    case VarType::Byte: return Variant::Byte(ToByte(v));
    case VarType::Single: return Variant::Single(ToSingle(v));
    case VarType::Double: return Variant::Double(ToDouble(v));
    case VarType::Currency: return Variant(ToCurrency(v));
    case VarType::Date: return Variant(ToDate(v));
    case VarType::Boolean: return Variant::Boolean(ToBoolean(v));
    case VarType::String: return Variant(ToText(v));
    case VarType::Empty: return Variant();
    case VarType::Null: return Variant::Null();
    default: Mismatch();
  }
}

}  // namespace vendrel

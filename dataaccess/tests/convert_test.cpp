#include "vendrel/dataaccess/convert.h"

#include <gtest/gtest.h>

#include "vendrel/testing/errors.h"

#include <bit>
#include <string>
#include <vector>
#include <cfloat>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <random>
#include <optional>
#include <tuple>

#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel {
namespace {

using vendrel::testing::ErrorNumberOf;

TEST(FormatDouble, FifteenSignificantDigitsAsThePlatformWritesThem) {
  const std::pair<double, const char*> cases[] = {
      {999999999999999.0, "999999999999999"},
      {1e15, "1E+15"},
      {1.2e15, "1.2E+15"},
      {1e14, "100000000000000"},
      {5.6789e-11, "0.000000000056789"},
      {5.6789e-12, "5.6789E-12"},
      {3.14159265358979323846, "3.14159265358979"},
      {12.345678901234567, "12.3456789012346"},
      {-0.0, "0"},
      {0.5, "0.5"},
      {-2.25, "-2.25"},
      {123456.0, "123456"},
      {1e-300, "1E-300"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatDouble(value), text) << value;
}

// The significant digits of a number's text: no sign, point, exponent, or
// leading and trailing zeros.
std::string SignificantDigits(std::string_view text) {
  text = text.substr(0, text.find_first_of("eE"));
  std::string digits;
  for (char c : text)
    if (c >= '0' && c <= '9' && !(digits.empty() && c == '0')) digits += c;
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  return digits;
}

// Values of few decimal places take a shorter road than others; every text
// must still be the shortest that reads back to the value.
TEST(FormatRoundTrip, EveryValueGetsItsShortestDigits) {
  std::vector<double> values = {1234.25, 0.000001, 0.0000015, 999999999999999.0, 99999999999999.9, 1e14, 1e15 - 1,
                                123456789012345.0, 12345678901234.5, 0.1, 0.7, 2.675, 1.005, 5e-7, 4503599627370497.0,
                                9007199254740993.0, 1.0 / 3, 0.1 + 0.2};
  std::mt19937_64 random(20261210);
  for (int i = 0; i < 20000; ++i) {
    const int places = static_cast<int>(random() % 10);
    const auto whole = static_cast<int64_t>(random() % 1000000000000000ULL) >> (random() % 50);
    double v = static_cast<double>(whole);
    for (int p = 0; p < places; ++p) v /= 10;
    values.push_back(random() % 2 ? -v : v);
    values.push_back(std::bit_cast<double>(random()));
  }
  for (double v : values) {
    if (!std::isfinite(v)) continue;
    const std::string text = FormatDoubleRoundTrip(v);
    ASSERT_EQ(ParseNumber(text).value(), v) << text;
    char shortest[64];
    const auto r = std::to_chars(shortest, shortest + sizeof shortest, v, std::chars_format::scientific);
    ASSERT_EQ(SignificantDigits(text), SignificantDigits(std::string_view(shortest, r.ptr))) << text;
  }
  EXPECT_EQ(FormatDoubleRoundTrip(1234.25), "1234.25");
  EXPECT_EQ(FormatDoubleRoundTrip(-0.000001), "-0.000001");
  EXPECT_EQ(FormatDoubleRoundTrip(1e14), "100000000000000");
  EXPECT_EQ(FormatDoubleRoundTrip(-0.0), FormatDoubleRoundTrip(0.0));
}

// The shortest digits (the standard library's) laid out as the platform
// writes a Double: plain up to 15 digits, else d.dddE+XX.
std::string ShortestLaidOut(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  std::string_view s(buf, static_cast<size_t>(r.ptr - buf));
  const bool negative = s.front() == '-';
  if (negative) s.remove_prefix(1);
  const size_t e = s.find('e');
  std::string digits;
  for (char c : s.substr(0, e))
    if (c != '.') digits += c;
  const int exponent = std::stoi(std::string(s.substr(e + 1)));
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty()) return "0";
  const std::string sign = negative ? "-" : "";
  const int n = static_cast<int>(digits.size());
  if (exponent >= 15 || (exponent < 0 && -exponent - 1 + std::min(n, 15) > 15)) {
    char tail[16];
    std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return sign + digits[0] + (n > 1 ? "." + digits.substr(1) : "") + tail;
  }
  if (exponent < 0) return sign + "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  if (n <= exponent + 1) return sign + digits + std::string(static_cast<size_t>(exponent + 1 - n), '0');
  return sign + digits.substr(0, static_cast<size_t>(exponent + 1)) + "." + digits.substr(static_cast<size_t>(exponent + 1));
}

// Every double gets exactly that text, whichever way the formatter finds its
// digits: random bit patterns, binary fractions and whole numbers around the
// 15-digit edge, decimals of few places, and the edges of the range.
TEST(FormatRoundTrip, EveryDoubleIsItsShortestDigitsLaidOut) {
  std::vector<double> values = {DBL_MIN,       DBL_MAX,    DBL_TRUE_MIN, 5e-324,    1e15,       1e15 - 1,
                                1e15 + 2,      999999999999999.5, 0.1,   1e-5,      1e-6,       1.5e-6,
                                123456789012345e-29, 9007199254740992.0, 9007199254740991.0, 1e21, 1e22, 1e23,
                                std::ldexp(1.0, -21), std::ldexp(1.0, -22), std::ldexp(3.0, -21), 476837158203125e-21,
                                std::ldexp(1.0, 49), std::ldexp(1.0, 50), std::ldexp(1.0, 51), 1.0, 2.0, 10.0};
  std::mt19937_64 random(20261211);
  for (int i = 0; i < 300000; ++i) {
    values.push_back(std::bit_cast<double>(random()));
    // m / 2^j and m * 2^j: exact binary values with up to and beyond 15 digits.
    const uint64_t m = random() >> (random() % 64);
    const int j = static_cast<int>(random() % 80) - 20;
    values.push_back(std::ldexp(static_cast<double>(m), -j));
    values.push_back(static_cast<double>(random() % 100000000000ULL) / 1024.0);
    values.push_back(static_cast<double>(random() % 1000000000ULL) / std::pow(10.0, static_cast<double>(random() % 8)));
  }
  for (double v : std::vector<double>(values)) {
    values.push_back(-v);
    values.push_back(std::nextafter(v, 0.0));
    values.push_back(std::nextafter(v, HUGE_VAL));
  }
  for (double v : values) {
    if (!std::isfinite(v) || v == 0) continue;
    ASSERT_EQ(FormatDoubleRoundTrip(v), ShortestLaidOut(v)) << std::bit_cast<uint64_t>(v);
  }
  EXPECT_EQ(FormatDoubleRoundTrip(3.0517578125), "3.0517578125");
  EXPECT_EQ(FormatDoubleRoundTrip(-1024.0), "-1024");
  EXPECT_EQ(FormatDoubleRoundTrip(std::ldexp(1.0, -20)), "9.5367431640625E-07");
  EXPECT_EQ(FormatDoubleRoundTrip(std::ldexp(1.0, 60)), "1.152921504606847E+18");
}

TEST(FormatSingle, SevenSignificantDigitsRoundingTiesAwayFromZero) {
  EXPECT_EQ(FormatSingle(1e8f), "1E+08");
  EXPECT_EQ(FormatSingle(1234.56789f), "1234.568");
  EXPECT_EQ(FormatSingle(654322.23456f), "654322.3");
  EXPECT_EQ(FormatSingle(0.1f), "0.1");
}

TEST(FormatRoundTrip, ReadsBackToTheSameValue) {
  const double values[] = {0.1 + 0.2, 1.0 / 3, 123456789.123456789, 1e300, 5e-324, -7.5, 1e15, 2.5e-7};
  for (double v : values) {
    const std::string text = FormatDoubleRoundTrip(v);
    auto back = ParseNumber(text);
    ASSERT_TRUE(back.has_value()) << text;
    EXPECT_EQ(*back, v) << text;
  }
  EXPECT_EQ(FormatDoubleRoundTrip(0.5), "0.5");  // ordinary values keep the ordinary text
  EXPECT_EQ(FormatDoubleRoundTrip(1e15), "1E+15");
  const float f = 654322.23456f;
  EXPECT_EQ(ParseNumber(FormatSingleRoundTrip(f)).value(), static_cast<double>(f));
}

TEST(FormatCurrency, UpToFourDecimalsWithoutSymbol) {
  EXPECT_EQ(FormatCurrency({15000}), "1.5");
  EXPECT_EQ(FormatCurrency({-15000}), "-1.5");
  EXPECT_EQ(FormatCurrency({9}), "0.0009");
  EXPECT_EQ(FormatCurrency({INT64_MAX}), "922337203685477.5807");
  EXPECT_EQ(FormatCurrency({INT64_MIN}), "-922337203685477.5808");
  EXPECT_EQ(FormatCurrency({0}), "0");
}

TEST(ParseNumber, PlainAndDecoratedFormsReadAlike) {
  const std::pair<const char*, std::optional<double>> numbers[] = {
      {"12.5", 12.5},   {"-1E-7", -1e-7}, {"1e+5", 1e5},          {"+12.5", 12.5}, {" 12.5 ", 12.5},
      {"$1,234.5", 1234.5}, {".5", 0.5},  {"1e", std::nullopt}, {"1-2", std::nullopt},
      {"1.2.3", std::nullopt}, {"-", std::nullopt}, {"1e400", std::nullopt}, {"inf", std::nullopt}};
  for (const auto& [text, expected] : numbers) EXPECT_EQ(ParseNumber(text), expected) << text;
  const std::pair<const char*, std::optional<int64_t>> amounts[] = {
      {"-0.5", -5000},   {"007.5", 75000}, {"12345678901234.5678", 123456789012345678}, {"1.23455", 12346},
      {"1.23465", 12346}, {" 2 ", 20000}, {"1.", 10000},  {"-", std::nullopt}, {"1.2.3", std::nullopt}};
  for (const auto& [text, expected] : amounts) {
    const std::optional<Currency> c = ParseCurrency(text);
    EXPECT_EQ(c ? std::optional<int64_t>(c->scaled) : std::nullopt, expected) << text;
  }
}

TEST(ParseCurrency, ExactToFourDecimals) {
  EXPECT_EQ(ParseCurrency("922337203685477.5807")->scaled, INT64_MAX);
  EXPECT_EQ(ParseCurrency("-1.5")->scaled, -15000);
  EXPECT_EQ(ParseCurrency("0.00005")->scaled, 0);   // half to even
  EXPECT_EQ(ParseCurrency("0.00015")->scaled, 2);
  EXPECT_FALSE(ParseCurrency("922337203685477.5808").has_value());
  EXPECT_FALSE(ParseCurrency("abc").has_value());
}

TEST(Dates, ShortDateTimeAndGeneralForms) {
  const DateValue d = MakeDate(2003, 1, 2, 13, 4, 5).value();
  EXPECT_EQ(FormatShortDateTime(d), "1/2/2003 13:04:05");
  EXPECT_EQ(FormatShortDateTime(MakeDate(2003, 1, 2).value()), "1/2/2003 00:00:00");
  EXPECT_EQ(FormatShortDateTime(DateValue{0.5}), "12/30/1899 12:00:00");
  EXPECT_EQ(FormatGeneralDate(MakeDate(1900, 12, 30).value()), "12/30/1900");
  EXPECT_EQ(FormatGeneralDate(DateValue{0}), "12:00:00 AM");
  EXPECT_EQ(FormatGeneralDate(MakeDate(1900, 1, 2, 8, 9, 36).value()), "1/2/1900 8:09:36 AM");
  // Negative dates count days back but the time forward from midnight.
  EXPECT_EQ(FormatShortDateTime(DateValue{-1.25}), "12/29/1899 06:00:00");
  EXPECT_EQ(Weekday(MakeDate(2003, 1, 2).value()), 5);  // a Thursday
  EXPECT_FALSE(MakeDate(2003, 2, 29).has_value());
}

TEST(ParseDate, AcceptsThePlatformsForms) {
  const double jan2 = MakeDate(1970, 1, 2).value().serial;
  const char* forms[] = {"1/2/1970", "1-2-1970", "2 Jan 1970", "2-Jan-1970", "2 January, 1970",
                         "1970-01-02", "Jan 2, 1970", "1/2/70"};
  for (const char* f : forms) {
    auto d = ParseDate(f);
    ASSERT_TRUE(d.has_value()) << f;
    EXPECT_EQ(d->serial, jan2) << f;
  }
  EXPECT_EQ(ParseDate("13/1/2000")->serial, MakeDate(2000, 1, 13)->serial);  // day first when it must be
  EXPECT_EQ(ParseDate("1/2/29")->serial, MakeDate(2029, 1, 2)->serial);
  EXPECT_EQ(ParseDate("1/2/30")->serial, MakeDate(1930, 1, 2)->serial);
  EXPECT_EQ(ParseDate("1/2/2003 13:04:05")->serial, MakeDate(2003, 1, 2, 13, 4, 5)->serial);
  EXPECT_EQ(ParseDate("1970-01-02T13:04:05")->serial, MakeDate(1970, 1, 2, 13, 4, 5)->serial);
  EXPECT_EQ(ParseDate("1/2/1900 8:09:36 PM")->serial, MakeDate(1900, 1, 2, 20, 9, 36)->serial);
  EXPECT_EQ(ParseDate("12:00:00 AM")->serial, 0.0);
  const char* refused[] = {"", "hello", "13/13/2000", "1/2/2003 12:00:00.5", "2/30/2003", "1/2", "25:00"};
  for (const char* r : refused) EXPECT_FALSE(ParseDate(r).has_value()) << r;
}

TEST(ParseDate, ReadsTheFormDataFilesAreWrittenInMonthFirst) {
  const std::pair<const char*, std::optional<DateValue>> cases[] = {
      {"12/31/9999 23:59:59", MakeDate(9999, 12, 31, 23, 59, 59)},
      {"1/2/2003 00:00:00", MakeDate(2003, 1, 2)},
      {"1/2/2003 13:04", MakeDate(2003, 1, 2, 13, 4, 0)},
      {"01/02/2003 1:02:03", MakeDate(2003, 1, 2, 1, 2, 3)},
      {" 1/2/2003 13:04:05 ", MakeDate(2003, 1, 2, 13, 4, 5)},
      {"13/1/2000 01:02:03", MakeDate(2000, 1, 13, 1, 2, 3)},  // day first when it must be
      {"1/2/2003 24:00:00", std::nullopt},
      {"2/30/2003 00:00:00", std::nullopt},
      {"0/2/2003 00:00:00", std::nullopt},
      {"1/2/20031 00:00:00", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    const std::optional<DateValue> d = ParseDate(text);
    ASSERT_EQ(d.has_value(), expected.has_value()) << text;
    if (d) {
      EXPECT_EQ(d->serial, expected->serial) << text;
    }
  }
}

std::string ExactText(double serial) {
  std::string out = "> ";
  AppendExactDate(out, DateValue{serial});
  return out.substr(2);
}

TEST(ExactDate, WholeSecondsAsTheShortFormAndFractionsOnlyWhereAValueHasOne) {
  EXPECT_EQ(ExactText(MakeDate(2003, 1, 2, 13, 4, 5)->serial), "1/2/2003 13:04:05");
  EXPECT_EQ(ExactText(0), "12/30/1899 00:00:00");
  EXPECT_EQ(ExactText(-1.25), "12/29/1899 06:00:00");
  EXPECT_EQ(ExactText(3600.5 / 86400), "12/30/1899 01:00:00.5");
  EXPECT_EQ(ExactText(0.001 / 86400), "12/30/1899 00:00:00.001");
  EXPECT_EQ(ExactText(-1 - 0.25 / 86400), "12/29/1899 00:00:00.25");
  // Just below midnight the time is cut, not rounded into the next day.
  EXPECT_EQ(ExactText(1 - 0.0001 / 86400).substr(0, 20), "12/30/1899 23:59:59.");
  // A time before day zero but less than a day away shows as that time of day zero.
  EXPECT_EQ(ExactText(-0.25), "12/30/1899 06:00:00");
}

TEST(ExactDate, EverySerialReadsBackBitForBit) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> serials(-657434.0, 2958465.99999);
  for (int i = 0; i < 20000; ++i) {
    double serial = serials(random);
    if (serial > -1 && serial < 0) continue;
    if (i % 3 == 0) serial = std::nextafter(std::trunc(serial), serial);  // a hair from midnight
    const std::string text = ExactText(serial);
    const std::optional<DateValue> back = ParseExactDate(text);
    ASSERT_TRUE(back.has_value()) << text;
    ASSERT_EQ(std::bit_cast<uint64_t>(back->serial), std::bit_cast<uint64_t>(serial)) << text;
  }
}

TEST(ExactDate, SerialsNoDateCanShowAreNotValidAndSplitWithoutOverflow) {
  for (double serial : {2958466.0, -657435.0}) EXPECT_FALSE(IsValidDate(DateValue{serial}));
  for (double serial : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300}) {
    EXPECT_FALSE(IsValidDate(DateValue{serial}));
    const CivilDateTime c = SplitDate(DateValue{serial});  // split as day zero, without overflow
    EXPECT_EQ(c.year * 10000 + c.month * 100 + c.day, 18991230);
  }
  EXPECT_TRUE(IsValidDate(DateValue{-657434.0}));
  EXPECT_TRUE(IsValidDate(DateValue{2958465.5}));
}

TEST(ExactDate, ReadsOnlyTheWrittenForm) {
  EXPECT_EQ(ParseExactDate("1/2/2003 13:04:05"), MakeDate(2003, 1, 2, 13, 4, 5));
  for (const char* bad : {"1/2/2003 13:04:05.", "1/2/2003 13:04.5", "1/2/2003 13:04:05.x", "13/2/2003 13:04:05.5",
                          "1/2/2003 24:00:00.5", "1/2/2003 13:04:05.12345678901234567890"})
    EXPECT_FALSE(ParseExactDate(bad).has_value()) << bad;
}

TEST(Conversions, AppendersAddTheFormattedTextToWhatIsThere) {
  for (double d : {0.0, -0.0, 0.1 + 0.2, 1e15, -5.6789e-12, 123456789012345678.0}) {
    std::string out = "x";
    AppendDoubleRoundTrip(out, d);
    EXPECT_EQ(out, "x" + FormatDoubleRoundTrip(d)) << d;
  }
  for (int64_t c : {int64_t{0}, int64_t{-15000}, int64_t{9}, INT64_MIN, INT64_MAX}) {
    std::string out = "x";
    AppendCurrency(out, Currency{c});
    EXPECT_EQ(out, "x" + FormatCurrency(Currency{c})) << c;
  }
  std::string out = "x";
  AppendShortDateTime(out, DateValue{-1.25});
  EXPECT_EQ(out, "x12/29/1899 06:00:00");
  EXPECT_EQ(FormatShortDateTime(MakeDate(9999, 12, 31, 23, 59, 59).value()), "12/31/9999 23:59:59");
  EXPECT_EQ(FormatShortDateTime(MakeDate(100, 1, 1).value()), "1/1/0100 00:00:00");
}

TEST(Conversions, WholeNumbersRoundHalfToEven) {
  const std::pair<double, int32_t> cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {2.6, 3}};
  for (const auto& [in, out] : cases) EXPECT_EQ(ToLong(Variant::Double(in)), out) << in;
  EXPECT_EQ(ToLong(Variant(Currency{25000})), 2);
  EXPECT_EQ(ToInteger(Variant("12")), 12);
  EXPECT_EQ(ToLong(Variant::Boolean(true)), -1);
}

TEST(Conversions, ErrorsForNullMismatchAndOverflow) {
  EXPECT_EQ(ErrorNumberOf([] { ToText(Variant::Null()); }), err::kInvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([] { ToLong(Variant::Null()); }), err::kInvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([] { ToLong(Variant("abc")); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { ToInteger(Variant::Long(40000)); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ToByte(Variant::Long(-1)); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ToCurrency(Variant::Double(1e20)); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ToDate(Variant("not a date")); }), err::kTypeMismatch);
}

TEST(Conversions, TextOfEachType) {
  EXPECT_EQ(ToText(Variant()), "");
  EXPECT_EQ(ToText(Variant::Boolean(true)), "True");
  EXPECT_EQ(ToText(Variant::Boolean(false)), "False");
  EXPECT_EQ(ToText(Variant::BigInt(-9007199254740993LL)), "-9007199254740993");
  EXPECT_EQ(ToText(Variant::Integer(-32768)), "-32768");
  EXPECT_EQ(ToText(Variant(Currency{12345})), "1.2345");
  EXPECT_EQ(ToText(Variant::FromBytes({0x01, 0xAB})), "01AB");
  EXPECT_EQ(ToBoolean(Variant("TRUE")), true);
  EXPECT_EQ(ToBoolean(Variant("0")), false);
  EXPECT_EQ(ToDouble(Variant("1,234.5")), 1234.5);
}

}  // namespace
}  // namespace vendrel

namespace vendrel {
namespace {

// The comparison stops at the first ASCII letters that differ and folds only
// texts with other characters; every answer is the full folding's.
TEST(EqualsNoCase, AnswersAsTheFullFoldingDoes) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"True", "true", true},           {"TRUE", "trUe", true},         {"True", "Tru", false},
      {"", "", true},                   {"", "a", false},               {"abc", "abd", false},
      {"Stra\xC3\x9F" "e", "STRASSE", true},  // the sharp s folds to two letters
      {"\xC3\x84" "b", "\xC3\xA4" "B", true},  {"ab", "ab\xC3\xA9", false}, {"abk", "ab\xE2\x84\xAA", true},
      {"\xE2\x84\xAA", "k", true},      // the Kelvin sign folds to k
      {"x\xC3\x84", "y\xC3\xA4", false}, {"On", "Off", false},          {"[t.txt]", "[T.TXT]", true},
  };
  for (const auto& [a, b, equal] : cases) {
    EXPECT_EQ(EqualsNoCase(a, b), equal) << a << " / " << b;
    EXPECT_EQ(EqualsNoCase(b, a), equal) << b << " / " << a;
    EXPECT_EQ(EqualsNoCase(a, b), FoldCase(a) == FoldCase(b)) << a << " / " << b;
  }
}

}  // namespace
}  // namespace vendrel

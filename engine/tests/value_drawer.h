#pragma once
// Random values of every field type, of every class a field can hold: the
// edges of each range, the values that only the exact text keeps (-0, NaN,
// infinities, texts with quotes, TABs and line breaks, bytes), and plain ones.

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine_test_support.h"

namespace vendrel::testing {

// The field types the data-access layer offers, with widths that hold the values drawn.
inline const std::vector<FieldSpec> kEveryFieldType = {
    {"SmallInt", adSmallInt, 0},         {"Integer", adInteger, 0},
    {"Single", adSingle, 0},             {"Double", adDouble, 0},
    {"Currency", adCurrency, 0},         {"Date", adDate, 0},
    {"BSTR", adBSTR, 40},                {"Boolean", adBoolean, 0},
    {"Variant", adVariant, 40},          {"Decimal", adDecimal, 0},
    {"TinyInt", adTinyInt, 0},           {"UnsignedTinyInt", adUnsignedTinyInt, 0},
    {"UnsignedSmallInt", adUnsignedSmallInt, 0}, {"UnsignedInt", adUnsignedInt, 0},
    {"BigInt", adBigInt, 0},             {"UnsignedBigInt", adUnsignedBigInt, 0},
    {"GUID", adGUID, 40},                {"Binary", adBinary, 16},
    {"Char", adChar, 40},                {"WChar", adWChar, 40},
    {"Numeric", adNumeric, 0},           {"DBDate", adDBDate, 0},
    {"DBTime", adDBTime, 0},             {"DBTimeStamp", adDBTimeStamp, 0},
    {"DBFileTime", adDBFileTime, 0},     {"VarChar", adVarChar, 40},
    {"LongVarChar", adLongVarChar, 0},   {"VarWChar", adVarWChar, 300},
    {"LongVarWChar", adLongVarWChar, 0}, {"VarBinary", adVarBinary, 16},
    {"LongVarBinary", adLongVarBinary, 0},
};

// The seeds of a longer random run asked for by hand: VDL_ROUND_TRIP_SEED (a
// number, or "random") and VDL_ROUND_TRIP_RUNS (100 unless given); nullopt
// when no seed is set.
struct RandomRun {
  uint64_t firstSeed = 0;
  long runs = 100;
};
inline std::optional<RandomRun> RandomRunAskedFor() {
  const char* seedText = std::getenv("VDL_ROUND_TRIP_SEED");
  if (!seedText) return std::nullopt;
  RandomRun run;
  run.firstSeed =
      std::string_view(seedText) == "random" ? std::random_device{}() : std::strtoull(seedText, nullptr, 10);
  if (const char* runsText = std::getenv("VDL_ROUND_TRIP_RUNS")) run.runs = std::strtol(runsText, nullptr, 10);
  return run;
}

class ValueDrawer {
 public:
  explicit ValueDrawer(uint64_t seed) : random_(seed) {}

  Variant Draw(const FieldSpec& field) {
    if (Chance(8)) return Variant::Null();
    switch (field.type) {
      case adSmallInt: return Variant::Integer(static_cast<int16_t>(Whole(INT16_MIN, INT16_MAX)));
      case adTinyInt: return Variant::Integer(static_cast<int16_t>(Whole(-128, 127)));
      case adUnsignedTinyInt: return Variant::Byte(static_cast<uint8_t>(Whole(0, 255)));
      case adInteger: return Variant::Long(static_cast<int32_t>(Whole(INT32_MIN, INT32_MAX)));
      case adUnsignedSmallInt: return Variant::Long(static_cast<int32_t>(Whole(0, 65535)));
      case adUnsignedInt: return Variant::BigInt(Whole(0, 4294967295LL));
      case adBigInt: return Variant::BigInt(Whole(INT64_MIN, INT64_MAX));
      case adUnsignedBigInt: return Variant::BigInt(Whole(0, INT64_MAX));
      case adSingle: return Variant::Single(SingleValue());
      case adDouble:
      case adDecimal:
      case adNumeric: return Variant::Double(DoubleValue());
      case adCurrency: return Variant(Currency{Whole(INT64_MIN, INT64_MAX)});
      case adBoolean: return Variant::Boolean(Chance(2));
      case adDate:
      case adDBDate:
      case adDBTime:
      case adDBTimeStamp:
      case adDBFileTime: return Variant(DateValueDrawn());
      case adBinary:
      case adVarBinary:
      case adLongVarBinary: return Variant::FromBytes(BytesValue(field.definedSize > 0 ? field.definedSize : 64));
      default: return Variant(TextValue(field.definedSize > 0 ? field.definedSize : 400));
    }
  }

 private:
  bool Chance(int oneIn) { return std::uniform_int_distribution<int>(0, oneIn - 1)(random_) == 0; }
  template <class T>
  T Pick(std::initializer_list<T> values) {
    return *(values.begin() + std::uniform_int_distribution<size_t>(0, values.size() - 1)(random_));
  }

  int64_t Whole(int64_t lo, int64_t hi) {
    if (Chance(4)) return Pick<int64_t>({lo, hi, 0, lo + 1, hi - 1, std::max<int64_t>(lo, -1), std::min<int64_t>(hi, 1)});
    return std::uniform_int_distribution<int64_t>(lo, hi)(random_);
  }

  float SingleValue() {
    if (Chance(3))
      return Pick<float>({-0.0f, 0.0f, std::numeric_limits<float>::quiet_NaN(), HUGE_VALF, -HUGE_VALF, FLT_MAX,
                          -FLT_MAX, FLT_MIN, std::numeric_limits<float>::denorm_min(), 0.1f, 1e8f, 5592405.5f});
    float f;
    do f = std::bit_cast<float>(static_cast<uint32_t>(random_())); while (!std::isfinite(f));
    return f;
  }

  double DoubleValue() {
    if (Chance(3))
      return Pick<double>({-0.0, 0.0, std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, -HUGE_VAL, DBL_MAX, -DBL_MAX,
                           DBL_MIN, std::numeric_limits<double>::denorm_min(), 0.1 + 0.2, 1e15, 12.0, -7.0,
                           9007199254740993.0, 1e300});
    if (Chance(3)) return static_cast<double>(Whole(-1000000, 1000000));
    double d;
    do d = std::bit_cast<double>(static_cast<uint64_t>(random_())); while (!std::isfinite(d));
    return d;
  }

  // Valid dates; the time before day zero that is less than a day away
  // (-0.25) shows as the same time of day zero, and is not drawn.
  DateValue DateValueDrawn() {
    constexpr double kFirst = -657434.0, kLast = 2958465.99999;
    if (Chance(4)) {
      return DateValue{Pick<double>({kFirst, kLast, 0.0, 1.0, -1.0, -1.5, 0.5, 2958465.0, 37623.0, 37623.5446875})};
    }
    const int64_t day = Whole(-657433, 2958464);
    if (Chance(2)) {
      // whole seconds, or milliseconds, as a program builds them
      const int seconds = static_cast<int>(Whole(0, 86399));
      const double fraction = Chance(2) ? seconds / 86400.0 : (seconds * 1000.0 + static_cast<double>(Whole(0, 999))) / 86400000.0;
      return DateValue{day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction};
    }
    double serial;
    do serial = std::uniform_real_distribution<double>(kFirst, kLast)(random_);
    while (serial > -1 && serial < 0);
    return DateValue{serial};
  }

  Bytes BytesValue(long most) {
    Bytes bytes(static_cast<size_t>(Whole(0, std::min<long>(most, 8))));
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(Pick<int>({0x00, 0xFF, 0x09, 0x0D, 0x0A, 0x22, 0x30, 0x78}) ^
                                                      (Chance(2) ? static_cast<int>(random_() & 0xFF) : 0));
    return bytes;
  }

  std::string TextValue(long most) {
    if (Chance(3))
      return Pick<std::string>({"", " ", "  a  ", "\"", "\"a\"", "a\"b", "a\tb", "a\r\nb", "\r", "\n", "\r\n", "\t",
                                "\"\"", "0x41", "NaN", "-0", "1/2/2003", "\"a\"b", std::string("a\0b", 3), "é\"ü"});
    static constexpr std::string_view kPieces[] = {"a", "B", " ", "\"", "\t", "\r", "\n", "\r\n", "é", "0",
                                                   "x", "'", ",", ".", std::string_view("\0", 1)};
    std::string text;
    const int64_t pieces = Whole(0, std::min<long>(most, 12));
    for (int64_t i = 0; i < pieces; ++i)
      text += kPieces[std::uniform_int_distribution<size_t>(0, std::size(kPieces) - 1)(random_)];
    return text;
  }

  std::mt19937_64 random_;
};

}  // namespace vendrel::testing

#include <cmath>
#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <random>

#include "sql/builtin.h"
#include "sql/builtin_util.h"

namespace vendrel::driver::sql::builtin {

namespace {

// Applies a rounding of whole units to a number, keeping its type (Currency
// is rounded exactly by its callers).
template <class Rounding>
Variant RoundedWhole(const Variant& v, Rounding round) {
  switch (v.Type()) {
    case VarType::Null: return v;
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::BigInt: return v;
    case VarType::Boolean: return Variant::Integer(v.AsBoolean() ? -1 : 0);
    case VarType::Single: return Variant::Single(static_cast<float>(round(static_cast<double>(v.AsSingle()))));
    case VarType::Date: return Variant::Date(round(v.AsDate().serial));
    default: return Variant::Double(round(ToDouble(v)));
  }
}

double Real(const Variant& v) { return ToDouble(v); }

Variant Checked(double r) {
  if (!std::isfinite(r)) Fail(err::kOverflow);
  return Variant::Double(r);
}

std::mt19937& Generator() {
  thread_local std::mt19937 generator{std::random_device{}()};
  return generator;
}

}  // namespace

Variant IsNumeric(Args a) {
  const Variant& v = a[0];
  if (v.IsString()) return Variant::Boolean(ParseNumber(v.AsString()).has_value());
  return Variant::Boolean(v.IsNumeric());
}

Variant IsDate(Args a) {
  const Variant& v = a[0];
  if (v.Type() == VarType::Date) return Variant::Boolean(true);
  if (v.IsString()) return Variant::Boolean(ParseDate(v.AsString()).has_value());
  return Variant::Boolean(false);
}

Variant CStr(Args a) { return Variant::String(ToText(a[0])); }
Variant CInt(Args a) { return Variant::Integer(ToInteger(a[0])); }
Variant CLng(Args a) { return Variant::Long(ToLong(a[0])); }
Variant CSng(Args a) { return Variant::Single(ToSingle(a[0])); }
Variant CDbl(Args a) { return Variant::Double(ToDouble(a[0])); }
Variant CCur(Args a) { return Variant(ToCurrency(a[0])); }
Variant CDate(Args a) { return Variant(ToDate(a[0])); }
Variant CBool(Args a) { return Variant::Boolean(ToBoolean(a[0])); }
Variant CByte(Args a) { return Variant::Byte(ToByte(a[0])); }

Variant Int(Args a) {
  if (a[0].Type() == VarType::Currency) {
    const int64_t s = a[0].AsCurrency().scaled;
    int64_t q = s / Currency::kScale;
    if (s % Currency::kScale < 0) --q;
    return Variant(Currency{q * Currency::kScale});
  }
  return RoundedWhole(a[0], [](double d) { return std::floor(d); });
}

Variant Fix(Args a) {
  if (a[0].Type() == VarType::Currency)
    return Variant(Currency{a[0].AsCurrency().scaled / Currency::kScale * Currency::kScale});
  return RoundedWhole(a[0], [](double d) { return std::trunc(d); });
}

Variant Abs(Args a) {
  const Variant& v = a[0];
  switch (v.Type()) {
    case VarType::Null: return v;
    case VarType::Byte: return v;
    case VarType::Boolean: return Variant::Integer(v.AsBoolean() ? 1 : 0);
    case VarType::Integer:
      if (v.AsInteger() == INT16_MIN) Fail(err::kOverflow);
      return Variant::Integer(static_cast<int16_t>(std::abs(v.AsInteger())));
    case VarType::Long:
      if (v.AsLong() == INT32_MIN) Fail(err::kOverflow);
      return Variant::Long(std::abs(v.AsLong()));
    case VarType::BigInt:
      if (v.AsBigInt() == INT64_MIN) Fail(err::kOverflow);
      return Variant::BigInt(std::abs(v.AsBigInt()));
    case VarType::Currency:
      if (v.AsCurrency().scaled == INT64_MIN) Fail(err::kOverflow);
      return Variant(Currency{std::abs(v.AsCurrency().scaled)});
    case VarType::Single: return Variant::Single(std::fabs(v.AsSingle()));
    case VarType::Date: return Variant::Date(std::fabs(v.AsDate().serial));
    default: return Variant::Double(std::fabs(ToDouble(v)));
  }
}

Variant Sgn(Args a) {
  if (a[0].IsNull()) return a[0];
  const double d = Real(a[0]);
  return Variant::Integer(static_cast<int16_t>(d > 0 ? 1 : d < 0 ? -1 : 0));
}

Variant Sqr(Args a) {
  if (a[0].IsNull()) return a[0];
  const double d = Real(a[0]);
  Require(d >= 0);
  return Variant::Double(std::sqrt(d));
}

Variant Exp(Args a) {
  if (a[0].IsNull()) return a[0];
  return Checked(std::exp(Real(a[0])));
}

Variant Log(Args a) {
  if (a[0].IsNull()) return a[0];
  const double d = Real(a[0]);
  Require(d > 0);
  return Variant::Double(std::log(d));
}

Variant Sin(Args a) { return a[0].IsNull() ? a[0] : Variant::Double(std::sin(Real(a[0]))); }
Variant Cos(Args a) { return a[0].IsNull() ? a[0] : Variant::Double(std::cos(Real(a[0]))); }
Variant Tan(Args a) { return a[0].IsNull() ? a[0] : Variant::Double(std::tan(Real(a[0]))); }
Variant Atn(Args a) { return a[0].IsNull() ? a[0] : Variant::Double(std::atan(Real(a[0]))); }

// Half to even at the given number of decimals.
Variant Round(Args a) {
  const Variant& v = a[0];
  if (v.IsNull()) return v;
  const int32_t decimals = LongArg(a, 1, 0);
  Require(decimals >= 0 && decimals <= 22);
  switch (v.Type()) {
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::BigInt: return v;
    case VarType::Boolean: return Variant::Integer(v.AsBoolean() ? -1 : 0);
    case VarType::Currency: {
      if (decimals >= 4) return v;
      int64_t unit = 1;
      for (int i = decimals; i < 4; ++i) unit *= 10;
      const int64_t s = v.AsCurrency().scaled;
      int64_t q = s / unit;
      const int64_t r = s % unit;
      const int64_t twice = r < 0 ? -2 * r : 2 * r;
      if (twice > unit || (twice == unit && (q & 1))) q += s < 0 ? -1 : 1;
      return Variant(Currency{q * unit});
    }
    default: break;
  }
  const double d = Real(v);
  const double scale = std::pow(10.0, decimals);
  double r = RoundHalfEven(d * scale) / scale;
  if (!std::isfinite(r)) r = d;
  if (v.Type() == VarType::Single) return Variant::Single(static_cast<float>(r));
  if (v.Type() == VarType::Date) return Variant::Date(r);
  return Variant::Double(r);
}

Variant Rnd(Args a) {
  thread_local float last = 0;
  if (Given(a, 0) && !a[0].IsNull()) {
    const double n = Real(a[0]);
    if (n == 0) return Variant::Single(last);
    if (n < 0) {
      std::mt19937 seeded(static_cast<uint32_t>(std::fabs(n) * 1000003));
      return Variant::Single(std::uniform_real_distribution<float>(0.0f, 1.0f)(seeded));
    }
  }
  float r = std::uniform_real_distribution<float>(0.0f, 1.0f)(Generator());
  if (r >= 1.0f) r = 0.0f;
  last = r;
  return Variant::Single(r);
}

// The range of `interval` numbers from `start` that holds the number, as
// "lo:hi" with both sides right-aligned to the width of `stop` plus one, so
// that the texts sort as the ranges do; "   :lo-1" below start and "hi+1:   "
// above stop.
Variant Partition(Args a) {
  if (a[0].IsNull()) return a[0];
  const int64_t number = ToLong(a[0]);
  const int64_t start = ToLong(a[1]), stop = ToLong(a[2]), interval = ToLong(a[3]);
  Require(start >= 0 && stop > start && interval >= 1);
  const size_t width = std::to_string(stop).size() + 1;
  auto side = [&](std::optional<int64_t> n) {
    const std::string digits = n ? std::to_string(*n) : std::string();
    return std::string(width > digits.size() ? width - digits.size() : 0, ' ') + digits;
  };
  if (number < start) return Variant::String(side(std::nullopt) + ":" + side(start - 1));
  if (number > stop) return Variant::String(side(stop + 1) + ":" + side(std::nullopt));
  const int64_t low = start + (number - start) / interval * interval;
  return Variant::String(side(low) + ":" + side(std::min(low + interval - 1, stop)));
}

}  // namespace vendrel::driver::sql::builtin

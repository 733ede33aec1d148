#include "results.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/driver/text_order.h"

namespace vendrel::tester {

namespace {

bool IsNumber(const Variant& v) {
  switch (v.Type()) {
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::BigInt:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Boolean: return true;
    default: return false;
  }
}

// Exact for every whole number and currency, as doubles for the rest.
long double NumberOf(const Variant& v) {
  switch (v.Type()) {
    case VarType::Currency: return static_cast<long double>(v.AsCurrency().scaled) / 10000.0L;
    case VarType::BigInt: return static_cast<long double>(v.AsBigInt());
    case VarType::Boolean: return v.AsBoolean() ? -1.0L : 0.0L;
    default: return static_cast<long double>(ToDouble(v));
  }
}

int Sign(long double d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

// Text of one value for a key: its type, then its value to the bit.
std::string ExactKey(const Variant& v, bool approximate) {
  std::string key = std::to_string(static_cast<int>(v.Type())) + ":";
  switch (v.Type()) {
    case VarType::Null: return key;
    case VarType::Double:
    case VarType::Single: {
      const double d = v.Type() == VarType::Double ? v.AsDouble() : v.AsSingle();
      if (d == 0) return key + "0";  // both zeros together: told apart, where they must be, by Alike
      if (approximate && std::isfinite(d)) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.5e", d == 0 ? 0.0 : d);
        return key + buf;
      }
      return key + std::to_string(std::bit_cast<uint64_t>(d));
    }
    case VarType::Date: return key + std::to_string(std::bit_cast<uint64_t>(v.AsDate().serial));
    case VarType::String:
      if (approximate)
        if (const auto d = ParseNumber(v.AsString()); d && std::isfinite(*d)) {
          char buf[40];
          std::snprintf(buf, sizeof buf, "%.5e", *d == 0 ? 0.0 : *d);
          return key + "number " + buf;
        }
      return key + v.AsString();
    case VarType::Bytes: return key + std::string(v.AsBytes().begin(), v.AsBytes().end());
    default: return key + ToText(v);
  }
}

std::string RowKey(const Row& row, bool approximate) {
  std::string key;
  for (const Variant& v : row) {
    const std::string k = ExactKey(v, approximate);
    key += std::to_string(k.size()) + "|" + k;
  }
  return key;
}

bool IsZero(const Variant& v) {
  return (v.Type() == VarType::Double && v.AsDouble() == 0) || (v.Type() == VarType::Single && v.AsSingle() == 0);
}

bool Alike(const Variant& a, const Variant& b, Likeness likeness) {
  if (a.Type() != b.Type()) return false;
  if (IsZero(a) && IsZero(b)) {
    const bool signA = a.Type() == VarType::Double ? std::signbit(a.AsDouble()) : std::signbit(a.AsSingle());
    const bool signB = b.Type() == VarType::Double ? std::signbit(b.AsDouble()) : std::signbit(b.AsSingle());
    return !likeness.signedZero || signA == signB;
  }
  if (a.Type() == VarType::String && likeness.approximate) {
    // A floating sum that a function turned into text ("1.23E+18", Format's digits).
    const auto x = ParseNumber(a.AsString()), y = ParseNumber(b.AsString());
    if (x && y && std::isfinite(*x) && std::isfinite(*y))
      return *x == *y || std::fabs(*x - *y) <= 1e-6 * std::max(std::fabs(*x), std::fabs(*y));
  }
  if (likeness.anySpelling && a.Type() == VarType::String) return CompareValues(a, b) == 0;
  if (!likeness.approximate || (a.Type() != VarType::Double && a.Type() != VarType::Single))
    return ExactKey(a, false) == ExactKey(b, false);
  const double x = a.Type() == VarType::Double ? a.AsDouble() : a.AsSingle();
  const double y = b.Type() == VarType::Double ? b.AsDouble() : b.AsSingle();
  if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
  if (x == y) return true;
  // Variances of large numbers lose digits by cancellation, in an order the plan chooses.
  return std::fabs(x - y) <= 1e-6 * std::max(std::fabs(x), std::fabs(y));
}

std::string Show(const Variant& v) {
  if (v.IsNull()) return "Null";
  if (v.Type() == VarType::String) return "'" + v.AsString() + "'";
  return ToRoundTripText(v);
}

std::string FirstDifference(const std::vector<Row>& a, const std::vector<Row>& b) {
  std::string why = "the rows differ (" + std::to_string(a.size()) + " and " + std::to_string(b.size()) + " rows)";
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i)
    if (CompareRowsStrictly(a[i], b[i]) != 0 || RowKey(a[i], false) != RowKey(b[i], false))
      return why + "; first: " + ShowRow(a[i]) + " against " + ShowRow(b[i]);
  if (a.size() > n) return why + "; first extra: " + ShowRow(a[n]);
  if (b.size() > n) return why + "; first missing: " + ShowRow(b[n]);
  return why;
}

}  // namespace

int CompareValues(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return a.IsNull() == b.IsNull() ? 0 : a.IsNull() ? -1 : 1;
  if (IsNumber(a) && IsNumber(b)) {
    // As the dialect compares them: as doubles when either is one.
    const bool floating = a.Type() == VarType::Double || a.Type() == VarType::Single || b.Type() == VarType::Double ||
                          b.Type() == VarType::Single;
    const long double x = floating ? static_cast<long double>(ToDouble(a)) : NumberOf(a);
    const long double y = floating ? static_cast<long double>(ToDouble(b)) : NumberOf(b);
    if (std::isnan(x) || std::isnan(y)) return std::isnan(x) == std::isnan(y) ? 0 : std::isnan(x) ? 1 : -1;
    return Sign(x - y);
  }
  if (a.Type() == VarType::Date && b.Type() == VarType::Date) {
    const double x = a.AsDate().serial, y = b.AsDate().serial;
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (a.Type() == VarType::String && b.Type() == VarType::String) {
    const int c = driver::CompareTexts(a.AsString(), b.AsString());
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  // Values of different kinds: by kind, so that the order stays a total one.
  const int x = static_cast<int>(a.Type()), y = static_cast<int>(b.Type());
  if (x != y) return x < y ? -1 : 1;
  const std::string p = ExactKey(a, false), q = ExactKey(b, false);
  return p < q ? -1 : p > q ? 1 : 0;
}

int CompareValuesStrictly(const Variant& a, const Variant& b) {
  const int c = CompareValues(a, b);
  if (c != 0 || a.Type() != VarType::String || b.Type() != VarType::String) return c;
  return a.AsString() < b.AsString() ? -1 : a.AsString() > b.AsString() ? 1 : 0;
}

int CompareRows(const Row& a, const Row& b) {
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (const int c = CompareValues(a[i], b[i])) return c;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int CompareRowsStrictly(const Row& a, const Row& b) {
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (const int c = CompareValuesStrictly(a[i], b[i])) return c;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

std::string MultisetDifference(std::vector<Row> a, std::vector<Row> b, Likeness likeness) {
  // Texts of any spelling sort as the dialect orders them, everything else by its exact key.
  // Rows sort by keys that let go of what Alike lets go of: floating values
  // rounded, texts folded where any spelling will do.
  auto less = [&](const Row& x, const Row& y) {
    for (size_t i = 0; i < std::min(x.size(), y.size()); ++i) {
      const Variant& p = x[i];
      const Variant& q = y[i];
      if (likeness.anySpelling && p.Type() == VarType::String && q.Type() == VarType::String) {
        if (const int c = CompareValues(p, q)) return c < 0;
        continue;
      }
      const std::string kp = ExactKey(p, likeness.approximate), kq = ExactKey(q, likeness.approximate);
      if (kp != kq) return kp < kq;
    }
    return x.size() < y.size();
  };
  std::sort(a.begin(), a.end(), less);
  std::sort(b.begin(), b.end(), less);
  bool same = a.size() == b.size();
  for (size_t i = 0; same && i < a.size(); ++i)
    for (size_t c = 0; same && c < a[i].size(); ++c) same = c < b[i].size() && Alike(a[i][c], b[i][c], likeness);
  return same ? std::string() : FirstDifference(a, b);
}

std::string DialectMultisetDifference(std::vector<Row> a, std::vector<Row> b, bool strictly) {
  auto compare = [&](const Row& x, const Row& y) { return strictly ? CompareRowsStrictly(x, y) : CompareRows(x, y); };
  auto less = [&](const Row& x, const Row& y) { return compare(x, y) < 0; };
  std::sort(a.begin(), a.end(), less);
  std::sort(b.begin(), b.end(), less);
  bool same = a.size() == b.size();
  for (size_t i = 0; same && i < a.size(); ++i) same = compare(a[i], b[i]) == 0;
  return same ? std::string() : FirstDifference(a, b);
}

std::vector<Row> DistinctRows(std::vector<Row> rows) {
  std::sort(rows.begin(), rows.end(), [](const Row& x, const Row& y) { return CompareRows(x, y) < 0; });
  rows.erase(std::unique(rows.begin(), rows.end(), [](const Row& x, const Row& y) { return CompareRows(x, y) == 0; }),
             rows.end());
  return rows;
}

std::string DistinctDifference(std::vector<Row> a, std::vector<Row> b) {
  a = DistinctRows(std::move(a));
  b = DistinctRows(std::move(b));
  bool same = a.size() == b.size();
  for (size_t i = 0; same && i < a.size(); ++i) same = CompareRows(a[i], b[i]) == 0;
  if (same) return {};
  std::string why = "the distinct rows differ (" + std::to_string(a.size()) + " and " + std::to_string(b.size()) + ")";
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (CompareRows(a[i], b[i]) != 0) return why + "; first: " + ShowRow(a[i]) + " against " + ShowRow(b[i]);
  return why;
}

std::string ShowRow(const Row& row) {
  std::string out = "(";
  for (size_t i = 0; i < row.size(); ++i) out += (i ? ", " : "") + Show(row[i]);
  return out + ")";
}

}  // namespace vendrel::tester

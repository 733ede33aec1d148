#include "result_rows.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <string_view>

namespace vendrel::bench {

std::string CanonicalReal(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

std::string CanonicalText(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null: return "\\N";
    case VarType::Integer: return std::to_string(v.AsInteger());
    case VarType::Long: return std::to_string(v.AsLong());
    case VarType::BigInt: return std::to_string(v.AsBigInt());
    case VarType::Byte: return std::to_string(v.AsByte());
    case VarType::Boolean: return v.AsBoolean() ? "-1" : "0";
    case VarType::Currency: return std::to_string(v.AsCurrency().scaled);
    case VarType::Single: return CanonicalReal(v.AsSingle());
    case VarType::Double: return CanonicalReal(v.AsDouble());
    case VarType::Date: return CanonicalReal(v.AsDate().serial);
    case VarType::String: return v.AsString();
    case VarType::Bytes: return std::string(v.AsBytes().begin(), v.AsBytes().end());
    case VarType::Object: return "(object)";
  }
  return {};
}

ResultRows CollectRows(Recordset& result) {
  ResultRows rows;
  if (result.RecordCount() == 0) return rows;
  FieldCollection& fields = result.Fields();
  const size_t count = static_cast<size_t>(fields.Count());
  for (result.MoveFirst(); !result.Eof(); result.MoveNext()) {
    std::vector<std::string>& row = rows.emplace_back();
    for (size_t i = 0; i < count; ++i) row.push_back(CanonicalText(fields[i].Value()));
  }
  return rows;
}

uint64_t WalkRows(Recordset& result) {
  uint64_t sum = 0;
  if (result.RecordCount() == 0) return sum;
  FieldCollection& fields = result.Fields();
  const size_t count = static_cast<size_t>(fields.Count());
  for (result.MoveFirst(); !result.Eof(); result.MoveNext()) {
    for (size_t i = 0; i < count; ++i) {
      const Variant& v = fields[i].Value();
      switch (v.Type()) {
        case VarType::Long: sum = Mix(sum, static_cast<uint64_t>(v.AsLong())); break;
        case VarType::Currency: sum = Mix(sum, static_cast<uint64_t>(v.AsCurrency().scaled)); break;
        case VarType::Double: sum = Mix(sum, std::bit_cast<uint64_t>(v.AsDouble())); break;
        case VarType::Date: sum = Mix(sum, std::bit_cast<uint64_t>(v.AsDate().serial)); break;
        case VarType::String: sum = Mix(sum, v.AsString().size() + static_cast<unsigned char>(v.AsString()[0])); break;
        default: sum = Mix(sum, static_cast<uint64_t>(v.Type())); break;
      }
    }
  }
  return sum;
}

namespace {

std::string Shown(const std::vector<std::string>& row) {
  std::string out;
  for (const std::string& v : row) out += (out.empty() ? "" : " | ") + v;
  return out;
}

}  // namespace

std::string Difference(const ResultRows& execute, const ResultRows& baseline, const std::vector<size_t>& orderKey) {
  if (execute.size() != baseline.size())
    return std::to_string(execute.size()) + " rows through Execute, " + std::to_string(baseline.size()) +
           " through the baseline";
  for (size_t r = 0; r < execute.size(); ++r) {
    for (size_t k : orderKey) {
      if (k >= execute[r].size() || k >= baseline[r].size() || execute[r][k] != baseline[r][k])
        return "row " + std::to_string(r + 1) + " is out of order: " + Shown(execute[r]) + " against " +
               Shown(baseline[r]);
    }
  }
  ResultRows a = execute, b = baseline;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  const auto [ita, itb] = std::mismatch(a.begin(), a.end(), b.begin());
  if (ita != a.end()) return "a row differs: " + Shown(*ita) + " against " + Shown(*itb);
  return {};
}

}  // namespace vendrel::bench

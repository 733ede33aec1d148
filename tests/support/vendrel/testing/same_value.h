#pragma once
// Test helper: two values equal as the rows keep them, of the same type,
// doubles, singles and dates to the bit (NaN to NaN, -0 apart from 0).

#include <bit>
#include <cstdint>

#include "vendrel/dataaccess/variant.h"

namespace vendrel::testing {

inline bool SameValue(const Variant& a, const Variant& b) {
  if (a.Type() != b.Type()) return false;
  if (a.Type() == VarType::Double) return std::bit_cast<uint64_t>(a.AsDouble()) == std::bit_cast<uint64_t>(b.AsDouble());
  if (a.Type() == VarType::Single) return std::bit_cast<uint32_t>(a.AsSingle()) == std::bit_cast<uint32_t>(b.AsSingle());
  if (a.Type() == VarType::Date) return std::bit_cast<uint64_t>(a.AsDate().serial) == std::bit_cast<uint64_t>(b.AsDate().serial);
  return a == b;
}

}  // namespace vendrel::testing

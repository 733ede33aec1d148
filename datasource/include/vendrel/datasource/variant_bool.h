#pragma once

#include <cstdint>

namespace vendrel {

// A flag as it crosses the component's interfaces: True is -1, and every other
// value counts as False. C++ true converts to -1.
struct VariantBool {
  int16_t value = 0;

  constexpr VariantBool() = default;
  constexpr VariantBool(bool b) : value(b ? -1 : 0) {}
  static constexpr VariantBool FromRaw(int16_t raw) {
    VariantBool v;
    v.value = raw;
    return v;
  }
  constexpr bool IsTrue() const { return value == -1; }
};

}  // namespace vendrel

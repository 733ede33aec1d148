#pragma once
// Helpers shared by the library functions.

#include <cstdint>
#include <span>
#include <string>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel::driver::sql::builtin {

[[noreturn]] inline void Fail(long number) { RaisePlatform(number, source::kRuntime); }
inline void Require(bool condition, long number = err::kInvalidProcedureCall) {
  if (!condition) Fail(number);
}

// An optional argument: absent or, where the platform allows, Null.
inline bool Given(std::span<const Variant> a, size_t i) { return i < a.size(); }
inline int32_t LongArg(std::span<const Variant> a, size_t i, int32_t fallback) {
  return Given(a, i) ? ToLong(a[i]) : fallback;
}

inline constexpr const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
inline constexpr const char* kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};

// Text compared by code points, case-insensitively unless compare is 0 (binary).
bool TextCompare(std::span<const Variant> a, size_t compareIndex);

}  // namespace vendrel::driver::sql::builtin

#pragma once
// What the driver's dialect holds, for programs that help people write
// statements: the functions a statement may call, the reserved words, and
// the rule by which a name counts as a misspelling of another.

#include <string>
#include <string_view>
#include <vector>

namespace vendrel::driver {

struct DialectFunction {
  std::string_view name;       // as the dialect spells it: "Mid"
  std::string_view arguments;  // "text, start[, length]": optional ones in brackets
  bool aggregate = false;      // Count, Sum, Avg, ...
};

// Every function a statement may call, in the driver's own order: the
// library functions, IIf and the other forms, then the aggregates.
std::vector<DialectFunction> DialectFunctions();

// The words of the dialect's statements, in upper case: the reserved ones
// (SELECT, FROM, ...), then those that are names elsewhere (TRANSFORM,
// PIVOT, CASE, ...).
std::vector<std::string_view> DialectKeywords();

// The candidate nearest to `wanted` (without regard to case) when it is near
// enough to be a misspelling of it, for a "Did you mean" of a message; empty
// otherwise.
std::string ClosestName(std::string_view wanted, const std::vector<std::string>& candidates);

}  // namespace vendrel::driver

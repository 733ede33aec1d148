#pragma once
// The functions a statement may call: the library functions evaluated on
// values (builtin_*.cpp), the aggregates, and the forms that generated SQL spells
// out itself (IIf, Switch, Choose, Nz, IsNull, CVar).

#include <span>
#include <string>
#include <vector>
#include <string_view>

#include "core/types.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel::driver::sql {

enum class ResultRule {
  Text, Boolean, Byte, Short, Long, BigInt, Currency, Single, Double, Date,
  NumberKept,  // Int, Fix, Abs, Round: the argument's numeric type (Double for text)
};

struct FunctionInfo {
  std::string_view name;  // as the platform spells it
  std::string_view arguments;  // for people: "text, start[, length]"
  int minArgs = 0;
  int maxArgs = 0;
  ResultRule result = ResultRule::Text;
  // Arguments arrive as values of their static types; errors are raised as
  // vendrel::Error (Invalid use of Null, Type mismatch, Overflow, ...).
  Variant (*eval)(std::span<const Variant> args) = nullptr;
  bool varies = false;  // Rnd, Now, Date, Time: not constant within a statement
};

// Library functions without regard to case; nullptr when there is none.
const FunctionInfo* FindFunction(std::string_view name);
std::span<const FunctionInfo> LibraryFunctions();
JetType ResultType(const FunctionInfo& f, std::span<const JetType> args);
// Functions that may be written without parentheses (Date, Time, Now).
bool IsNiladic(const FunctionInfo& f);

enum class Aggregate { None, Count, Sum, Avg, Min, Max, First, Last, StDev, StDevP, Var, VarP };
Aggregate FindAggregate(std::string_view name);

enum class SpecialForm { None, IIf, Switch, Choose, Nz, IsNull, CVar };
SpecialForm FindSpecialForm(std::string_view name);

// Every name a statement may call, with its arguments for people: the
// library functions, the forms generated SQL spells out, the aggregates.
struct CallableName {
  std::string_view name;
  std::string_view arguments;
  bool aggregate = false;
};
std::vector<CallableName> CallableNames();

// What the message about an unknown function adds: how this dialect writes
// a function of other SQL dialects ("UPPER": its name here is UCase), else
// the nearest name a statement may call; empty when there is neither. A
// hint only: the other name is never taken for the dialect's.
std::string FunctionHint(std::string_view name);
// Only the first: how this dialect writes what other dialects name so
// (CURRENT_TIMESTAMP, written without parentheses, is Now); empty otherwise.
std::string_view OtherDialectHint(std::string_view name);

// SQLite name of the function that evaluates f ("fn_left").
std::string SqlFunctionName(const FunctionInfo& f);

}  // namespace vendrel::driver::sql

#include "sql/functions.h"

#include <string>

#include "sql/builtin.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::sql {

namespace {

using R = ResultRule;

constexpr FunctionInfo kFunctions[] = {
    {"Left", 2, 2, R::Text, builtin::Left},
    {"Right", 2, 2, R::Text, builtin::Right},
    {"Mid", 2, 3, R::Text, builtin::Mid},
    {"Len", 1, 1, R::Long, builtin::Len},
    {"InStr", 2, 4, R::Long, builtin::InStr},
    {"InStrRev", 2, 4, R::Long, builtin::InStrRev},
    {"LCase", 1, 1, R::Text, builtin::LCase},
    {"UCase", 1, 1, R::Text, builtin::UCase},
    {"LTrim", 1, 1, R::Text, builtin::LTrim},
    {"RTrim", 1, 1, R::Text, builtin::RTrim},
    {"Trim", 1, 1, R::Text, builtin::Trim},
    {"Space", 1, 1, R::Text, builtin::Space},
    {"String", 2, 2, R::Text, builtin::String},
    {"Asc", 1, 1, R::Long, builtin::Asc},
    {"Chr", 1, 1, R::Text, builtin::Chr},
    {"StrComp", 2, 3, R::Short, builtin::StrComp},
    {"Replace", 3, 6, R::Text, builtin::Replace},
    {"StrReverse", 1, 1, R::Text, builtin::StrReverse},
    {"Str", 1, 1, R::Text, builtin::Str},
    {"Val", 1, 1, R::Double, builtin::Val},
    {"Hex", 1, 1, R::Text, builtin::Hex},
    {"Oct", 1, 1, R::Text, builtin::Oct},
    {"IsNumeric", 1, 1, R::Boolean, builtin::IsNumeric},
    {"IsDate", 1, 1, R::Boolean, builtin::IsDate},
    {"CStr", 1, 1, R::Text, builtin::CStr},
    {"CInt", 1, 1, R::Short, builtin::CInt},
    {"CLng", 1, 1, R::Long, builtin::CLng},
    {"CSng", 1, 1, R::Single, builtin::CSng},
    {"CDbl", 1, 1, R::Double, builtin::CDbl},
    {"CCur", 1, 1, R::Currency, builtin::CCur},
    {"CDate", 1, 1, R::Date, builtin::CDate},
    {"CBool", 1, 1, R::Boolean, builtin::CBool},
    {"CByte", 1, 1, R::Byte, builtin::CByte},
    {"Int", 1, 1, R::NumberKept, builtin::Int},
    {"Fix", 1, 1, R::NumberKept, builtin::Fix},
    {"Abs", 1, 1, R::NumberKept, builtin::Abs},
    {"Sgn", 1, 1, R::Short, builtin::Sgn},
    {"Sqr", 1, 1, R::Double, builtin::Sqr},
    {"Exp", 1, 1, R::Double, builtin::Exp},
    {"Log", 1, 1, R::Double, builtin::Log},
    {"Sin", 1, 1, R::Double, builtin::Sin},
    {"Cos", 1, 1, R::Double, builtin::Cos},
    {"Tan", 1, 1, R::Double, builtin::Tan},
    {"Atn", 1, 1, R::Double, builtin::Atn},
    {"Round", 1, 2, R::NumberKept, builtin::Round},
    {"Rnd", 0, 1, R::Single, builtin::Rnd, true},
    {"Partition", 4, 4, R::Text, builtin::Partition},
    {"Date", 0, 0, R::Date, builtin::Date, true},
    {"Time", 0, 0, R::Date, builtin::Time, true},
    {"Now", 0, 0, R::Date, builtin::Now, true},
    {"Year", 1, 1, R::Short, builtin::Year},
    {"Month", 1, 1, R::Short, builtin::Month},
    {"Day", 1, 1, R::Short, builtin::Day},
    {"Hour", 1, 1, R::Short, builtin::Hour},
    {"Minute", 1, 1, R::Short, builtin::Minute},
    {"Second", 1, 1, R::Short, builtin::Second},
    {"Weekday", 1, 2, R::Short, builtin::Weekday},
    {"DateAdd", 3, 3, R::Date, builtin::DateAdd},
    {"DateDiff", 3, 5, R::Long, builtin::DateDiff},
    {"DatePart", 2, 4, R::Long, builtin::DatePart},
    {"DateSerial", 3, 3, R::Date, builtin::DateSerial},
    {"DateValue", 1, 1, R::Date, builtin::DateValue},
    {"TimeSerial", 3, 3, R::Date, builtin::TimeSerial},
    {"TimeValue", 1, 1, R::Date, builtin::TimeValue},
    {"MonthName", 1, 2, R::Text, builtin::MonthName},
    {"WeekdayName", 1, 3, R::Text, builtin::WeekdayName},
    {"Format", 1, 4, R::Text, builtin::Format},
};

}  // namespace

const FunctionInfo* FindFunction(std::string_view name) {
  for (const FunctionInfo& f : kFunctions)
    if (EqualsNoCase(f.name, name)) return &f;
  return nullptr;
}

std::span<const FunctionInfo> LibraryFunctions() { return kFunctions; }

bool IsNiladic(const FunctionInfo& f) { return f.maxArgs == 0; }

JetType ResultType(const FunctionInfo& f, std::span<const JetType> args) {
  switch (f.result) {
    case R::Text: return JetType::Text;
    case R::Boolean: return JetType::Boolean;
    case R::Byte: return JetType::Byte;
    case R::Short: return JetType::Short;
    case R::Long: return JetType::Long;
    case R::BigInt: return JetType::BigInt;
    case R::Currency: return JetType::Currency;
    case R::Single: return JetType::Single;
    case R::Double: return JetType::Double;
    case R::Date: return JetType::Date;
    case R::NumberKept: break;
  }
  const JetType t = args.empty() ? JetType::Double : args[0];
  switch (t) {
    case JetType::Byte:
    case JetType::Short:
    case JetType::Long:
    case JetType::BigInt:
    case JetType::Currency:
    case JetType::Single:
    case JetType::Double:
    case JetType::Date: return t;
    case JetType::Boolean: return JetType::Short;
    default: return JetType::Double;
  }
}

Aggregate FindAggregate(std::string_view name) {
  static constexpr std::pair<std::string_view, Aggregate> kAggregates[] = {
      {"Count", Aggregate::Count}, {"Sum", Aggregate::Sum},     {"Avg", Aggregate::Avg},
      {"Min", Aggregate::Min},     {"Max", Aggregate::Max},     {"First", Aggregate::First},
      {"Last", Aggregate::Last},   {"StDev", Aggregate::StDev}, {"StDevP", Aggregate::StDevP},
      {"Var", Aggregate::Var},     {"VarP", Aggregate::VarP},
  };
  for (const auto& [n, a] : kAggregates)
    if (EqualsNoCase(n, name)) return a;
  return Aggregate::None;
}

SpecialForm FindSpecialForm(std::string_view name) {
  static constexpr std::pair<std::string_view, SpecialForm> kForms[] = {
      {"IIf", SpecialForm::IIf}, {"Switch", SpecialForm::Switch}, {"Choose", SpecialForm::Choose},
      {"Nz", SpecialForm::Nz},   {"IsNull", SpecialForm::IsNull}, {"CVar", SpecialForm::CVar},
  };
  for (const auto& [n, f] : kForms)
    if (EqualsNoCase(n, name)) return f;
  return SpecialForm::None;
}

std::string SqlFunctionName(const FunctionInfo& f) { return "fn_" + FoldCase(f.name); }

}  // namespace vendrel::driver::sql

#include "sql/functions.h"

#include <string>

#include "sql/vba.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::sql {

namespace {

using R = ResultRule;

constexpr FunctionInfo kFunctions[] = {
    {"Left", 2, 2, R::Text, vba::Left},
    {"Right", 2, 2, R::Text, vba::Right},
    {"Mid", 2, 3, R::Text, vba::Mid},
    {"Len", 1, 1, R::Long, vba::Len},
    {"InStr", 2, 4, R::Long, vba::InStr},
    {"InStrRev", 2, 4, R::Long, vba::InStrRev},
    {"LCase", 1, 1, R::Text, vba::LCase},
    {"UCase", 1, 1, R::Text, vba::UCase},
    {"LTrim", 1, 1, R::Text, vba::LTrim},
    {"RTrim", 1, 1, R::Text, vba::RTrim},
    {"Trim", 1, 1, R::Text, vba::Trim},
    {"Space", 1, 1, R::Text, vba::Space},
    {"String", 2, 2, R::Text, vba::String},
    {"Asc", 1, 1, R::Long, vba::Asc},
    {"Chr", 1, 1, R::Text, vba::Chr},
    {"StrComp", 2, 3, R::Short, vba::StrComp},
    {"Replace", 3, 6, R::Text, vba::Replace},
    {"StrReverse", 1, 1, R::Text, vba::StrReverse},
    {"Str", 1, 1, R::Text, vba::Str},
    {"Val", 1, 1, R::Double, vba::Val},
    {"Hex", 1, 1, R::Text, vba::Hex},
    {"Oct", 1, 1, R::Text, vba::Oct},
    {"IsNumeric", 1, 1, R::Boolean, vba::IsNumeric},
    {"IsDate", 1, 1, R::Boolean, vba::IsDate},
    {"CStr", 1, 1, R::Text, vba::CStr},
    {"CInt", 1, 1, R::Short, vba::CInt},
    {"CLng", 1, 1, R::Long, vba::CLng},
    {"CSng", 1, 1, R::Single, vba::CSng},
    {"CDbl", 1, 1, R::Double, vba::CDbl},
    {"CCur", 1, 1, R::Currency, vba::CCur},
    {"CDate", 1, 1, R::Date, vba::CDate},
    {"CBool", 1, 1, R::Boolean, vba::CBool},
    {"CByte", 1, 1, R::Byte, vba::CByte},
    {"Int", 1, 1, R::NumberKept, vba::Int},
    {"Fix", 1, 1, R::NumberKept, vba::Fix},
    {"Abs", 1, 1, R::NumberKept, vba::Abs},
    {"Sgn", 1, 1, R::Short, vba::Sgn},
    {"Sqr", 1, 1, R::Double, vba::Sqr},
    {"Exp", 1, 1, R::Double, vba::Exp},
    {"Log", 1, 1, R::Double, vba::Log},
    {"Sin", 1, 1, R::Double, vba::Sin},
    {"Cos", 1, 1, R::Double, vba::Cos},
    {"Tan", 1, 1, R::Double, vba::Tan},
    {"Atn", 1, 1, R::Double, vba::Atn},
    {"Round", 1, 2, R::NumberKept, vba::Round},
    {"Rnd", 0, 1, R::Single, vba::Rnd, true},
    {"Date", 0, 0, R::Date, vba::Date, true},
    {"Time", 0, 0, R::Date, vba::Time, true},
    {"Now", 0, 0, R::Date, vba::Now, true},
    {"Year", 1, 1, R::Short, vba::Year},
    {"Month", 1, 1, R::Short, vba::Month},
    {"Day", 1, 1, R::Short, vba::Day},
    {"Hour", 1, 1, R::Short, vba::Hour},
    {"Minute", 1, 1, R::Short, vba::Minute},
    {"Second", 1, 1, R::Short, vba::Second},
    {"Weekday", 1, 2, R::Short, vba::Weekday},
    {"DateAdd", 3, 3, R::Date, vba::DateAdd},
    {"DateDiff", 3, 5, R::Long, vba::DateDiff},
    {"DatePart", 2, 4, R::Long, vba::DatePart},
    {"DateSerial", 3, 3, R::Date, vba::DateSerial},
    {"DateValue", 1, 1, R::Date, vba::DateValue},
    {"TimeSerial", 3, 3, R::Date, vba::TimeSerial},
    {"TimeValue", 1, 1, R::Date, vba::TimeValue},
    {"MonthName", 1, 2, R::Text, vba::MonthName},
    {"WeekdayName", 1, 3, R::Text, vba::WeekdayName},
    {"Format", 1, 4, R::Text, vba::Format},
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

std::string SqlFunctionName(const FunctionInfo& f) { return "vba_" + FoldCase(f.name); }

}  // namespace vendrel::driver::sql

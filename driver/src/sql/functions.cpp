#include "sql/functions.h"

#include <algorithm>
#include <string>

#include "sql/builtin.h"
#include "sql/errors.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::sql {

namespace {

using R = ResultRule;

constexpr FunctionInfo kFunctions[] = {
    {"Left", "text, length", 2, 2, R::Text, builtin::Left},
    {"Right", "text, length", 2, 2, R::Text, builtin::Right},
    {"Mid", "text, start[, length]", 2, 3, R::Text, builtin::Mid},
    {"Len", "text", 1, 1, R::Long, builtin::Len},
    {"InStr", "[start, ]text, sought[, compare]", 2, 4, R::Long, builtin::InStr},
    {"InStrRev", "text, sought[, start[, compare]]", 2, 4, R::Long, builtin::InStrRev},
    {"LCase", "text", 1, 1, R::Text, builtin::LCase},
    {"UCase", "text", 1, 1, R::Text, builtin::UCase},
    {"LTrim", "text", 1, 1, R::Text, builtin::LTrim},
    {"RTrim", "text", 1, 1, R::Text, builtin::RTrim},
    {"Trim", "text", 1, 1, R::Text, builtin::Trim},
    {"Space", "number", 1, 1, R::Text, builtin::Space},
    {"String", "number, character", 2, 2, R::Text, builtin::String},
    {"Asc", "text", 1, 1, R::Long, builtin::Asc},
    {"Chr", "code", 1, 1, R::Text, builtin::Chr},
    {"StrComp", "text1, text2[, compare]", 2, 3, R::Short, builtin::StrComp},
    {"Replace", "text, find, replacement[, start[, count[, compare]]]", 3, 6, R::Text, builtin::Replace},
    {"StrReverse", "text", 1, 1, R::Text, builtin::StrReverse},
    {"Str", "number", 1, 1, R::Text, builtin::Str},
    {"Val", "text", 1, 1, R::Double, builtin::Val},
    {"Hex", "number", 1, 1, R::Text, builtin::Hex},
    {"Oct", "number", 1, 1, R::Text, builtin::Oct},
    {"IsNumeric", "value", 1, 1, R::Boolean, builtin::IsNumeric},
    {"IsDate", "value", 1, 1, R::Boolean, builtin::IsDate},
    {"CStr", "value", 1, 1, R::Text, builtin::CStr},
    {"CInt", "value", 1, 1, R::Short, builtin::CInt},
    {"CLng", "value", 1, 1, R::Long, builtin::CLng},
    {"CSng", "value", 1, 1, R::Single, builtin::CSng},
    {"CDbl", "value", 1, 1, R::Double, builtin::CDbl},
    {"CCur", "value", 1, 1, R::Currency, builtin::CCur},
    {"CDate", "value", 1, 1, R::Date, builtin::CDate},
    {"CBool", "value", 1, 1, R::Boolean, builtin::CBool},
    {"CByte", "value", 1, 1, R::Byte, builtin::CByte},
    {"Int", "number", 1, 1, R::NumberKept, builtin::Int},
    {"Fix", "number", 1, 1, R::NumberKept, builtin::Fix},
    {"Abs", "number", 1, 1, R::NumberKept, builtin::Abs},
    {"Sgn", "number", 1, 1, R::Short, builtin::Sgn},
    {"Sqr", "number", 1, 1, R::Double, builtin::Sqr},
    {"Exp", "number", 1, 1, R::Double, builtin::Exp},
    {"Log", "number", 1, 1, R::Double, builtin::Log},
    {"Sin", "number", 1, 1, R::Double, builtin::Sin},
    {"Cos", "number", 1, 1, R::Double, builtin::Cos},
    {"Tan", "number", 1, 1, R::Double, builtin::Tan},
    {"Atn", "number", 1, 1, R::Double, builtin::Atn},
    {"Round", "number[, places]", 1, 2, R::NumberKept, builtin::Round},
    {"Rnd", "[number]", 0, 1, R::Single, builtin::Rnd, true},
    {"Partition", "number, start, stop, interval", 4, 4, R::Text, builtin::Partition},
    {"Date", "", 0, 0, R::Date, builtin::Date, true},
    {"Time", "", 0, 0, R::Date, builtin::Time, true},
    {"Now", "", 0, 0, R::Date, builtin::Now, true},
    {"Year", "date", 1, 1, R::Short, builtin::Year},
    {"Month", "date", 1, 1, R::Short, builtin::Month},
    {"Day", "date", 1, 1, R::Short, builtin::Day},
    {"Hour", "time", 1, 1, R::Short, builtin::Hour},
    {"Minute", "time", 1, 1, R::Short, builtin::Minute},
    {"Second", "time", 1, 1, R::Short, builtin::Second},
    {"Weekday", "date[, first day]", 1, 2, R::Short, builtin::Weekday},
    {"DateAdd", "interval, number, date", 3, 3, R::Date, builtin::DateAdd},
    {"DateDiff", "interval, date1, date2[, first day[, first week]]", 3, 5, R::Long, builtin::DateDiff},
    {"DatePart", "interval, date[, first day[, first week]]", 2, 4, R::Long, builtin::DatePart},
    {"DateSerial", "year, month, day", 3, 3, R::Date, builtin::DateSerial},
    {"DateValue", "text", 1, 1, R::Date, builtin::DateValue},
    {"TimeSerial", "hour, minute, second", 3, 3, R::Date, builtin::TimeSerial},
    {"TimeValue", "text", 1, 1, R::Date, builtin::TimeValue},
    {"MonthName", "month[, abbreviate]", 1, 2, R::Text, builtin::MonthName},
    {"WeekdayName", "weekday[, abbreviate[, first day]]", 1, 3, R::Text, builtin::WeekdayName},
    {"Format", "value[, format[, first day[, first week]]]", 1, 4, R::Text, builtin::Format},
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

namespace {

struct AggregateName {
  std::string_view name;
  std::string_view arguments;
  Aggregate aggregate;
};
constexpr AggregateName kAggregates[] = {
    {"Count", "expression or *", Aggregate::Count}, {"Sum", "expression", Aggregate::Sum},
    {"Avg", "expression", Aggregate::Avg},          {"Min", "expression", Aggregate::Min},
    {"Max", "expression", Aggregate::Max},          {"First", "expression", Aggregate::First},
    {"Last", "expression", Aggregate::Last},        {"StDev", "expression", Aggregate::StDev},
    {"StDevP", "expression", Aggregate::StDevP},    {"Var", "expression", Aggregate::Var},
    {"VarP", "expression", Aggregate::VarP},
};

struct FormName {
  std::string_view name;
  std::string_view arguments;
  SpecialForm form;
};
constexpr FormName kForms[] = {
    {"IIf", "condition, if true, if false", SpecialForm::IIf},
    {"Switch", "condition, value[, condition, value]...", SpecialForm::Switch},
    {"Choose", "index, value[, value]...", SpecialForm::Choose},
    {"Nz", "value[, if null]", SpecialForm::Nz},
    {"IsNull", "value", SpecialForm::IsNull},
    {"CVar", "value", SpecialForm::CVar},
};

// Names of other SQL dialects that people write, and how this one says it.
constexpr std::pair<std::string_view, std::string_view> kOtherDialects[] = {
    {"upper", "This dialect's name for it is UCase."},
    {"lower", "This dialect's name for it is LCase."},
    {"substr", "This dialect's name for it is Mid: Mid(text, start, length)."},
    {"substring", "This dialect's name for it is Mid: Mid(text, start, length)."},
    {"length", "This dialect's name for it is Len."},
    {"char_length", "This dialect's name for it is Len."},
    {"character_length", "This dialect's name for it is Len."},
    {"coalesce", "This dialect's name for it is Nz: Nz(value, if null)."},
    {"ifnull", "This dialect's name for it is Nz: Nz(value, if null)."},
    {"nvl", "This dialect's name for it is Nz: Nz(value, if null)."},
    {"concat", "This dialect joins texts with the & operator: a & b."},
    {"concat_ws", "This dialect joins texts with the & operator: a & ', ' & b."},
    {"getdate", "This dialect's name for it is Now."},
    {"sysdate", "This dialect's name for it is Now."},
    {"sysdatetime", "This dialect's name for it is Now."},
    {"current_timestamp", "This dialect's name for it is Now."},
    {"localtimestamp", "This dialect's name for it is Now."},
    {"datetime", "This dialect's name for it is Now."},
    {"curdate", "This dialect's name for it is Date."},
    {"current_date", "This dialect's name for it is Date."},
    {"today", "This dialect's name for it is Date."},
    {"curtime", "This dialect's name for it is Time."},
    {"current_time", "This dialect's name for it is Time."},
    {"strftime", "This dialect's name for it is Format: Format(date, 'yyyy-mm-dd')."},
    {"date_format", "This dialect's name for it is Format: Format(date, 'yyyy-mm-dd')."},
    {"to_char", "This dialect's name for it is Format."},
    {"to_date", "This dialect's name for it is CDate."},
    {"str_to_date", "This dialect's name for it is CDate."},
    {"cast", "This dialect converts with CStr, CInt, CLng, CDbl, CCur, CDate and CBool."},
    {"convert", "This dialect converts with CStr, CInt, CLng, CDbl, CCur, CDate and CBool."},
    {"position", "This dialect's name for it is InStr: InStr(text, sought)."},
    {"locate", "This dialect's name for it is InStr: InStr(text, sought)."},
    {"charindex", "This dialect's name for it is InStr: InStr(text, sought)."},
    {"strpos", "This dialect's name for it is InStr: InStr(text, sought)."},
    {"reverse", "This dialect's name for it is StrReverse."},
    {"repeat", "This dialect's name for it is String: String(number, character)."},
    {"replicate", "This dialect's name for it is String: String(number, character)."},
    {"rand", "This dialect's name for it is Rnd."},
    {"random", "This dialect's name for it is Rnd."},
    {"ceil", "This dialect writes it -Int(-x)."},
    {"ceiling", "This dialect writes it -Int(-x)."},
    {"floor", "This dialect's name for it is Int."},
    {"trunc", "This dialect's name for it is Fix."},
    {"truncate", "This dialect's name for it is Fix."},
    {"power", "This dialect writes it with the ^ operator: x ^ y."},
    {"pow", "This dialect writes it with the ^ operator: x ^ y."},
    {"mod", "This dialect writes it with the Mod operator: a Mod b."},
    {"sqrt", "This dialect's name for it is Sqr."},
    {"ln", "This dialect's name for it is Log."},
    {"log10", "This dialect writes it Log(x) / Log(10)."},
    {"atan", "This dialect's name for it is Atn."},
    {"sign", "This dialect's name for it is Sgn."},
    {"nullif", "This dialect writes it IIf(a = b, Null, a)."},
    {"greatest", "This dialect writes it with IIf: IIf(a > b, a, b)."},
    {"least", "This dialect writes it with IIf: IIf(a < b, a, b)."},
    {"ascii", "This dialect's name for it is Asc."},
    {"char", "This dialect's name for it is Chr."},
    {"extract", "This dialect's name for it is DatePart: DatePart('yyyy', date)."},
    {"date_part", "This dialect's name for it is DatePart: DatePart('yyyy', date)."},
};

}  // namespace

Aggregate FindAggregate(std::string_view name) {
  for (const AggregateName& a : kAggregates)
    if (EqualsNoCase(a.name, name)) return a.aggregate;
  return Aggregate::None;
}

SpecialForm FindSpecialForm(std::string_view name) {
  for (const FormName& f : kForms)
    if (EqualsNoCase(f.name, name)) return f.form;
  return SpecialForm::None;
}

std::vector<CallableName> CallableNames() {
  std::vector<CallableName> names;
  for (const FunctionInfo& f : kFunctions) names.push_back({f.name, f.arguments, false});
  for (const FormName& f : kForms) names.push_back({f.name, f.arguments, false});
  for (const AggregateName& a : kAggregates) names.push_back({a.name, a.arguments, true});
  return names;
}

std::string_view OtherDialectHint(std::string_view name) {
  const std::string folded = FoldCase(name);
  for (const auto& [other, hint] : kOtherDialects)
    if (other == folded) return hint;
  return {};
}

std::string FunctionHint(std::string_view name) {
  if (const std::string_view hint = OtherDialectHint(name); !hint.empty()) return std::string(hint);
  std::vector<std::string> candidates;
  for (const CallableName& candidate : CallableNames()) candidates.emplace_back(candidate.name);
  const std::string best = ClosestName(name, candidates);
  return best.empty() ? std::string() : "Did you mean '" + best + "'?";
}

std::string SqlFunctionName(const FunctionInfo& f) { return "fn_" + FoldCase(f.name); }

}  // namespace vendrel::driver::sql

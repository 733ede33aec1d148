#pragma once
// Names of the SQLite functions and the collation that generated SQL calls,
// shared by the code generator and RegisterSqlFunctions.

#include <string_view>

namespace vendrel::driver::sql::fn {

inline constexpr std::string_view kCollation = "JETTEXT";

// Conversions: (value, from type, to type) and (value, from type) to text.
inline constexpr std::string_view kConvert = "jet_conv";
inline constexpr std::string_view kText = "jet_str";
// Whole-number arithmetic that raises Overflow instead of leaving 64 bits.
inline constexpr std::string_view kAdd = "jet_add";
inline constexpr std::string_view kSubtract = "jet_sub";
inline constexpr std::string_view kMultiply = "jet_mul";
inline constexpr std::string_view kNegate = "jet_neg";
inline constexpr std::string_view kCurrencyMultiply = "jet_curmul";
// / \ Mod ^ and &.
inline constexpr std::string_view kDivide = "jet_div";
inline constexpr std::string_view kIntegerDivide = "jet_idiv";
inline constexpr std::string_view kModulo = "jet_mod";
inline constexpr std::string_view kPower = "jet_pow";
inline constexpr std::string_view kAmpersand = "jet_amp";
inline constexpr std::string_view kLike = "jet_like";
// (number, description): raises that driver error when evaluated.
inline constexpr std::string_view kRaise = "jet_error";

// Aggregates.
inline constexpr std::string_view kSumWhole = "jet_sumi";  // exact, Overflow past 64 bits
inline constexpr std::string_view kSumReal = "jet_sumf";
inline constexpr std::string_view kFirst = "jet_first";
inline constexpr std::string_view kLast = "jet_last";
inline constexpr std::string_view kStDev = "jet_stdev";
inline constexpr std::string_view kStDevP = "jet_stdevp";
inline constexpr std::string_view kVar = "jet_var";
inline constexpr std::string_view kVarP = "jet_varp";

}  // namespace vendrel::driver::sql::fn

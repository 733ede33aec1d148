#pragma once
// The component's own errors: source "Vendrel", number 0x80040000 + n, which
// a caller sees as -2147221504 + n.

#include <string_view>

namespace vendrel::errors {

inline constexpr std::string_view kSource = "Vendrel";
inline constexpr long kBase = -2147221504L;  // 0x80040000
constexpr long Number(int n) { return kBase + n; }

inline constexpr long kFileNamesNotAssigned = Number(1001);
inline constexpr long kUnknownCause = Number(1002);
inline constexpr long kRecordsetNotSet = Number(1003);
inline constexpr long kOptimizedRecordsetMissing = Number(1004);
inline constexpr long kNullInNonNullableField = Number(1005);
inline constexpr long kDataFileFailed = Number(1006);
inline constexpr long kQueryFailed = Number(1007);
inline constexpr long kConnectionFailed = Number(1008);
inline constexpr long kOptimizedNameInvalid = Number(1009);
inline constexpr long kFolderNotCreated = Number(1010);
inline constexpr long kFolderNotDeleted = Number(1011);
inline constexpr long kSchemaFileFailed = Number(1012);

}  // namespace vendrel::errors

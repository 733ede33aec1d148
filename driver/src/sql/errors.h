#pragma once
// The driver's messages for faults of a statement, in the platform's words.
// A hint may follow the platform's sentence; the sentence itself stays intact.

#include <cstddef>
#include <string>
#include <string_view>

namespace vendrel::driver::sql {

[[noreturn]] void RaiseMissingOperator(std::string_view expression, std::string_view hint = {});
[[noreturn]] void RaiseClauseError(std::string_view clause, std::string_view hint = {});  // "FROM clause", "JOIN operation"
[[noreturn]] void RaiseBadString(std::string_view expression);
[[noreturn]] void RaiseBadDate(std::string_view expression);
[[noreturn]] void RaiseBadBracketing(std::string_view name);
[[noreturn]] void RaiseTextAfterEnd(std::string_view hint = {});
[[noreturn]] void RaiseNotSelect();
[[noreturn]] void RaiseBadSelectList(std::string_view hint = {});
[[noreturn]] void RaiseTooComplex();
[[noreturn]] void RaiseUnknownField(std::string_view name, std::string_view suggestion = {});
[[noreturn]] void RaiseTableNotFound(std::string_view name);
[[noreturn]] void RaiseNotGrouped(std::string_view expression);
[[noreturn]] void RaiseTypeMismatch(std::string_view hint = {});
[[noreturn]] void RaiseUndefinedFunction(std::string_view name);
[[noreturn]] void RaiseWrongArgumentCount(std::string_view expression);
[[noreturn]] void RaiseAmbiguousField(std::string_view name);
[[noreturn]] void RaiseUnionWidths();
[[noreturn]] void RaiseAggregateMisplaced(std::string_view where, std::string_view expression);
[[noreturn]] void RaiseOrderByConflictsWithDistinct(std::string_view expression);
[[noreturn]] void RaiseSubqueryColumns();
[[noreturn]] void RaiseDuplicateAlias(std::string_view alias);
[[noreturn]] void RaiseDuplicateTable(std::string_view name);
[[noreturn]] void RaiseParameterWithoutValue(std::string_view name);
[[noreturn]] void RaiseTooManyPivotColumns(std::string_view pivot, size_t columns, size_t headings);

// Runtime texts that functions set through EncodeRuntimeError.
inline constexpr std::string_view kSubqueryRows = "At most one record can be returned by this subquery.";

}  // namespace vendrel::driver::sql

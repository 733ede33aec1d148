#pragma once
// The driver's messages for faults of a statement, in the platform's words.
// A hint may follow the platform's sentence; the sentence itself stays intact.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vendrel::driver::sql {

[[noreturn]] void RaiseMissingOperator(std::string_view expression, std::string_view hint = {});
[[noreturn]] void RaiseClauseError(std::string_view clause, std::string_view hint = {});  // "FROM clause", "JOIN operation"
[[noreturn]] void RaiseBadString(std::string_view expression);
[[noreturn]] void RaiseBadDate(std::string_view expression);
[[noreturn]] void RaiseBadBracketing(std::string_view name);
[[noreturn]] void RaiseTextAfterEnd(std::string_view hint = {});
// `firstWord`: what the statement begins with (empty when it is no word);
// `near` says where, and is empty for a statement without tokens.
[[noreturn]] void RaiseNotSelect(std::string_view firstWord, std::string_view near);
[[noreturn]] void RaiseBadSelectList(std::string_view hint = {});
[[noreturn]] void RaiseTooComplex();
// `hint`: how the dialect writes a name of another dialect that is no field here.
[[noreturn]] void RaiseUnknownField(std::string_view name, std::string_view suggestion = {},
                                    std::string_view near = {}, std::string_view hint = {});
[[noreturn]] void RaiseTableNotFound(std::string_view name, std::string_view suggestion = {},
                                     std::string_view near = {});
[[noreturn]] void RaiseNotGrouped(std::string_view expression);
[[noreturn]] void RaiseTypeMismatch(std::string_view hint = {});
// `hint` names the dialect's function for it, or the closest ones.
[[noreturn]] void RaiseUndefinedFunction(std::string_view name, std::string_view hint = {},
                                         std::string_view near = {});
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

// Where a statement goes wrong, for the sentence that ends a message:
// "Near 'text' at character n." with n counted in characters from 1 (a long
// text is cut short). Every message that says where ends so.
std::string NearText(std::string_view statement, size_t begin, size_t end);
// The number of the character at byte `offset`, from 1.
size_t CharacterNumber(std::string_view statement, size_t offset);

// The candidate nearest to `wanted` (without regard to case) when it is near
// enough to be a misspelling of it, for a message's "Did you mean"; empty
// otherwise.
std::string ClosestName(std::string_view wanted, const std::vector<std::string>& candidates);

// Runtime texts that functions set through EncodeRuntimeError.
inline constexpr std::string_view kSubqueryRows = "At most one record can be returned by this subquery.";

}  // namespace vendrel::driver::sql

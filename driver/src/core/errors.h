#pragma once
// The driver's error numbers, and how a runtime error of a function that
// runs inside SQLite travels back out of it.

#include <string>
#include <string_view>

namespace vendrel::driver {

// Driver error numbers (HRESULTs).
namespace hr {
constexpr long kSyntaxError = -2147217900;
constexpr long kNoValueGiven = -2147217904;
constexpr long kTableNotFound = -2147217865;
constexpr long kTypeMismatch = -2147217913;
constexpr long kFileError = -2147467259;  // a data file that cannot be read or parsed
constexpr long kCancelled = -2147217842;  // the connection's Cancel stopped the statement
}  // namespace hr

[[noreturn]] void RaiseDriverError(long hresult, std::string description);

// A function running inside SQLite reports a runtime error ("Division by zero",
// "Overflow", "Invalid use of Null", "Type mismatch") by setting this text as
// its SQLite error; the statement runner turns it back into a driver error.
std::string EncodeRuntimeError(long hresult, std::string_view description);
// True when the SQLite message came from EncodeRuntimeError.
bool DecodeRuntimeError(std::string_view sqliteMessage, long& hresult, std::string& description);

}  // namespace vendrel::driver

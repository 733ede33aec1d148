#pragma once
// Errors of the data-access platform and of the component: a number, a source
// text and a description, raised as an exception.

#include <stdexcept>
#include <string>
#include <string_view>

namespace vendrel {

class Error : public std::runtime_error {
 public:
  Error(long number, std::string source, std::string description);

  long Number() const noexcept { return number_; }
  const std::string& Source() const noexcept { return source_; }
  const std::string& Description() const noexcept { return description_; }

 private:
  long number_;
  std::string source_;
  std::string description_;
};

// Platform error numbers that callers test.
namespace err {
constexpr long kInvalidProcedureCall = 5;
constexpr long kOverflow = 6;
constexpr long kSubscriptOutOfRange = 9;
constexpr long kDivisionByZero = 11;
constexpr long kTypeMismatch = 13;
constexpr long kFileNotFound = 53;
constexpr long kFileAlreadyExists = 58;
constexpr long kDiskFull = 61;
constexpr long kPermissionDenied = 70;
constexpr long kPathFileAccessError = 75;
constexpr long kPathNotFound = 76;
constexpr long kFileChanged = 77;  // a file that changed while it was read
constexpr long kObjectNotSet = 91;
constexpr long kInvalidUseOfNull = 94;
constexpr long kNotInstanceOfDefiningClass = 97;
constexpr long kKeyAlreadyAssociated = 457;
constexpr long kArgumentsWrongType = 3001;
constexpr long kNoCurrentRecord = 3021;
constexpr long kNotAllowedInContext = 3219;
constexpr long kNotCapable = 3251;
constexpr long kItemNotFound = 3265;
constexpr long kObjectAlreadyInCollection = 3367;
constexpr long kObjectClosed = 3704;
constexpr long kObjectOpen = 3705;
constexpr long kProviderNotFound = 3706;
constexpr long kConnectionClosed = 3709;
constexpr long kOperationCancelled = 3712;
constexpr long kMultipleStep = -2147217887;
}  // namespace err

// Sources of platform errors.
namespace source {
inline constexpr std::string_view kRuntime = "Runtime";
inline constexpr std::string_view kRecordset = "DataAccess.Recordset";
inline constexpr std::string_view kConnection = "DataAccess.Connection";
inline constexpr std::string_view kField = "DataAccess.Field";
inline constexpr std::string_view kFileSystem = "FileSystem";
}  // namespace source

// The platform's own description for a number it raises ("" when unknown).
std::string_view PlatformErrorText(long number);

[[noreturn]] void Raise(long number, std::string_view source, std::string description);
// Raises a platform error with its own description.
[[noreturn]] void RaisePlatform(long number, std::string_view source);

}  // namespace vendrel

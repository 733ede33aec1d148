#include "vendrel/dataaccess/error.h"

namespace vendrel {

Error::Error(long number, std::string source, std::string description)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

std::string_view PlatformErrorText(long number) {
  switch (number) {
    case err::kInvalidProcedureCall: return "Invalid procedure call or argument";
    case err::kOverflow: return "Overflow";
    case err::kSubscriptOutOfRange: return "Subscript out of range";
    case err::kDivisionByZero: return "Division by zero";
    case err::kTypeMismatch: return "Type mismatch";
    case err::kFileNotFound: return "File not found";
    case err::kFileAlreadyExists: return "File already exists";
    case err::kDiskFull: return "Disk full";
    case err::kPermissionDenied: return "Permission denied";
    case err::kPathFileAccessError: return "Path/File access error";
    case err::kPathNotFound: return "Path not found";
    case err::kFileChanged: return "File changed while it was read";
    case err::kObjectNotSet: return "Object variable or With block variable not set";
    case err::kInvalidUseOfNull: return "Invalid use of Null";
    case err::kNotInstanceOfDefiningClass:
      return "Can not call friend function on object which is not an instance of defining class";
    case err::kKeyAlreadyAssociated: return "This key is already associated with an element of this collection";
    case err::kArgumentsWrongType:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.";
    case err::kNoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
             "current record.";
    case err::kNotAllowedInContext: return "Operation is not allowed in this context.";
    case err::kNotCapable: return "Object or provider is not capable of performing requested operation.";
    case err::kItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or ordinal.";
    case err::kObjectAlreadyInCollection: return "Object is already in collection. Cannot append.";
    case err::kObjectClosed: return "Operation is not allowed when the object is closed.";
    case err::kObjectOpen: return "Operation is not allowed when the object is open.";
    case err::kProviderNotFound: return "Provider cannot be found. It may not be properly installed.";
    case err::kConnectionClosed:
      return "The connection cannot be used to perform this operation. It is either closed or invalid in this "
             "context.";
    case err::kOperationCancelled: return "Operation has been cancelled by the user.";
    case err::kMultipleStep:
      return "Multiple-step OLE DB operation generated errors. Check each OLE DB status value, if available. No "
             "work was done.";
    default: return "";
  }
}

void Raise(long number, std::string_view source, std::string description) {
  throw Error(number, std::string(source), std::move(description));
}

void RaisePlatform(long number, std::string_view source) {
  Raise(number, source, std::string(PlatformErrorText(number)));
}

}  // namespace vendrel

#pragma once
// Error information: what a failing call leaves for its caller besides the
// HRESULT. One record per thread, taken by the caller; it carries the
// interface that failed, a source and a description (no help file, no help
// context).

#include <optional>
#include <string>

#include "vendrel/dataaccess/com/guid.h"
#include "vendrel/dataaccess/com/hresult.h"
#include "vendrel/dataaccess/error.h"

namespace vendrel::com {

struct ErrorInfo {
  Guid interfaceId;  // kNullGuid: not tied to one interface (creation, the runtime)
  std::string source;
  std::string description;
};

// Replaces this thread's error information.
void SetErrorInfo(ErrorInfo info);
void ClearErrorInfo() noexcept;
// Takes this thread's error information, leaving none.
std::optional<ErrorInfo> GetErrorInfo();

// Source of the errors that the component runtime itself reports.
inline constexpr std::string_view kRuntimeSource = "COM";

// Server side: the HRESULT of a raised error, leaving its source and
// description as this thread's error information.
HRESULT ReportError(const Error& error, const Guid& iid);
// Reports a failure of the runtime itself with a description that names it.
HRESULT ReportFailure(HRESULT hr, std::string description);

// Client side: a failing HRESULT as a vendrel::Error. Number as
// ErrorNumberFromHResult gives it; source and description from this thread's
// error information when it belongs to this call (the interface called, or
// none named), else no source and the HRESULT's own text.
Error ErrorFromHResult(HRESULT hr, const Guid& iid = kNullGuid);
inline void CheckResult(HRESULT hr, const Guid& iid = kNullGuid) {
  if (Failed(hr)) throw ErrorFromHResult(hr, iid);
}

}  // namespace vendrel::com

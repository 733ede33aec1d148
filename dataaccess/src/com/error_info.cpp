#include "vendrel/dataaccess/com/error_info.h"

#include <utility>

namespace vendrel::com {

namespace {
thread_local std::optional<ErrorInfo> currentErrorInfo;
}  // namespace

void SetErrorInfo(ErrorInfo info) { currentErrorInfo = std::move(info); }

void ClearErrorInfo() noexcept { currentErrorInfo.reset(); }

std::optional<ErrorInfo> GetErrorInfo() { return std::exchange(currentErrorInfo, std::nullopt); }

HRESULT ReportError(const Error& error, const Guid& iid) {
  SetErrorInfo({iid, error.Source(), error.Description()});
  return HResultFromErrorNumber(error.Number());
}

HRESULT ReportFailure(HRESULT hr, std::string description) {
  SetErrorInfo({kNullGuid, std::string(kRuntimeSource), std::move(description)});
  return hr;
}

Error ErrorFromHResult(HRESULT hr, const Guid& iid) {
  std::optional<ErrorInfo> info = GetErrorInfo();
  if (info && (info->interfaceId == iid || info->interfaceId == kNullGuid || iid == kNullGuid))
    return Error(ErrorNumberFromHResult(hr), std::move(info->source), std::move(info->description));
  return Error(ErrorNumberFromHResult(hr), "", HResultText(hr));
}

}  // namespace vendrel::com

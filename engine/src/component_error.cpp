#include "component_error.h"

namespace vendrel::engine {

void RaiseComponent(long number, std::string description) {
  throw Error(number, std::string(errors::kSource), std::move(description));
}

void RaiseCancelled() {
  RaiseComponent(errors::kQueryFailed, std::string(PlatformErrorText(err::kOperationCancelled)));
}

bool IsCancellation(const std::exception_ptr& caught) {
  try {
    std::rethrow_exception(caught);
  } catch (const Error& e) {
    return e.Source() == errors::kSource && e.Number() == errors::kQueryFailed &&
           e.Description() == PlatformErrorText(err::kOperationCancelled);
  } catch (...) {
    return false;
  }
}

Error WrapForCaller(const std::exception_ptr& caught) {
  try {
    std::rethrow_exception(caught);
  } catch (const Error& e) {
    if (e.Source() == errors::kSource)
      return Error(e.Number(), std::string(errors::kSource), "[Vendrel] " + e.Description());
  } catch (...) {
  }
  return Error(errors::kUnknownCause, std::string(errors::kSource), std::string(kUnknownCauseText));
}

long ErrorNumberOf(const std::exception_ptr& caught) {
  try {
    std::rethrow_exception(caught);
  } catch (const Error& e) {
    return e.Number();
  } catch (...) {
    return 0;
  }
}

}  // namespace vendrel::engine

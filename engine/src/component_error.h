#pragma once
// Raising the component's errors, and the rule by which every error leaves
// Execute.

#include <exception>
#include <string>
#include <string_view>

#include "vendrel/dataaccess/error.h"
#include "vendrel/engine/errors.h"

namespace vendrel::engine {

// The description of every error whose cause the component cannot name.
inline constexpr std::string_view kUnknownCauseText =
    "An error has occured but the component is unable to establish the cause. Unable to continue.";

[[noreturn]] void RaiseComponent(long number, std::string description);

// Error 1007 of a query stopped by Vendrel::Cancel, with the platform's text.
[[noreturn]] void RaiseCancelled();
bool IsCancellation(const std::exception_ptr& caught);

// The error that leaves Execute for the one it caught: the component's own
// errors keep their number and get "[Vendrel] " before their description;
// every other error becomes 1002.
Error WrapForCaller(const std::exception_ptr& caught);

// The number of a caught platform or component error; 0 for anything else.
long ErrorNumberOf(const std::exception_ptr& caught);

}  // namespace vendrel::engine

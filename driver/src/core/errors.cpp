#include "core/errors.h"

#include <charconv>

#include "vendrel/dataaccess/error.h"
#include "vendrel/driver/driver.h"

namespace vendrel::driver {

void RaiseDriverError(long hresult, std::string description) {
  Raise(hresult, kDriverSource, std::move(description));
}

namespace {
constexpr std::string_view kRuntimeMarker = "\x1fJET:";
}

std::string EncodeRuntimeError(long hresult, std::string_view description) {
  std::string out(kRuntimeMarker);
  out += std::to_string(hresult);
  out += ':';
  out += description;
  return out;
}

bool DecodeRuntimeError(std::string_view message, long& hresult, std::string& description) {
  const size_t at = message.find(kRuntimeMarker);
  if (at == std::string_view::npos) return false;
  std::string_view rest = message.substr(at + kRuntimeMarker.size());
  const size_t colon = rest.find(':');
  if (colon == std::string_view::npos) return false;
  long number = 0;
  auto r = std::from_chars(rest.data(), rest.data() + colon, number);
  if (r.ec != std::errc()) return false;
  hresult = number;
  description = std::string(rest.substr(colon + 1));
  return true;
}

}  // namespace vendrel::driver

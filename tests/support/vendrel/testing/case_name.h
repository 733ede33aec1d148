#pragma once
// Test helper: a test name from a case's description.

#include <string>
#include <string_view>

namespace vendrel::testing {

// "a name, then" becomes "ANameThen": letters and digits only, each word capitalised.
inline std::string CaseName(std::string_view what) {
  std::string name;
  bool upper = true;
  for (char c : what) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) {
      upper = true;
      continue;
    }
    name += upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    upper = false;
  }
  return name;
}

}  // namespace vendrel::testing

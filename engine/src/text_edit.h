#pragma once
// Replacing every occurrence of a text, left to right and without overlap.

#include <string>
#include <string_view>

namespace vendrel::engine {

void ReplaceAll(std::string& text, std::string_view find, std::string_view with);
// As ReplaceAll, with find compared without regard to the case of ASCII letters.
void ReplaceAllNoCase(std::string& text, std::string_view find, std::string_view with);

}  // namespace vendrel::engine

#pragma once
// Text matching without regard to case, by Unicode case folding.

#include <cstddef>
#include <string>
#include <string_view>

namespace vendrel {

// Full Unicode case folding of UTF-8 text (invalid bytes are kept as they are).
std::string FoldCase(std::string_view utf8);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool ContainsNoCase(std::string_view haystack, std::string_view needle);
// Number of Unicode code points in UTF-8 text.
size_t CodePointCount(std::string_view utf8);

}  // namespace vendrel

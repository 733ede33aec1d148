#pragma once
// Text matching without regard to case, by Unicode case folding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vendrel {

// Full Unicode case folding of UTF-8 text (invalid bytes are kept as they are).
std::string FoldCase(std::string_view utf8);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool ContainsNoCase(std::string_view haystack, std::string_view needle);
// Number of Unicode code points in UTF-8 text.
size_t CodePointCount(std::string_view utf8);

// The code point that begins at byte `at` of UTF-8 text, and where the next
// one begins. A byte that does not begin valid UTF-8 comes alone, as a
// negative code point, so that callers choose what stands for it.
struct CodePointStep {
  int32_t codePoint;
  size_t next;
};
CodePointStep NextCodePoint(std::string_view utf8, size_t at);

}  // namespace vendrel

#include "vendrel/dataaccess/text.h"

#include <algorithm>

#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace vendrel {

namespace {
bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}
}  // namespace

std::string FoldCase(std::string_view utf8) {
  if (IsAscii(utf8)) {  // the common case, without a round trip through UTF-16
    std::string out(utf8);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  }
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  u.foldCase();
  std::string out;
  u.toUTF8String(out);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  // Two ASCII letters that differ after folding make the texts differ, whatever
  // follows; only a text with other characters needs the full folding.
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    char x = a[i], y = b[i];
    if ((static_cast<unsigned char>(x) | static_cast<unsigned char>(y)) >= 0x80) return FoldCase(a) == FoldCase(b);
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  if (a.size() == b.size()) return true;
  if (IsAscii(a.substr(common)) && IsAscii(b.substr(common))) return false;
  return FoldCase(a) == FoldCase(b);
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  return FoldCase(haystack).find(FoldCase(needle)) != std::string::npos;
}

size_t CodePointCount(std::string_view utf8) {
  size_t n = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

CodePointStep NextCodePoint(std::string_view utf8, size_t at) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
  const auto length = static_cast<int32_t>(utf8.size());
  auto i = static_cast<int32_t>(at);
  UChar32 c;
  U8_NEXT(bytes, i, length, c);
  return c < 0 ? CodePointStep{-1, at + 1} : CodePointStep{c, static_cast<size_t>(i)};
}

}  // namespace vendrel

#include "sql/utf8.h"

#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::sql {

std::u32string DecodeUtf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const CodePointStep step = NextCodePoint(s, i);
    out += step.codePoint < 0 ? static_cast<char32_t>(static_cast<unsigned char>(s[i]))
                              : static_cast<char32_t>(step.codePoint);
    i = step.next;
  }
  return out;
}

std::string EncodeUtf8(std::u32string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char32_t c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace vendrel::driver::sql

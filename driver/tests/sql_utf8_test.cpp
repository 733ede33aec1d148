// Code points of the text functions: decoded as the rest of the system
// decodes UTF-8, so a byte sequence that is not UTF-8 never turns into a
// character it does not spell.

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

#include "sql/utf8.h"

namespace vendrel::driver::sql {
namespace {

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::u32string chars;
  friend void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.name; }
};

class DecodeUtf8Test : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeUtf8Test, GivesTheCodePoints) { EXPECT_EQ(DecodeUtf8(GetParam().bytes), GetParam().chars); }

INSTANTIATE_TEST_SUITE_P(
    Bytes, DecodeUtf8Test,
    ::testing::Values(DecodeCase{"ascii", "Ab1", U"Ab1"},
                      DecodeCase{"two three and four bytes", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80", U"\u00E4\u20AC\U0001F600"},
                      DecodeCase{"a stray continuation byte stands for itself", "a\x80z", U"a\u0080z"},
                      DecodeCase{"a cut sequence gives its bytes one by one", "\xE2\x82z", U"\u00E2\u0082z"},
                      // An overlong form of NUL must not become a NUL character.
                      DecodeCase{"an overlong form gives its bytes", "\xC0\x80", U"\u00C0\u0080"},
                      DecodeCase{"a surrogate gives its bytes", "\xED\xA0\x80", U"\u00ED\u00A0\u0080"},
                      DecodeCase{"beyond U+10FFFF gives its bytes", "\xF4\x90\x80\x80", U"\u00F4\u0090\u0080\u0080"}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

TEST(EncodeUtf8, GivesValidTextBackAsItCame) {
  for (const std::string text : {"", "plain", "\xC3\x84rger \xE2\x82\xAC \xF0\x9F\x98\x80"})
    EXPECT_EQ(EncodeUtf8(DecodeUtf8(text)), text);
}

}  // namespace
}  // namespace vendrel::driver::sql

// The JETTEXT order: equality by case folding, a linguistic order otherwise,
// and the shortcut for ASCII texts agreeing with the collator.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sql/collation.h"

namespace vendrel::driver::sql {
namespace {

int Sign(int x) { return x < 0 ? -1 : x > 0 ? 1 : 0; }

TEST(JetTextCollation, EqualityIsCaseFolding) {
  EXPECT_EQ(CompareJetText("Straße", "STRASSE"), 0);
  EXPECT_EQ(CompareJetText("ÄRGER", "ärger"), 0);
  EXPECT_EQ(CompareJetText("abc", "ABC"), 0);
  EXPECT_NE(CompareJetText("e", "é"), 0);
  EXPECT_NE(CompareJetText("abc", "abc "), 0);
}

TEST(JetTextCollation, OrderIsLinguistic) {
  EXPECT_LT(CompareJetText("a", "B"), 0);
  EXPECT_LT(CompareJetText("B", "c"), 0);
  EXPECT_LT(CompareJetText("e", "é"), 0);
  EXPECT_LT(CompareJetText("é", "f"), 0);
  EXPECT_LT(CompareJetText("ab", "abc"), 0);
  EXPECT_LT(CompareJetText("", "a"), 0);
}

TEST(JetTextCollation, AsciiShortcutAgreesWithTheCollator) {
  std::mt19937 random(7);
  const std::string alphabet = "aAbBzZ019 -_.,'\"\t\n\x01\x7f#%&()*+/:;<=>?@[\\]^`{|}~";
  auto text = [&] {
    std::string s;
    const size_t n = random() % 6;
    for (size_t i = 0; i < n; ++i) s += alphabet[random() % alphabet.size()];
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string a = text(), b = text();
    ASSERT_EQ(Sign(CompareJetText(a, b)), Sign(CompareJetTextSlowly(a, b))) << "'" << a << "' '" << b << "'";
    ASSERT_EQ(Sign(CompareJetText(a, b)), -Sign(CompareJetText(b, a)));
  }
}

// Texts long enough to be compared a word at a time: every ASCII byte,
// letters of both cases, a few characters beyond ASCII, and pairs that share
// a prefix, differ in case only, or one of which begins the other.
TEST(JetTextCollation, LongerTextsKeepTheCollatorsOrder) {
  std::mt19937 random(11);
  // Texts of printable characters, tabs and line ends, which the shortcut
  // orders, a quarter of them with one other character among them: any
  // other ASCII byte, or one beyond ASCII.
  std::vector<std::string> ranked, odd = {"é", "É", "ß", "ø", "İ", "ﬁ", "☃", "\xff"};
  for (int c = 0; c < 128; ++c)
    ((c >= 0x20 && c < 0x7f) || (c >= '\t' && c <= '\r') ? ranked : odd).emplace_back(1, static_cast<char>(c));
  for (const char* common : {"a", "A", "m", "M", "z", "Z", "0", "9", " ", "-", "'", ".", "_"})
    for (int weight = 0; weight < 6; ++weight) ranked.emplace_back(common);
  auto text = [&](size_t longest) {
    std::string s;
    for (size_t n = random() % (longest + 1); s.size() < n;) s += ranked[random() % ranked.size()];
    if (random() % 4 == 0) s.insert(s.empty() ? 0 : random() % (s.size() + 1), odd[random() % odd.size()]);
    return s;
  };
  auto variant = [&](std::string s) {
    switch (random() % 5) {
      case 0: return s + text(12);
      case 1: return s.substr(0, s.empty() ? 0 : random() % s.size());
      case 2:
        for (char& c : s)
          if (c >= 'a' && c <= 'z' && random() % 2) c = static_cast<char>(c - 'a' + 'A');
        return s;
      case 3:
        if (!s.empty() && static_cast<unsigned char>(s.back()) < 0x80) s.back() = static_cast<char>(random() % 128);
        return s;
      default: return text(40);
    }
  };
  for (int i = 0; i < 40000; ++i) {
    const std::string a = text(i % 2 ? 40 : 12), b = variant(a);
    const int fast = Sign(CompareJetText(a, b));
    ASSERT_EQ(fast, Sign(CompareJetTextSlowly(a, b))) << "'" << a << "' '" << b << "'";
    ASSERT_EQ(fast, -Sign(CompareJetText(b, a))) << "'" << a << "' '" << b << "'";
  }
}

}  // namespace
}  // namespace vendrel::driver::sql

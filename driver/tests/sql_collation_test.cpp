// The JETTEXT order: equality by case folding, a linguistic order otherwise,
// and the shortcut for ASCII texts agreeing with the collator.

#include <gtest/gtest.h>

#include <random>
#include <string>

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

}  // namespace
}  // namespace vendrel::driver::sql

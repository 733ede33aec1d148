// Whole statements that a case file cannot put: chains of thousands of
// comparisons, and random chains checked against their single comparisons.
// The others are data, in driver/tests/sql/queries.test.

#include <iterator>
#include <random>

#include "sql_fixture.h"

namespace vendrel::driver::testing {
namespace {

class QueryTest : public SqlTest {
 protected:
  QueryTest() {
    Catalog().Add("words.txt", {{"w", JetType::Text, 10}, {"n", JetType::Long}},
                  {{"b", Variant::Long(2)},
                   {"A", Variant::Long(1)},
                   {"a", Variant::Long(3)},
                   {Variant::Null(), Variant::Long(4)},
                   {"C", Variant::Null()},
                   {"é", Variant::Long(5)},
                   {"f", Variant::Long(6)}});
  }
};

TEST_F(QueryTest, LongChainsOfEqualitiesGiveTheirRows) {
  std::string numbers = "SELECT n FROM words.txt WHERE n = 0";
  std::string texts = "SELECT w FROM words.txt WHERE w = 'x0'";
  for (int i = 1; i < 20000; ++i) {
    numbers += " OR n = " + std::to_string(i * 3);
    texts += " OR w = 'X" + std::to_string(i) + "'";
  }
  texts += " OR w = 'A'";
  EXPECT_EQ(Run(numbers).Lines(), Texts({"3", "6"}));
  EXPECT_EQ(Run(texts).Lines(), Texts({"A", "a"}));
  EXPECT_EQ(Run(texts + " OR n = 1 OR n = 5").Lines(), Texts({"A", "a", "é"}));
}

// Random chains, each run as written and with every comparison behind a
// double negation (which keeps it out of any list): the same rows.
TEST_F(QueryTest, GatheredChainsAgreeWithTheirSingleComparisons) {
  std::mt19937 random(11);
  const char* terms[] = {"n = 1", "n = 3", "1 = n", "n = 2.0", "n = Null", "n <> 2", "n <> 4", "w = 'a'",
                         "w = 'B'", "'c' = w", "w <> 'f'", "w = Null", "n > 4", "w IS NULL", "n = 7"};
  for (int i = 0; i < 200; ++i) {
    const bool isOr = random() % 2 == 0;
    std::string chain, single;
    const size_t count = 2 + random() % 6;
    for (size_t k = 0; k < count; ++k) {
      const std::string term = terms[random() % std::size(terms)];
      const char* op = k == 0 ? "" : isOr ? " OR " : " AND ";
      chain += op + term;
      single += op + ("NOT NOT (" + term + ")");
    }
    for (const std::string& where : {chain, "NOT (" + chain + ")"}) {
      const std::string negatedSingle = where == chain ? single : "NOT (" + single + ")";
      EXPECT_EQ(Run("SELECT w, n FROM words.txt WHERE " + where).Lines(),
                Run("SELECT w, n FROM words.txt WHERE " + negatedSingle).Lines())
          << where;
    }
  }
}

}  // namespace
}  // namespace vendrel::driver::testing

// Whole statements that a case file cannot put: counts of rows, many-row
// tables, file names as tables. The others are data, in
// driver/tests/sql/queries.test.

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
    Catalog().Add("money.txt", {{"k", JetType::Text, 5}, {"amount", JetType::Currency}, {"x", JetType::Double}},
                  {{"p", Currency{1000}, Variant::Double(1)},
                   {"p", Currency{1000}, Variant::Double(2)},
                   {"P", Currency{1000}, Variant::Double(4)},
                   {"q", Variant::Null(), Variant::Null()},
                   {Variant::Null(), Currency{5}, Variant::Double(8)}});
    Catalog().Add("a.txt", {{"id", JetType::Long}, {"SUPPLIER", JetType::Text, 10}},
                  {{Variant::Long(1), "x"}, {Variant::Long(2), "y"}, {Variant::Long(3), "z"}});
    Catalog().Add("b.txt", {{"id", JetType::Long}, {"SUPPLIER", JetType::Text, 10}},
                  {{Variant::Long(1), "X"}, {Variant::Long(1), "x2"}, {Variant::Long(4), "w"}});
  }
};

TEST_F(QueryTest, DistinctAndUnionFoldCase) {
  EXPECT_EQ(Run("SELECT DISTINCT k FROM money.txt ORDER BY k").Lines().size(), 3u);
  EXPECT_EQ(Run("SELECT k FROM money.txt UNION SELECT 'Q' FROM money.txt").Lines().size(), 3u);
  EXPECT_EQ(Run("SELECT k FROM money.txt UNION ALL SELECT 'Q' FROM money.txt").Lines().size(), 10u);
}

TEST_F(QueryTest, CurrencySumsStayExact) {
  std::vector<Row> rows(1000, Row{Variant(Currency{1000})});  // 0.1 each
  Catalog().Add("cents.txt", {{"v", JetType::Currency}}, rows);
  const Variant total = Scalar("SELECT Sum(v) FROM cents.txt");
  ASSERT_EQ(total.Type(), VarType::Currency);
  EXPECT_EQ(total.AsCurrency().scaled, 1000 * 1000);
}

TEST_F(QueryTest, WholeSumsWidenAndOverflowOnlyPast64Bits) {
  Catalog().Add("wide.txt", {{"v", JetType::Long}}, {{Variant::Long(INT32_MAX)}, {Variant::Long(INT32_MAX)}});
  EXPECT_EQ(Show(Scalar("SELECT Sum(v) FROM wide.txt")), "4294967294");
  Catalog().Add("huge.txt", {{"v", JetType::BigInt}}, {{Variant::BigInt(INT64_MAX)}, {Variant::BigInt(1)}});
  const Error e = ErrorOf("SELECT Sum(v) FROM huge.txt");
  EXPECT_EQ(e.Description(), "Overflow");
  EXPECT_EQ(e.Source(), kDriverSource);
}

TEST_F(QueryTest, TopIncludesTiesOnTheOrderKeys) {
  EXPECT_EQ(Run("SELECT TOP 2 k, x FROM money.txt ORDER BY amount DESC").Lines().size(), 3u);
  EXPECT_EQ(Run("SELECT TOP 3 n FROM words.txt").Lines().size(), 3u);
}

TEST_F(QueryTest, SharedNamesAreQualifiedWithTheirTable) {
  const Result r = Run("SELECT * FROM a.txt TEMP1234 INNER JOIN b.txt TEMP5678 ON TEMP1234.id = TEMP5678.id");
  EXPECT_EQ(r.Names(), Texts({"TEMP1234.id", "TEMP1234.SUPPLIER", "TEMP5678.id", "TEMP5678.SUPPLIER"}));
  EXPECT_EQ(r.Lines(), Texts({"1|x|1|X", "1|x|1|x2"}));
}

TEST_F(QueryTest, JoinsNestOnTheRight) {
  EXPECT_EQ(Run("SELECT a.id FROM a.txt a INNER JOIN (b.txt b INNER JOIN words.txt w ON w.n = b.id) ON a.id = b.id")
                .Lines()
                .size(),
            2u);
}

TEST_F(QueryTest, CommaListsAreCrossProductsFilteredByWhere) {
  EXPECT_EQ(Run("SELECT * FROM a.txt, b.txt").rows.size(), 9u);
  EXPECT_EQ(Run("SELECT a.id FROM a.txt a, b.txt b WHERE a.id = b.id").rows.size(), 2u);
}

TEST_F(QueryTest, TableNamesAsFilesWithOrWithoutAlias) {
  EXPECT_EQ(Run("SELECT [a.txt].id FROM [a.txt] WHERE id = 1").Lines(), Texts({"1"}));
  EXPECT_EQ(Run("SELECT id FROM [a#txt] AS q WHERE q.id = 2").Lines(), Texts({"2"}));
  EXPECT_EQ(Run("SELECT `a.txt`.id FROM `a.txt` WHERE a.txt.id = 3;").Lines(), Texts({"3"}));
}

TEST_F(QueryTest, DistinctRowDropsRepeatedSourceRowsOnly) {
  EXPECT_EQ(Run("SELECT DISTINCTROW a.id FROM a.txt a INNER JOIN b.txt b ON a.id = b.id").rows.size(), 1u);
  EXPECT_EQ(Run("SELECT DISTINCTROW k FROM money.txt").rows.size(), 5u);
  EXPECT_EQ(Run("SELECT DISTINCT k FROM money.txt").rows.size(), 3u);
}

// Equalities of one column with literals in an Or chain (inequalities in an
// And chain) are answered as one list: the rows, Nulls included, stay those
// of the single comparisons.
TEST_F(QueryTest, ChainsOfComparisonsWithLiteralsKeepTheirRows) {
  const struct {
    const char* where;
    std::vector<std::string> words;
  } cases[] = {
      {"n = 1 OR n = 3 OR n = 9", {"A", "a"}},
      {"1 = n OR n = 3", {"A", "a"}},
      {"w = 'B' OR w = 'c' OR w = 'F'", {"b", "C", "f"}},
      {"n = 2 OR w = 'f' OR n = 3", {"b", "a", "f"}},
      {"n = 1 OR n = 3 OR n > 5", {"A", "a", "f"}},
      {"NOT (n = 1 OR n = 2)", {"a", "Null", "é", "f"}},
      {"n <> 1 AND n <> 2 AND n <> 5", {"a", "Null", "f"}},
      {"n = 1 OR n = Null", {"A"}},
      {"n = 1 OR n = 2.5 OR n = 2", {"b", "A"}},
      {"(n = 1 OR n = 2) AND (w = 'a' OR w = 'b')", {"b", "A"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Run(std::string("SELECT w FROM words.txt WHERE ") + c.where).Lines(), c.words) << c.where;
}

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

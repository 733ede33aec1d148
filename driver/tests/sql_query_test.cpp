// Whole statements: ordering, grouping, DISTINCT, UNION, TOP, joins,
// subqueries and the names and types of result fields.

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

TEST_F(QueryTest, NullsSortFirstAscendingAndLastDescending) {
  EXPECT_EQ(Run("SELECT n FROM words.txt ORDER BY n").Lines(), Texts({"Null", "1", "2", "3", "4", "5", "6"}));
  EXPECT_EQ(Run("SELECT n FROM words.txt ORDER BY n DESC").Lines(), Texts({"6", "5", "4", "3", "2", "1", "Null"}));
}

TEST_F(QueryTest, TextSortsWithoutRegardToCaseInLinguisticOrder) {
  const Result r = Run("SELECT w FROM words.txt WHERE w <> 'b' ORDER BY w, n");
  EXPECT_EQ(r.Lines(), Texts({"A", "a", "C", "é", "f"}));
}

TEST_F(QueryTest, OrderByOutputPositionAliasAndExpression) {
  EXPECT_EQ(Run("SELECT w, n FROM words.txt WHERE n < 4 ORDER BY 2 DESC").Lines(), Texts({"a|3", "b|2", "A|1"}));
  EXPECT_EQ(Run("SELECT n * 10 AS tens FROM words.txt WHERE n < 4 ORDER BY tens DESC").Lines(),
            Texts({"30", "20", "10"}));
  EXPECT_EQ(Run("SELECT w FROM words.txt WHERE n < 4 ORDER BY -n").Lines(), Texts({"a", "b", "A"}));
}

TEST_F(QueryTest, GroupByDistinctUnionAndMinMaxFoldCase) {
  EXPECT_EQ(Run("SELECT Count(*) FROM (SELECT w FROM words.txt GROUP BY w) AS g").Lines(), Texts({"6"}));
  EXPECT_EQ(Run("SELECT DISTINCT k FROM money.txt ORDER BY k").Lines().size(), 3u);
  EXPECT_EQ(Run("SELECT k FROM money.txt UNION SELECT 'Q' FROM money.txt").Lines().size(), 3u);
  EXPECT_EQ(Run("SELECT k FROM money.txt UNION ALL SELECT 'Q' FROM money.txt").Lines().size(), 10u);
  EXPECT_EQ(Run("SELECT Max(w), Min(w) FROM words.txt WHERE n <= 3").Lines(), Texts({"b|A"}));
  EXPECT_EQ(Run("SELECT n FROM words.txt WHERE w IN (SELECT 'B' FROM money.txt)").Lines(), Texts({"2"}));
}

TEST_F(QueryTest, NullKeysFormOneGroup) {
  const Result r = Run("SELECT k, Count(*) AS rows FROM money.txt GROUP BY k ORDER BY k");
  EXPECT_EQ(r.Lines(), Texts({"Null|1", "p|3", "q|1"}));
  EXPECT_EQ(r.columns[1].type, JetType::Long);
}

TEST_F(QueryTest, AggregatesIgnoreNullsAndSumOfNullsIsNull) {
  const Result r = Run(
      "SELECT Count(*), Count(amount), Sum(amount), Avg(x), Min(x), Max(x), First(amount), Last(x) "
      "FROM money.txt");
  EXPECT_EQ(r.Lines(), Texts({"5|4|0.3005|3.75|1|8|0.1|8"}));
  EXPECT_EQ(r.columns[2].type, JetType::Currency);
  EXPECT_EQ(r.columns[3].type, JetType::Double);
  EXPECT_EQ(Run("SELECT Sum(amount) FROM money.txt WHERE k = 'q'").Lines(), Texts({"Null"}));
  EXPECT_EQ(Run("SELECT Count(x) FROM money.txt WHERE k = 'none'").Lines(), Texts({"0"}));
  EXPECT_EQ(Run("SELECT Sum(n) FROM words.txt").columns[0].type, JetType::BigInt);
}

TEST_F(QueryTest, SpreadNeedsTwoRowsForTheSampleForms) {
  EXPECT_EQ(Run("SELECT Var(x), VarP(x), StDev(x) FROM money.txt WHERE x <= 2").Lines(), Texts({"0.5|0.25|0.707106781186548"}));
  EXPECT_EQ(Run("SELECT StDev(x), StDevP(x) FROM money.txt WHERE x = 1").Lines(), Texts({"Null|0"}));
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
  EXPECT_EQ(Run("SELECT TOP 1 n FROM words.txt ORDER BY n DESC").Lines(), Texts({"6"}));
  EXPECT_EQ(Run("SELECT TOP 3 n FROM words.txt").Lines().size(), 3u);
  EXPECT_EQ(Run("SELECT TOP 50 PERCENT n FROM words.txt ORDER BY n").Lines(), Texts({"Null", "1", "2", "3"}));
  EXPECT_EQ(Run("SELECT TOP 2 w FROM words.txt WHERE n IS NOT NULL ORDER BY w").Lines(), Texts({"Null", "A", "a"}));
}

TEST_F(QueryTest, FieldNamesComeFromAliasColumnOrPosition) {
  const Result r = Run("SELECT n, n * 2, w AS Word, 'x' FROM words.txt");
  EXPECT_EQ(r.Names(), Texts({"n", "Expr1001", "Word", "Expr1003"}));
}

TEST_F(QueryTest, SharedNamesAreQualifiedWithTheirTable) {
  const Result r = Run("SELECT * FROM a.txt TEMP1234 INNER JOIN b.txt TEMP5678 ON TEMP1234.id = TEMP5678.id");
  EXPECT_EQ(r.Names(), Texts({"TEMP1234.id", "TEMP1234.SUPPLIER", "TEMP5678.id", "TEMP5678.SUPPLIER"}));
  EXPECT_EQ(r.Lines(), Texts({"1|x|1|X", "1|x|1|x2"}));
}

TEST_F(QueryTest, JoinsOfEveryKindKeepUnmatchedRowsWithNulls) {
  EXPECT_EQ(Run("SELECT a.id, b.SUPPLIER FROM a.txt a LEFT JOIN b.txt b ON a.id = b.id ORDER BY a.id, 2").Lines(),
            Texts({"1|X", "1|x2", "2|Null", "3|Null"}));
  EXPECT_EQ(Run("SELECT a.id, b.id FROM a.txt a RIGHT OUTER JOIN b.txt b ON a.id = b.id ORDER BY b.id, 1").Lines(),
            Texts({"1|1", "1|1", "Null|4"}));
  EXPECT_EQ(Run("SELECT a.id, b.id FROM a.txt a FULL OUTER JOIN b.txt b ON a.id = b.id ORDER BY a.id, b.id").Lines(),
            Texts({"Null|4", "1|1", "1|1", "2|Null", "3|Null"}));
  EXPECT_EQ(Run("SELECT a.id FROM a.txt a INNER JOIN b.txt b ON a.SUPPLIER = b.SUPPLIER").Lines(), Texts({"1"}));
}

TEST_F(QueryTest, JoinsNestInParenthesesAndChainWithout) {
  const char* nested =
      "SELECT a.id, c.w FROM (a.txt a INNER JOIN b.txt b ON a.id = b.id) LEFT JOIN words.txt c ON c.n = b.id "
      "ORDER BY b.SUPPLIER";
  EXPECT_EQ(Run(nested).Lines(), Texts({"1|A", "1|A"}));
  const char* chained =
      "SELECT a.id, c.w FROM a.txt a INNER JOIN b.txt b ON a.id = b.id LEFT JOIN words.txt c ON c.n = b.id "
      "ORDER BY b.SUPPLIER";
  EXPECT_EQ(Run(chained).Lines(), Texts({"1|A", "1|A"}));
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

TEST_F(QueryTest, DerivedTablesAndScalarSubqueries) {
  EXPECT_EQ(Run("SELECT d.total FROM (SELECT Sum(n) AS total FROM words.txt) AS d").Lines(), Texts({"21"}));
  EXPECT_EQ(Run("SELECT id, (SELECT Count(*) FROM b.txt WHERE b.txt.id = a.id) AS matches FROM a.txt a").Lines(),
            Texts({"1|2", "2|0", "3|0"}));
  EXPECT_EQ(Run("SELECT id FROM a.txt a WHERE id = (SELECT Max(id) FROM a.txt)").Lines(), Texts({"3"}));
  EXPECT_EQ(Run("SELECT (SELECT SUPPLIER FROM b.txt WHERE b.txt.id = a.id) FROM a.txt a WHERE a.id = 2").Lines(),
            Texts({"Null"}));
}

TEST_F(QueryTest, ScalarSubqueryOfSeveralRowsIsAnError) {
  const Error e = ErrorOf("SELECT (SELECT SUPPLIER FROM b.txt WHERE b.txt.id = a.id) FROM a.txt a");
  EXPECT_EQ(e.Description(), "At most one record can be returned by this subquery.");
  EXPECT_EQ(e.Number(), hr::kSyntaxError);
}

TEST_F(QueryTest, ExistsInAnyAndAllCorrelated) {
  EXPECT_EQ(Run("SELECT id FROM a.txt a WHERE EXISTS (SELECT * FROM b.txt WHERE b.txt.id = a.id)").Lines(), Texts({"1"}));
  EXPECT_EQ(Run("SELECT id FROM a.txt a WHERE NOT EXISTS (SELECT * FROM b.txt WHERE b.txt.id = a.id)").Lines(),
            Texts({"2", "3"}));
  EXPECT_EQ(Run("SELECT id FROM a.txt WHERE id NOT IN (SELECT id FROM b.txt)").Lines(), Texts({"2", "3"}));
  EXPECT_EQ(Run("SELECT id FROM a.txt WHERE id > ANY (SELECT id FROM b.txt)").Lines(), Texts({"2", "3"}));
  EXPECT_EQ(Run("SELECT id FROM a.txt WHERE id >= ALL (SELECT id FROM b.txt WHERE id < 4)").Lines(),
            Texts({"1", "2", "3"}));
  EXPECT_EQ(Run("SELECT id FROM a.txt WHERE id < SOME (SELECT id FROM b.txt)").Lines(), Texts({"1", "2", "3"}));
  // Null among the values: unknown unless some comparison decides.
  EXPECT_EQ(Show(Scalar("SELECT 0 < ALL (SELECT n FROM words.txt)")), "Null");
  EXPECT_EQ(Show(Scalar("SELECT 3 < ALL (SELECT n FROM words.txt)")), "False");
  EXPECT_EQ(Show(Scalar("SELECT 0 > ANY (SELECT n FROM words.txt)")), "Null");
  EXPECT_EQ(Show(Scalar("SELECT 7 > ANY (SELECT n FROM words.txt)")), "True");
  EXPECT_EQ(Show(Scalar("SELECT 7 > ANY (SELECT n FROM words.txt WHERE n > 100)")), "False");
}

TEST_F(QueryTest, UnionTakesNamesFromTheFirstSelectAndWidensTypes) {
  const Result r = Run("SELECT id AS k, SUPPLIER FROM a.txt UNION SELECT x, k FROM money.txt ORDER BY 1, 2");
  EXPECT_EQ(r.Names(), Texts({"k", "SUPPLIER"}));
  EXPECT_EQ(r.columns[0].type, JetType::Double);
  EXPECT_EQ(r.Lines().front(), "Null|q");
  const Result text = Run("SELECT id FROM a.txt UNION SELECT SUPPLIER FROM a.txt ORDER BY id DESC");
  EXPECT_EQ(text.columns[0].type, JetType::Text);
  EXPECT_EQ(text.Lines().front(), "z");
}

TEST_F(QueryTest, DistinctRowDropsRepeatedSourceRowsOnly) {
  EXPECT_EQ(Run("SELECT DISTINCTROW a.id FROM a.txt a INNER JOIN b.txt b ON a.id = b.id").rows.size(), 1u);
  EXPECT_EQ(Run("SELECT DISTINCTROW k FROM money.txt").rows.size(), 5u);
  EXPECT_EQ(Run("SELECT DISTINCT k FROM money.txt").rows.size(), 3u);
}

TEST_F(QueryTest, SubqueriesOfGroupedQueriesSeeGroupedColumns) {
  EXPECT_EQ(Run("SELECT a.id, (SELECT Count(*) FROM b.txt WHERE b.txt.id = a.id) FROM a.txt a GROUP BY a.id").Lines(),
            Texts({"1|2", "2|0", "3|0"}));
}

TEST_F(QueryTest, HavingFiltersGroups) {
  EXPECT_EQ(Run("SELECT k FROM money.txt GROUP BY k HAVING Count(*) > 1").Lines(), Texts({"p"}));
  EXPECT_EQ(Run("SELECT Count(*) FROM money.txt HAVING Sum(x) > 100").Lines(), Texts({}));
}

TEST_F(QueryTest, GroupByExpressionsAndConstants) {
  EXPECT_EQ(Run("SELECT n Mod 2, Count(*) FROM words.txt WHERE n > 0 GROUP BY n Mod 2 ORDER BY 1").Lines(),
            Texts({"0|3", "1|3"}));
  EXPECT_EQ(Run("SELECT Count(*) FROM words.txt GROUP BY 1").Lines(), Texts({"7"}));
}

TEST_F(QueryTest, SelectWithoutFromGivesOneRow) {
  EXPECT_EQ(Run("SELECT 1 + 1, 'x'").Lines(), Texts({"2|x"}));
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
    for (const std::string where : {chain, "NOT (" + chain + ")"}) {
      const std::string negatedSingle = where == chain ? single : "NOT (" + single + ")";
      EXPECT_EQ(Run("SELECT w, n FROM words.txt WHERE " + where).Lines(),
                Run("SELECT w, n FROM words.txt WHERE " + negatedSingle).Lines())
          << where;
    }
  }
}

}  // namespace
}  // namespace vendrel::driver::testing

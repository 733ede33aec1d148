// Statements beyond the platform's dialect that users of other SQL engines
// write first: LIMIT n, CASE WHEN ... END and COUNT(DISTINCT x). Their words
// stay usable as names wherever the platform allows a name.

#include "sql_fixture.h"

namespace vendrel::driver::testing {
namespace {

class ExtensionTest : public SqlTest {
 protected:
  ExtensionTest() {
    Catalog().Add("t.txt", {{"w", JetType::Text, 10}, {"n", JetType::Long}, {"price", JetType::Currency}},
                  {{"b", Variant::Long(2), Currency{20000}},
                   {"A", Variant::Long(1), Currency{10000}},
                   {"a", Variant::Long(3), Currency{30000}},
                   {Variant::Null(), Variant::Long(3), Variant::Null()},
                   {"c", Variant::Null(), Currency{5000}},
                   {"B", Variant::Long(5), Currency{20000}}});
    // Columns named as the extensions' words.
    Catalog().Add("words.txt", {{"Case", JetType::Long}, {"Limit", JetType::Long}, {"End", JetType::Text, 5}},
                  {{Variant::Long(1), Variant::Long(10), "x"}, {Variant::Long(2), Variant::Long(20), "y"}});
  }

  JetType TypeOf(std::string_view statement) { return Run(statement).columns.at(0).type; }
};

// ---------------------------------------------------------------- LIMIT

TEST_F(ExtensionTest, LimitKeepsTheFirstRowsWithoutTies) {
  struct Case {
    const char* statement;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"SELECT n FROM t.txt ORDER BY n LIMIT 2", {"Null", "1"}},
      {"SELECT n FROM t.txt ORDER BY n DESC LIMIT 3", {"5", "3", "3"}},
      // TOP keeps the rows that tie with the last one, LIMIT does not.
      {"SELECT TOP 2 n FROM t.txt ORDER BY n DESC", {"5", "3", "3"}},
      {"SELECT n FROM t.txt ORDER BY n DESC LIMIT 2", {"5", "3"}},
      {"SELECT TOP 2 n FROM t.txt ORDER BY n DESC LIMIT 1", {"5"}},
      {"SELECT TOP 1 n FROM t.txt ORDER BY n LIMIT 4", {"Null"}},
      {"SELECT n FROM t.txt ORDER BY n LIMIT 0", {}},
      {"SELECT n FROM t.txt WHERE n > 2 ORDER BY n LIMIT 100", {"3", "3", "5"}},
      {"SELECT w, Count(*) FROM t.txt GROUP BY w HAVING Count(*) > 1 ORDER BY w LIMIT 1", {"A|2"}},
      {"SELECT DISTINCT n FROM t.txt WHERE n IS NOT NULL ORDER BY n DESC LIMIT 2", {"5", "3"}},
      {"SELECT n FROM t.txt WHERE n < 2 UNION ALL SELECT n FROM t.txt WHERE n > 2 ORDER BY 1 DESC LIMIT 2",
       {"5", "3"}},
      {"SELECT n FROM t.txt WHERE n IN (SELECT n FROM t.txt WHERE n IS NOT NULL ORDER BY n LIMIT 2) ORDER BY n",
       {"1", "2"}},
      {"SELECT Count(*) FROM (SELECT n FROM t.txt ORDER BY n LIMIT 4) AS firstFour", {"4"}},
      {"SELECT n FROM t.txt WHERE n = 3 LIMIT 1;", {"3"}},
      {"SELECT n FROM t.txt ORDER BY n DESC limit 1", {"5"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.statement).Lines(), c.lines) << c.statement;
}

TEST_F(ExtensionTest, LimitIsStillANameWhereNoNumberFollows) {
  EXPECT_EQ(Run("SELECT Limit FROM words.txt ORDER BY Limit DESC").Lines(), Texts({"20", "10"}));
  EXPECT_EQ(Run("SELECT limit.n FROM t.txt limit WHERE limit.n = 5").Lines(), Texts({"5"}));
  EXPECT_EQ(Run("SELECT w.Limit FROM words.txt w ORDER BY w.Limit LIMIT 1").Lines(), Texts({"10"}));
}

TEST_F(ExtensionTest, LimitNeedsAWholeNumberThatIsNotNegative) {
  for (const char* statement : {"SELECT n FROM t.txt LIMIT -1", "SELECT n FROM t.txt LIMIT 2.5",
                                "SELECT n FROM t.txt ORDER BY n LIMIT +3"}) {
    const Error e = ErrorOf(statement);
    EXPECT_EQ(e.Number(), hr::kSyntaxError) << statement;
    EXPECT_EQ(e.Description().rfind("Syntax error in LIMIT clause.", 0), 0u) << statement << ": " << e.Description();
  }
  // A LIMIT belongs to a whole query, not to one part of a union.
  EXPECT_EQ(ErrorOf("SELECT n FROM t.txt LIMIT 1 UNION SELECT n FROM t.txt").Number(), hr::kSyntaxError);
  EXPECT_EQ(ErrorOf("(SELECT n FROM t.txt LIMIT 1) UNION SELECT n FROM t.txt").Number(), hr::kSyntaxError);
}

// ---------------------------------------------------------------- CASE

TEST_F(ExtensionTest, CaseTakesTheFirstBranchWhoseConditionIsTrue) {
  EXPECT_EQ(Run("SELECT n, CASE WHEN n < 2 THEN 'small' WHEN n < 4 THEN 'middle' ELSE 'large' END AS size "
                "FROM t.txt ORDER BY n, w")
                .Lines(),
            Texts({"Null|large", "1|small", "2|middle", "3|middle", "3|middle", "5|large"}));
  // Without ELSE no branch taken is Null; a Null condition is not true.
  EXPECT_EQ(Run("SELECT CASE WHEN n > 2 THEN w END FROM t.txt ORDER BY n, w").Lines(),
            Texts({"Null", "Null", "Null", "Null", "a", "B"}));
  // Nested, and in WHERE.
  EXPECT_EQ(Run("SELECT w FROM t.txt WHERE CASE WHEN w IS NULL THEN False ELSE "
                "CASE WHEN w = 'b' THEN True ELSE n = 1 END END ORDER BY w, n")
                .Lines(),
            Texts({"A", "b", "B"}));
}

TEST_F(ExtensionTest, SimpleCaseComparesItsOperandAsEqualsDoes) {
  // Texts without regard to case; a Null operand equals nothing.
  EXPECT_EQ(Run("SELECT CASE w WHEN 'a' THEN 'first' WHEN 'B' THEN 'second' ELSE 'other' END, n FROM t.txt "
                "ORDER BY n, w")
                .Lines(),
            Texts({"other|Null", "first|1", "second|2", "other|3", "first|3", "second|5"}));
  EXPECT_EQ(Run("SELECT CASE n + 1 WHEN 2 THEN 'two' WHEN 4 THEN 'four' END FROM t.txt WHERE n < 4 ORDER BY n, w")
                .Lines(),
            Texts({"two", "Null", "four", "four"}));
  // A searched CASE inside the operand, and the operand's text as a column named Case.
  EXPECT_EQ(Run("SELECT CASE CASE WHEN n > 2 THEN 1 ELSE 0 END WHEN 1 THEN 'big' ELSE 'small' END FROM t.txt "
                "WHERE n IS NOT NULL ORDER BY n")
                .Lines(),
            Texts({"small", "small", "big", "big", "big"}));
  EXPECT_EQ(Run("SELECT CASE w.Case WHEN 2 THEN w.End END FROM words.txt w ORDER BY 1").Lines(), Texts({"Null", "y"}));
  EXPECT_EQ(TypeOf("SELECT CASE n WHEN 1 THEN price ELSE 0 END FROM t.txt"), JetType::Currency);
  // The values must compare with the operand.
  EXPECT_EQ(ErrorOf("SELECT CASE w WHEN True THEN 1 END FROM t.txt").Number(), hr::kTypeMismatch);
}

TEST_F(ExtensionTest, CaseWorksWithAggregatesAndGrouping) {
  EXPECT_EQ(Run("SELECT Sum(CASE WHEN n >= 3 THEN 1 ELSE 0 END) AS many FROM t.txt").Lines(), Texts({"3"}));
  EXPECT_EQ(Run("SELECT w, CASE WHEN Count(*) > 1 THEN 'twice' ELSE 'once' END FROM t.txt "
                "WHERE w IS NOT NULL GROUP BY w ORDER BY w")
                .Lines(),
            Texts({"A|twice", "b|twice", "c|once"}));
  EXPECT_EQ(Run("SELECT CASE WHEN n < 3 THEN 'low' ELSE 'high' END AS band, Count(*) FROM t.txt "
                "WHERE n IS NOT NULL GROUP BY CASE WHEN n < 3 THEN 'low' ELSE 'high' END ORDER BY 1")
                .Lines(),
            Texts({"high|3", "low|2"}));
  // A column used in CASE must still be grouped.
  EXPECT_EQ(ErrorOf("SELECT CASE WHEN n > 1 THEN 1 END FROM t.txt GROUP BY w").Number(), hr::kSyntaxError);
}

TEST_F(ExtensionTest, CaseTakesTheCommonTypeOfItsValues) {
  struct Case {
    const char* statement;
    JetType type;
  };
  const Case cases[] = {
      {"SELECT CASE WHEN n > 2 THEN n ELSE 0 END FROM t.txt", JetType::Long},
      {"SELECT CASE WHEN n > 2 THEN n ELSE 2.5 END FROM t.txt", JetType::Double},
      {"SELECT CASE WHEN n > 2 THEN n END FROM t.txt", JetType::Long},
      {"SELECT CASE WHEN n > 2 THEN Null ELSE price END FROM t.txt", JetType::Currency},
      {"SELECT CASE WHEN n > 2 THEN price ELSE 1 END FROM t.txt", JetType::Currency},
      {"SELECT CASE WHEN n > 2 THEN w ELSE 'none' END FROM t.txt", JetType::Text},
      {"SELECT CASE WHEN n > 2 THEN w ELSE n END FROM t.txt", JetType::Text},
      {"SELECT CASE WHEN n > 2 THEN True ELSE False END FROM t.txt", JetType::Boolean},
  };
  for (const Case& c : cases) EXPECT_EQ(TypeOf(c.statement), c.type) << c.statement;
  // The values are converted to that type.
  EXPECT_EQ(Run("SELECT CASE WHEN n > 2 THEN w ELSE n END FROM t.txt WHERE n < 3 OR n = 5 ORDER BY n").Lines(),
            Texts({"1", "2", "B"}));
  EXPECT_EQ(Run("SELECT CASE WHEN n = 1 THEN price ELSE 2 END FROM t.txt WHERE n < 3 ORDER BY n").Lines(),
            Texts({"1", "2"}));
}

TEST_F(ExtensionTest, CaseFaultsAreTheDriversSyntaxAndTypeErrors) {
  struct Case {
    const char* statement;
    long number;
  };
  const Case cases[] = {
      {"SELECT CASE WHEN n > 1 THEN 1 FROM t.txt", hr::kSyntaxError},       // no END
      {"SELECT CASE WHEN n > 1 1 END FROM t.txt", hr::kSyntaxError},        // no THEN
      {"SELECT CASE WHEN n > 1 THEN 1 ELSE END FROM t.txt", hr::kSyntaxError},
      {"SELECT CASE WHEN THEN 1 END FROM t.txt", hr::kSyntaxError},
      {"SELECT CASE WHEN w THEN 1 END FROM t.txt", hr::kTypeMismatch},      // a text is no condition
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.statement).Number(), c.number) << c.statement;
}

TEST_F(ExtensionTest, CaseAndEndAreStillNames) {
  EXPECT_EQ(Run("SELECT Case, End FROM words.txt WHERE Case = 2").Lines(), Texts({"2|y"}));
  EXPECT_EQ(Run("SELECT CASE WHEN Case = 1 THEN End ELSE 'z' END FROM words.txt ORDER BY Case").Lines(),
            Texts({"x", "z"}));
}

// ---------------------------------------------------------------- COUNT(DISTINCT x)

TEST_F(ExtensionTest, CountDistinctCountsDifferentValuesAsTheStatementComparesThem) {
  // Texts without regard to case (A and a, b and B are one value each); Nulls are not counted.
  const Result all = Run("SELECT Count(DISTINCT w), Count(w), Count(*), Count(DISTINCT n), count(distinct price) "
                         "FROM t.txt");
  EXPECT_EQ(all.Lines(), Texts({"3|5|6|4|4"}));
  EXPECT_EQ(all.columns.at(0).type, JetType::Long);
  EXPECT_EQ(Run("SELECT w, Count(DISTINCT n) FROM t.txt GROUP BY w ORDER BY w").Lines(),
            Texts({"Null|1", "A|2", "b|2", "c|0"}));
  EXPECT_EQ(Run("SELECT w FROM t.txt GROUP BY w HAVING Count(DISTINCT n) = 2 ORDER BY w").Lines(), Texts({"A", "b"}));
  EXPECT_EQ(Run("SELECT Count(DISTINCT w) FROM t.txt WHERE n > 100").Lines(), Texts({"0"}));
  EXPECT_EQ(Run("SELECT Count(DISTINCT Null) FROM t.txt").Lines(), Texts({"0"}));
}

TEST_F(ExtensionTest, CountDistinctNeedsOneValue) {
  for (const char* statement : {"SELECT Count(DISTINCT *) FROM t.txt", "SELECT Count(DISTINCT w, n) FROM t.txt",
                                "SELECT Avg(DISTINCT n) FROM t.txt", "SELECT Count(DISTINCT) FROM t.txt"})
    EXPECT_EQ(ErrorOf(statement).Number(), hr::kSyntaxError) << statement;
  // The grouping rule tells COUNT(DISTINCT x) and COUNT(x) apart.
  EXPECT_EQ(Run("SELECT Count(DISTINCT w) AS d, Count(w) AS c FROM t.txt ORDER BY Count(DISTINCT w)").Lines(),
            Texts({"3|5"}));
}

}  // namespace
}  // namespace vendrel::driver::testing

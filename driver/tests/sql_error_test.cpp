// Faulty statements: the number, source and description of each error, and
// input that must never crash the driver or leave it unusable.

#include <algorithm>
#include <random>

#include "sql_fixture.h"

namespace vendrel::driver::testing {
namespace {

struct ErrorCase {
  const char* statement;
  long number;
  const char* description;  // the platform's sentence; a hint may follow it
};

std::ostream& operator<<(std::ostream& os, const ErrorCase& c) { return os << c.statement; }

class ErrorTestBase : public SqlTest {
 protected:
  ErrorTestBase() {
    Catalog().Add("TEMP1234.txt", {{"PRODUCT", JetType::Text, 50}, {"SUPPLIER", JetType::Text, 50}, {"n", JetType::Long}},
                  {{"Wheels", "WHL", Variant::Long(1)}, {"Seats", "SES", Variant::Long(0)}});
    Catalog().Add("TEMP5678.txt", {{"SUPPLIER", JetType::Text, 50}, {"COUNTRY", JetType::Text, 50}},
                  {{"WHL", "Spain"}});
  }

  void ExpectStillWorks() {
    EXPECT_EQ(Run("SELECT Count(*) FROM TEMP1234.txt").Lines(), Texts({"2"}));
  }
};

class ErrorTest : public ErrorTestBase, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ErrorTest, RaisesTheDriversError) {
  const ErrorCase& c = GetParam();
  const Error e = ErrorOf(c.statement);
  EXPECT_EQ(e.Number(), c.number);
  EXPECT_EQ(e.Source(), kDriverSource);
  EXPECT_EQ(e.Description().substr(0, std::string_view(c.description).size()), c.description)
      << "full text: " << e.Description();
  ExpectStillWorks();
}

constexpr long kSyntax = hr::kSyntaxError;

constexpr ErrorCase kSyntaxErrors[] = {
    {"SELECT PRODUCT SUPPLIER FROM TEMP1234.txt", kSyntax,
     "Syntax error (missing operator) in query expression 'PRODUCT SUPPLIER'."},
    {"SELECT PRODUCT FROM TEMP1234.txt WHERE n = 1 n = 2", kSyntax,
     "Syntax error (missing operator) in query expression 'n = 1 n = 2'."},
    {"SELECT PRODUCT FROM TEMP1234.txt WHERE n =", kSyntax,
     "Syntax error (missing operator) in query expression 'n ='."},
    {"SELECT (n + 1 FROM TEMP1234.txt", kSyntax, "Syntax error (missing operator) in query expression '(n + 1'."},
    {"SELECT n + FROM TEMP1234.txt", kSyntax, "Syntax error (missing operator) in query expression 'n +'."},
    {"SELECT Left(PRODUCT, 2 FROM TEMP1234.txt", kSyntax,
     "Syntax error (missing operator) in query expression 'Left(PRODUCT, 2'."},
    {"SELECT n FROM TEMP1234.txt ORDER BY n n", kSyntax, "Syntax error (missing operator) in query expression 'n n'."},
    {"SELECT n FROM TEMP1234.txt WHERE n IS 5", kSyntax,
     "Syntax error (missing operator) in query expression 'n IS 5'."},
    {"SELECT Sum(DISTINCT n) FROM TEMP1234.txt", kSyntax,
     "Syntax error (missing operator) in query expression 'Sum(DISTINCT n)'."},
    {"SELECT n FROM TEMP1234.txt a INNER JOIN TEMP5678.txt b ON a.SUPPLIER = b.SUPPLIER c = 1", kSyntax,
     "Syntax error (missing operator) in query expression 'a.SUPPLIER = b.SUPPLIER c = 1'."},
    {"SELECT n FROM", kSyntax, "Syntax error in FROM clause."},
    {"SELECT n FROM TEMP1234.txt a b", kSyntax, "Syntax error in FROM clause."},
    {"SELECT n FROM TEMP1234.txt a INNER JOIN TEMP5678.txt b", kSyntax, "Syntax error in JOIN operation."},
    {"SELECT n FROM TEMP1234.txt a LEFT TEMP5678.txt b ON a.n = b.n", kSyntax, "Syntax error in JOIN operation."},
    {"SELECT n FROM TEMP1234.txt ORDER n", kSyntax, "Syntax error in ORDER BY clause."},
    {"SELECT n FROM TEMP1234.txt ORDER BY", kSyntax, "Syntax error in ORDER BY clause."},
    {"SELECT n FROM TEMP1234.txt ORDER BY 5", kSyntax, "Syntax error in ORDER BY clause."},
    {"SELECT n FROM TEMP1234.txt GROUP n", kSyntax, "Syntax error in GROUP BY clause."},
    {"SELECT n FROM TEMP1234.txt WHERE", kSyntax, "Syntax error in WHERE clause."},
    {"SELECT n FROM TEMP1234.txt UNION", kSyntax, "Syntax error in union query."},
    {"SELECT n FROM TEMP1234.txt; SELECT 1", kSyntax, "Characters found after end of SQL statement."},
    {"SELECT n FROM TEMP1234.txt)", kSyntax, "Syntax error in FROM clause."},
    {"SELEC n FROM TEMP1234.txt", kSyntax,
     "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
    {"DELETE FROM TEMP1234.txt", kSyntax,
     "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
    {"", kSyntax, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
    {"SELECT FROM TEMP1234.txt", kSyntax,
     "The SELECT statement includes a reserved word or an argument name that is misspelled or missing, or the "
     "punctuation is incorrect."},
    {"SELECT n AS FROM TEMP1234.txt", kSyntax,
     "The SELECT statement includes a reserved word or an argument name that is misspelled or missing, or the "
     "punctuation is incorrect."},
    {"SELECT 'abc FROM TEMP1234.txt", kSyntax, "Syntax error in string in query expression ''abc FROM TEMP1234.txt'."},
    {"SELECT #13/45/2003# FROM TEMP1234.txt", kSyntax, "Syntax error in date in query expression '#13/45/2003#'."},
    {"SELECT [PRODUCT FROM TEMP1234.txt", kSyntax, "Invalid bracketing of name '[PRODUCT FROM TEMP1234.txt'."},
    {"SELECT n FROM TEMP1234.txt WHERE n = $", kSyntax,
     "Syntax error (missing operator) in query expression 'n = $'."},
    {"SELECT n AS x, n AS X FROM TEMP1234.txt", kSyntax, "Duplicate output alias 'X'."},
    {"SELECT DISTINCT PRODUCT FROM TEMP1234.txt ORDER BY n", kSyntax, "ORDER BY clause (n) conflicts with DISTINCT."},
};
INSTANTIATE_TEST_SUITE_P(Syntax, ErrorTest, ::testing::ValuesIn(kSyntaxErrors));

constexpr ErrorCase kMeaningErrors[] = {
    {"SELECT PRODUKT FROM TEMP1234.txt", hr::kNoValueGiven,
     "The Microsoft Jet database engine does not recognize 'PRODUKT' as a valid field name or expression."},
    {"SELECT TEMP1234.PRODUKT FROM TEMP1234.txt TEMP1234", hr::kNoValueGiven,
     "The Microsoft Jet database engine does not recognize 'TEMP1234.PRODUKT' as a valid field name or expression."},
    {"SELECT rs1.PRODUCT FROM TEMP1234.txt TEMP1234", hr::kNoValueGiven,
     "The Microsoft Jet database engine does not recognize 'rs1.PRODUCT' as a valid field name or expression."},
    {"SELECT * FROM rs1", hr::kTableNotFound,
     "The Microsoft Jet database engine cannot find the input table or query 'rs1'.  Make sure it exists and that "
     "its name is spelled correctly."},
    {"SELECT * FROM [ORDER DETAILS]", hr::kTableNotFound,
     "The Microsoft Jet database engine cannot find the input table or query 'ORDER DETAILS'.  Make sure it exists "
     "and that its name is spelled correctly."},
    {"SELECT * FROM TEMP9999.txt TEMP9999", hr::kTableNotFound,
     "The Microsoft Jet database engine cannot find the input table or query 'TEMP9999.txt'."},
    {"SELECT PRODUCT, Count(*) FROM TEMP1234.txt", kSyntax,
     "You tried to execute a query that does not include the specified expression 'PRODUCT' as part of an aggregate "
     "function."},
    {"SELECT n + 1 FROM TEMP1234.txt GROUP BY PRODUCT", kSyntax,
     "You tried to execute a query that does not include the specified expression 'n + 1' as part of an aggregate "
     "function."},
    {"SELECT * FROM TEMP1234.txt GROUP BY PRODUCT", kSyntax,
     "You tried to execute a query that does not include the specified expression 'TEMP1234.txt.SUPPLIER' as part "
     "of an aggregate function."},
    {"SELECT PRODUCT FROM TEMP1234.txt GROUP BY PRODUCT ORDER BY n", kSyntax,
     "You tried to execute a query that does not include the specified expression 'n' as part of an aggregate "
     "function."},
    {"SELECT PRODUCT, (SELECT Count(*) FROM TEMP5678.txt b WHERE b.SUPPLIER = a.SUPPLIER) FROM TEMP1234.txt a "
     "GROUP BY PRODUCT",
     kSyntax,
     "You tried to execute a query that does not include the specified expression '(SELECT Count(*) FROM "
     "TEMP5678.txt b WHERE b.SUPPLIER = a.SUPPLIER)' as part of an aggregate function."},
    {"SELECT n FROM TEMP1234.txt WHERE Sum(n) > 1", kSyntax, "Cannot have aggregate function in WHERE clause (Sum(n))."},
    {"SELECT Sum(Max(n)) FROM TEMP1234.txt", kSyntax, "Cannot have aggregate function in expression (Max(n))."},
    {"SELECT (SELECT Max(a.n) FROM TEMP5678.txt) FROM TEMP1234.txt a", kSyntax,
     "Cannot have aggregate function in expression (Max(a.n))."},
    {"SELECT n FROM TEMP1234.txt WHERE PRODUCT = 1", hr::kTypeMismatch, "Data type mismatch in criteria expression."},
    {"SELECT n FROM TEMP1234.txt WHERE n IN ('a', 'b')", hr::kTypeMismatch, "Data type mismatch in criteria expression."},
    {"SELECT Sum(PRODUCT) FROM TEMP1234.txt", hr::kTypeMismatch, "Data type mismatch in criteria expression."},
    {"SELECT n FROM TEMP1234.txt WHERE PRODUCT", hr::kTypeMismatch, "Data type mismatch in criteria expression."},
    {"SELECT Foo(n) FROM TEMP1234.txt", kSyntax, "Undefined function 'Foo' in expression."},
    {"SELECT Left(PRODUCT) FROM TEMP1234.txt", kSyntax,
     "Wrong number of arguments used with function in query expression 'Left(PRODUCT)'."},
    {"SELECT SUPPLIER FROM TEMP1234.txt a, TEMP5678.txt b", kSyntax,
     "The specified field 'SUPPLIER' could refer to more than one table listed in the FROM clause of your SQL "
     "statement."},
    {"SELECT n FROM TEMP1234.txt UNION SELECT n, n FROM TEMP1234.txt", kSyntax,
     "The number of columns in the two selected tables or queries of a union query don't match."},
    {"SELECT n FROM TEMP1234.txt WHERE n IN (SELECT n, n FROM TEMP1234.txt)", kSyntax,
     "You have written a subquery that can return more than one field without using the EXISTS reserved word"},
    {"SELECT n FROM TEMP1234.txt a, TEMP5678.txt A", kSyntax, "Syntax error in FROM clause."},
    {"SELECT b.n FROM TEMP1234.txt a INNER JOIN (TEMP5678.txt b INNER JOIN TEMP1234.txt c ON a.n = c.n) ON a.n = c.n",
     hr::kNoValueGiven, "The Microsoft Jet database engine does not recognize 'a.n' as a valid field name"},
};
INSTANTIATE_TEST_SUITE_P(Meaning, ErrorTest, ::testing::ValuesIn(kMeaningErrors));

constexpr ErrorCase kRuntimeErrors[] = {
    {"SELECT 1 / (n - n) FROM TEMP1234.txt", kSyntax, "Division by zero"},
    {"SELECT 0 / 0 FROM TEMP1234.txt", kSyntax, "Overflow"},
    {"SELECT 5 \\ 0 FROM TEMP1234.txt", kSyntax, "Division by zero"},
    {"SELECT 5 Mod 0 FROM TEMP1234.txt", kSyntax, "Division by zero"},
    {"SELECT CInt(Null) FROM TEMP1234.txt", kSyntax, "Invalid use of Null"},
    {"SELECT CInt(PRODUCT) FROM TEMP1234.txt", hr::kTypeMismatch, "Type mismatch"},
    {"SELECT CInt(100000) FROM TEMP1234.txt", kSyntax, "Overflow"},
    {"SELECT 9223372036854775807 + n FROM TEMP1234.txt", kSyntax, "Overflow"},
    {"SELECT -(-9223372036854775807 - n - 1) FROM TEMP1234.txt", kSyntax, "Overflow"},
    {"SELECT CCur(922337203685477) * 100 FROM TEMP1234.txt", kSyntax, "Overflow"},
    // Found by fuzzing: each "%" multiplies by 100 until nothing is left to show.
    {"SELECT Format(2, '0%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%"
     "%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%"
     "%%%%%%%%%%%%%%%%%%%%') FROM TEMP1234.txt",
     kSyntax, "Overflow"},
    {"SELECT (-8) ^ 0.5 FROM TEMP1234.txt", kSyntax, "Invalid procedure call or argument"},
    {"SELECT PRODUCT + 1 FROM TEMP1234.txt", hr::kTypeMismatch, "Type mismatch"},
    {"SELECT Left(PRODUCT, -1) FROM TEMP1234.txt", kSyntax, "Invalid procedure call or argument"},
    {"SELECT DateAdd('x', 1, #1/1/2000#) FROM TEMP1234.txt", kSyntax, "Invalid procedure call or argument"},
};
INSTANTIATE_TEST_SUITE_P(Runtime, ErrorTest, ::testing::ValuesIn(kRuntimeErrors));

TEST_F(ErrorTestBase, UnknownFieldsNameTheClosestColumn) {
  const Error e = ErrorOf("SELECT TEMP1234.PRODUKT FROM TEMP1234.txt TEMP1234");
  EXPECT_NE(e.Description().find("Did you mean 'TEMP1234.PRODUCT'?"), std::string::npos) << e.Description();
}

TEST_F(ErrorTestBase, SyntaxErrorsSayWhereTheStatementStopped) {
  const Error e = ErrorOf("SELECT n FROM TEMP1234.txt a b");
  EXPECT_NE(e.Description().find("'b' at character 30"), std::string::npos) << e.Description();
}

// ------------------------------------------------------------ robustness

TEST_F(ErrorTestBase, DeepNestingIsTooComplexNotACrash) {
  for (int depth : {40, 150, 1000, 100000}) {
    const std::string statement =
        "SELECT " + std::string(static_cast<size_t>(depth), '(') + "n" + std::string(static_cast<size_t>(depth), ')') +
        " FROM TEMP1234.txt";
    try {
      Run(statement);
    } catch (const Error& e) {
      EXPECT_EQ(e.Description(), "Query is too complex.") << depth;
      EXPECT_EQ(e.Source(), kDriverSource);
    }
  }
  for (const std::string unit : {"-", "NOT ", "Abs(", "(SELECT "}) {
    std::string statement = "SELECT ";
    for (int i = 0; i < 5000; ++i) statement += unit;
    statement += "n";
    const Error e = ErrorOf(statement);
    EXPECT_EQ(e.Source(), kDriverSource);
  }
  ExpectStillWorks();
}

// Each sign of a chain stays an operator of the generated SQL: no length of
// chain may reach the database's own parser limit.
TEST_F(ErrorTestBase, ChainsOfSignsAreTooComplexBeforeTheDatabaseRefusesThem) {
  for (const std::string unit : {"-", "- ", "NOT ", "-(", "NOT ("}) {
    for (int length = 1; length <= 150; ++length) {
      std::string statement = "SELECT ";
      for (int i = 0; i < length; ++i) statement += unit;
      const auto opened = std::count(statement.begin(), statement.end(), '(');
      statement += "UCase(PRODUCT)" + std::string(static_cast<size_t>(opened), ')');
      try {
        Run(statement + " FROM TEMP1234.txt");
      } catch (const Error& e) {
        EXPECT_EQ(e.Source(), kDriverSource);
        EXPECT_EQ(e.Description().find("Unexpected error"), std::string::npos)
            << unit << " x " << length << ": " << e.Description();
      }
    }
  }
  ExpectStillWorks();
}

TEST_F(ErrorTestBase, LongChainsOfOperatorsAreRefusedCleanly) {
  std::string sum = "SELECT n";
  for (int i = 0; i < 20000; ++i) sum += " + n";
  const Error e = ErrorOf(sum + " FROM TEMP1234.txt");
  EXPECT_EQ(e.Description(), "Query is too complex.");
  ExpectStillWorks();
}

TEST_F(ErrorTestBase, LongConditionChainsRun) {
  std::string statement = "SELECT Count(*) FROM TEMP1234.txt WHERE n = -1";
  for (int i = 0; i < 5000; ++i) statement += " OR n = " + std::to_string(i * 2);
  EXPECT_EQ(Run(statement).Lines(), Texts({"1"}));
}

TEST_F(ErrorTestBase, TenThousandTermInListsRun) {
  std::string list;
  for (int i = 2; i < 10002; ++i) list += (list.empty() ? "" : ", ") + std::to_string(i);
  EXPECT_EQ(Run("SELECT Count(*) FROM TEMP1234.txt WHERE n IN (" + list + ", 1)").Lines(), Texts({"1"}));
  std::string texts;
  for (int i = 0; i < 10000; ++i) texts += (texts.empty() ? "'" : ", '") + std::to_string(i) + "x'";
  EXPECT_EQ(Run("SELECT Count(*) FROM TEMP1234.txt WHERE PRODUCT NOT IN (" + texts + ")").Lines(), Texts({"2"}));
}

TEST_F(ErrorTestBase, AMegabyteStatementRuns) {
  const std::string big(1 << 20, 'x');
  EXPECT_EQ(Run("SELECT Len('" + big + "') FROM TEMP1234.txt WHERE n = 1").Lines(), Texts({"1048576"}));
}

TEST_F(ErrorTestBase, NulBytesInLiteralsStayInTheValue) {
  const std::string statement = std::string("SELECT Len('a\0b', 7) FROM TEMP1234.txt WHERE n = 1", 50);
  const Error e = ErrorOf(statement);  // Len takes one argument
  EXPECT_EQ(e.Number(), hr::kSyntaxError);
  EXPECT_EQ(Show(Scalar(std::string("SELECT Len('a\0b')", 17))), "3");
}

TEST_F(ErrorTestBase, RandomBytesNeverCrash) {
  std::mt19937 random(12345);
  const std::string alphabet = "SELECT FROM WHERE GROUP BY ORDER UNION ( ) [ ] ' \" # , . ; * + - / \\ ^ & = < > n PRODUCT";
  for (int i = 0; i < 2000; ++i) {
    std::string statement = i % 2 ? "SELECT " : "";
    const int length = static_cast<int>(random() % 60);
    for (int k = 0; k < length; ++k) {
      if (i % 3 == 0) statement += static_cast<char>(random() % 256);
      else statement += alphabet[random() % alphabet.size()];
    }
    try {
      Run(statement);
    } catch (const Error& e) {
      EXPECT_EQ(e.Source(), kDriverSource) << statement << ": " << e.Description();
    }
  }
  ExpectStillWorks();
}

TEST_F(ErrorTestBase, ManyUnionsAreTooComplexOrRun) {
  std::string statement = "SELECT n FROM TEMP1234.txt";
  for (int i = 0; i < 300; ++i) statement += " UNION ALL SELECT n FROM TEMP1234.txt";
  EXPECT_EQ(ErrorOf(statement).Description(), "Query is too complex.");
  std::string fewer = "SELECT n FROM TEMP1234.txt";
  for (int i = 0; i < 100; ++i) fewer += " UNION ALL SELECT n FROM TEMP1234.txt";
  EXPECT_EQ(Run(fewer).rows.size(), 202u);
}

}  // namespace
}  // namespace vendrel::driver::testing

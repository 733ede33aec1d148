// Input that must never crash the driver or leave it unusable. The faulty
// statements with their errors, and the hints of those errors, are data, in
// driver/tests/sql/errors.test.

#include <algorithm>
#include <random>

#include "sql_fixture.h"

namespace vendrel::driver::testing {
namespace {

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

// Statements built at random from the dialect's grammar: each one either
// raises a driver error or compiles to SQL that SQLite accepts and runs.

#include <random>

#include "sql_fixture.h"

namespace vendrel::driver::testing {
namespace {

class GeneratedTest : public SqlTest {
 protected:
  GeneratedTest() {
    Catalog().Add("t",
                  {{"n", JetType::Long}, {"d", JetType::Double}, {"c", JetType::Currency}, {"s", JetType::Text, 9},
                   {"b", JetType::Boolean}, {"dt", JetType::Date}, {"g", JetType::BigInt}},
                  {{Variant::Long(7), Variant::Double(2.5), Variant(Currency{15000}), "Abc", Variant::Boolean(true),
                    Variant::Date(37000.5), Variant::BigInt(5)},
                   {Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(),
                    Variant::Null(), Variant::Null()},
                   {Variant::Long(-3), Variant::Double(0), Variant(Currency{0}), "", Variant::Boolean(false),
                    Variant::Date(-5.25), Variant::BigInt(0)}});
    Catalog().Add("u", {{"n", JetType::Long}, {"s", JetType::Text, 9}}, {{Variant::Long(7), "x"}, {Variant::Long(1), "abc"}});
  }

  template <size_t N>
  const char* Pick(const char* const (&items)[N]) {
    return items[random_() % N];
  }
  bool Coin(unsigned in) { return random_() % in == 0; }

  std::string Expression(int depth) {
    static const char* const atoms[] = {"n",   "d",    "c",    "s",    "b",           "dt",  "g",     "t.n",   "1",   "0",
                                        "2.5", "'x'",  "'12'", "Null", "True",        "-1",  "u2.n",  "u2.s",
                                        "#1/2/2003#"};
    static const char* const operators[] = {"+", "-", "*", "/",   "\\",  "Mod", "^",   "&",   "=",   "<>",
                                            "<", ">=", "AND", "OR", "XOR", "EQV", "IMP", "LIKE"};
    static const char* const functions[] = {"Len",   "UCase", "Abs",  "Int",       "Fix",    "CStr",      "CLng",
                                            "CDbl",  "CCur",  "CBool", "IsNull",   "Nz",     "Year",      "Format",
                                            "Trim",  "Sgn",   "CVar", "Str",       "Val",    "Hex",       "IsNumeric",
                                            "Round", "Sum",   "Count", "Max",      "First",  "Avg",       "StDev"};
    if (depth <= 0 || Coin(4)) return Pick(atoms);
    const std::string a = Expression(depth - 1), b = Expression(depth - 1);
    switch (random_() % 9) {
      case 0:
      case 1:
      case 2: return "(" + a + " " + Pick(operators) + " " + b + ")";
      case 3: return std::string(Pick(functions)) + "(" + a + ")";
      case 4: return "IIf(" + a + ", " + b + ", " + Expression(depth - 1) + ")";
      case 5: return "(" + a + " IN (" + b + ", " + Expression(0) + "))";
      case 6: return "(NOT " + a + ")";
      case 7: return "(" + a + " BETWEEN " + Expression(0) + " AND " + Expression(0) + ")";
      default: return "(SELECT " + (Coin(2) ? "Max(" + a + ")" : a) + " FROM u WHERE u.n = t.n)";
    }
  }

  std::string Table(int depth) {
    static const char* const bases[] = {"t", "u", "[t]", "u AS u2", "t AS t3", "u u4"};
    static const char* const joins[] = {" INNER JOIN ", " LEFT JOIN ", " RIGHT OUTER JOIN ", " FULL JOIN ", ", "};
    if (depth <= 0 || Coin(3)) return Pick(bases);
    const std::string join = Pick(joins);
    const std::string l = Table(depth - 1), r = Table(depth - 1);
    if (Coin(3)) return "(SELECT n, s FROM " + l + ") AS d" + std::to_string(random_() % 100);
    return "(" + l + join + r + (join == ", " ? "" : Coin(2) ? " ON 1 = 1" : " ON u.n = 7") + ")";
  }

  void Check(const std::string& statement) {
    try {
      Run(statement);
    } catch (const Error& e) {
      EXPECT_EQ(e.Source(), kDriverSource) << statement << "\n" << e.Description();
    }
  }

  std::mt19937 random_{20240601};
};

TEST_F(GeneratedTest, ExpressionsCompileToSqlThatRuns) {
  for (int i = 0; i < 3000 && !HasFailure(); ++i) {
    const std::string e = Expression(4);
    switch (random_() % 6) {
      case 0: Check("SELECT " + e + " FROM t LEFT JOIN u AS u2 ON t.n = u2.n"); break;
      case 1: Check("SELECT n, " + e + " FROM t AS t WHERE " + Expression(3) + " ORDER BY " + Expression(2)); break;
      case 2: Check("SELECT " + e + ", Count(*) FROM t GROUP BY " + e); break;
      case 3: Check("SELECT TOP 2 " + e + " FROM t ORDER BY " + e + " DESC"); break;
      case 4: Check("SELECT DISTINCT " + e + " FROM t UNION SELECT " + Expression(2) + " FROM u"); break;
      default: Check("SELECT " + e + " FROM t WHERE EXISTS (SELECT * FROM u AS u2 WHERE " + Expression(3) + ")"); break;
    }
  }
}

TEST_F(GeneratedTest, StatementShapesCompileToSqlThatRuns) {
  static const char* const quantifiers[] = {"", "DISTINCT ", "DISTINCTROW ", "TOP 2 ", "TOP 50 PERCENT ", "DISTINCT TOP 1 "};
  static const char* const lists[] = {"*", "n", "u.n, u.s", "Count(*)", "Max(s), Min(n)", "n AS x, s", "n, n"};
  for (int i = 0; i < 3000 && !HasFailure(); ++i) {
    std::string statement = std::string("SELECT ") + Pick(quantifiers) + Pick(lists) + " FROM " + Table(3);
    if (Coin(2)) statement += " WHERE " + Expression(2);
    if (Coin(4)) statement += " GROUP BY n";
    if (Coin(3)) statement += std::string(" UNION ") + (Coin(2) ? "ALL " : "") + "SELECT " + Pick(lists) + " FROM " + Table(1);
    if (Coin(2)) statement += Coin(2) ? " ORDER BY 1" : " ORDER BY n DESC";
    Check(statement);
  }
}

}  // namespace
}  // namespace vendrel::driver::testing

#include "sql_rewriter.h"

#include <gtest/gtest.h>

#include "engine_test_support.h"

namespace vendrel::engine {
namespace {

struct RewriteCase {
  const char* what;
  std::vector<TableName> tables;
  const char* in;
  const char* out;
};

void PrintTo(const RewriteCase& c, std::ostream* os) { *os << c.what; }

const std::vector<TableName> kTwoTables = {{"rs1", "TEMP1234"}, {"rs2", "TEMP5678"}};

class RewriteSqlCases : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(RewriteSqlCases, Rewrites) {
  const RewriteCase& c = GetParam();
  EXPECT_EQ(RewriteSqlText(c.in, c.tables), c.out) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, RewriteSqlCases,
    ::testing::Values(
        RewriteCase{"left outer join", kTwoTables,
                    "SELECT rs1.PRODUCT, rs2.SUPPLIER, rs2.COUNTRY FROM rs1 LEFT OUTER JOIN rs2 ON "
                    "rs1.SUPPLIER=rs2.SUPPLIER ",
                    "SELECT TEMP1234.PRODUCT, TEMP5678.SUPPLIER, TEMP5678.COUNTRY FROM TEMP1234.txt TEMP1234 LEFT "
                    "OUTER JOIN TEMP5678.txt TEMP5678 ON TEMP1234.SUPPLIER=TEMP5678.SUPPLIER "},
        RewriteCase{"grouping with aggregates", kTwoTables,
                    "SELECT rs1.OrderID, rs2.ProductID, SUM(rs2.UnitPrice) AS SUM_OF_UnitPrice FROM rs1 INNER JOIN "
                    "rs2 ON rs1.OrderID=rs2.OrderID WHERE rs1.OrderID BETWEEN 10248 AND 10265 GROUP BY "
                    "rs1.OrderID, rs2.ProductID ORDER BY rs1.OrderID, SUM(rs2.UnitPrice) DESC ",
                    "SELECT TEMP1234.OrderID, TEMP5678.ProductID, SUM(TEMP5678.UnitPrice) AS SUM_OF_UnitPrice FROM "
                    "TEMP1234.txt TEMP1234 INNER JOIN TEMP5678.txt TEMP5678 ON TEMP1234.OrderID=TEMP5678.OrderID "
                    "WHERE TEMP1234.OrderID BETWEEN 10248 AND 10265 GROUP BY TEMP1234.OrderID, TEMP5678.ProductID "
                    "ORDER BY TEMP1234.OrderID, SUM(TEMP5678.UnitPrice) DESC "},
        RewriteCase{"comma list of tables", kTwoTables, "SELECT * FROM rs1,rs2 ",
                    "SELECT * FROM TEMP1234.txt TEMP1234, TEMP5678.txt TEMP5678 "},
        RewriteCase{"bracketed qualifier", {{"rs1", "TEMP1234"}}, "SELECT [rs1].A FROM rs1 ",
                    "SELECT [TEMP1234].A FROM TEMP1234.txt TEMP1234 "}),
    testing::NameFromWhat());

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, RewriteSqlCases,
    ::testing::Values(
        RewriteCase{"case of the name is ignored", {{"rs1", "TEMP1234"}}, "SELECT RS1.A FROM Rs1 ",
                    "SELECT TEMP1234.A FROM TEMP1234.txt TEMP1234 "},
        RewriteCase{"a name that begins another name",
                    {{"rs1", "TEMP1234"}, {"rs10", "TEMP5678"}},
                    "SELECT rs1.A, rs10.B FROM rs1, rs10 ",
                    "SELECT TEMP1234.A, TEMP5678.B FROM TEMP1234.txt TEMP1234,  TEMP5678.txt TEMP5678 "},
        RewriteCase{"a name that ends another name is not touched inside it",
                    {{"s1", "TEMP1234"}, {"rs1", "TEMP5678"}},
                    "SELECT s1.A, rs1.B FROM s1, rs1 ",
                    "SELECT TEMP1234.A, TEMP5678.B FROM TEMP1234.txt TEMP1234,  TEMP5678.txt TEMP5678 "},
        RewriteCase{"a name after a digit or an underscore is part of a longer word",
                    {{"s1", "TEMP1234"}}, "SELECT x_s1.A, 2s1.B FROM x_s1 ", "SELECT x_s1.A, 2s1.B FROM x_s1 "},
        RewriteCase{"a name after a non-ASCII letter is part of a longer word",
                    {{"s1", "TEMP1234"}}, "SELECT \xC3\xA9s1.A FROM rs ", "SELECT \xC3\xA9s1.A FROM rs "},
        RewriteCase{"qualifiers after parenthesis, equals sign and comma",
                    {{"rs1", "TEMP1234"}}, "SELECT MAX(rs1.A),rs1.B FROM rs1 WHERE 1=rs1.C ",
                    "SELECT MAX(TEMP1234.A),TEMP1234.B FROM TEMP1234.txt TEMP1234 WHERE 1=TEMP1234.C "},
        RewriteCase{"name before ), ;, tab, line break or a bare bracket is left",
                    {{"rs1", "TEMP1234"}}, "SELECT * FROM (rs1);rs1\trs1\r\n[rs1] ",
                    "SELECT * FROM (rs1);rs1\trs1\r\n[rs1] "},
        RewriteCase{"name before space and comma is taken by the space pattern", {{"rs1", "TEMP1234"}},
                    "SELECT * FROM rs1 , rs2 ", "SELECT * FROM TEMP1234.txt TEMP1234 , rs2 "},
        RewriteCase{"string literals are left as written",
                    {{"rs1", "TEMP1234"}},
                    "SELECT 'rs1.A', \"rs1 \", rs1.B FROM rs1 WHERE rs1.C = 'it''s rs1.' ",
                    "SELECT 'rs1.A', \"rs1 \", TEMP1234.B FROM TEMP1234.txt TEMP1234 WHERE TEMP1234.C = 'it''s rs1.' "},
        RewriteCase{"a quote inside a bracketed name opens no literal",
                    {{"rs1", "TEMP1234"}}, "SELECT rs1.[it's] FROM rs1 ",
                    "SELECT TEMP1234.[it's] FROM TEMP1234.txt TEMP1234 "},
        RewriteCase{"an unterminated literal runs to the end", {{"rs1", "TEMP1234"}}, "SELECT 'rs1.A FROM rs1 ",
                    "SELECT 'rs1.A FROM rs1 "},
        RewriteCase{"optimized entry keeps its name as qualifier", {{"rs3", "rs3"}}, "SELECT rs3.X FROM rs3 ",
                    "SELECT rs3.X FROM rs3.txt rs3 "},
        RewriteCase{"no entries", {}, "SELECT rs1.A FROM rs1 ", "SELECT rs1.A FROM rs1 "},
        RewriteCase{"an empty name matches nothing", {{"", "TEMP1234"}}, "SELECT a.b FROM t ",
                    "SELECT a.b FROM t "},
        RewriteCase{"case-blind beyond ASCII", {{"\xC3\xA4rger", "TEMP1234"}},
                    "SELECT \xC3\x84RGER.A FROM \xC3\x84rger ", "SELECT TEMP1234.A FROM TEMP1234.txt TEMP1234 "},
        RewriteCase{"invalid UTF-8 is carried through", {{"rs1", "TEMP1234"}}, "SELECT '\xFF' FROM rs1 \xFE",
                    "SELECT '\xFF' FROM TEMP1234.txt TEMP1234 \xFE"}),
    testing::NameFromWhat());

}  // namespace
}  // namespace vendrel::engine

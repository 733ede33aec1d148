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
        RewriteCase{"invalid UTF-8 is carried through", {{"rs1", "TEMP1234"}}, "SELECT '\xFF', rs1.A FROM rs1 ;\xFE",
                    "SELECT '\xFF', TEMP1234.A FROM TEMP1234.txt TEMP1234 ;\xFE"}),
    testing::NameFromWhat());

const std::vector<TableName> kOrders = {{"rsO", "TEMP1"}, {"rsD", "TEMP2"}};

// Names are rewritten in their two roles only, wherever the statement puts a
// table; everything else keeps its spelling.
INSTANTIATE_TEST_SUITE_P(
    Roles, RewriteSqlCases,
    ::testing::Values(
        RewriteCase{"an alias after AS replaces the file name as alias", kOrders,
                    "SELECT o.OrderID FROM rsO AS o WHERE o.Freight > 1 ",
                    "SELECT o.OrderID FROM TEMP1.txt AS o WHERE o.Freight > 1 "},
        RewriteCase{"an alias without AS", kOrders, "SELECT o.OrderID FROM rsO o ",
                    "SELECT o.OrderID FROM TEMP1.txt o "},
        RewriteCase{"a bracketed alias", kOrders, "SELECT * FROM rsO [o] ", "SELECT * FROM TEMP1.txt [o] "},
        RewriteCase{"a self-join", {{"rs1", "TEMP1234"}},
                    "SELECT a.PRODUCT, b.PRODUCT FROM rs1 AS a INNER JOIN rs1 AS b ON a.SUPPLIER = b.SUPPLIER ",
                    "SELECT a.PRODUCT, b.PRODUCT FROM TEMP1234.txt AS a INNER JOIN TEMP1234.txt AS b ON a.SUPPLIER = "
                    "b.SUPPLIER "},
        RewriteCase{"a subquery in WHERE ends before its parenthesis", kOrders,
                    "SELECT OrderID FROM rsO WHERE Freight > (SELECT AVG(Freight) FROM rsO) ",
                    "SELECT OrderID FROM TEMP1.txt TEMP1 WHERE Freight > (SELECT AVG(Freight) FROM TEMP1.txt TEMP1) "},
        RewriteCase{"a derived table", kOrders,
                    "SELECT COUNT(*) FROM (SELECT DISTINCT CustomerID FROM rsO) AS t ",
                    "SELECT COUNT(*) FROM (SELECT DISTINCT CustomerID FROM TEMP1.txt TEMP1) AS t "},
        RewriteCase{"subqueries in the select list, HAVING, EXISTS and IN", kOrders,
                    "SELECT (SELECT MAX(x) FROM rsD), A FROM rsO GROUP BY A HAVING COUNT(*) > (SELECT 1 FROM rsD) "
                    "AND EXISTS (SELECT * FROM rsD WHERE rsD.A = A) AND A IN (SELECT A FROM rsD) ",
                    "SELECT (SELECT MAX(x) FROM TEMP2.txt TEMP2), A FROM TEMP1.txt TEMP1 GROUP BY A HAVING COUNT(*) > "
                    "(SELECT 1 FROM TEMP2.txt TEMP2) AND EXISTS (SELECT * FROM TEMP2.txt TEMP2 WHERE TEMP2.A = A) AND "
                    "A IN (SELECT A FROM TEMP2.txt TEMP2) "},
        RewriteCase{"each UNION member has its own FROM", kOrders, "SELECT A FROM rsO UNION SELECT A FROM rsD",
                    "SELECT A FROM TEMP1.txt TEMP1 UNION SELECT A FROM TEMP2.txt TEMP2"},
        RewriteCase{"a nested join", kOrders, "SELECT * FROM (rsO INNER JOIN rsD ON rsO.A = rsD.A) ",
                    "SELECT * FROM (TEMP1.txt TEMP1 INNER JOIN TEMP2.txt TEMP2 ON TEMP1.A = TEMP2.A) "},
        RewriteCase{"names before ; TAB CR LF and at the end", kOrders,
                    "SELECT * FROM rsO;SELECT * FROM rsO\tWHERE 1;FROM rsO\r\n;FROM rsD",
                    "SELECT * FROM TEMP1.txt TEMP1;SELECT * FROM TEMP1.txt TEMP1\tWHERE 1;FROM TEMP1.txt "
                    "TEMP1\r\n;FROM TEMP2.txt TEMP2"},
        RewriteCase{"a keyword name after a parenthesis, as qualifier and as the SELECT of a derived table",
                    {{"Select", "TEMP1"}}, "SELECT MAX(Select.N) FROM (SELECT N FROM Select) AS t, (Select) ",
                    "SELECT MAX(TEMP1.N) FROM (SELECT N FROM TEMP1.txt TEMP1) AS t, (Select) "},
        RewriteCase{"keyword names, bracketed or not", {{"Select", "TEMP1"}, {"Order", "TEMP2"}},
                    "SELECT [Select].A, Order.B FROM [Select], Order ORDER BY [Order].B ",
                    "SELECT [TEMP1].A, TEMP2.B FROM TEMP1.txt TEMP1,  TEMP2.txt TEMP2 ORDER BY [TEMP2].B "},
        RewriteCase{"a recordset named txt does not touch what an earlier one became",
                    {{"rs1", "TEMP1234"}, {"txt", "TEMP5678"}}, "SELECT rs1.A, txt.B FROM rs1, txt ",
                    "SELECT TEMP1234.A, TEMP5678.B FROM TEMP1234.txt TEMP1234,  TEMP5678.txt TEMP5678 "},
        RewriteCase{"a column after a dot, a column and an output alias keep a recordset's name",
                    {{"Tag", "TEMP1"}}, "SELECT Tag.Tag, Tag, x AS Tag FROM Tag ",
                    "SELECT TEMP1.Tag, Tag, x AS Tag FROM TEMP1.txt TEMP1 "},
        RewriteCase{"a name inside literals", {{"rs1", "TEMP1234"}}, "SELECT 'rs1', \"FROM rs1\" FROM rs1 ",
                    "SELECT 'rs1', \"FROM rs1\" FROM TEMP1234.txt TEMP1234 "},
        RewriteCase{"a name with a space, bracketed or written out", {{"my rs", "TEMP1"}},
                    "SELECT [my rs].A, my rs.B FROM [my rs] ",
                    "SELECT [TEMP1].A, TEMP1.B FROM TEMP1.txt TEMP1 "},
        RewriteCase{"a backquoted qualifier keeps its quotes", {{"rs1", "TEMP1234"}}, "SELECT `rs1`.A FROM `rs1` ",
                    "SELECT `TEMP1234`.A FROM TEMP1234.txt TEMP1234 "},
        RewriteCase{"the qualifier mark !", {{"rs1", "TEMP1234"}}, "SELECT rs1!A FROM rs1 ",
                    "SELECT TEMP1234!A FROM TEMP1234.txt TEMP1234 "},
        RewriteCase{"a kept result whose name is not one plain word goes in brackets",
                    {{"my rs", "my rs"}, {"select", "select"}}, "SELECT [my rs].A FROM [my rs], [select] ",
                    "SELECT [my rs].A FROM [my rs.txt] [my rs],  [select.txt] [select] "},
        RewriteCase{"a qualifier that names an alias stays", {{"a", "TEMP1"}, {"b", "TEMP2"}},
                    "SELECT a.id, b.id FROM a a INNER JOIN b AS x ON a.id = x.id, (SELECT 1 AS id FROM b) AS b ",
                    "SELECT a.id, b.id FROM TEMP1.txt a INNER JOIN TEMP2.txt AS x ON a.id = x.id, (SELECT 1 AS id "
                    "FROM TEMP2.txt TEMP2) AS b "},
        RewriteCase{"a table after a number glued to it is not a name", {{"s1", "TEMP1"}}, "SELECT 2s1 FROM t ",
                    "SELECT 2s1 FROM t "},
        RewriteCase{"text after an unreadable token stays as written", {{"rs1", "TEMP1234"}},
                    "SELECT rs1.A FROM rs1 WHERE #bad# = rs1.A ",
                    "SELECT TEMP1234.A FROM TEMP1234.txt TEMP1234 WHERE #bad# = rs1.A "}),
    testing::NameFromWhat());

TEST(CallerOffset, CountsInTheCallersText) {
  const std::vector<TableName> tables = {{"rs1", "TEMP1234"}};
  const std::string sql = "SELECT rs1.A FROM rs1 WHERE A = = 1 ";
  const RewrittenSql rewritten = RewriteSqlTokens(sql, tables);
  ASSERT_EQ(rewritten.text, "SELECT TEMP1234.A FROM TEMP1234.txt TEMP1234 WHERE A = = 1 ");
  struct Case {
    std::string_view word;  // its first occurrence in both texts
    std::string_view inCaller;
  };
  for (const Case& c : {Case{"SELECT", "SELECT"}, Case{"TEMP1234.A", "rs1.A"}, Case{"FROM", "FROM"},
                        Case{"= =", "= ="}, Case{"TEMP1234 WHERE", "rs1 WHERE"}})
    EXPECT_EQ(CallerOffset(rewritten.edits, rewritten.text.find(c.word)), sql.find(c.inCaller)) << c.word;
  // Inside a replacement: where the replaced name began.
  EXPECT_EQ(CallerOffset(rewritten.edits, rewritten.text.find(".txt")), sql.find("rs1 WHERE"));
  EXPECT_EQ(CallerOffset({}, 7), 7u);
}

}  // namespace
}  // namespace vendrel::engine

// Statements that name recordsets in every role the driver accepts, run
// through Execute: aliases, self-joins, subqueries and derived tables,
// keyword and bracketed names, a column named as its recordset; kept results
// found under any case of their name; and error descriptions that name what
// the caller wrote.

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel {
namespace {

using testing::MakeRecordset;
using testing::RowsOf;

Ref<Recordset> Orders() {
  return MakeRecordset({{"OrderID", adInteger, 0}, {"CustomerID", adVarChar, 10}, {"Freight", adDouble, 0}},
                       {{Variant::Long(1), Variant("ALF"), Variant(10.0)},
                        {Variant::Long(2), Variant("BON"), Variant(30.0)},
                        {Variant::Long(3), Variant("ALF"), Variant(50.0)}});
}
Ref<Recordset> Details() {
  return MakeRecordset({{"OrderID", adInteger, 0}, {"Qty", adInteger, 0}},
                       {{Variant::Long(1), Variant::Long(5)}, {Variant::Long(3), Variant::Long(7)}});
}
Ref<Recordset> Products() {
  return MakeRecordset({{"PRODUCT", adVarChar, 20}, {"SUPPLIER", adVarChar, 10}},
                       {{Variant("Wheels"), Variant("WHL")}, {Variant("Tyres"), Variant("WHL")},
                        {Variant("Radio"), Variant("RDO")}});
}
Ref<Recordset> Tags() {
  return MakeRecordset({{"Tag", adVarChar, 10}}, {{Variant("red")}, {Variant("blue")}});
}

struct Statement {
  const char* what;
  std::vector<std::pair<std::string, Ref<Recordset> (*)()>> inputs;
  const char* sql;
  std::vector<std::string> rows;  // in result order
};

void PrintTo(const Statement& c, std::ostream* os) { *os << c.what; }

class StatementRoles : public testing::TempRootTest, public ::testing::WithParamInterface<Statement> {};

TEST_P(StatementRoles, ReturnTheRows) {
  const Statement& c = GetParam();
  Ref<QueryDataSource> source = QueryDataSource::Create();
  for (const auto& [name, make] : c.inputs) source->RecordsetCollection()->Add(make(), name);
  Ref<Vendrel> query = Vendrel::Create();
  Ref<Recordset> result;
  const testing::CaughtError caught =
      testing::CatchError([&] { result = query->Execute(source, c.sql, adOpenStatic, adLockReadOnly); });
  ASSERT_FALSE(caught.thrown) << caught.description;
  ASSERT_TRUE(result);
  EXPECT_EQ(RowsOf(result), c.rows);
}

using Inputs = std::vector<std::pair<std::string, Ref<Recordset> (*)()>>;
const Inputs kOrders = {{"rs1", Products}, {"rsO", Orders}, {"rsD", Details}};

INSTANTIATE_TEST_SUITE_P(
    Execute, StatementRoles,
    ::testing::Values(
        Statement{"an alias after AS", kOrders,
                  "SELECT o.OrderID FROM rsO AS o WHERE o.Freight > 20 ORDER BY o.OrderID", {"2", "3"}},
        Statement{"an alias without AS", kOrders, "SELECT o.OrderID FROM rsO o WHERE o.CustomerID = 'BON'", {"2"}},
        Statement{"a self-join", kOrders,
                  "SELECT a.PRODUCT, b.PRODUCT FROM rs1 AS a INNER JOIN rs1 AS b ON a.SUPPLIER = b.SUPPLIER "
                  "WHERE a.PRODUCT < b.PRODUCT",
                  {"Tyres|Wheels"}},
        Statement{"a subquery before a parenthesis", kOrders,
                  "SELECT OrderID FROM rsO WHERE Freight > (SELECT AVG(Freight) FROM rsO)", {"3"}},
        Statement{"a derived table", kOrders,
                  "SELECT COUNT(*) FROM (SELECT DISTINCT CustomerID FROM rsO) AS t", {"2"}},
        Statement{"IN and EXISTS subqueries and a join with qualifiers", kOrders,
                  "SELECT rsO.OrderID FROM rsO WHERE rsO.OrderID IN (SELECT OrderID FROM rsD) AND EXISTS "
                  "(SELECT * FROM rsD WHERE rsD.Qty > 6) ORDER BY rsO.OrderID",
                  {"1", "3"}},
        Statement{"names before ; TAB and a line break", kOrders,
                  "SELECT rsO.OrderID FROM rsO\tINNER JOIN rsD\r\nON rsO.OrderID = rsD.OrderID ORDER BY 1;",
                  {"1", "3"}},
        Statement{"a union whose members each have a FROM", kOrders,
                  "SELECT OrderID FROM rsD UNION SELECT OrderID FROM rsO WHERE OrderID = 2", {"1", "2", "3"}},
        Statement{"keyword names written in brackets", {{"Select", Tags}, {"Order", Details}},
                  "SELECT [Select].Tag FROM [Select], [Order] WHERE [Order].Qty = 5 ORDER BY 1", {"blue", "red"}},
        Statement{"a recordset named txt in second place", {{"rs1", Tags}, {"txt", Details}},
                  "SELECT rs1.Tag, txt.Qty FROM rs1, txt WHERE txt.Qty = 7 ORDER BY 1", {"blue|7", "red|7"}},
        Statement{"a column named as its recordset", {{"Tag", Tags}}, "SELECT Tag.Tag FROM Tag ORDER BY Tag",
                  {"blue", "red"}},
        Statement{"a bracketed name with a space", {{"my rs", Tags}},
                  "SELECT [my rs].Tag FROM [my rs] WHERE [my rs].Tag <> 'rs1'", {"red", "blue"}}),
    testing::NameFromWhat());

class KeptResults : public testing::TempRootTest {};

// A result kept as "rs3" is found as "RS3", and keeping "RS3" replaces it:
// later queries read the newer rows with their own columns.
TEST_F(KeptResults, AreNamedWithoutRegardToCase) {
  Ref<Vendrel> query = Vendrel::Create();
  auto keep = [&](const char* sql, const char* name) {
    Ref<QueryDataSource> source = QueryDataSource::Create();
    source->RecordsetCollection()->Add(Orders(), "rsO");
    query->Execute(source, sql, adOpenStatic, adLockReadOnly, true, name);
  };
  auto read = [&](const char* entryName, const char* sql) {
    Ref<QueryDataSource> source = QueryDataSource::Create();
    source->RecordsetCollection()->Add(nullptr, entryName, true);
    return RowsOf(query->Execute(source, sql, adOpenStatic, adLockReadOnly));
  };
  keep("SELECT OrderID FROM rsO WHERE OrderID < 3", "rs3");
  EXPECT_EQ(read("RS3", "SELECT Rs3.OrderID FROM rS3 ORDER BY 1"), (std::vector<std::string>{"1", "2"}));

  keep("SELECT CustomerID, Freight FROM rsO WHERE OrderID = 3", "RS3");
  EXPECT_EQ(read("rs3", "SELECT rs3.CustomerID, rs3.Freight FROM rs3"), (std::vector<std::string>{"ALF|50"}));
  EXPECT_EQ(Entries(query->OptimizedFolder()), (std::set<std::string>{"rs3.txt", "schema.ini"}));
}

class CallerTerms : public testing::TempRootTest {};

// A data file's name changes with every run, and a position in the
// rewritten text points nowhere in the caller's.
TEST_F(CallerTerms, ErrorDescriptionsNameRecordsetsAndCountInTheCallersStatement) {
  Ref<Vendrel> query = Vendrel::Create();
  auto run = [&](const std::string& sql, Ref<Recordset> input) {
    Ref<QueryDataSource> source = QueryDataSource::Create();
    source->RecordsetCollection()->Add(input, "rs1");
    return testing::CatchError([&] { query->Execute(source, sql, adOpenStatic, adLockReadOnly); });
  };
  const std::string sql = "SELECT rs1.A FROM rs1 ORDER rs1.A";
  const testing::CaughtError syntax = run(sql, MakeRecordset({{"A"}}));
  EXPECT_EQ(syntax.number, -2147220497);
  EXPECT_NE(syntax.description.find("at character " + std::to_string(sql.find("rs1.A", 25) + 1)), std::string::npos)
      << syntax.description;
  EXPECT_EQ(syntax.description.find("TEMP"), std::string::npos) << syntax.description;

  const testing::CaughtError grouping = run("SELECT rs1.A, COUNT(*) FROM rs1", MakeRecordset({{"A"}}));
  EXPECT_EQ(grouping.number, -2147220497);
  EXPECT_NE(grouping.description.find("'rs1.A'"), std::string::npos) << grouping.description;
  EXPECT_EQ(grouping.description.find("TEMP"), std::string::npos) << grouping.description;
}

}  // namespace
}  // namespace vendrel

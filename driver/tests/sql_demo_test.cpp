// The demonstration's statements as the engine hands them to the driver:
// recordset names rewritten into data files ("TEMP1234.txt TEMP1234") and
// their qualifiers, with the trailing space the engine appends, over the
// many rows of the sample orders. Example 1 and the rewritten forms over
// small tables are data, in driver/tests/sql/data_files.test.


#include "sql_fixture.h"

namespace vendrel::driver::testing {
namespace {

class DemoTest : public SqlTest {
 protected:
  static std::vector<ColumnDef> OrderColumns() {
    return {{"OrderID", JetType::Long}, {"CustomerID", JetType::Text, 5}, {"OrderDate", JetType::Date}};
  }
  static std::vector<Row> Orders() {
    std::vector<Row> rows;
    const char* customers[] = {"VINET", "TOMSP", "HANAR", "VICTE", "SUPRD"};
    for (int id = 10246; id <= 10304; ++id)
      rows.push_back({Variant::Long(id), customers[id % 5], Variant(*MakeDate(1996, 7, 1 + id % 28))});
    return rows;
  }
  static std::vector<ColumnDef> DetailColumns() {
    return {{"OrderID", JetType::Long},
            {"ProductID", JetType::Long},
            {"UnitPrice", JetType::Currency},
            {"Quantity", JetType::Short}};
  }
  // Two lines per order; the second repeats the first product for even orders.
  static std::vector<Row> Details() {
    std::vector<Row> rows;
    for (int id = 10246; id <= 10304; ++id) {
      rows.push_back({Variant::Long(id), Variant::Long(11), Variant(Currency{140000}), Variant::Integer(12)});
      rows.push_back({Variant::Long(id), Variant::Long(id % 2 ? 42 : 11), Variant(Currency{98000 + id}),
                      Variant::Integer(10)});
    }
    return rows;
  }
};

TEST_F(DemoTest, ExampleTwoInnerJoinWithGrouping) {
  Catalog().Add("TEMP1234.txt", OrderColumns(), Orders());
  Catalog().Add("TEMP5678.txt", DetailColumns(), Details());
  const Result r = Run(
      "SELECT TEMP1234.OrderID, TEMP5678.ProductID, SUM(TEMP5678.UnitPrice) AS SUM_OF_UnitPrice FROM TEMP1234.txt "
      "TEMP1234 INNER JOIN TEMP5678.txt TEMP5678 ON TEMP1234.OrderID=TEMP5678.OrderID WHERE TEMP1234.OrderID "
      "BETWEEN 10248 AND 10265 GROUP BY TEMP1234.OrderID, TEMP5678.ProductID ORDER BY TEMP1234.OrderID, "
      "SUM(TEMP5678.UnitPrice) DESC ");
  EXPECT_EQ(r.Names(), Texts({"OrderID", "ProductID", "SUM_OF_UnitPrice"}));
  EXPECT_EQ(r.columns[0].type, JetType::Long);
  EXPECT_EQ(r.columns[2].type, JetType::Currency);
  const std::vector<std::string> lines = r.Lines();
  ASSERT_EQ(lines.size(), 9u + 2u * 9u);  // 18 orders: even ones with one product, odd ones with two
  EXPECT_EQ(lines[0], "10248|11|24.8248");
  EXPECT_EQ(lines[1], "10249|11|14");
  EXPECT_EQ(lines[2], "10249|42|10.8249");
  EXPECT_EQ(lines.back(), "10265|42|10.8265");
}

TEST_F(DemoTest, ExampleThreeRightOuterJoinWithStar) {
  Catalog().Add("TEMP1234.txt", {{"OrderID", JetType::Long}, {"PaymentStatus", JetType::Text, 20}},
                {{Variant::Long(10250), "Paid"}, {Variant::Long(10251), "Overdue"}, {Variant::Long(99999), "Lost"}});
  Catalog().Add("TEMP5678.txt", OrderColumns(), Orders());
  const Result r = Run(
      "SELECT TEMP1234.PaymentStatus, TEMP5678.* FROM TEMP1234.txt TEMP1234 RIGHT OUTER JOIN TEMP5678.txt TEMP5678 "
      "ON TEMP1234.OrderID=TEMP5678.OrderID ORDER BY TEMP5678.CustomerID ASC, TEMP5678.OrderID ASC ");
  EXPECT_EQ(r.Names(), Texts({"PaymentStatus", "OrderID", "CustomerID", "OrderDate"}));
  EXPECT_EQ(r.rows.size(), Orders().size());
  EXPECT_EQ(r.Lines()[0].substr(0, 16), "Null|10247|HANAR");
  for (size_t i = 1; i < r.rows.size(); ++i) {
    const std::string a = ToText(r.rows[i - 1][2]), b = ToText(r.rows[i][2]);
    EXPECT_TRUE(a < b || (a == b && r.rows[i - 1][1].AsLong() < r.rows[i][1].AsLong()));
  }
  int paid = 0;
  for (const auto& row : r.rows) paid += !row[0].IsNull();
  EXPECT_EQ(paid, 2);
}

TEST_F(DemoTest, ExampleFourRightOuterJoinWithAliasesOverAnEmptyTable) {
  // The data source holds rs2 before rs1, so rs2 took the first file name.
  Catalog().Add("TEMP1111.txt", DetailColumns(), Details());
  Catalog().Add("TEMP2222.txt",
                {{"OrderID", JetType::Long}, {"ProcessedBy", JetType::Text, 15}, {"Comments", JetType::Text, 100}}, {});
  const Result r = Run(
      "SELECT TEMP1111.OrderID as OrderNumber, TEMP1111.ProductID as ProductNumber, TEMP1111.UnitPrice as UnitCost, "
      "TEMP1111.Quantity as Qty, TEMP2222.ProcessedBy, TEMP2222.Comments FROM TEMP2222.txt TEMP2222 RIGHT OUTER JOIN "
      "TEMP1111.txt TEMP1111 ON TEMP2222.OrderID=TEMP1111.OrderID WHERE TEMP1111.OrderID >=10248 AND "
      "TEMP1111.OrderID <=10302 ");
  EXPECT_EQ(r.Names(), Texts({"OrderNumber", "ProductNumber", "UnitCost", "Qty", "ProcessedBy", "Comments"}));
  EXPECT_EQ(r.columns[3].type, JetType::Short);
  EXPECT_EQ(r.columns[5].width, 100);
  EXPECT_EQ(r.rows.size(), 2u * (10302 - 10248 + 1));
  for (const auto& row : r.rows) {
    EXPECT_TRUE(row[4].IsNull());
    EXPECT_TRUE(row[5].IsNull());
    EXPECT_GE(row[0].AsLong(), 10248);
    EXPECT_LE(row[0].AsLong(), 10302);
  }
}

TEST_F(DemoTest, OneTableStatementsOfTheSampleConnections) {
  Catalog().Add("ORDERS", OrderColumns(), Orders());
  Catalog().Add("ORDER DETAILS", DetailColumns(), Details());
  Catalog().Add("OrdersPaymentStatus.txt", {{"OrderID", JetType::Long}, {"PaymentStatus", JetType::Text}},
                {{Variant::Long(10250), "Paid"}});
  EXPECT_EQ(Run("SELECT * FROM ORDERS").rows.size(), Orders().size());
  EXPECT_EQ(Run("SELECT * FROM [ORDER DETAILS]").Names(), Texts({"OrderID", "ProductID", "UnitPrice", "Quantity"}));
  EXPECT_EQ(Run("SELECT * FROM OrdersPaymentStatus.txt").Lines(), Texts({"10250|Paid"}));
}

}  // namespace
}  // namespace vendrel::driver::testing

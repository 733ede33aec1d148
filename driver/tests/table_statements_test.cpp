// The statements the engine hands the driver, as it rewrites them, over
// folders written as the engine writes them, where more than the rows is
// checked (the cursor, a stored result's quoted values); and the demo's
// one-table statements on its other two connections. The others are data,
// in driver/tests/sql/data_files.test.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "table_fixtures.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel::driver {
namespace {

using testing::FixtureFolder;
using testing::RowTexts;
using Rows = std::vector<std::vector<std::string>>;

std::string Section(std::string_view file, std::vector<std::string_view> columns) {
  std::string s = "[" + std::string(file) + "]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n";
  for (size_t i = 0; i < columns.size(); ++i) s += "Col" + std::to_string(i + 1) + "=" + std::string(columns[i]) + "\r\n";
  return s;
}

std::string DataFile(std::vector<std::string_view> lines) {
  std::string s;
  for (std::string_view l : lines) s += std::string(l) + "\r\n";
  return s;
}

class TableStatementsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterProviders(); }

  // The engine's connection and client-side recordset.
  static Ref<Recordset> Run(const std::string& connectionString, const std::string& sql,
                            int cursorType = adOpenStatic, int lockType = adLockReadOnly) {
    Ref<Connection> cn = Connection::Create();
    cn->SetConnectionString(connectionString);
    cn->SetCursorLocation(adUseClient);
    cn->Open();
    Ref<Recordset> rs = Recordset::Create();
    rs->SetCursorLocation(adUseClient);
    rs->Open(Variant(sql), Variant(cn), cursorType, lockType, adCmdText);
    rs->SetActiveConnection(nullptr);
    return rs;
  }

  static std::vector<std::string> NamesOf(const Ref<Recordset>& rs) {
    std::vector<std::string> names;
    for (long i = 0; i < rs->Fields().Count(); ++i) names.push_back(rs->Fields()[static_cast<size_t>(i)].Name());
    return names;
  }
  static std::vector<int> TypesOf(const Ref<Recordset>& rs) {
    std::vector<int> types;
    for (long i = 0; i < rs->Fields().Count(); ++i) types.push_back(rs->Fields()[static_cast<size_t>(i)].Type());
    return types;
  }

  // ORDER DETAILS as the engine exports it from the database's recordset.
  static std::string DetailsSection(std::string_view file) {
    return Section(file, {"OrderID Integer", "ProductID Integer", "UnitPrice Currency", "Quantity Short",
                          "Discount Double"});
  }
  static std::string DetailsData() {
    return DataFile({"OrderID\tProductID\tUnitPrice\tQuantity\tDiscount", "10248\t11\t14\t12\t0",
                     "10248\t42\t9.8\t10\t0", "10248\t72\t34.8\t5\t0", "10249\t14\t18.6\t9\t0",
                     "10249\t51\t42.4\t40\t0", "10250\t41\t7.7\t10\t0", "10250\t51\t42.4\t35\t0.15",
                     "10250\t65\t16.8\t15\t0.15", "10250\t65\t1.2\t1\t0", "10265\t17\t31.2\t30\t0",
                     "10265\t70\t12\t20\t0", "10266\t12\t30.4\t12\t0.05"});
  }

  FixtureFolder folder_;
};

TEST_F(TableStatementsTest, Example4RightOuterJoinWithAnEmptyRecordsetAndAliases) {
  // rs2 was added first: its data file comes first.
  folder_.Write("TEMP2222.txt", DetailsData());
  folder_.Write("TEMP1111.txt", DataFile({"OrderID\tProcessedBy\tComments"}));
  folder_.Write("schema.ini",
                DetailsSection("TEMP2222.txt") +
                    Section("TEMP1111.txt", {"OrderID Integer", "ProcessedBy Char Width 15", "Comments Char Width 100"}));
  const Ref<Recordset> rs =
      Run(folder_.TextConnectionString(),
          "SELECT TEMP2222.OrderID as OrderNumber, TEMP2222.ProductID as ProductNumber, TEMP2222.UnitPrice as "
          "UnitCost, TEMP2222.Quantity as Qty, TEMP1111.ProcessedBy, TEMP1111.Comments FROM TEMP1111.txt TEMP1111 "
          "RIGHT OUTER JOIN TEMP2222.txt TEMP2222 ON TEMP1111.OrderID=TEMP2222.OrderID WHERE TEMP2222.OrderID >=10248 "
          "AND TEMP2222.OrderID <=10302  ",
          adOpenDynamic, adLockOptimistic);
  EXPECT_EQ(rs->CursorType(), adOpenStatic);
  EXPECT_EQ(rs->LockType(), adLockOptimistic);
  EXPECT_EQ(NamesOf(rs),
            (std::vector<std::string>{"OrderNumber", "ProductNumber", "UnitCost", "Qty", "ProcessedBy", "Comments"}));
  EXPECT_EQ(TypesOf(rs), (std::vector<int>{adInteger, adInteger, adCurrency, adSmallInt, adVarWChar, adVarWChar}));
  EXPECT_EQ(rs->Fields()[4].DefinedSize(), 15);
  EXPECT_EQ(rs->Fields()[5].DefinedSize(), 100);
  const Rows rows = RowTexts(rs);
  EXPECT_EQ(rows.size(), 12u);
  for (const auto& row : rows) {
    EXPECT_EQ(row[4], "Null");
    EXPECT_EQ(row[5], "Null");
  }
}

TEST_F(TableStatementsTest, AStoredResultIsReadBackWithItsQuotedValuesUnchanged) {
  // A kept result: full names in the header, values with TAB, line breaks and quotes quoted.
  folder_.Write("rs3.txt", "TEMP1.X\tN\r\n\"a\tb\"\t1\r\n\"say \"\"hi\"\"\r\nbye\"\t2\r\nplain\t3\r\n");
  folder_.Write("schema.ini", Section("rs3.txt", {"X Char Width 255", "N Integer"}));
  const Ref<Recordset> rs = Run(folder_.TextConnectionString(), "SELECT rs3.X FROM rs3.txt rs3 ORDER BY rs3.N ");
  EXPECT_EQ(RowTexts(rs), (Rows{{"a\tb"}, {"say \"hi\"\r\nbye"}, {"plain"}}));
}

TEST_F(TableStatementsTest, DemoOneTableStatementsOnTheDatabaseAndTheOdbcTextDriver) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(folder_.PathOf("NWIND.mdb").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE ORDERS (OrderID INTEGER, CustomerID VARCHAR(5), OrderDate DATETIME, Freight CURRENCY);"
                         "INSERT INTO ORDERS VALUES (10248, 'VINET', '1996-07-04', 32.38), (10249, 'TOMSP', '1996-07-05', 11.61);"
                         "CREATE TABLE [ORDER DETAILS] (OrderID INTEGER, ProductID INTEGER, UnitPrice MONEY, Quantity SMALLINT);"
                         "INSERT INTO [ORDER DETAILS] VALUES (10248, 11, 14, 12), (10248, 42, 9.8, 10);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  folder_.Write("OrdersPaymentStatus.txt", "OrderID,PaymentStatus\r\n10248,Paid\r\n10249,Due\r\n");

  const std::string database =
      "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" + folder_.PathOf("NWIND.mdb");
  Ref<Recordset> orders = Run(database, "SELECT * FROM ORDERS");
  EXPECT_EQ(NamesOf(orders), (std::vector<std::string>{"OrderID", "CustomerID", "OrderDate", "Freight"}));
  EXPECT_EQ(RowTexts(orders), (Rows{{"10248", "VINET", "7/4/1996", "32.38"}, {"10249", "TOMSP", "7/5/1996", "11.61"}}));
  Ref<Recordset> details = Run(database, "SELECT * FROM [ORDER DETAILS]");
  EXPECT_EQ(TypesOf(details), (std::vector<int>{adInteger, adInteger, adCurrency, adSmallInt}));
  EXPECT_EQ(RowTexts(details), (Rows{{"10248", "11", "14", "12"}, {"10248", "42", "9.8", "10"}}));
  Ref<Recordset> status = Run(folder_.OdbcConnectionString(), "SELECT * FROM OrdersPaymentStatus.txt");
  EXPECT_EQ(TypesOf(status), (std::vector<int>{adInteger, adVarWChar}));
  EXPECT_EQ(RowTexts(status), (Rows{{"10248", "Paid"}, {"10249", "Due"}}));
}

}  // namespace
}  // namespace vendrel::driver

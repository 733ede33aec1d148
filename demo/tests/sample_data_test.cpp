// The sample data generator: the same files on every run, with the tables,
// columns and coverage the examples rely on.

#include <sqlite3.h>
#include <stdlib.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "demo_test_support.h"
#include "vendrel/dataaccess/filesystem.h"

namespace vendrel::demo::testing {
namespace {

using SampleDataTest = DemoTest;

std::string Generate(const std::string& folder) {
  const std::string command = std::string("'") + VDL_SAMPLE_GENERATOR + "' '" + folder + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return folder;
}

long Scalar(sqlite3* db, const char* sql) {
  sqlite3_stmt* s = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), SQLITE_OK) << sql << ": " << sqlite3_errmsg(db);
  long value = -1;
  if (sqlite3_step(s) == SQLITE_ROW) value = static_cast<long>(sqlite3_column_int64(s, 0));
  sqlite3_finalize(s);
  return value;
}

TEST_F(SampleDataTest, TwoRunsWriteTheSameFiles) {
  const std::string a = Generate(Scratch() + "/a");
  const std::string b = Generate(Scratch() + "/b");
  for (const char* name : {"NWIND.mdb", "OrdersPaymentStatus.txt"}) {
    const std::string first = fs::ReadFile(a + "/" + name);
    EXPECT_FALSE(first.empty()) << name;
    EXPECT_EQ(first, fs::ReadFile(b + "/" + name)) << name;
    EXPECT_EQ(first, fs::ReadFile(std::string(VDL_SAMPLE_FOLDER) + "/" + name)) << name;
  }
  EXPECT_FALSE(fs::PathExists(a + "/NWIND.mdb.partial"));
}

TEST_F(SampleDataTest, OrdersAndTheirLinesHaveTheShapeTheExamplesUse) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2((std::string(VDL_SAMPLE_FOLDER) + "/NWIND.mdb").c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
  const long orders = Scalar(db, "SELECT COUNT(*) FROM ORDERS");
  EXPECT_GE(orders, 800);
  EXPECT_LE(orders, 860);
  EXPECT_EQ(Scalar(db, "SELECT MIN(OrderID) FROM ORDERS"), 10248);
  EXPECT_EQ(Scalar(db, "SELECT MAX(OrderID) - MIN(OrderID) + 1 FROM ORDERS"), orders);  // numbered without gaps
  EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM ORDERS WHERE CustomerID IS NULL OR OrderDate IS NULL OR "
                       "RequiredDate IS NULL OR ShipVia IS NULL OR Freight IS NULL OR ShipName IS NULL OR "
                       "ShipCity IS NULL OR ShipCountry IS NULL OR EmployeeID IS NULL"),
            0);
  EXPECT_GT(Scalar(db, "SELECT COUNT(*) FROM ORDERS WHERE ShippedDate IS NULL"), 0);  // not shipped yet

  const long lines = Scalar(db, "SELECT COUNT(*) FROM [ORDER DETAILS]");
  EXPECT_GE(lines, 1800);
  EXPECT_LE(lines, 2200);
  EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM (SELECT OrderID, COUNT(*) AS n FROM [ORDER DETAILS] GROUP BY OrderID) "
                       "WHERE n BETWEEN 1 AND 5"),
            orders);
  EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM [ORDER DETAILS] WHERE OrderID NOT IN (SELECT OrderID FROM ORDERS)"), 0);
  EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM [ORDER DETAILS] WHERE UnitPrice <= 0 OR Quantity <= 0 OR "
                       "Discount < 0 OR Discount >= 1"),
            0);
  // Prices are whole cents, so they read back exactly as currency.
  EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM [ORDER DETAILS] WHERE ABS(ROUND(UnitPrice * 100) - UnitPrice * 100) > 1e-6"), 0);
  // Dates in the stored form the driver reads.
  EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM ORDERS WHERE OrderDate NOT GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'"), 0);
  sqlite3_close(db);
}

TEST_F(SampleDataTest, PaymentStatusFileCoversMostOrdersButNotAll) {
  std::ifstream in(std::string(VDL_SAMPLE_FOLDER) + "/OrdersPaymentStatus.txt", std::ios::binary);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "OrderID,PaymentStatus,PaymentDate\r");
  std::set<int> covered;
  size_t rows = 0;
  while (std::getline(in, line)) {
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.back(), '\r');
    std::istringstream fields(line);
    std::string order;
    std::getline(fields, order, ',');
    covered.insert(std::stoi(order));
    ++rows;
  }
  EXPECT_GT(covered.size(), 700u);
  EXPECT_LT(covered.size(), 830u);
  EXPECT_GT(rows, covered.size());  // some orders were paid in two parts
  EXPECT_EQ(*covered.begin(), 10248);
}

}  // namespace
}  // namespace vendrel::demo::testing

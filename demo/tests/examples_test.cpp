// The four examples, clicked in the window, against the sample data read
// straight from its files.

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "demo_test_support.h"
#include "examples.h"

namespace vendrel::demo::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// Rows of a query on the sample database, each value as SQLite's text ("" for NULL).
Rows QuerySampleDatabase(const std::string& sql) {
  sqlite3* db = nullptr;
  const std::string path = std::string(VDL_SAMPLE_FOLDER) + "/NWIND.mdb";
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  Rows rows;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int c = 0; c < sqlite3_column_count(statement); ++c) {
      const auto* text = sqlite3_column_text(statement, c);
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

// OrderID to the payment statuses the text file gives it.
std::multimap<std::string, std::string> PaymentStatuses() {
  std::ifstream in(std::string(VDL_SAMPLE_FOLDER) + "/OrdersPaymentStatus.txt");
  std::multimap<std::string, std::string> statuses;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream fields(line);
    std::string order, status;
    std::getline(fields, order, ',');
    std::getline(fields, status, ',');
    statuses.emplace(order, status);
  }
  return statuses;
}

double Number(const std::string& text) { return std::stod(text); }

class ExamplesTest : public DemoTest {
 protected:
  void SetUp() override {
    DemoTest::SetUp();
    window = MakeWindow();
  }
  void TearDown() override {
    window.reset();
    DemoTest::TearDown();
  }
  void Run(int index) {
    Click(*window, index);
    ASSERT_TRUE(messages.empty()) << messages.front().prompt;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(window->DataSource().RecordsetCollection().Count(), 0);
  }
  std::unique_ptr<FrmVD> window;
};

TEST_F(ExamplesTest, StatementsAreTheClauseTextsJoined) {
  EXPECT_EQ(Statement1(), "SELECT rs1.PRODUCT, rs2.SUPPLIER, rs2.COUNTRY FROM rs1 LEFT OUTER JOIN rs2 ON rs1.SUPPLIER=rs2.SUPPLIER");
  EXPECT_EQ(Statement2(),
            "SELECT rs1.OrderID, rs2.ProductID, SUM(rs2.UnitPrice) AS SUM_OF_UnitPrice FROM rs1 INNER JOIN rs2 ON "
            "rs1.OrderID=rs2.OrderID WHERE rs1.OrderID BETWEEN 10248 AND 10265 GROUP BY rs1.OrderID, rs2.ProductID "
            "ORDER BY rs1.OrderID, SUM(rs2.UnitPrice) DESC");
  EXPECT_EQ(Statement3(),
            "SELECT rs1.PaymentStatus, rs2.* FROM rs1 RIGHT OUTER JOIN rs2 ON rs1.OrderID=rs2.OrderID ORDER BY "
            "rs2.CustomerID ASC, rs2.OrderID ASC");
  EXPECT_EQ(Statement4(),
            "SELECT rs2.OrderID as OrderNumber, rs2.ProductID as ProductNumber, rs2.UnitPrice as UnitCost, "
            "rs2.Quantity as Qty, rs1.ProcessedBy, rs1.Comments FROM rs1 RIGHT OUTER JOIN rs2 ON "
            "rs1.OrderID=rs2.OrderID WHERE rs2.OrderID >=10248 AND rs2.OrderID <=10302");
  EXPECT_EQ(DatabaseConnectionString("/opt/db"),
            "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=/opt/db/NWIND.mdb");
  EXPECT_EQ(TextConnectionString("/opt/db"),
            "Driver={Microsoft Text Driver (*.txt; *.csv)};Dbq=/opt/db;Extensions=asc,csv,tab,txt;HDR=YES");
}

TEST_F(ExamplesTest, Example1JoinsTheNineProductsToTheirSuppliersPendingRowsIncluded) {
  Run(0);
  EXPECT_EQ(window->dgrVD->Caption(), "Example 1.  Returned ADO Recordset Query Results [Static Cursor Type]");
  EXPECT_EQ(GridColumns(*window->dgrVD), (std::vector<std::string>{"PRODUCT", "SUPPLIER", "COUNTRY"}));
  Rows rows = GridRows(*window->dgrVD);
  std::sort(rows.begin(), rows.end());  // the statement asks for no order
  const Rows expected = {{"Alloy Wheels", "", ""}, {"Battery", "BTR", "Canada"}, {"Carpet", "CRT", "UK"},
                         {"Radio", "RDO", "Holland"}, {"SRS", "SES", "USA"},   {"Seats", "SES", "USA"},
                         {"Tyres", "TRS", "Germany"}, {"Wheels", "WHL", "Spain"}, {"Windshield", "CRT", "UK"}};
  EXPECT_EQ(rows, expected);
  // Alloy Wheels' supplier and country are Null, not empty texts.
  const auto& result = window->ResultRecordset();
  for (result->MoveFirst(); !result->Eof(); result->MoveNext())
    if (result->Fields().Item("PRODUCT").Value() == Variant("Alloy Wheels")) {
      EXPECT_TRUE(result->Fields().Item("SUPPLIER").Value().IsNull());
      EXPECT_TRUE(result->Fields().Item("COUNTRY").Value().IsNull());
    }
}

TEST_F(ExamplesTest, TheSameButtonTwiceGivesTheSameResult) {
  Run(0);
  const Rows first = GridRows(*window->dgrVD);
  Run(0);
  EXPECT_EQ(GridRows(*window->dgrVD), first);
}

TEST_F(ExamplesTest, Example2SumsPricesPerOrderAndProductForOrders10248To10265) {
  Run(1);
  EXPECT_EQ(window->dgrVD->Caption(), "Example 2.  Returned ADO Recordset Query Results [Static Cursor Type]");
  EXPECT_EQ(GridColumns(*window->dgrVD), (std::vector<std::string>{"OrderID", "ProductID", "SUM_OF_UnitPrice"}));
  const Rows rows = GridRows(*window->dgrVD);
  const Rows expected = QuerySampleDatabase(
      "SELECT OrderID, ProductID, SUM(UnitPrice) FROM [ORDER DETAILS] WHERE OrderID BETWEEN 10248 AND 10265 "
      "GROUP BY OrderID, ProductID ORDER BY OrderID, SUM(UnitPrice) DESC");
  ASSERT_EQ(rows.size(), expected.size());
  std::set<std::pair<std::string, std::string>> seen;
  for (size_t i = 0; i < rows.size(); ++i) {
    const int order = std::stoi(rows[i][0]);
    EXPECT_GE(order, 10248);
    EXPECT_LE(order, 10265);
    EXPECT_TRUE(seen.emplace(rows[i][0], rows[i][1]).second) << "twice: " << rows[i][0] << " " << rows[i][1];
    if (i > 0) {
      const int before = std::stoi(rows[i - 1][0]);
      EXPECT_LE(before, order);
      if (before == order) {
        EXPECT_GE(Number(rows[i - 1][2]), Number(rows[i][2])) << "order " << order;
      }
    }
    EXPECT_EQ(rows[i][0], expected[i][0]);
    EXPECT_NEAR(Number(rows[i][2]), Number(expected[i][2]), 0.00005) << "order " << order;
  }
  EXPECT_EQ(std::stoi(rows.front()[0]), 10248);
  EXPECT_EQ(std::stoi(rows.back()[0]), 10265);
  // The sample data orders a product twice in one of these orders, so one sum adds two lines.
  EXPECT_LT(rows.size(), QuerySampleDatabase("SELECT 1 FROM [ORDER DETAILS] WHERE OrderID BETWEEN 10248 AND 10265").size());
}

TEST_F(ExamplesTest, Example3GivesEveryOrderWithItsPaymentStatusSortedByCustomerAndOrder) {
  Run(2);
  EXPECT_EQ(window->dgrVD->Caption(), "Example 3.  Returned ADO Recordset Query Results [Static Cursor Type]");
  const std::vector<std::string> columns = {"PaymentStatus", "OrderID",     "CustomerID", "EmployeeID",
                                            "OrderDate",     "RequiredDate", "ShippedDate", "ShipVia",
                                            "Freight",       "ShipName",    "ShipCity",   "ShipCountry"};
  EXPECT_EQ(GridColumns(*window->dgrVD), columns);

  const Rows rows = GridRows(*window->dgrVD);
  const auto statuses = PaymentStatuses();
  std::map<std::string, std::string> customerOf;
  for (const auto& order : QuerySampleDatabase("SELECT OrderID, CustomerID FROM ORDERS")) customerOf[order[0]] = order[1];

  std::map<std::string, size_t> timesSeen;
  size_t withoutStatus = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& row = rows[i];
    ++timesSeen[row[1]];
    EXPECT_EQ(customerOf[row[1]], row[2]);
    if (statuses.count(row[1]) == 0) {
      EXPECT_EQ(row[0], "") << "order " << row[1];
      ++withoutStatus;
    } else {
      bool known = false;
      for (auto [it, end] = statuses.equal_range(row[1]); it != end; ++it) known = known || it->second == row[0];
      EXPECT_TRUE(known) << "order " << row[1] << " status " << row[0];
    }
    if (i > 0) {
      const auto& before = rows[i - 1];
      EXPECT_TRUE(before[2] < row[2] || (before[2] == row[2] && std::stoi(before[1]) <= std::stoi(row[1])))
          << "row " << i;
    }
  }
  EXPECT_EQ(timesSeen.size(), customerOf.size());  // every order at least once
  for (const auto& [order, times] : timesSeen) EXPECT_EQ(times, std::max<size_t>(1, statuses.count(order))) << order;
  EXPECT_GT(withoutStatus, 0u);
}

TEST_F(ExamplesTest, Example4ReturnsTheAliasedDetailsOfOrders10248To10302WithEmptyColumnsOfTheEmptyInput) {
  Run(3);
  EXPECT_EQ(window->dgrVD->Caption(), "Example 4.  Returned ADO Recordset Query Results [Dynamic Cursor Type]");
  EXPECT_EQ(GridColumns(*window->dgrVD), (std::vector<std::string>{"OrderNumber", "ProductNumber", "UnitCost", "Qty",
                                                                   "ProcessedBy", "Comments"}));
  Rows rows = GridRows(*window->dgrVD);
  for (const auto& row : rows) {
    EXPECT_EQ(row[4], "");
    EXPECT_EQ(row[5], "");
  }
  Rows expected = QuerySampleDatabase(
      "SELECT OrderID, ProductID, UnitPrice, Quantity, '', '' FROM [ORDER DETAILS] WHERE OrderID BETWEEN 10248 AND 10302");
  for (auto* table : {&rows, &expected})
    for (auto& row : *table) row[2] = std::to_string(std::lround(Number(row[2]) * 100));
  std::sort(rows.begin(), rows.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(rows, expected);
}

}  // namespace
}  // namespace vendrel::demo::testing

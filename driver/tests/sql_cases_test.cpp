// The dialect cases of driver/tests/sql/*.test straight through the text
// driver: each case's tables written as text files with their schema.ini
// sections, the statement run on a connection to that folder. Each must give
// the expected field names, types and rows, or the expected error. (The
// engine's tests run the same cases through Vendrel::Execute; the format is
// described in tests/support/vendrel/testing/sql_cases.h.)

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "table_fixtures.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/driver/driver.h"
#include "vendrel/testing/sql_cases.h"

namespace vendrel::testing::sqlcases {
namespace {

// The table as a text file named like the table (no extension, so that the
// statement names it as written) with its schema.ini section.
void WriteTextTable(const std::string& folder, const Table& table) {
  std::string data;
  std::string section =
      "[" + table.name + "]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n";
  for (size_t i = 0; i < table.columns.size(); ++i) {
    data += (i ? "\t" : "") + table.columns[i].name;
    section += "Col" + std::to_string(i + 1) + "=" + table.columns[i].name + " " +
               TypeOfColumn(table.columns[i].type).schema + "\r\n";
  }
  data += "\r\n";
  for (const auto& row : table.rows) {
    for (size_t i = 0; i < row.size(); ++i) data += (i ? "\t" : "") + (row[i] == "Null" ? std::string() : row[i]);
    data += "\r\n";
  }
  std::ofstream(folder + "/" + table.name, std::ios::binary) << data;
  std::ofstream(folder + "/schema.ini", std::ios::binary | std::ios::app) << section;
}

class DialectCases : public ::testing::TestWithParam<Case> {
 protected:
  Ref<Recordset> Run(const Case& c) {
    for (const std::string& name : c.uses) WriteTextTable(folder_.Path(), *TableOf(c.tables, name));
    driver::RegisterProviders();
    Ref<Connection> connection = Connection::Create();
    connection->SetConnectionString(folder_.TextConnectionString());
    connection->SetCursorLocation(adUseClient);
    connection->Open("", "", "", adConnectUnspecified);
    Ref<Recordset> rs = Recordset::Create();
    rs->SetCursorLocation(adUseClient);
    rs->Open(Variant(c.sql), Variant(connection), adOpenStatic, adLockReadOnly, adCmdText);
    return rs;
  }

  driver::testing::FixtureFolder folder_;
};

TEST_P(DialectCases, GiveTheExpectedResult) {
  const Case& c = GetParam();
  ASSERT_EQ(c.loadError, "");
  SCOPED_TRACE(Where(c));
  Ref<Recordset> result;
  bool thrown = false;
  Error error(0, "", "");
  try {
    result = Run(c);
  } catch (const Error& e) {
    thrown = true;
    error = e;
  }
  if (c.expectsError) {
    ExpectError(c.errorNumber, c.errorDescription, thrown, error.Number(), error.Description());
    return;
  }
  ASSERT_FALSE(thrown) << error.Number() << " " << error.Description();
  ASSERT_TRUE(result);
  ExpectResult(c, *result);
}

INSTANTIATE_TEST_SUITE_P(Driver, DialectCases,
                         ::testing::ValuesIn(ReadCaseFolders({VDL_DIALECT_CASES}, &Case::ThroughTheDriver)),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.testName; });

}  // namespace
}  // namespace vendrel::testing::sqlcases

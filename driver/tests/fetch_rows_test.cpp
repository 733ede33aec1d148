// The rows of a result are the values the general conversion of each storage
// into each column type gives, whether a value is read straight into the rows
// or through that conversion, and a value that does not fit fails as it does.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <bit>
#include <string>
#include <vector>

#include "core/sqlite_util.h"
#include "core/types.h"
#include "providers/session.h"
#include "table_fixtures.h"
#include "vendrel/testing/same_value.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel::driver {
namespace {

using testing::ErrorOf;

struct Case {
  std::string expression;  // one SQLite value
  JetType type;
};

// Every storage into every type, with limits and values that do not fit.
std::vector<Case> Cases() {
  const std::vector<std::string> values = {
      "NULL", "0", "1", "-1", "5", "255", "256", "32767", "32768", "-32769", "2147483647", "2147483648",
      "-2147483648", "-2147483649", "9223372036854775807", "(-9223372036854775807 - 1)", "9007199254740993",
      "0.0", "-0.0", "1.5", "2.5", "-1.25", "0.00005", "0.00015", "1e300", "-1e300", "3.5e38", "2147483647.5",
      "9.3e18", "45000.75", "-657434.5", "''", "'abc'", "'12'", "' 7 '", "'1.5'", "'x'", "'NaN'", "'True'",
      "'é ß ☃'", "'{12345678-1234-1234-1234-123456789ABC}'",
      "replace(hex(zeroblob(12000)), '0', 'ab')",  // a text of 48 KB
      "x''", "x'00ff41'", "CAST('text as bytes' AS BLOB)"};
  const std::vector<JetType> types = {JetType::Null,     JetType::Boolean, JetType::Byte,   JetType::Short,
                                      JetType::Long,     JetType::BigInt,  JetType::Currency, JetType::Single,
                                      JetType::Double,   JetType::Date,    JetType::Text,   JetType::Memo,
                                      JetType::Guid,     JetType::Binary};
  std::vector<Case> cases;
  for (JetType type : types)
    for (const std::string& value : values) cases.push_back({value, type});
  return cases;
}

using ::vendrel::testing::SameValue;

std::string Describe(const Case& c) { return c.expression + " as " + std::string(JetTypeName(c.type)); }

// The general conversion of each column of each row of a statement.
std::vector<std::vector<Variant>> Converted(sqlite3* db, const std::string& sql, const std::vector<JetType>& types) {
  StatementHandle statement = Prepare(db, sql);
  std::vector<std::vector<Variant>> rows;
  while (sqlite3_step(statement.get()) == SQLITE_ROW) {
    std::vector<Variant>& row = rows.emplace_back();
    for (size_t i = 0; i < types.size(); ++i) row.push_back(FromStorage(statement.get(), static_cast<int>(i), types[i]));
  }
  return rows;
}

CompiledQuery Query(std::string sql, const std::vector<JetType>& types) {
  CompiledQuery query{std::move(sql), {}};
  for (size_t i = 0; i < types.size(); ++i) query.columns.push_back({"C" + std::to_string(i), types[i], 0});
  return query;
}

class FetchRowsTest : public ::testing::Test {
 protected:
  SqliteHandle db_ = OpenSessionDatabase();
};

TEST_F(FetchRowsTest, EachValueIsWhatTheGeneralConversionGivesOrFailsAsItFails) {
  for (const Case& c : Cases()) {
    const std::string sql = "SELECT " + c.expression;
    Variant expected;
    const Error conversion = ErrorOf([&] { expected = Converted(db_.get(), sql, {c.type}).at(0).at(0); });
    Ref<RowStore> rows;
    const Error fetching = ErrorOf([&] { rows = FetchRows(db_.get(), Query(sql, {c.type})); });
    if (conversion.Number() != 0) {
      EXPECT_NE(fetching.Number(), 0) << Describe(c);
      EXPECT_EQ(fetching.Description(), conversion.Description()) << Describe(c);
      continue;
    }
    ASSERT_EQ(fetching.Number(), 0) << Describe(c) << ": " << fetching.Description();
    ASSERT_EQ(rows->RowCount(), 1u) << Describe(c);
    EXPECT_TRUE(SameValue(rows->At(0, 0), expected)) << Describe(c) << ": " << static_cast<int>(rows->At(0, 0).Type())
                                                << " instead of " << static_cast<int>(expected.Type());
  }
}

// The values that fit, of one type under one another in a column and all
// side by side in a row: columns where cells read straight and converted
// ones meet, texts of several columns of a row held at once.
TEST_F(FetchRowsTest, ColumnsAndRowsOfManyValuesAreTheConvertedValues) {
  std::vector<Case> fitting;
  for (const Case& c : Cases()) {
    const Error e = ErrorOf([&] { Converted(db_.get(), "SELECT " + c.expression, {c.type}); });
    if (e.Number() == 0) fitting.push_back(c);
  }
  std::string wide = "SELECT ";
  std::vector<JetType> wideTypes;
  for (const Case& c : fitting) {
    wide += (wideTypes.empty() ? "" : ", ") + c.expression;
    wideTypes.push_back(c.type);
  }
  std::vector<std::string> tall = {wide};
  std::vector<std::vector<JetType>> tallTypes = {wideTypes};
  for (size_t start = 0; start < fitting.size();) {
    const JetType type = fitting[start].type;
    std::string sql;
    size_t end = start;
    for (; end < fitting.size() && fitting[end].type == type; ++end)
      sql += (sql.empty() ? "SELECT " : " UNION ALL SELECT ") + fitting[end].expression;
    tall.push_back(sql);
    tallTypes.push_back({type});
    start = end;
  }
  for (size_t q = 0; q < tall.size(); ++q) {
    const std::vector<std::vector<Variant>> expected = Converted(db_.get(), tall[q], tallTypes[q]);
    const Ref<RowStore> rows = FetchRows(db_.get(), Query(tall[q], tallTypes[q]));
    ASSERT_EQ(rows->RowCount(), expected.size()) << tall[q];
    for (size_t row = 0; row < expected.size(); ++row)
      for (size_t column = 0; column < tallTypes[q].size(); ++column)
        EXPECT_TRUE(SameValue(rows->At(row, column), expected[row][column]))
            << JetTypeName(tallTypes[q][column]) << " row " << row << " column " << column;
  }
}

}  // namespace
}  // namespace vendrel::driver

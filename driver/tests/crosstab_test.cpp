// What a case file cannot put about crosstabs: the widest ones. A result
// holds as many fields as the database's column limit, the row headings
// included, whether the pivot values come from the data or from an IN list.

#include <sqlite3.h>

#include "sql/crosstab.h"
#include "sql_fixture.h"

namespace vendrel::driver::testing {
namespace {

class WidestCrosstab : public SqlTest {
 protected:
  WidestCrosstab() {
    std::vector<Row> rows;
    for (int n = 0; n < static_cast<int>(sql::kMaxResultFields); ++n) rows.push_back({Variant::Long(n)});
    Catalog().Add("numbers.txt", {{"n", JetType::Long}}, rows);
  }

  static std::string Listed(size_t count) {
    std::string list;
    for (size_t n = 0; n < count; ++n) list += (n ? ", " : "") + std::to_string(n);
    return list;
  }
};

TEST_F(WidestCrosstab, HoldsTheDatabasesColumnLimitAndNoMore) {
  EXPECT_EQ(static_cast<int>(sql::kMaxResultFields), sqlite3_limit(db_, SQLITE_LIMIT_COLUMN, -1));
  const size_t values = sql::kMaxResultFields - 1;
  const Result widest = Run("TRANSFORM Count(*) SELECT 'all' AS total FROM numbers.txt WHERE n < " +
                            std::to_string(values) + " GROUP BY 'all' PIVOT n");
  ASSERT_EQ(widest.columns.size(), sql::kMaxResultFields);
  EXPECT_EQ(widest.columns.back().name, std::to_string(values - 1));
  EXPECT_EQ(widest.Lines().size(), 1u);

  const Error tooMany = ErrorOf("TRANSFORM Count(*) SELECT 'all' AS total, Sum(n) AS s FROM numbers.txt WHERE n < " +
                                std::to_string(values) + " GROUP BY 'all' PIVOT n");
  EXPECT_EQ(tooMany.Number(), hr::kSyntaxError);
  EXPECT_NE(tooMany.Description().find("has more than 1998 values"), std::string::npos) << tooMany.Description();
}

TEST_F(WidestCrosstab, ListedValuesCountAsTheDataWould) {
  const size_t values = sql::kMaxResultFields - 1;
  const Result widest = Run("TRANSFORM Count(*) SELECT 'all' AS total FROM numbers.txt GROUP BY 'all' PIVOT n IN (" +
                            Listed(values) + ")");
  EXPECT_EQ(widest.columns.size(), sql::kMaxResultFields);
  const Error tooMany = ErrorOf("TRANSFORM Count(*) SELECT 'all' AS total FROM numbers.txt GROUP BY 'all' PIVOT n IN (" +
                                Listed(values + 1) + ")");
  EXPECT_NE(tooMany.Description().find("Too many crosstab column headings"), std::string::npos) << tooMany.Description();
}

}  // namespace
}  // namespace vendrel::driver::testing

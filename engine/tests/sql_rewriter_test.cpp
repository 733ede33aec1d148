// Where a position of the rewritten text lies in the caller's. The rewriting
// itself is data: the cases of engine/tests/sql/rewriting.test.

#include "sql_rewriter.h"

#include <gtest/gtest.h>

#include "engine_test_support.h"

namespace vendrel::engine {
namespace {

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

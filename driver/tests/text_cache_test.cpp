// Parsed text tables are shared by every session of the process that reads
// the same bytes under the same layout, and by no other.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "table_fixtures.h"
#include "text/table_cache.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/driver/driver.h"
#include "vendrel/driver/written_table.h"

namespace vendrel::driver {
namespace {

using testing::FixtureFolder;
using testing::RowTexts;
using Rows = std::vector<std::vector<std::string>>;

class TextCacheTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterProviders(); }

  static Ref<Connection> Open(const FixtureFolder& folder) {
    Ref<Connection> cn = Connection::Create();
    cn->SetConnectionString(folder.TextConnectionString());
    cn->SetCursorLocation(adUseClient);
    cn->Open();
    return cn;
  }

  static Ref<Recordset> Query(const FixtureFolder& folder, const std::string& sql) {
    Ref<Connection> cn = Open(folder);
    Ref<Recordset> rs = Recordset::Create();
    rs->Open(Variant(sql), Variant(cn), adOpenStatic, adLockReadOnly, adCmdText);
    return rs;
  }

  static void Write(const FixtureFolder& folder, std::string_view type, std::string_view data) {
    folder.Write("schema.ini", "[kept.txt]\r\nColNameHeader = True\r\nFormat = TABDelimited\r\nCol1=N " +
                                   std::string(type) + "\r\nCol2=Name Char Width 20\r\n");
    folder.Write("kept.txt", data);
  }

  static constexpr std::string_view kSection =
      "[kept.txt]\r\nColNameHeader = True\r\nFormat = TABDelimited\r\nCol1=N Integer\r\nCol2=Name Char Width 20\r\n";

  // Writes kept.txt with the number `written` in its one row, and hands the
  // driver a table that says the number is `told`: a query that sees `told`
  // was served the handed table, one that sees `written` parsed the file.
  static void WriteHanded(const FixtureFolder& folder, std::string_view written, int64_t told) {
    folder.Write("schema.ini", std::string(kSection));
    WrittenTable table("kept.txt", kSection);
    std::string& bytes = table.Pending();
    bytes += "N\tName\r\n";
    size_t start = bytes.size();
    bytes += written;
    table.Whole(start, bytes.size(), told);
    bytes += '\t';
    start = bytes.size();
    bytes += "handed";
    table.Field(start, bytes.size());
    bytes += "\r\n";
    table.EndRow();
    folder.Write("kept.txt", bytes);
    table.Flush();
    table.Offer();
  }
};

TEST_F(TextCacheTest, AHandedTableServesOnlyTheBytesAndLayoutItWasWrittenFor) {
  FixtureFolder folder, other;
  const Ref<Connection> held = Open(other);
  WriteHanded(folder, "5", 7);
  EXPECT_EQ(RowTexts(Query(folder, "SELECT * FROM kept.txt")), (Rows{{"7", "handed"}}));

  // One byte changed, the size kept: the file is parsed.
  folder.Write("kept.txt", "N\tName\r\n6\thanded\r\n");
  EXPECT_EQ(RowTexts(Query(folder, "SELECT * FROM kept.txt")), (Rows{{"6", "handed"}}));

  // The same bytes under another layout: parsed too.
  WriteHanded(folder, "5", 7);
  folder.Write("schema.ini", std::string(kSection) + "CharacterSet = 1252\r\n");
  EXPECT_EQ(RowTexts(Query(folder, "SELECT * FROM kept.txt")), (Rows{{"5", "handed"}}));
}

TEST_F(TextCacheTest, AHandedTableIsKeptOnlyWhileATextConnectionIsOpen) {
  FixtureFolder folder, other;
  ASSERT_EQ(ParsedTextTableCount(), 0u);
  WriteHanded(folder, "5", 7);
  EXPECT_EQ(ParsedTextTableCount(), 0u);  // no connection open: nothing kept
  {
    const Ref<Connection> held = Open(other);
    WriteHanded(folder, "5", 7);
    EXPECT_EQ(ParsedTextTableCount(), 1u);
    WriteHanded(folder, "5", 7);  // the same again is kept once
    EXPECT_EQ(ParsedTextTableCount(), 1u);
    EXPECT_EQ(RowTexts(Query(folder, "SELECT * FROM kept.txt")), (Rows{{"7", "handed"}}));
    held->Close();
  }
  EXPECT_EQ(ParsedTextTableCount(), 0u);
}

TEST_F(TextCacheTest, TheSameBytesAreParsedOnceAndChangedBytesOrLayoutsAgain) {
  constexpr std::string_view data = "N\tName\r\n1\tcache test one\r\n2\tcache test two\r\n";
  FixtureFolder first, second, other;
  // Open as a query object keeps its last connection: tables stay for the next sessions.
  const Ref<Connection> held = Open(other);
  Write(first, "Integer", data);
  Write(second, "Integer", data);
  const size_t before = text::CachedTableCount();

  const Rows rows = {{"1", "cache test one"}, {"2", "cache test two"}};
  EXPECT_EQ(RowTexts(Query(first, "SELECT * FROM kept.txt")), rows);
  EXPECT_EQ(text::CachedTableCount(), before + 1);
  // Another folder and another session, the same bytes: the table parsed before.
  EXPECT_EQ(RowTexts(Query(second, "SELECT * FROM kept.txt WHERE N = 2")), (Rows{rows[1]}));
  EXPECT_EQ(text::CachedTableCount(), before + 1);

  // One byte changed, the size kept: parsed again, and only the new rows seen.
  Write(second, "Integer", "N\tName\r\n1\tcache test one\r\n3\tcache test two\r\n");
  EXPECT_EQ(RowTexts(Query(second, "SELECT * FROM kept.txt")), (Rows{{"1", "cache test one"}, {"3", "cache test two"}}));
  EXPECT_EQ(text::CachedTableCount(), before + 2);
  EXPECT_EQ(RowTexts(Query(first, "SELECT * FROM kept.txt WHERE N = 3")), Rows{});

  // The first bytes under another layout are another table.
  Write(second, "Double", data);
  const Ref<Recordset> asDouble = Query(second, "SELECT * FROM kept.txt");
  EXPECT_EQ(asDouble->Fields()[0].Type(), adDouble);
  EXPECT_EQ(text::CachedTableCount(), before + 3);
}

TEST_F(TextCacheTest, ReleasingIdleTablesKeepsThoseAnOpenConnectionUses) {
  FixtureFolder used, idle;
  Write(used, "Integer", "N\tName\r\n1\trelease test used\r\n");
  Write(idle, "Integer", "N\tName\r\n1\trelease test idle\r\n");
  Ref<Recordset> held = Query(used, "SELECT * FROM kept.txt");  // its connection stays open
  Query(idle, "SELECT * FROM kept.txt");
  ReleaseIdleTextTables();
  const size_t kept = text::CachedTableCount();
  EXPECT_GE(kept, 1u);
  held->ActiveConnection()->Close();
  held.reset();
  EXPECT_EQ(text::CachedTableCount(), 0u);  // no text connection is open
  // Read again, a released table is parsed anew, with the same rows.
  const Ref<Recordset> again = Query(used, "SELECT * FROM kept.txt");
  EXPECT_EQ(RowTexts(again), (Rows{{"1", "release test used"}}));
  EXPECT_EQ(text::CachedTableCount(), 1u);
}

TEST_F(TextCacheTest, NoTableStaysOnceNoTextConnectionIsOpen) {
  FixtureFolder folder, other;
  Write(folder, "Integer", "N\tName\r\n1\tstays while a connection is open\r\n");
  const Rows rows = {{"1", "stays while a connection is open"}};
  {
    const Ref<Connection> held = Open(other);
    EXPECT_EQ(RowTexts(Query(folder, "SELECT * FROM kept.txt")), rows);
    const size_t kept = text::CachedTableCount();
    EXPECT_GE(kept, 1u);
    EXPECT_EQ(RowTexts(Query(folder, "SELECT * FROM kept.txt")), rows);
    EXPECT_EQ(text::CachedTableCount(), kept);
    held->Close();
  }
  EXPECT_EQ(ParsedTextTableCount(), 0u);

  // A connection that is open but has run nothing keeps the cache in use too.
  const Ref<Connection> idle = Open(other);
  EXPECT_EQ(RowTexts(Query(folder, "SELECT * FROM kept.txt")), rows);
  EXPECT_EQ(ParsedTextTableCount(), 1u);
  idle->Close();
  EXPECT_EQ(ParsedTextTableCount(), 0u);
}

}  // namespace
}  // namespace vendrel::driver

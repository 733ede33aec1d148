// A connection's Cancel: the statement it runs stops, while SQLite steps and
// while a text table is read, and the connection runs the next one.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/cancel.h"
#include "core/errors.h"
#include "core/sqlite_util.h"
#include "table_fixtures.h"
#include "text/delimited_reader.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel::driver {
namespace {

using testing::ErrorOf;
using testing::FixtureFolder;

constexpr std::string_view kCancelledText = "Operation has been cancelled by the user.";

void ExpectCancelled(const Error& e) {
  EXPECT_EQ(e.Number(), hr::kCancelled) << e.Description();
  EXPECT_EQ(e.Source(), kDriverSource);
  EXPECT_EQ(e.Description(), kCancelledText);
}

std::string Numbers(int rows) {
  std::string text = "N\n";
  for (int i = 0; i < rows; ++i) text += std::to_string(i) + "\n";
  return text;
}

class CancelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterProviders(); }
  FixtureFolder folder_;
};

TEST_F(CancelTest, ALongStatementStopsWhenCancelledFromAnotherThreadAndTheConnectionGoesOn) {
  folder_.Write("n.csv", Numbers(3000));
  Ref<Connection> cn = Connection::Create();
  cn->SetCursorLocation(adUseClient);
  cn->Open(folder_.TextConnectionString());
  std::atomic<bool> done{false};
  // Again and again: a request made before the statement began is forgotten.
  std::thread canceller([&] {
    while (!done) {
      cn->Cancel();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const Error e = ErrorOf([&] {
    Ref<Recordset> rs = Recordset::Create();
    rs->Open(Variant("SELECT COUNT(*) FROM n.csv a, n.csv b, n.csv c WHERE a.N + b.N <> c.N"), Variant(cn));
  });
  done = true;
  canceller.join();
  ExpectCancelled(e);
  Ref<Recordset> rs = Recordset::Create();
  rs->Open(Variant("SELECT COUNT(*) FROM n.csv"), Variant(cn), adOpenStatic, adLockReadOnly);
  EXPECT_EQ(rs->Fields()[0].Value(), Variant::Long(3000));
}

TEST_F(CancelTest, ARequestMadeBeforeAStatementIsForgottenUnlessItIsShared) {
  folder_.Write("n.csv", Numbers(3));
  Ref<Connection> cn = Connection::Create();
  cn->Open(folder_.TextConnectionString());
  cn->Cancel();
  Ref<Recordset> rs = Recordset::Create();
  rs->Open(Variant("SELECT * FROM n.csv"), Variant(cn), adOpenStatic, adLockReadOnly);
  EXPECT_EQ(rs->RecordCount(), 3);

  // A shared request belongs to its owner: it holds until the owner clears it.
  auto shared = std::make_shared<CancelRequest>();
  Ref<Connection> sharing = Connection::Create();
  sharing->ShareCancelRequest(shared);
  sharing->Open(folder_.TextConnectionString());
  shared->Request();
  ExpectCancelled(ErrorOf([&] { Recordset::Create()->Open(Variant("SELECT * FROM n.csv"), Variant(sharing)); }));
  shared->Clear();
  Ref<Recordset> after = Recordset::Create();
  after->Open(Variant("SELECT * FROM n.csv"), Variant(sharing), adOpenStatic, adLockReadOnly);
  EXPECT_EQ(after->RecordCount(), 3);
}

// Below the session: the reading of a text table and the stepping of SQLite
// look at the thread's request on their own.
TEST_F(CancelTest, TextTablesStopBeingReadAndSqliteStopsStepping) {
  CancelRequest request;
  request.Request();
  const SqliteHandle db = OpenMemoryDatabase();
  const CancelWatch watch(db.get(), request);
  ExpectCancelled(ErrorOf([] { text::ParseDelimitedText(Numbers(10), text::TableLayout{}, "n.csv"); }));
  folder_.Write("n.csv", Numbers(10));
  ExpectCancelled(ErrorOf([&] { text::ReadTextTableRows(folder_.PathOf("n.csv"), "n.csv", text::TableLayout{}); }));
  const StatementHandle statement = Prepare(db.get(), "WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r) "
                                                      "SELECT COUNT(*) FROM r");
  ASSERT_NE(sqlite3_step(statement.get()), SQLITE_ROW);
  ExpectCancelled(ErrorOf([&] { RaiseSqliteError(db.get()); }));
}

// An interrupt of the database's own (the fuzz checks stop long statements
// so) stays the error it was.
TEST_F(CancelTest, WithoutARequestAnInterruptedStatementIsNoCancellation) {
  const SqliteHandle db = OpenMemoryDatabase();
  sqlite3_progress_handler(db.get(), 100, [](void*) { return 1; }, nullptr);
  const StatementHandle statement = Prepare(db.get(), "WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r) "
                                                      "SELECT COUNT(*) FROM r");
  ASSERT_EQ(sqlite3_step(statement.get()), SQLITE_INTERRUPT);
  EXPECT_NE(ErrorOf([&] { RaiseSqliteError(db.get()); }).Number(), hr::kCancelled);
}

}  // namespace
}  // namespace vendrel::driver

// Vendrel::Cancel: a query stopped from another thread or from a signal
// handler fails with the component's error and leaves nothing of itself
// behind; kept results and the object stay usable.

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine_test_support.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel {
namespace {

using testing::CatchError;
using testing::MakeRecordset;

constexpr const char* kCancelled = "[Vendrel] Operation has been cancelled by the user.";

// `rows` whole numbers 0, 1, ... in one column N.
Ref<Recordset> Numbers(int rows) {
  std::vector<std::vector<Variant>> values;
  values.reserve(static_cast<size_t>(rows));
  for (int i = 0; i < rows; ++i) values.push_back({Variant::Long(i)});
  return MakeRecordset({{"N", adInteger, 4, adFldMayBeNull}}, values);
}

// Three inputs whose cross product takes minutes to count.
Ref<QueryDataSource> SlowSource() {
  Ref<QueryDataSource> source = QueryDataSource::Create();
  for (const char* name : {"a", "b", "c"}) source->RecordsetCollection()->Add(Numbers(2000), name);
  return source;
}
constexpr const char* kSlowSql = "SELECT COUNT(*) AS K FROM a, b, c WHERE a.N + b.N <> c.N - 1";

// Calls `cancel` over and over until the object's Execute has ended: a call
// made before the query began is forgotten, so one call alone could miss it.
class RepeatedCancel {
 public:
  explicit RepeatedCancel(std::function<void()> cancel)
      : thread_([this, cancel = std::move(cancel)] {
          while (!done_) {
            cancel();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
        }) {}
  ~RepeatedCancel() {
    done_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

class CancelTest : public testing::TempRootTest {
 protected:
  // A kept result "kept" of the object, before the query that is stopped.
  void KeepResult(Vendrel& query) {
    Ref<QueryDataSource> source = QueryDataSource::Create();
    source->RecordsetCollection()->Add(Numbers(3), "n");
    query.Execute(source, "SELECT n.N FROM n", adOpenStatic, adLockReadOnly, true, "kept");
  }
  void ExpectKeptResultAndObjectWork(Vendrel& query) {
    Ref<QueryDataSource> source = QueryDataSource::Create();
    source->RecordsetCollection()->Add(nullptr, "kept", true);
    EXPECT_EQ(testing::RowsOf(query.Execute(source, "SELECT SUM(kept.N) AS S FROM kept", adOpenStatic, adLockReadOnly)),
              std::vector<std::string>{"3"});
  }
  std::string FolderName(const std::string& path) { return std::filesystem::path(path).filename().string(); }
};

TEST_F(CancelTest, AQueryCancelledFromAnotherThreadFailsAndLeavesOnlyTheObjectsFolder) {
  Ref<Vendrel> query = Vendrel::Create();
  KeepResult(*query);
  const std::set<std::string> before = Tree();
  testing::CaughtError caught;
  {
    RepeatedCancel cancel([&] { query->Cancel(); });
    caught = CatchError([&] { query->Execute(SlowSource(), kSlowSql, adOpenStatic, adLockReadOnly); });
  }
  EXPECT_COMPONENT_ERROR(caught, errors::kQueryFailed, kCancelled);
  EXPECT_EQ(Tree(), before);  // the object's folder with the kept result, as it was
  ExpectKeptResultAndObjectWork(*query);
}

Vendrel* signalledQuery = nullptr;
void CancelOnSignal(int) { signalledQuery->Cancel(); }

TEST_F(CancelTest, AQueryCancelledFromASignalHandlerFailsTheSameWay) {
  Ref<Vendrel> query = Vendrel::Create();
  signalledQuery = query.get();
  struct sigaction action {};
  action.sa_handler = CancelOnSignal;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  ASSERT_EQ(0, ::sigaction(SIGUSR1, &action, &previous));
  const pthread_t executing = ::pthread_self();
  testing::CaughtError caught;
  {
    RepeatedCancel cancel([&] { ::pthread_kill(executing, SIGUSR1); });
    caught = CatchError([&] { query->Execute(SlowSource(), kSlowSql, adOpenStatic, adLockReadOnly); });
  }
  ::sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_COMPONENT_ERROR(caught, errors::kQueryFailed, kCancelled);
  EXPECT_EQ(Tree(), (std::set<std::string>{FolderName(query->OptimizedFolder())}));
}

TEST_F(CancelTest, ACancelWhileNothingRunsIsForgottenByTheNextQuery) {
  Ref<Vendrel> query = Vendrel::Create();
  query->Cancel();
  KeepResult(*query);
  ExpectKeptResultAndObjectWork(*query);
}

// Inputs large enough that writing their data files takes a while: the
// query stops there or in the driver, with the same error either way.
TEST_F(CancelTest, AQueryCancelledWhileItsDataFilesAreWrittenLeavesNoneOfThem) {
  Ref<Vendrel> query = Vendrel::Create();
  Ref<QueryDataSource> source = QueryDataSource::Create();
  for (const char* name : {"a", "b", "c", "d"}) source->RecordsetCollection()->Add(Numbers(200000), name);
  const std::string tempFileFolder = Root() + "/work";
  std::filesystem::create_directory(tempFileFolder);
  for (int round = 0; round < 3; ++round) {
    testing::CaughtError caught;
    {
      RepeatedCancel cancel([&] { query->Cancel(); });
      caught = CatchError([&] {
        query->Execute(source, "SELECT COUNT(*) AS K FROM a, b WHERE a.N < b.N", adOpenStatic, adLockReadOnly, false,
                       "", tempFileFolder);
      });
    }
    EXPECT_COMPONENT_ERROR(caught, errors::kQueryFailed, kCancelled);
    EXPECT_TRUE(Entries(tempFileFolder).empty());
  }
}

}  // namespace
}  // namespace vendrel

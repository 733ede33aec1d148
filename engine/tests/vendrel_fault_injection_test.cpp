// Every file system operation of one Execute through the text driver fails
// in turn, its reading of the data files included: the caller gets the error
// of the failing step, no file of the query is left in any folder, the object
// runs the same query correctly afterwards, and its release leaves nothing.

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "fault_sweep.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel {
namespace {

using testing::Example1Source;
using testing::RowsOf;
using testing::Sorted;

struct Scenario {
  const char* what;
  bool underTempFileFolder;  // else in the system temporary folder
  bool keptResultAsEntry;    // a kept result stands beside a recordset
  bool keepsTheResult;       // OptimizeRecordset True
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.what; }

constexpr const char* kReuseSql =
    "SELECT rs1.PRODUCT, rs3.COUNTRY FROM rs1 INNER JOIN rs3 ON rs1.PRODUCT = rs3.PRODUCT";
const std::vector<std::string> kReuseRows =
    Sorted({"Wheels|Spain", "Battery|Canada", "Seats|USA", "SRS|USA", "Carpet|UK", "Windshield|UK", "Radio|Holland",
            "Tyres|Germany", "Alloy Wheels|<null>"});

class FaultInjection : public testing::TempRootTest, public ::testing::WithParamInterface<Scenario> {
 protected:
  void SetUp() override {
    TempRootTest::SetUp();
    queries_ = Root() + "/queries";
    fs::CreateFolder(queries_);
  }

  std::string Parent() const { return GetParam().underTempFileFolder ? queries_ : Root(); }

  // A new object; with a kept result as entry, it has kept "rs3" first.
  void MakeObject() {
    query_ = Vendrel::Create();
    if (GetParam().keptResultAsEntry)
      query_->Execute(Example1Source(), testing::kExample1Sql, adOpenStatic, adLockReadOnly, true, "rs3");
  }

  // The one Execute of the scenario.
  Ref<Recordset> RunTheQuery() {
    const Scenario& s = GetParam();
    const std::string tempFileFolder = s.underTempFileFolder ? queries_ : "";
    if (s.keptResultAsEntry) {
      Ref<QueryDataSource> source = QueryDataSource::Create();
      source->RecordsetCollection()->Add(testing::Example1Products(), "rs1");
      source->RecordsetCollection()->Add(nullptr, "rs3", true);
      return query_->Execute(source, kReuseSql, adOpenStatic, adLockReadOnly, false, "", tempFileFolder);
    }
    return query_->Execute(Example1Source(), testing::kExample1Sql, adOpenStatic, adLockReadOnly, s.keepsTheResult,
                           "rs3", tempFileFolder);
  }
  const std::vector<std::string>& ExpectedRows() const {
    return GetParam().keptResultAsEntry ? kReuseRows : testing::kExample1Rows;
  }

  // Everything on disk but the (empty) folder for queries and the object's
  // own folder with its kept result, which is whole when it is there.
  void ExpectNothingOfTheQueryLeft(const std::string& at) {
    const std::string own = std::filesystem::path(query_->OptimizedFolder()).filename().string();
    std::set<std::string> expected = {"queries", own};
    for (const std::string& name : Entries(query_->OptimizedFolder())) {
      if (name == "rs3.txt") {
        EXPECT_EQ(testing::ReadAll(query_->OptimizedFolder() + "/rs3.txt"), keptFile_) << at;
      }
      if (name == "rs3.txt" || name == "schema.ini") expected.insert(own + "/" + name);
    }
    EXPECT_EQ(Tree(), expected) << at;
    if (GetParam().keptResultAsEntry) {
      EXPECT_TRUE(Entries(query_->OptimizedFolder()).contains("rs3.txt")) << at;
    }
  }

  std::string queries_;
  Ref<Vendrel> query_;
  std::string keptFile_;  // rs3.txt as a query without faults keeps it
};

TEST_P(FaultInjection, EachFailingOperationGivesTheErrorOfItsStepLeavesNothingAndTheQueryRunsAfterwards) {
  MakeObject();
  EXPECT_EQ(Sorted(RowsOf(RunTheQuery())), ExpectedRows());
  if (GetParam().keepsTheResult || GetParam().keptResultAsEntry)
    keptFile_ = testing::ReadAll(query_->OptimizedFolder() + "/rs3.txt");
  query_.reset();

  std::set<std::string> operations;
  const long count = testing::SweepFileOperations(
      [&] { MakeObject(); },
      [&] {
        Ref<Recordset> result = RunTheQuery();
        EXPECT_EQ(Sorted(RowsOf(result)), ExpectedRows());
      },
      [&](const testing::FailedRun& run) {
        const std::string at = "operation " + std::to_string(run.k) + " (" + run.failed.name + ")";
        operations.insert(run.failed.name);
        EXPECT_FAILED_RUN_GIVES(
            run, testing::ExpectedFor(run, Parent(), query_->OptimizedFolder(), testing::QueryDriver::Text,
                                      GetParam().keptResultAsEntry ? std::vector<std::string>{"rs1"}
                                                                   : std::vector<std::string>{"rs1", "rs2"}));
        ExpectNothingOfTheQueryLeft(at);
        Ref<Recordset> again;
        EXPECT_NO_THROW(again = RunTheQuery()) << at;
        if (again) {
          EXPECT_EQ(Sorted(RowsOf(again)), ExpectedRows()) << at;
        }
        ExpectNothingOfTheQueryLeft(at);
        query_.reset();
        EXPECT_EQ(Tree(), (std::set<std::string>{"queries"})) << at;
      });
  EXPECT_GT(count, 20);
  // The driver's own reading of the folder was among the failures.
  for (const char* op : {"ListFolder", "FileInfo", "ReadFile", "FolderExists", "OpenFile", "WriteFile", "CloseFile"})
    EXPECT_TRUE(operations.contains(op)) << op;
}

INSTANTIATE_TEST_SUITE_P(Execute, FaultInjection,
                         ::testing::Values(Scenario{"plain in the system temporary folder", false, false, false},
                                           Scenario{"plain under TempFileFolder", true, false, false},
                                           Scenario{"with a kept result as entry", true, true, false},
                                           Scenario{"keeping the result", true, false, true}),
                         testing::NameFromWhat());

class LifecycleFaults : public testing::TempRootTest {};

TEST_F(LifecycleFaults, EachFailingOperationOfCreationGivesItsErrorAndLeavesNothing) {
  Ref<Vendrel> created;
  const long count = testing::SweepFileOperations(
      [&] { created.reset(); }, [&] { created = Vendrel::Create(); },
      [&](const testing::FailedRun& run) {
        if (run.failed.name == "TemporaryFolder") {
          // Creation has no handler: the file system's error as it was raised.
          EXPECT_EQ(run.caught.number, err::kPathFileAccessError);
          EXPECT_EQ(run.caught.source, source::kFileSystem);
        } else {
          EXPECT_COMPONENT_ERROR(run.caught, -2147220494,
                                 "Unable to create temporary folder: " + run.failed.path +
                                     "\r\nCheck that the user has permission to create this folder.");
        }
        EXPECT_TRUE(Tree().empty()) << run.failed.name;
      });
  EXPECT_EQ(count, 2);  // the temporary folder, and making the object's folder there
}

// Release runs every step and ignores each failure: what a failing operation
// leaves is at most the one folder it was deleting, and nothing is raised.
TEST_F(LifecycleFaults, EachFailingOperationOfReleaseLeavesAtMostTheFolderItWasDeleting) {
  Ref<Vendrel> query;
  std::string optimizedFolder;
  const long count = testing::SweepFileOperations(
      [&] {
        std::filesystem::remove_all(Root());
        std::filesystem::create_directories(Root());
        query = Vendrel::Create();
        optimizedFolder = query->OptimizedFolder();
        Ref<QueryDataSource> source = QueryDataSource::Create();
        source->RecordsetCollection()->Add(testing::Example1Products(), "rs1");
        query->Execute(source, "SELECT * FROM rs1", adOpenStatic, adLockReadOnly, true, "rs3");
        source = QueryDataSource::Create();
        source->RecordsetCollection()->Add(nullptr, "rs3", true);
        query->Execute(source, "SELECT * FROM rs3", adOpenStatic, adLockReadOnly);
      },
      [&] { query.reset(); },
      [&](const testing::FailedRun& run) {
        EXPECT_FALSE(run.caught.thrown);
        const std::set<std::string> left = Tree();
        if ((run.failed.name == "DeleteFolder" || run.failed.name == "FolderExists") &&
            run.failed.path == optimizedFolder) {
          EXPECT_TRUE(left.contains(std::filesystem::path(optimizedFolder).filename().string()));
        } else {
          EXPECT_TRUE(left.empty()) << run.failed.name << " " << run.failed.path;
        }
      });
  EXPECT_GT(count, 2);
}

}  // namespace
}  // namespace vendrel

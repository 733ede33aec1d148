// Creation, release, the error wrapping rule, and the failures of Execute
// that happen before any data file is written.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "component_error.h"
#include "engine_test_support.h"
#include "vendrel/driver/driver.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel {
namespace {

using testing::CatchError;

using testing::kUnknownCause;

class VendrelLifecycleTest : public testing::TempRootTest {
 protected:
  Ref<QueryDataSource> OneRecordset() {
    Ref<QueryDataSource> source = QueryDataSource::Create();
    source->RecordsetCollection()->Add(testing::MakeRecordset({{"A"}}, {{Variant("x")}}), "rs1");
    return source;
  }
  std::string FolderName(const std::string& path) const { return std::filesystem::path(path).filename().string(); }
};

TEST_F(VendrelLifecycleTest, CreationMakesOnlyTheObjectsOwnFolderOpenToItsOwner) {
  Ref<Vendrel> query = Vendrel::Create();
  EXPECT_TRUE(std::regex_match(query->OptimizedFolder(), std::regex(Root() + "/VDL[0-9]+")));
  EXPECT_EQ(Tree(), (std::set<std::string>{FolderName(query->OptimizedFolder())}));
  struct stat st {};
  ASSERT_EQ(::stat(query->OptimizedFolder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(query->QueryFolder(), "");
}

TEST_F(VendrelLifecycleTest, ReleasingAnObjectThatNeverRanAQueryLeavesNothing) {
  Vendrel::Create().reset();
  EXPECT_TRUE(Tree().empty());
}

TEST_F(VendrelLifecycleTest, ObjectsOfOneProcessHaveFoldersOfTheirOwn) {
  std::vector<Ref<Vendrel>> queries;
  std::set<std::string> folders;
  for (int i = 0; i < 20; ++i) {
    queries.push_back(Vendrel::Create());
    folders.insert(queries.back()->OptimizedFolder());
  }
  EXPECT_EQ(folders.size(), 20u);
  queries.clear();
  EXPECT_TRUE(Tree().empty());
}

TEST_F(VendrelLifecycleTest, NothingReadFromTheInputsStaysOnceTheLastObjectIsReleased) {
  Ref<Vendrel> first = Vendrel::Create();
  Ref<Vendrel> second = Vendrel::Create();
  const Ref<QueryDataSource> source = testing::Example1Source();
  auto run = [&](const Ref<Vendrel>& query) {
    const Ref<Recordset> result = query->Execute(source, testing::kExample1Sql, adOpenStatic, adLockReadOnly);
    return testing::Sorted(testing::RowsOf(result));
  };
  EXPECT_EQ(run(first), testing::kExample1Rows);
  const size_t kept = driver::ParsedTextTableCount();
  EXPECT_GE(kept, 2u);
  // While an object lives, inputs exported again unchanged are found, not parsed again.
  EXPECT_EQ(run(second), testing::kExample1Rows);
  EXPECT_EQ(run(first), testing::kExample1Rows);
  EXPECT_EQ(driver::ParsedTextTableCount(), kept);
  first.reset();
  EXPECT_EQ(run(second), testing::kExample1Rows);
  EXPECT_EQ(driver::ParsedTextTableCount(), kept);
  second.reset();
  EXPECT_EQ(driver::ParsedTextTableCount(), 0u);
  EXPECT_TRUE(Tree().empty());
}

// Error 1010 for a folder drawn under parent, its description after prefix.
void Expect1010(const testing::CaughtError& caught, const std::string& prefix, const std::string& parent) {
  EXPECT_EQ(caught.number, -2147220494);
  EXPECT_EQ(caught.source, "Vendrel");
  const std::string expected = prefix + "Unable to create temporary folder: " + parent + "/VDL[0-9]+" +
                               "\r\nCheck that the user has permission to create this folder\\.";
  EXPECT_TRUE(std::regex_match(caught.description, std::regex(expected))) << caught.description;
}

TEST_F(VendrelLifecycleTest, CreationFailsWith1010WithoutPrefixWhenTheFolderCannotBeMade) {
  ::setenv("TMPDIR", (Root() + "/missing").c_str(), 1);
  Expect1010(CatchError([] { Vendrel::Create(); }), "", Root() + "/missing");
}

TEST_F(VendrelLifecycleTest, AMissingTempFileFolderEndsExecuteWith1010) {
  Ref<Vendrel> query = Vendrel::Create();
  Expect1010(CatchError([&] {
               query->Execute(OneRecordset(), "SELECT * FROM rs1", adOpenStatic, adLockReadOnly, false, "",
                              Root() + "/none");
             }),
             "\\[Vendrel\\] ", Root() + "/none");
}

TEST_F(VendrelLifecycleTest, ADataSourceThatIsNothingOrForeignGives1002AndLeavesNoQueryFolder) {
  Ref<Vendrel> query = Vendrel::Create();
  const std::set<std::string> before = Tree();
  for (const Ref<Object>& source : {Ref<Object>(), Ref<Object>(Recordset::Create())}) {
    EXPECT_COMPONENT_ERROR(CatchError([&] { query->Execute(source, "SELECT 1", adOpenStatic, adLockReadOnly); }),
                           -2147220502, kUnknownCause);
    EXPECT_EQ(Tree(), before);
  }
}

struct NameCase {
  const char* what;
  std::string name;
};

class InvalidOptimizedNames : public VendrelLifecycleTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(InvalidOptimizedNames, AreRefusedWith1009BeforeAnyFolderIsMade) {
  Ref<Vendrel> query = Vendrel::Create();
  const std::set<std::string> before = Tree();
  const std::string tempFileFolder = Root() + "/queries";
  fs::CreateFolder(tempFileFolder);
  EXPECT_COMPONENT_ERROR(CatchError([&] {
                           query->Execute(OneRecordset(), "SELECT * FROM rs1", adOpenStatic, adLockReadOnly, true,
                                          GetParam().name, tempFileFolder);
                         }),
                         -2147220495,
                         "[Vendrel] Optimized Recordset name '" + GetParam().name + "' is not valid. Unable to continue.");
  EXPECT_TRUE(Entries(tempFileFolder).empty());
  EXPECT_EQ(query->QueryFolder(), "");
}

INSTANTIATE_TEST_SUITE_P(Names, InvalidOptimizedNames,
                         ::testing::Values(NameCase{"empty", ""}, NameCase{"parent folder", ".."},
                                           NameCase{"this folder", "."}, NameCase{"a path", "../../etc/x"},
                                           NameCase{"backslash", "a\\b"}, NameCase{"control character", "a\nb"},
                                           NameCase{"brackets", "[rs3]"}),
                         testing::NameFromWhat());

// With TempFileFolder set, the operations of Execute's first steps are, in
// order: CreateFolder (step 1), FolderExists and DeleteFolder (step 2),
// CreateFolder (step 3).
class FolderStepFailures : public VendrelLifecycleTest {
 protected:
  testing::CaughtError ExecuteWithFault(Vendrel& query, long operation) {
    fs::faults::Arm(operation);
    testing::CaughtError caught = CatchError(
        [&] { query.Execute(OneRecordset(), "SELECT * FROM rs1", adOpenStatic, adLockReadOnly, false, "", Root()); });
    fs::faults::Disarm();
    return caught;
  }
};

TEST_F(FolderStepFailures, MakingEitherFolderFails1010AndLeavesNothingNew) {
  Ref<Vendrel> query = Vendrel::Create();
  const std::set<std::string> before = Tree();
  for (long operation : {1L, 4L}) {
    const testing::CaughtError caught = ExecuteWithFault(*query, operation);
    EXPECT_EQ(caught.number, -2147220494) << operation;
    EXPECT_TRUE(caught.description.starts_with("[Vendrel] Unable to create temporary folder: " + Root() + "/VDL"))
        << caught.description;
    EXPECT_EQ(Tree(), before);
  }
}

TEST_F(FolderStepFailures, DeletingTheFirstFolderFails1011NamingItAndTheFolderGoesOnceItCan) {
  Ref<Vendrel> query = Vendrel::Create();
  const std::set<std::string> before = Tree();
  const testing::CaughtError caught = ExecuteWithFault(*query, 3);
  const std::string first = query->QueryFolder();
  EXPECT_COMPONENT_ERROR(caught, -2147220493,
                         "[Vendrel] Unable to delete temporary folder: " + first +
                             "\r\nCheck that the user has permission to Delete this folder.");
  EXPECT_EQ(Tree(), before);  // the injected refusal holds for one deletion only
}

TEST(ErrorWrapping, TheComponentsErrorsGetThePrefixEveryOtherErrorBecomes1002) {
  auto wrapped = [](auto&& raise) {
    try {
      raise();
    } catch (...) {
      const Error e = engine::WrapForCaller(std::current_exception());
      return testing::CaughtError{true, e.Number(), e.Source(), e.Description()};
    }
    return testing::CaughtError{};
  };
  EXPECT_COMPONENT_ERROR(wrapped([] { throw Error(-2147220497, "Vendrel", "SQL syntax error."); }), -2147220497,
                         "[Vendrel] SQL syntax error.");
  EXPECT_COMPONENT_ERROR(wrapped([] { throw Error(-2147220497, "vendrel", "lower-case source"); }), -2147220502,
                         kUnknownCause);
  EXPECT_COMPONENT_ERROR(wrapped([] { throw Error(3704, "DataAccess.Recordset", "closed"); }), -2147220502,
                         kUnknownCause);
  EXPECT_COMPONENT_ERROR(wrapped([] { throw std::bad_alloc(); }), -2147220502, kUnknownCause);
}

}  // namespace
}  // namespace vendrel

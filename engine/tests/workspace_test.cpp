#include "workspace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <deque>

#include "engine_test_support.h"

namespace vendrel::engine {
namespace {

using testing::CatchError;

// Draws the given numbers in order.
DrawNumber Scripted(std::deque<uint32_t> numbers) {
  return [numbers = std::move(numbers)]() mutable {
    const uint32_t n = numbers.front();
    numbers.pop_front();
    return n;
  };
}

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 0777;
}

void Touch(const std::string& path) { fs::OutputFile(path, fs::OutputFile::Mode::Create).Close(); }

const char kCreateHint[] = "\r\nCheck that the user has permission to create this folder.";

using WorkspaceTest = testing::TempRootTest;

TEST(NameNumbers, CoverTheRangeFromZeroTo536789123) {
  EXPECT_EQ(NameNumberFromUnit(0.0), 0u);
  EXPECT_EQ(NameNumberFromUnit(0.5), 268394562u);
  EXPECT_EQ(NameNumberFromUnit(std::nextafter(1.0, 0.0)), 536789123u);
}

TEST(NameNumbers, ClockSeededDrawsInARowDiffer) {
  std::set<uint32_t> seen;
  for (int i = 0; i < 200; ++i) {
    const uint32_t n = DrawClockSeededNumber();
    EXPECT_LE(n, 536789123u);
    seen.insert(n);
  }
  EXPECT_EQ(seen.size(), 200u);
}

TEST_F(WorkspaceTest, TempFolderIsVdlWithDigitsOpenToItsOwnerOnly) {
  const std::string folder = MakeTempFolder(Root(), Scripted({80512271}));
  EXPECT_EQ(folder, Root() + "/VDL80512271");
  EXPECT_TRUE(fs::FolderExists(folder));
  EXPECT_EQ(ModeOf(folder), 0700u);
}

TEST_F(WorkspaceTest, AFileWithTheDrawnNameMakesItDrawAgain) {
  Touch(Root() + "/VDL7");
  EXPECT_EQ(MakeTempFolder(Root(), Scripted({7, 8})), Root() + "/VDL8");
}

TEST_F(WorkspaceTest, FolderCreationFailuresRaise1010NamingThePath) {
  fs::CreateFolder(Root() + "/VDL7");
  EXPECT_COMPONENT_ERROR(CatchError([&] { MakeTempFolder(Root(), Scripted({7})); }), -2147220494,
                         "Unable to create temporary folder: " + Root() + "/VDL7" + kCreateHint);
  EXPECT_COMPONENT_ERROR(CatchError([&] { MakeTempFolder(Root() + "/missing", Scripted({9})); }), -2147220494,
                         "Unable to create temporary folder: " + Root() + "/missing/VDL9" + kCreateHint);
}

TEST_F(WorkspaceTest, ATrailingSeparatorOnTheParentIsKeptInTheTextButNotInThePath) {
  EXPECT_EQ(MakeTempFolder(Root() + "/", Scripted({3})), Root() + "/VDL3");
  EXPECT_COMPONENT_ERROR(CatchError([&] { MakeTempFolder(Root() + "/none/", Scripted({4})); }), -2147220494,
                         "Unable to create temporary folder: " + Root() + "/none//VDL4" + kCreateHint);
}

TEST_F(WorkspaceTest, DeletingAFolderThatIsNotThereIsNoError) {
  EXPECT_NO_THROW(DeleteFolderIfPresent(Root() + "/VDL1"));
  EXPECT_NO_THROW(DeleteFolderIfPresent(""));
  const std::string folder = MakeTempFolder(Root(), Scripted({1}));
  Touch(folder + "/schema.ini");
  DeleteFolderIfPresent(folder);
  EXPECT_FALSE(fs::PathExists(folder));
}

TEST_F(WorkspaceTest, FileNamesOnePerEntryInEntryOrder) {
  Ref<Collection> entries = Collection::Create();
  for (int i = 0; i < 3; ++i) entries->Add(Variant(testing::MakeRecordset({{"A"}})));
  entries->Add(Variant("rs4"));
  std::vector<std::string> optimized{"earlier"};
  EXPECT_EQ(DrawFileNames(*entries, Root(), Scripted({11, 22, 33}), optimized),
            (std::vector<std::string>{"TEMP11", "TEMP22", "TEMP33", "rs4"}));
  EXPECT_EQ(optimized, (std::vector<std::string>{"earlier", "rs4"}));
}

TEST_F(WorkspaceTest, NoTwoEntriesShareADataFile) {
  Ref<Collection> entries = Collection::Create();
  entries->Add(Variant(testing::MakeRecordset({{"A"}})));
  entries->Add(Variant(testing::MakeRecordset({{"A"}})));
  entries->Add(Variant(testing::MakeRecordset({{"A"}})));
  entries->Add(Variant("temp9"));
  Touch(Root() + "/TEMP5.txt");
  std::vector<std::string> optimized;
  // 9 is an optimized entry's name, 5 a file already there, 6 drawn twice.
  EXPECT_EQ(DrawFileNames(*entries, Root(), Scripted({9, 5, 6, 6, 6, 7, 8}), optimized),
            (std::vector<std::string>{"TEMP6", "TEMP7", "TEMP8", "temp9"}));
}

TEST_F(WorkspaceTest, NoEntriesNoNames) {
  std::vector<std::string> optimized;
  EXPECT_TRUE(DrawFileNames(*Collection::Create(), Root(), Scripted({}), optimized).empty());
  EXPECT_TRUE(optimized.empty());
}

TEST(PlainFileNames, OnlyANameForOneFileInsideAFolder) {
  for (const char* good : {"rs3", "Sales 2024", "a.b", "\xC3\xA4rger", "it's"}) EXPECT_TRUE(IsPlainFileName(good)) << good;
  for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b", "a\tb", "a\nb", "[x]", "a]", "\x7F", "a\xC2\x85"})
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
}

TEST_F(WorkspaceTest, DeletingListedFilesTouchesNothingOutsideTheFolderAndEmptiesTheList) {
  const std::string folder = MakeTempFolder(Root(), Scripted({1}));
  Touch(folder + "/TEMP1.txt");
  Touch(folder + "/TEMP2.txt");
  Touch(Root() + "/outside.txt");
  std::vector<std::string> names{"TEMP1", "gone", "../outside", "TEMP2"};
  DeleteListedDataFiles(folder, names);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(Entries(folder).empty());
  EXPECT_TRUE(fs::FileExists(Root() + "/outside.txt"));
}

}  // namespace
}  // namespace vendrel::engine

#include "workspace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <deque>
#include <filesystem>

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

TEST(NameNumbers, RandomDrawsDifferAndSpreadOverTheRange) {
  std::set<uint32_t> seen;
  std::set<uint32_t> quarters;
  for (int i = 0; i < 200; ++i) {
    const uint32_t n = DrawRandomNumber();
    EXPECT_LE(n, 536789123u);
    seen.insert(n);
    quarters.insert(n / (536789124u / 4 + 1));
  }
  EXPECT_GE(seen.size(), 199u);  // two draws alike in 200: about once in 27,000 runs
  EXPECT_EQ(quarters.size(), 4u);
}

TEST_F(WorkspaceTest, TempFolderIsVdlWithDigitsOpenToItsOwnerOnly) {
  const std::string folder = MakeTempFolder(Root(), Scripted({80512271}));
  EXPECT_EQ(folder, Root() + "/VDL80512271");
  EXPECT_TRUE(fs::FolderExists(folder));
  EXPECT_EQ(ModeOf(folder), 0700u);
}

// Names planted ahead by another user of the folder: a file, a folder, a
// link to a folder of theirs and a link that leads nowhere (yet).
void PlantNames(const std::string& parent, const std::string& prefix, const std::string& suffix,
                const std::string& theirs) {
  Touch(parent + "/" + prefix + "1" + suffix);
  fs::CreateFolder(parent + "/" + prefix + "2" + suffix);
  std::filesystem::create_directory_symlink(theirs, parent + "/" + prefix + "3" + suffix);
  std::filesystem::create_symlink(theirs + "/planted", parent + "/" + prefix + "4" + suffix);
}

TEST_F(WorkspaceTest, AnythingAtADrawnNameMakesItDrawAgainAndNothingGoesThroughALink) {
  const std::string theirs = fs::CreateFolder(Root() + "/theirs");
  PlantNames(Root(), "VDL", "", theirs);
  const std::string folder = MakeTempFolder(Root(), Scripted({1, 2, 3, 4, 5}));
  EXPECT_EQ(folder, Root() + "/VDL5");
  EXPECT_FALSE(std::filesystem::is_symlink(folder));
  EXPECT_TRUE(Entries(theirs).empty());
  EXPECT_EQ(Entries(Root()), (std::set<std::string>{"VDL1", "VDL2", "VDL3", "VDL4", "VDL5", "theirs"}));
}

TEST_F(WorkspaceTest, AfterSoManyTakenNamesTheFolderGivesUpWith1010NamingTheLast) {
  fs::CreateFolder(Root() + "/VDL7");
  int drawn = 0;
  EXPECT_COMPONENT_ERROR(CatchError([&] { MakeTempFolder(Root(), [&] { return ++drawn, 7u; }); }), -2147220494,
                         "Unable to create temporary folder: " + Root() + "/VDL7" + kCreateHint);
  EXPECT_EQ(drawn, kMostDraws);
  EXPECT_EQ(Entries(Root()), (std::set<std::string>{"VDL7"}));
}

TEST_F(WorkspaceTest, FolderCreationFailuresRaise1010NamingThePath) {
  EXPECT_COMPONENT_ERROR(CatchError([&] { MakeTempFolder(Root() + "/missing", Scripted({9})); }), -2147220494,
                         "Unable to create temporary folder: " + Root() + "/missing/VDL9" + kCreateHint);
  Touch(Root() + "/file");
  EXPECT_COMPONENT_ERROR(CatchError([&] { MakeTempFolder(Root() + "/file", Scripted({9})); }), -2147220494,
                         "Unable to create temporary folder: " + Root() + "/file/VDL9" + kCreateHint);
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

TEST_F(WorkspaceTest, AnythingAtADataFileNameMakesItDrawAgainABoundedNumberOfTimes) {
  const std::string theirs = fs::CreateFolder(Root() + "/theirs");
  PlantNames(Root(), "TEMP", ".txt", theirs);
  Ref<Collection> entries = Collection::Create();
  entries->Add(Variant(testing::MakeRecordset({{"A"}})));
  std::vector<std::string> optimized;
  EXPECT_EQ(DrawFileNames(*entries, Root(), Scripted({1, 2, 3, 4, 5}), optimized),
            (std::vector<std::string>{"TEMP5"}));
  int drawn = 0;
  EXPECT_NE(CatchError([&] { DrawFileNames(*entries, Root(), [&] { return ++drawn, 3u; }, optimized); }).number, 0);
  EXPECT_EQ(drawn, kMostDraws);
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

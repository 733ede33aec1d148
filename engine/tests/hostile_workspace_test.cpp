// The workspace when others share its folders: names planted ahead of the
// query object's folders and files, and kept results saved again and again
// or under names that the file system or schema.ini cannot hold as written.
// Each ends in the right result or a clear error, writes nothing through a
// link and leaves nothing behind.

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "engine_test_support.h"
#include "vendrel/engine/vendrel.h"
#include "workspace.h"

namespace vendrel {
namespace {

using testing::MakeRecordset;
using testing::RowsOf;

class HostileWorkspace : public testing::TempRootTest {
 protected:
  // Names that another user of the folder planted: a file, a folder, a link
  // to a folder of theirs and a link to a name there that does not exist yet.
  void Plant(const std::string& parent) {
    fs::OutputFile(parent + "/VDL1", fs::OutputFile::Mode::Create).Write("planted");
    fs::CreateFolder(parent + "/VDL2");
    std::filesystem::create_directory_symlink(Theirs(), parent + "/VDL3");
    std::filesystem::create_symlink(Theirs() + "/planted", parent + "/VDL4");
    for (int n = 1; n <= 4; ++n) planted_.insert(std::filesystem::relative(parent + "/VDL" + std::to_string(n), Root()));
  }
  std::string Theirs() const { return Root() + "/theirs"; }
  // What the test made, which must be all that is left once the query object is gone.
  std::set<std::string> Fixtures() const {
    std::set<std::string> names = planted_;
    names.insert({"theirs", "queries"});
    return names;
  }
  void SetUp() override {
    TempRootTest::SetUp();
    fs::CreateFolder(Theirs());
    fs::CreateFolder(Root() + "/queries");
  }

  std::set<std::string> planted_;
};

// Draws the given numbers in order, then from 1000 on.
engine::DrawNumber Scripted(std::deque<uint32_t> numbers) {
  return [numbers = std::move(numbers), next = 1000u]() mutable {
    if (numbers.empty()) return next++;
    const uint32_t n = numbers.front();
    numbers.pop_front();
    return n;
  };
}

TEST_F(HostileWorkspace, NamesPlantedAheadAreDrawnAgainAndNothingGoesThroughALink) {
  Plant(Root());
  Plant(Root() + "/queries");
  // Every folder the object makes draws the planted numbers first.
  const engine::ScopedNameDraw draw(Scripted({1, 2, 3, 4, 5}));
  Ref<Vendrel> query = Vendrel::Create();
  EXPECT_EQ(query->OptimizedFolder(), Root() + "/VDL5");
  for (const std::string& folder : {std::string(), Root() + "/queries"}) {
    SCOPED_TRACE(folder.empty() ? "the system temporary folder" : folder);
    const engine::ScopedNameDraw again(Scripted({1, 2, 3, 4, 8, 1, 2, 3, 4, 9}));
    Ref<Recordset> result = query->Execute(testing::Example1Source(), testing::kExample1Sql, adOpenStatic,
                                           adLockReadOnly, true, "kept", folder);
    EXPECT_EQ(testing::Sorted(RowsOf(result)), testing::kExample1Rows);
    EXPECT_EQ(query->QueryFolder(), (folder.empty() ? Root() : folder) + "/VDL9");
  }
  EXPECT_TRUE(Entries(Theirs()).empty());
  query.reset();
  EXPECT_EQ(Tree(), Fixtures());
  EXPECT_EQ(testing::ReadAll(Root() + "/VDL1"), "planted");
}

TEST_F(HostileWorkspace, WhenEveryDrawnNameIsTakenCreationAndExecuteGive1010AndLeaveNothing) {
  Plant(Root());
  {
    const engine::ScopedNameDraw draw([] { return 3u; });
    EXPECT_COMPONENT_ERROR(testing::CatchError([] { Vendrel::Create(); }), -2147220494,
                           "Unable to create temporary folder: " + Root() +
                               "/VDL3\r\nCheck that the user has permission to create this folder.");
  }
  Ref<Vendrel> query = Vendrel::Create();
  const std::string own = std::filesystem::path(query->OptimizedFolder()).filename().string();
  {
    const engine::ScopedNameDraw draw([] { return 4u; });
    EXPECT_COMPONENT_ERROR(testing::CatchError([&] {
                             query->Execute(testing::Example1Source(), testing::kExample1Sql, adOpenStatic,
                                            adLockReadOnly);
                           }),
                           -2147220494,
                           "[Vendrel] Unable to create temporary folder: " + Root() +
                               "/VDL4\r\nCheck that the user has permission to create this folder.");
  }
  std::set<std::string> expected = Fixtures();
  expected.insert(own);
  EXPECT_EQ(Tree(), expected);
  EXPECT_EQ(testing::Sorted(RowsOf(query->Execute(testing::Example1Source(), testing::kExample1Sql, adOpenStatic,
                                                  adLockReadOnly))),
            testing::kExample1Rows);
  query.reset();
  EXPECT_EQ(Tree(), Fixtures());
}

// One Text column T or one Long column N, one row.
Ref<QueryDataSource> OneValue(bool text) {
  Ref<QueryDataSource> source = QueryDataSource::Create();
  source->RecordsetCollection()->Add(text ? MakeRecordset({{"T", adVarWChar, 10}}, {{Variant("007")}})
                                          : MakeRecordset({{"N", adInteger, 0}}, {{Variant::Long(7)}}),
                                     "rs1");
  return source;
}

void Keep(Vendrel& query, bool text, const std::string& name) {
  query.Execute(OneValue(text), "SELECT * FROM rs1", adOpenStatic, adLockReadOnly, true, name);
}

// The kept result's field, its type and its value, as "T 202 007".
std::string ReadKept(Vendrel& query, const std::string& name) {
  Ref<QueryDataSource> source = QueryDataSource::Create();
  source->RecordsetCollection()->Add(nullptr, name, true);
  Ref<Recordset> rows = query.Execute(source, "SELECT * FROM [" + name + "]", adOpenStatic, adLockReadOnly);
  if (rows->Fields().Count() != 1 || rows->RecordCount() != 1) return "not one field and one row";
  const Field& field = rows->Fields()[0];
  return field.Name() + " " + std::to_string(field.Type()) + " " + ToText(field.Value());
}

TEST_F(HostileWorkspace, AResultKeptAgainUnderItsNameReplacesItsSection) {
  Ref<Vendrel> query = Vendrel::Create();
  const std::string schema = query->OptimizedFolder() + "/schema.ini";
  Keep(*query, true, "other");
  Keep(*query, true, "rs3");
  const std::string once = testing::ReadAll(schema);
  for (int i = 0; i < 50; ++i) Keep(*query, i % 2 == 0, i % 3 == 0 ? "RS3" : "rs3");
  Keep(*query, true, "rs3");
  EXPECT_EQ(testing::ReadAll(schema), once);
  Keep(*query, false, "Rs3");
  const std::string text = testing::ReadAll(schema);
  EXPECT_EQ(text.find("[rs3.txt]"), text.rfind("[rs3.txt]"));
  EXPECT_EQ(ReadKept(*query, "rs3"), "N 3 7");
  EXPECT_EQ(ReadKept(*query, "other"), "T 202 007");
  EXPECT_EQ(Entries(query->OptimizedFolder()), (std::set<std::string>{"other.txt", "rs3.txt", "schema.ini"}));
}

struct KeptName {
  const char* what;
  std::string name;
  // What reading "a" gives after the name was kept: a's own value, or the
  // second result's where the name is a's in another spelling.
  bool sameResultAsA = false;
  bool refused = false;
};

void PrintTo(const KeptName& c, std::ostream* os) { *os << c.what; }

class KeptNames : public testing::TempRootTest, public ::testing::WithParamInterface<KeptName> {};

// Keep "a" (Text T, "007"), then a second result (Long N, 7) under the name:
// the name is kept exactly, or refused with 1009, and keeping it never
// changes what "a" reads but where it is "a" itself in another spelling.
TEST_P(KeptNames, AreKeptExactlyOrRefusedAndNeverChangeAnotherResult) {
  const KeptName& c = GetParam();
  Ref<Vendrel> query = Vendrel::Create();
  Keep(*query, true, "a");
  const testing::CaughtError caught = testing::CatchError([&] { Keep(*query, false, c.name); });
  if (c.refused) {
    EXPECT_COMPONENT_ERROR(caught, -2147220495,
                           "[Vendrel] Optimized Recordset name '" + c.name + "' is not valid. Unable to continue.");
  } else {
    EXPECT_FALSE(caught.thrown) << caught.number << " " << caught.description;
    EXPECT_EQ(ReadKept(*query, c.name), "N 3 7");
  }
  EXPECT_EQ(ReadKept(*query, "a"), c.sameResultAsA ? "N 3 7" : "T 202 007");
  query.reset();
  EXPECT_TRUE(Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Names, KeptNames,
    ::testing::Values(KeptName{"a leading space", " a", false, true},
                      KeptName{"leading spaces", "   a", false, true},
                      KeptName{"a trailing space", "a ", false, false},
                      KeptName{"a space inside", "a b", false, false},
                      KeptName{"another case", "A", true, false},
                      KeptName{"another case beyond ASCII", "\xC3\xA4", false, false},
                      KeptName{"brackets", "[a]", false, true},
                      KeptName{"an equals sign", "a=b", false, false},
                      KeptName{"a semicolon first", ";a", false, false},
                      KeptName{"a leading tab", "\ta", false, true},
                      KeptName{"a name of 251 bytes", std::string(251, 'n'), false, false},
                      KeptName{"a name of 252 bytes", std::string(252, 'n'), false, true},
                      KeptName{"a name of 300 bytes", std::string(300, 'n'), false, true},
                      KeptName{"a name whose data file would be 256 bytes in letters of two",
                               "n" + [] {
                                 std::string s;
                                 for (int i = 0; i < 126; ++i) s += "\xC3\xA4";
                                 return s;
                               }(),
                               false, true}),
    testing::NameFromWhat());

}  // namespace
}  // namespace vendrel

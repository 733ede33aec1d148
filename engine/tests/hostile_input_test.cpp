// Hostile input through the text driver, one case a row: odd field names,
// text values and recordsets, recordset names that the SQL can confuse,
// huge statements (the malformed ones are data, in
// driver/tests/sql/hostile.test), kept-result names with path characters,
// and temporary folders that cannot be used. Each case gives a clear error
// or the right result, leaves nothing on disk, and the object runs the next
// query correctly.

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <regex>

#include "engine_test_support.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel {
namespace {

using testing::FieldSpec;
using testing::MakeRecordset;
using testing::RowsOf;

struct Input {
  std::string name;
  Ref<Recordset> recordset;  // nothing: an entry for a kept result of that name
};

struct Hostile {
  const char* what;
  std::function<std::vector<Input>()> inputs;
  std::function<std::string()> sql;
  // A result: its field names (when given) and rows in order; or an error:
  // its number and a regular expression for its whole description.
  std::vector<std::string> fields = {};
  std::vector<std::string> rows = {};
  long number = 0;
  std::string description = "";
  // Execute's optional arguments; "{root}" in the folder stands for the test's root.
  bool optimize = false;
  std::string recordsetName = "";
  std::string tempFileFolder = "";
  std::string altQuoteMark = "";
};

void PrintTo(const Hostile& c, std::ostream* os) { *os << c.what; }

std::function<std::string()> Sql(std::string text) {
  return [text] { return text; };
}

std::function<std::vector<Input>()> One(std::vector<FieldSpec> fields, std::vector<std::vector<Variant>> rows,
                                        std::string name = "rs1") {
  return [=] { return std::vector<Input>{{name, MakeRecordset(fields, rows)}}; };
}

// One text field A holding the value.
std::function<std::vector<Input>()> TextValue(std::string value, int type = adVarWChar, long size = 255) {
  return One({{"A", type, size}, {"N", adInteger, 0}}, {{Variant(std::move(value)), Variant::Long(1)}});
}

Ref<Recordset> Numbers(int count) {
  auto rs = MakeRecordset({{"N", adInteger, 0}, {"A", adVarWChar, 20}});
  for (int i = 0; i < count; ++i) {
    rs->AddNew();
    rs->Fields()[0].SetValue(Variant::Long(i));
    rs->Fields()[1].SetValue(Variant("n" + std::to_string(i)));
  }
  if (count > 0) {
    rs->Update();
    rs->MoveFirst();
  }
  return rs;
}

std::string InList(int terms) {
  std::string list;
  for (int i = 0; i < terms; ++i) list += (i ? "," : "") + std::to_string(i * 7);
  return list;
}

const std::string kDriverErrorOf = "\\[Vendrel\\] ";
const std::string kUnknown =
    "An error has occured but the component is unable to establish the cause\\. Unable to continue\\.";

class HostileInputs : public testing::TempRootTest, public ::testing::WithParamInterface<Hostile> {
 protected:
  void SetUp() override {
    TempRootTest::SetUp();
    fs::CreateFolder(Root() + "/queries");
    fs::OutputFile(Root() + "/a-file", fs::OutputFile::Mode::Create).Write("x");
  }
  std::set<std::string> Fixtures() const { return {"queries", "a-file"}; }
};

TEST_P(HostileInputs, GiveAClearErrorOrTheRightResultAndLeaveNothing) {
  const Hostile& c = GetParam();
  Ref<Vendrel> query = Vendrel::Create();
  const std::string own = std::filesystem::path(query->OptimizedFolder()).filename().string();
  Ref<QueryDataSource> source = QueryDataSource::Create();
  for (const Input& input : c.inputs())
    source->RecordsetCollection()->Add(input.recordset, input.name, !input.recordset);
  const std::string folder = std::regex_replace(c.tempFileFolder, std::regex("\\{root\\}"), Root());

  Ref<Recordset> result;
  const testing::CaughtError caught = testing::CatchError([&] {
    result = query->Execute(source, c.sql(), adOpenStatic, adLockReadOnly, c.optimize, c.recordsetName, folder,
                            c.altQuoteMark);
  });
  if (c.number == 0) {
    EXPECT_FALSE(caught.thrown) << caught.number << " " << caught.description;
    if (result) {
      if (!c.fields.empty()) {
        std::vector<std::string> names;
        for (long i = 0; i < result->Fields().Count(); ++i) names.push_back(result->Fields()[i].Name());
        EXPECT_EQ(names, c.fields);
      }
      EXPECT_EQ(RowsOf(result), c.rows);
    }
  } else {
    EXPECT_TRUE(caught.thrown);
    EXPECT_EQ(caught.number, c.number) << caught.description;
    EXPECT_EQ(caught.source, "Vendrel");
    EXPECT_TRUE(std::regex_match(caught.description, std::regex(c.description))) << caught.description;
  }

  std::set<std::string> expected = Fixtures();
  expected.insert(own);
  if (c.optimize && !caught.thrown) {
    expected.insert(own + "/" + c.recordsetName + ".txt");
    expected.insert(own + "/schema.ini");
  }
  EXPECT_EQ(Tree(), expected);

  EXPECT_EQ(testing::Sorted(RowsOf(
                query->Execute(testing::Example1Source(), testing::kExample1Sql, adOpenStatic, adLockReadOnly))),
            testing::kExample1Rows);
  query.reset();
  EXPECT_EQ(Tree(), Fixtures());
}

const std::string k1MB(1 << 20, 'x');

INSTANTIATE_TEST_SUITE_P(
    FieldNames, HostileInputs,
    ::testing::Values(
        Hostile{"names with dots lose what is before the first",
                One({{"rs9.PRODUCT"}, {"a.b.c"}, {"x. y "}}, {{Variant("p"), Variant("b"), Variant("y")}}),
                Sql("SELECT * FROM rs1"),
                {"PRODUCT", "b.c", "y"},
                {"p|b|y"}},
        Hostile{"names with spaces",
                One({{"Unit Price"}, {" lead"}, {"trail "}}, {{Variant("1"), Variant("2"), Variant("3")}}),
                Sql("SELECT rs1.[Unit Price], rs1.[ lead], rs1.[trail ] FROM rs1"),
                {"Unit Price", " lead", "trail "},
                {"1|2|3"}},
        Hostile{"names with brackets",
                One({{"[x]"}, {"a]b"}, {"c[d"}}, {{Variant("1"), Variant("2"), Variant("3")}}),
                Sql("SELECT * FROM rs1"),
                {"[x]", "a]b", "c[d"},
                {"1|2|3"}},
        Hostile{"names with quotes",
                One({{"say \"hi\""}, {"it's"}, {"\"q"}}, {{Variant("1"), Variant("2"), Variant("3")}}),
                Sql("SELECT * FROM rs1"),
                {"say \"hi\"", "it's", "\"q"},
                {"1|2|3"}},
        Hostile{"names with letters beyond ASCII",
                One({{"Größe"}, {"名前"}, {"Ärger"}}, {{Variant("1"), Variant("2"), Variant("3")}}),
                Sql("SELECT rs1.größe, rs1.名前, rs1.ÄRGER FROM rs1"),
                {"Größe", "名前", "Ärger"},
                {"1|2|3"}},
        // A qualified name that the dot rule would make another field's name keeps its whole name.
        Hostile{"names equal after the dot rule",
                One({{"rs1.A"}, {"rs2.A"}, {"a"}}, {{Variant("1"), Variant("2"), Variant("3")}}),
                Sql("SELECT * FROM rs1"),
                {"rs1.A", "rs2.A", "a"},
                {"1|2|3"}},
        Hostile{"a name that begins with a double quote",
                One({{"\"q"}, {"r"}}, {{Variant("x\""), Variant("y")}, {Variant("z"), Variant("w\"")}}),
                Sql("SELECT * FROM rs1"),
                {"\"q", "r"},
                {"x\"|y", "z|w\""},
                0,
                "",
                false,
                "",
                "",
                "\""},
        // A line of schema.ini cannot hold a line break: the names lose theirs.
        Hostile{"names with a tab and line breaks",
                One({{"a\tb"}, {"c\r\nd"}, {"e\nf"}}, {{Variant("1"), Variant("2"), Variant("3")}}),
                Sql("SELECT * FROM rs1"),
                {"a\tb", "cd", "ef"},
                {"1|2|3"}}),
    testing::NameFromWhat());

INSTANTIATE_TEST_SUITE_P(
    TextValues, HostileInputs,
    ::testing::Values(
        Hostile{"a tab stays", TextValue("a\tb"), Sql("SELECT rs1.A FROM rs1"), {}, {"a\tb"}},
        Hostile{"cr lf stays", TextValue("a\r\nb"), Sql("SELECT rs1.A FROM rs1"), {}, {"a\r\nb"}},
        Hostile{"a lone cr stays", TextValue("a\rb"), Sql("SELECT rs1.A, rs1.N FROM rs1"), {}, {"a\rb|1"}},
        Hostile{"a lone lf stays", TextValue("a\nb"), Sql("SELECT rs1.A, rs1.N FROM rs1"), {}, {"a\nb|1"}},
        Hostile{"tabs, cr and lf together stay",
                TextValue("a\r\t\nb\r\r\n\n"),
                Sql("SELECT rs1.A, rs1.N FROM rs1"),
                {},
                {"a\r\t\nb\r\r\n\n|1"}},
        Hostile{"double quotes stay", TextValue("say \"hi\""), Sql("SELECT rs1.A FROM rs1"), {}, {"say \"hi\""}},
        Hostile{"double quotes become the alt quote mark",
                TextValue("\"say\" \"\"hi\""),
                Sql("SELECT rs1.A FROM rs1"),
                {},
                {"'say' ''hi'"},
                0,
                "",
                false,
                "",
                "",
                "'"},
        Hostile{"an alt quote mark that is a double quote keeps them",
                TextValue("\"say\" \"hi\""),
                Sql("SELECT rs1.A FROM rs1"),
                {},
                {"\"say\" \"hi\""},
                0,
                "",
                false,
                "",
                "",
                "\""},
        Hostile{"nul bytes stay",
                TextValue(std::string("a\0b\0", 4)),
                Sql("SELECT rs1.A, Len(rs1.A) FROM rs1"),
                {},
                {std::string("a\0b\0|4", 6)}},
        Hostile{"one megabyte of text in a long field",
                TextValue(k1MB, adLongVarWChar, 0),
                Sql("SELECT Len(rs1.A), Left(rs1.A, 3) FROM rs1"),
                {},
                {"1048576|xxx"}},
        Hostile{"one megabyte of text in a text field",
                TextValue(k1MB, adVarWChar, 1 << 20),
                Sql("SELECT Len(rs1.A) FROM rs1 WHERE rs1.A = '" + k1MB + "'"),
                {},
                {"1048576"}}),
    testing::NameFromWhat());

INSTANTIATE_TEST_SUITE_P(
    Recordsets, HostileInputs,
    ::testing::Values(
        Hostile{"null in every column",
                One({{"T", adVarWChar, 20},
                     {"M", adLongVarWChar, 0},
                     {"I", adInteger, 0},
                     {"S", adSmallInt, 0},
                     {"B", adBigInt, 0},
                     {"D", adDouble, 0},
                     {"F", adSingle, 0},
                     {"C", adCurrency, 0},
                     {"X", adDecimal, 0},
                     {"W", adDate, 0},
                     {"L", adBoolean, 0},
                     {"G", adGUID, 16}},
                    {std::vector<Variant>(12, Variant::Null()), std::vector<Variant>(12, Variant::Null())}),
                Sql("SELECT * FROM rs1"),
                {"T", "M", "I", "S", "B", "D", "F", "C", "X", "W", "L", "G"},
                {"<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>",
                 "<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>"}},
        Hostile{"a recordset without fields",
                [] { return std::vector<Input>{{"rs1", MakeRecordset({})}}; },
                Sql("SELECT Count(*) FROM rs1"),
                {},
                {"0"}},
        Hostile{"a recordset without rows",
                One({{"A"}, {"N", adInteger, 0}}, {}),
                Sql("SELECT rs1.A, rs1.N FROM rs1"),
                {"A", "N"},
                {}},
        Hostile{
            "a million rows",
            [] {
              return std::vector<Input>{{"rs1", Numbers(1000000)}};
            },
            Sql("SELECT Count(*), Sum(rs1.N), Max(rs1.A), Min(rs1.A) FROM rs1 WHERE rs1.N >= 0"),
            {},
            {"1000000|499999500000|n999999|n0"}}),
    testing::NameFromWhat());

INSTANTIATE_TEST_SUITE_P(
    RecordsetNames, HostileInputs,
    ::testing::Values(
        Hostile{"keyword names as tables and qualifiers",
                [] {
                  return std::vector<Input>{{"Table", Numbers(2)}, {"Where", Numbers(3)}};
                },
                Sql("SELECT Table.N, Where.A FROM Table INNER JOIN Where ON Table.N = Where.N"),
                {},
                {"0|n0", "1|n1"}},
        Hostile{"a name that is a keyword of the statement",
                [] {
                  return std::vector<Input>{{"Select", Numbers(2)}, {"Order", Numbers(1)}};
                },
                Sql("SELECT Select.N, [Order].A FROM Select, [Order] ORDER BY Select.N"),
                {},
                {"0|n0", "1|n0"}},
        Hostile{"a name that begins another",
                [] {
                  return std::vector<Input>{{"rs1", Numbers(2)}, {"rs10", Numbers(3)}};
                },
                Sql("SELECT rs1.N, rs10.A FROM rs1, rs10 WHERE rs1.N = rs10.N ORDER BY rs1.N"),
                {},
                {"0|n0", "1|n1"}},
        Hostile{"a name that ends another",
                [] {
                  return std::vector<Input>{{"s1", Numbers(2)}, {"rs1", Numbers(3)}};
                },
                Sql("SELECT s1.N, rs1.A FROM s1, rs1 WHERE s1.N = rs1.N ORDER BY s1.N"),
                {},
                {"0|n0", "1|n1"}},
        Hostile{"a name with a space",
                [] {
                  return std::vector<Input>{{"my rs", Numbers(2)}};
                },
                Sql("SELECT my rs.N FROM my rs ORDER BY 1"),
                {},
                {"0", "1"}},
        Hostile{"a bracketed name with a space",
                [] {
                  return std::vector<Input>{{"my rs", Numbers(2)}};
                },
                Sql("SELECT [my rs].N FROM [my rs] ORDER BY [my rs].N DESC"),
                {},
                {"1", "0"}}),
    testing::NameFromWhat());

INSTANTIATE_TEST_SUITE_P(
    Statements, HostileInputs,
    ::testing::Values(Hostile{"a thousand nested parentheses",
                              One({{"N", adInteger, 0}}, {{Variant::Long(4)}}),
                              Sql("SELECT " + std::string(1000, '(') + "rs1.N" + std::string(1000, ')') + " FROM rs1"),
                              {},
                              {},
                              -2147220497,
                              kDriverErrorOf + "Query is too complex\\."},
                      Hostile{"an in list of ten thousand terms",
                              [] {
                                return std::vector<Input>{{"rs1", Numbers(100)}};
                              },
                              Sql("SELECT Count(*) FROM rs1 WHERE rs1.N IN (" + InList(10000) + ")"),
                              {},
                              {"15"}},
                      Hostile{"a statement of a megabyte",
                              [] {
                                return std::vector<Input>{{"rs1", Numbers(3)}};
                              },
                              Sql("SELECT rs1.N FROM rs1 WHERE rs1.A <> '" + k1MB + "' ORDER BY rs1.N"),
                              {},
                              {"0", "1", "2"}}),
    testing::NameFromWhat());

INSTANTIATE_TEST_SUITE_P(
    KeptResultNames, HostileInputs,
    ::testing::Values(
        Hostile{"a kept result's name with a slash",
                One({{"A"}}, {}),
                Sql("SELECT * FROM rs1"),
                {},
                {},
                -2147220495,
                kDriverErrorOf + "Optimized Recordset name '\\.\\./x' is not valid\\. Unable to continue\\.",
                true,
                "../x"},
        Hostile{"a kept result's name with a backslash",
                One({{"A"}}, {}),
                Sql("SELECT * FROM rs1"),
                {},
                {},
                -2147220495,
                kDriverErrorOf + "Optimized Recordset name 'a\\\\b' is not valid\\. Unable to continue\\.",
                true,
                "a\\b"},
        Hostile{"a kept result's name that is the folder above",
                One({{"A"}}, {}),
                Sql("SELECT * FROM rs1"),
                {},
                {},
                -2147220495,
                kDriverErrorOf + "Optimized Recordset name '\\.\\.' is not valid\\. Unable to continue\\.",
                true,
                ".."},
        Hostile{"a kept result's name with a space",
                One({{"A"}}, {{Variant("a")}}),
                Sql("SELECT * FROM rs1"),
                {"A"},
                {"a"},
                0,
                "",
                true,
                "my result"},
        Hostile{
            "an entry for a kept result with a path",
            [] {
              return std::vector<Input>{{"../../etc/passwd", nullptr}};
            },
            Sql("SELECT * FROM rs1"),
            {},
            {},
            -2147220500,
            kDriverErrorOf + "Optimized Recordset '\\.\\./\\.\\./etc/passwd' does not exist\\. Unable to continue\\."}),
    testing::NameFromWhat());

const std::string k1010 = kDriverErrorOf +
                          "Unable to create temporary folder: {folder}/VDL[0-9]+\r\n"
                          "Check that the user has permission to create this folder\\.";

INSTANTIATE_TEST_SUITE_P(
    TempFileFolders, HostileInputs,
    ::testing::Values(Hostile{"a temp file folder that does not exist",
                              One({{"A"}}, {}),
                              Sql("SELECT * FROM rs1"),
                              {},
                              {},
                              -2147220494,
                              kDriverErrorOf + "Unable to create temporary folder: .*/missing/VDL[0-9]+\r\nCheck that "
                                               "the user has permission to create this folder\\.",
                              false,
                              "",
                              "{root}/missing"},
                      Hostile{"a temp file folder that is a file",
                              One({{"A"}}, {}),
                              Sql("SELECT * FROM rs1"),
                              {},
                              {},
                              -2147220494,
                              kDriverErrorOf +
                                  "Unable to create temporary folder: .*/a-file/VDL[0-9]+\r\nCheck that the user has "
                                  "permission to create this folder\\.",
                              false,
                              "",
                              "{root}/a-file"},
                      Hostile{"a temp file folder with a trailing slash",
                              One({{"A"}}, {{Variant("a")}}),
                              Sql("SELECT * FROM rs1"),
                              {"A"},
                              {"a"},
                              0,
                              "",
                              false,
                              "",
                              "{root}/queries/"}),
    testing::NameFromWhat());

// A folder the process may not write to. Permission bits do not stop root,
// so the query runs in a child process that first gives up root's power to
// write regardless of them; where even that leaves the folder writable, the
// test is skipped.
class ReadOnlyTempFileFolder : public testing::TempRootTest {
 protected:
  // Drops the capabilities that let a process pass permission bits.
  static bool DropPermissionOverrides() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
      data[cap / 32].effective &= ~(1u << (cap % 32));
      data[cap / 32].permitted &= ~(1u << (cap % 32));
    }
    return ::syscall(SYS_capset, &header, data) == 0;
  }
};

TEST_F(ReadOnlyTempFileFolder, EndsExecuteWith1010AndLeavesNothing) {
  const std::string readOnly = Root() + "/read-only";
  fs::CreateFolder(readOnly, 0555);
  constexpr int kCannotMakeReadOnly = 77;
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(pipeEnds[0]);
    if (::geteuid() == 0 && !DropPermissionOverrides()) ::_exit(kCannotMakeReadOnly);
    if (::mkdir((readOnly + "/probe").c_str(), 0700) == 0) ::_exit(kCannotMakeReadOnly);
    std::string report;
    {
      Ref<Vendrel> query = Vendrel::Create();
      Ref<QueryDataSource> source = QueryDataSource::Create();
      source->RecordsetCollection()->Add(MakeRecordset({{"A"}}, {{Variant("a")}}), "rs1");
      const testing::CaughtError caught = testing::CatchError(
          [&] { query->Execute(source, "SELECT * FROM rs1", adOpenStatic, adLockReadOnly, false, "", readOnly); });
      report = std::to_string(caught.number) + "\n" + caught.source + "\n" + caught.description;
    }
    const bool written = ::write(pipeEnds[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
    ::_exit(written ? 0 : 1);
  }
  ::close(pipeEnds[1]);
  std::string report;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<size_t>(n));
  ::close(pipeEnds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == kCannotMakeReadOnly)
    GTEST_SKIP() << "this process cannot be kept from writing to a folder";
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(std::regex_match(report, std::regex("-2147220494\nVendrel\n\\[Vendrel\\] Unable to create temporary "
                                                  "folder: " +
                                                  readOnly +
                                                  "/VDL[0-9]+\r\nCheck that the user has "
                                                  "permission to create this folder\\.")))
      << report;
  EXPECT_EQ(Tree(), (std::set<std::string>{"read-only"}));
}

}  // namespace
}  // namespace vendrel

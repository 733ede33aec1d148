// Queries through the text driver, end to end: the demonstration example,
// kept results, every failure a caller can provoke, and several processes
// sharing one folder for their queries.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <regex>

#include "engine_test_support.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/driver/driver.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel {
namespace {

using testing::CatchError;
using testing::CaughtError;

using testing::kUnknownCause;

using testing::kExample1Rows;
using testing::RowsOf;
using testing::Sorted;

std::vector<std::string> FieldNamesOf(const Ref<Recordset>& rs) {
  std::vector<std::string> names;
  for (long i = 0; i < rs->Fields().Count(); ++i) names.push_back(rs->Fields()[i].Name());
  return names;
}

class EndToEndTest : public testing::TempRootTest {
 protected:
  Ref<QueryDataSource> Example1Source() { return testing::Example1Source(); }
  std::string FolderName(const std::string& path) { return std::filesystem::path(path).filename().string(); }
};

TEST_F(EndToEndTest, Example1GivesNineRowsOfThreeColumnsAndLeavesOnlyTheObjectsFolder) {
  Ref<Vendrel> query = Vendrel::Create();
  Ref<Recordset> result = query->Execute(Example1Source(), testing::kExample1Sql, adOpenStatic, adLockReadOnly);
  EXPECT_EQ(FieldNamesOf(result), (std::vector<std::string>{"PRODUCT", "SUPPLIER", "COUNTRY"}));
  EXPECT_EQ(result->RecordCount(), 9);
  EXPECT_EQ(Sorted(RowsOf(result)), kExample1Rows);
  EXPECT_EQ(Tree(), (std::set<std::string>{FolderName(query->OptimizedFolder())}));
  query.reset();
  EXPECT_TRUE(Tree().empty());
  EXPECT_EQ(result->RecordCount(), 9);  // the result is the caller's, disconnected
}

TEST_F(EndToEndTest, AQueryEndingInARecordsetNameRuns) {
  Ref<Vendrel> query = Vendrel::Create();
  Ref<Recordset> result = query->Execute(Example1Source(), "SELECT * FROM rs2", adOpenStatic, adLockReadOnly);
  EXPECT_EQ(result->RecordCount(), 6);
}

TEST_F(EndToEndTest, DuplicateColumnNamesAreQualifiedByTheirRecordsetNames) {
  Ref<Vendrel> query = Vendrel::Create();
  Ref<Recordset> result = query->Execute(
      Example1Source(), "SELECT rs1.PRODUCT, rs1.SUPPLIER, rs2.SUPPLIER FROM rs1 INNER JOIN rs2 ON rs1.SUPPLIER=rs2.SUPPLIER",
      adOpenStatic, adLockReadOnly);
  EXPECT_EQ(FieldNamesOf(result), (std::vector<std::string>{"PRODUCT", "rs1.SUPPLIER", "rs2.SUPPLIER"}));
  EXPECT_EQ(result->RecordCount(), 8);
}

TEST_F(EndToEndTest, ValuesOfEveryKindComeBackAsTheyWent) {
  auto rs = testing::MakeRecordset({{"Id", adInteger, 0},
                                    {"Name", adVarWChar, 50},
                                    {"Price", adCurrency, 0},
                                    {"Ratio", adDouble, 0},
                                    {"Added", adDate, 0},
                                    {"Active", adBoolean, 0},
                                    {"Big", adBigInt, 0}},
                                   {{Variant::Long(40000), Variant("tab\there"), Variant(Currency{12345}),
                                     Variant::Double(0.1 + 0.2), Variant(*MakeDate(2003, 1, 2, 13, 4, 5)),
                                     Variant::Boolean(true), Variant::BigInt(9007199254740993LL)},
                                    {Variant::Long(-1), Variant::Null(), Variant::Null(), Variant::Null(),
                                     Variant::Null(), Variant::Boolean(false), Variant::Null()}});
  Ref<QueryDataSource> source = QueryDataSource::Create();
  source->RecordsetCollection()->Add(rs, "rs1");
  Ref<Vendrel> query = Vendrel::Create();
  Ref<Recordset> result = query->Execute(source, "SELECT * FROM rs1 ORDER BY rs1.Id DESC", adOpenStatic, adLockReadOnly);
  EXPECT_EQ(RowsOf(result), (std::vector<std::string>{
                                "40000|tab\there|1.2345|0.3|1/2/2003 1:04:05 PM|True|9007199254740993",
                                "-1|<null>|<null>|<null>|<null>|False|<null>"}));
  result->MoveFirst();
  EXPECT_EQ(result->Fields()[3].Value(), Variant::Double(0.1 + 0.2));
}

TEST_F(EndToEndTest, InputsWithoutRowsAndForwardOnlyInputsAreRead) {
  // A forward-only input cannot count its rows; one without rows has none to move to.
  const std::string folder = Root() + "/input";
  fs::CreateFolder(folder);
  fs::OutputFile(folder + "/empty.txt", fs::OutputFile::Mode::Create).Write("A\r\n");
  fs::OutputFile(folder + "/filled.txt", fs::OutputFile::Mode::Create).Write("A\r\n1\r\n2\r\n");
  driver::RegisterProviders();
  Ref<Connection> cn = Connection::Create();
  cn->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder + ";Extended Properties=\"text;HDR=Yes;FMT=Delimited;\";");
  Ref<Recordset> empty = Recordset::Create();
  empty->Open(Variant("SELECT * FROM empty.txt"), Variant(cn));
  Ref<Recordset> full = Recordset::Create();
  full->Open(Variant("SELECT * FROM filled.txt"), Variant(cn));
  ASSERT_EQ(empty->RecordCount(), -1);
  Ref<Recordset> noRows = testing::MakeRecordset({{"A", adInteger, 0}});

  Ref<QueryDataSource> source = QueryDataSource::Create();
  source->RecordsetCollection()->Add(empty, "rs1");
  source->RecordsetCollection()->Add(full, "rs2");
  source->RecordsetCollection()->Add(noRows, "rs3");
  Ref<Vendrel> query = Vendrel::Create();
  EXPECT_EQ(query->Execute(source, "SELECT * FROM rs1", adOpenStatic, adLockReadOnly)->RecordCount(), 0);
  EXPECT_EQ(RowsOf(query->Execute(source, "SELECT * FROM rs2", adOpenStatic, adLockReadOnly)),
            (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(query->Execute(source, "SELECT rs2.A, rs3.A FROM rs3 RIGHT OUTER JOIN rs2 ON rs3.A=rs2.A", adOpenDynamic,
                           adLockOptimistic)
                ->RecordCount(),
            2);
}

TEST_F(EndToEndTest, AKeptResultIsReadBackExactlyByTheSameObjectAndRefusedByAnother) {
  Ref<Vendrel> query = Vendrel::Create();
  Ref<Recordset> kept = query->Execute(
      Example1Source(),
      "SELECT rs1.PRODUCT, rs2.COUNTRY, rs1.PRODUCT & Chr(9) & \"x\"\"y\" & Chr(13) & Chr(10) AS Tricky, 0.1 + 0.2 AS "
      "Ratio FROM rs1 LEFT OUTER JOIN rs2 ON rs1.SUPPLIER=rs2.SUPPLIER",
      adOpenStatic, adLockReadOnly, true, "rs3");
  EXPECT_EQ(kept->RecordCount(), 9);
  EXPECT_EQ(kept->AbsolutePosition(), 1);

  Ref<QueryDataSource> source = QueryDataSource::Create();
  source->RecordsetCollection()->Add(nullptr, "rs3", true);
  Ref<Recordset> again = query->Execute(source, "SELECT rs3.PRODUCT, rs3.Tricky, rs3.Ratio FROM rs3 WHERE rs3.COUNTRY = 'UK'",
                                        adOpenStatic, adLockReadOnly);
  EXPECT_EQ(Sorted(RowsOf(again)), Sorted({"Carpet|Carpet\tx\"y\r\n|0.3", "Windshield|Windshield\tx\"y\r\n|0.3"}));
  again->MoveFirst();
  EXPECT_EQ(again->Fields()[2].Value(), Variant::Double(0.1 + 0.2));

  Ref<Vendrel> other = Vendrel::Create();
  EXPECT_COMPONENT_ERROR(CatchError([&] { other->Execute(source, "SELECT * FROM rs3", adOpenStatic, adLockReadOnly); }),
                         -2147220500, "[Vendrel] Optimized Recordset 'rs3' does not exist. Unable to continue.");
  // The name as the caller wrote it, not the stored spelling.
  Ref<QueryDataSource> upper = QueryDataSource::Create();
  upper->RecordsetCollection()->Add(nullptr, "RS3", true);
  EXPECT_COMPONENT_ERROR(CatchError([&] { other->Execute(upper, "SELECT * FROM RS3", adOpenStatic, adLockReadOnly); }),
                         -2147220500, "[Vendrel] Optimized Recordset 'RS3' does not exist. Unable to continue.");
}

// The failures a caller can provoke, each followed by a query that runs.
struct Provoked {
  const char* what;
  std::function<Ref<Recordset>(Vendrel&, const std::string& root)> run;
  long number;
  std::string description;  // a regular expression
};

void PrintTo(const Provoked& c, std::ostream* os) { *os << c.what; }

Ref<QueryDataSource> Example1() { return testing::Example1Source(); }

Ref<Recordset> RunSql(Vendrel& query, const std::string& sql) {
  return query.Execute(Example1(), sql, adOpenStatic, adLockReadOnly);
}

class ProvokedFailures : public EndToEndTest, public ::testing::WithParamInterface<Provoked> {};

TEST_P(ProvokedFailures, ReachTheCallerInTheComponentsWordsAndTheNextQueryRuns) {
  const Provoked& c = GetParam();
  Ref<Vendrel> query = Vendrel::Create();
  const CaughtError caught = CatchError([&] { c.run(*query, Root()); });
  EXPECT_TRUE(caught.thrown);
  EXPECT_EQ(caught.number, c.number);
  EXPECT_EQ(caught.source, "Vendrel");
  EXPECT_TRUE(std::regex_match(caught.description, std::regex(c.description))) << caught.description;
  EXPECT_EQ(Tree(), (std::set<std::string>{FolderName(query->OptimizedFolder())}));
  Ref<Recordset> result = RunSql(*query, testing::kExample1Sql);
  EXPECT_EQ(Sorted(RowsOf(result)), kExample1Rows);
}

INSTANTIATE_TEST_SUITE_P(
    Execute, ProvokedFailures,
    ::testing::Values(
        Provoked{"missing operator",
                 [](Vendrel& q, const std::string&) { return RunSql(q, "SELECT rs1.PRODUCT rs1.SUPPLIER x FROM rs1"); },
                 -2147220497,
                 "\\[Vendrel\\] SQL syntax error \\(missing Operator\\) in query expression\\. Near 'rs1' at "
                 "character 20\\."},
        Provoked{"unknown column",
                 [](Vendrel& q, const std::string&) { return RunSql(q, "SELECT rs1.NOPE FROM rs1"); }, -2147220497,
                 "\\[Vendrel\\] The VDL Component does not recognize 'rs1\\.NOPE' as a valid field name or "
                 "expression\\.( Did you mean 'rs1\\.PRODUCT'\\?)? Near 'rs1\\.NOPE' at character 8\\."},
        Provoked{"unknown table", [](Vendrel& q, const std::string&) { return RunSql(q, "SELECT * FROM rs9"); },
                 -2147220497,
                 "\\[Vendrel\\] The VDL Component cannot find the input table or query 'rs9'\\.  Make sure it exists "
                 "and that its name is spelled correctly\\. Did you mean 'rs1'\\? Near 'rs9' at character 15\\."},
        Provoked{"recordset not set",
                 [](Vendrel& q, const std::string&) {
                   Ref<QueryDataSource> source = Example1();
                   source->RecordsetCollection()->Add(nullptr, "rs3");
                   return q.Execute(source, "SELECT * FROM rs1", adOpenStatic, adLockReadOnly);
                 },
                 -2147220501,
                 "\\[Vendrel\\] Recordset \\(rs3\\) has not been set or no fields exist in the Recordset\\. Unable to "
                 "continue\\."},
        Provoked{"optimized result missing",
                 [](Vendrel& q, const std::string&) {
                   Ref<QueryDataSource> source = Example1();
                   source->RecordsetCollection()->Add(nullptr, "rs3", true);
                   return q.Execute(source, "SELECT * FROM rs3", adOpenStatic, adLockReadOnly);
                 },
                 -2147220500, "\\[Vendrel\\] Optimized Recordset 'rs3' does not exist\\. Unable to continue\\."},
        Provoked{"optimized name not valid",
                 [](Vendrel& q, const std::string&) {
                   return q.Execute(Example1(), "SELECT * FROM rs1", adOpenStatic, adLockReadOnly, true, "../rs3");
                 },
                 -2147220495, "\\[Vendrel\\] Optimized Recordset name '\\.\\./rs3' is not valid\\. Unable to continue\\."},
        Provoked{"temp file folder missing",
                 [](Vendrel& q, const std::string& root) {
                   return q.Execute(Example1(), "SELECT * FROM rs1", adOpenStatic, adLockReadOnly, false, "",
                                    root + "/missing");
                 },
                 -2147220494,
                 "\\[Vendrel\\] Unable to create temporary folder: .*/missing/VDL[0-9]+\r\nCheck that the user has "
                 "permission to create this folder\\."},
        Provoked{"data source nothing",
                 [](Vendrel& q, const std::string&) {
                   return q.Execute(nullptr, "SELECT * FROM rs1", adOpenStatic, adLockReadOnly);
                 },
                 -2147220502, kUnknownCause},
        Provoked{"lock type the driver refuses",
                 [](Vendrel& q, const std::string&) { return q.Execute(Example1(), "SELECT * FROM rs1", adOpenStatic, 99); },
                 -2147220502, kUnknownCause}),
    testing::NameFromWhat());

// One process's share of the concurrency test: several objects at a time,
// one of them replaced by a new one now and then, many queries each, every
// result checked. Returns the number of wrong results.
int RunManyQueries(const std::string& folder, int process) {
  int wrong = 0;
  auto check = [&](const std::vector<std::string>& got, const std::vector<std::string>& expected) {
    if (got == expected) return;
    if (wrong++ == 0) std::fprintf(stderr, "process %d: %s instead of %s\n", process, got.empty() ? "" : got[0].c_str(),
                                   expected.empty() ? "" : expected[0].c_str());
  };
  std::vector<Ref<Vendrel>> queries;
  for (int i = 0; i < 3; ++i) queries.push_back(Vendrel::Create());
  for (int round = 0; round < 40; ++round) {
    for (size_t q = 0; q < queries.size(); ++q) {
      const std::string tag = std::to_string(process) + "-" + std::to_string(round) + "-" + std::to_string(q);
      auto rs1 = testing::MakeRecordset({{"TAG"}, {"N", adInteger, 0}}, {{Variant(tag), Variant::Long(round)}});
      auto rs2 = testing::MakeRecordset({{"N", adInteger, 0}, {"LABEL"}},
                                        {{Variant::Long(round), Variant("r" + tag)}, {Variant::Long(round + 1), Variant("x")},
                                         {Variant::Long(round), Variant("s" + tag)}});
      Ref<QueryDataSource> source = QueryDataSource::Create();
      source->RecordsetCollection()->Add(rs1, "rs1");
      source->RecordsetCollection()->Add(rs2, "rs2");
      // Every third query keeps its result, and the next one reads it back.
      const bool keep = round % 3 == 0;
      try {
        Ref<Recordset> result = queries[q]->Execute(
            source, "SELECT rs1.TAG, rs1.N, rs2.LABEL FROM rs1 INNER JOIN rs2 ON rs1.N = rs2.N ORDER BY rs2.LABEL",
            adOpenStatic, adLockReadOnly, keep, "kept", folder);
        const std::string n = std::to_string(round);
        check(RowsOf(result), {tag + "|" + n + "|r" + tag, tag + "|" + n + "|s" + tag});
        result = queries[q]->Execute(source, "SELECT rs2.N, Count(*) AS C FROM rs2 GROUP BY rs2.N", adOpenStatic,
                                     adLockReadOnly, false, "", folder);
        check(RowsOf(result), {n + "|2", std::to_string(round + 1) + "|1"});
        if (keep) {
          Ref<QueryDataSource> again = QueryDataSource::Create();
          again->RecordsetCollection()->Add(nullptr, "kept", true);
          result = queries[q]->Execute(again, "SELECT DISTINCT kept.TAG FROM kept", adOpenStatic, adLockReadOnly,
                                       false, "", folder);
          check(RowsOf(result), {tag});
        }
      } catch (const Error& e) {
        if (wrong++ == 0) std::fprintf(stderr, "process %d: %s\n", process, e.Description().c_str());
      }
    }
    if (round % 10 == 9) queries[static_cast<size_t>(round / 10) % queries.size()] = Vendrel::Create();
  }
  return wrong;
}

TEST_F(EndToEndTest, FourProcessesSharingOneQueryFolderNeverDisturbEachOther) {
  constexpr int kProcesses = 4;
  const std::string shared = Root() + "/shared";
  fs::CreateFolder(shared);
  std::vector<pid_t> children;
  for (int process = 1; process <= kProcesses; ++process) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) ::_exit(std::min(RunManyQueries(shared, process), 100));
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << "process " << pid << " ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "wrong results in process " << pid;
  }
  // The objects' own folders (in the shared temporary folder) and every query folder are gone.
  EXPECT_EQ(Tree(), (std::set<std::string>{"shared"}));
}

}  // namespace
}  // namespace vendrel

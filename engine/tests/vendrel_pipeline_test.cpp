// The Execute pipeline with a provider for tests in the text driver's place:
// what the engine writes for the driver, what it does with the driver's
// answers and failures, and what it leaves on disk.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <regex>

#include "engine_test_support.h"
#include "fault_sweep.h"
#include "scripted_provider.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel {
namespace {

using testing::CatchError;
using testing::CaughtError;

using testing::kUnknownCause;
const std::string kJetSource = "Microsoft JET Database Engine";

class PipelineTest : public testing::TempRootTest {
 protected:
  void SetUp() override {
    TempRootTest::SetUp();
    queries_ = Root() + "/queries";
    fs::CreateFolder(queries_);
    scope_.emplace(queries_);
    driver_ = &**scope_;
  }
  void TearDown() override {
    scope_.reset();
    TempRootTest::TearDown();
  }

  Ref<QueryDataSource> Example1Source() {
    Ref<QueryDataSource> source = QueryDataSource::Create();
    source->RecordsetCollection()->Add(testing::Example1Products(), "rs1");
    source->RecordsetCollection()->Add(testing::Example1Suppliers(), "rs2");
    return source;
  }

  Ref<Recordset> Run(Vendrel& query, const Ref<QueryDataSource>& source, const std::string& sql,
                     VariantBool optimize = false, const std::string& name = "", const std::string& altQuote = "") {
    return query.Execute(source, sql, adOpenStatic, adLockReadOnly, optimize, name, queries_, altQuote);
  }
  CaughtError RunFailing(Vendrel& query, const Ref<QueryDataSource>& source, const std::string& sql,
                         VariantBool optimize = false, const std::string& name = "") {
    return CatchError([&] { Run(query, source, sql, optimize, name); });
  }
  // The object runs a query normally and leaves no query folder behind.
  void ExpectNextQueryRuns(Vendrel& query) {
    driver_->onOpen = nullptr;
    driver_->onExecute = nullptr;
    Ref<Recordset> result;
    EXPECT_NO_THROW(result = Run(query, Example1Source(), testing::kExample1Sql));
    EXPECT_TRUE(result && result->RecordCount() == 1);
    EXPECT_TRUE(Entries(queries_).empty());
  }

  std::string queries_;
  std::optional<testing::ScriptedProviderScope> scope_;
  testing::ScriptedProvider* driver_ = nullptr;
};

TEST_F(PipelineTest, Example1ReachesTheDriverAsDataFilesSchemaAndRewrittenSql) {
  Ref<Vendrel> query = Vendrel::Create();
  Ref<QueryDataSource> source = Example1Source();
  Ref<Recordset> products = source->RecordsetCollection()->Item(Variant::Long(1));
  Run(*query, source, testing::kExample1Sql);

  ASSERT_EQ(driver_->calls.size(), 1u);
  const testing::ScriptedCall& call = driver_->calls[0];
  std::smatch m;
  ASSERT_TRUE(std::regex_match(call.command, m,
                               std::regex("SELECT (TEMP[0-9]+)\\.PRODUCT, (TEMP[0-9]+)\\.SUPPLIER, \\2\\.COUNTRY FROM "
                                          "\\1\\.txt \\1 LEFT OUTER JOIN \\2\\.txt \\2 ON \\1\\.SUPPLIER=\\2\\.SUPPLIER ")))
      << call.command;
  const std::string rs1 = m[1], rs2 = m[2];
  EXPECT_EQ(call.files.size(), 3u);
  EXPECT_EQ(call.files.at(rs1 + ".txt"),
            "PRODUCT\tSUPPLIER\r\nWheels\tWHL\r\nBattery\tBTR\r\nSeats\tSES\r\nSRS\tSES\r\nCarpet\tCRT\r\n"
            "Windshield\tCRT\r\nRadio\tRDO\r\nTyres\tTRS\r\nAlloy Wheels\tALS\r\n");
  EXPECT_EQ(call.files.at(rs2 + ".txt"),
            "SUPPLIER\tCOUNTRY\r\nTRS\tGermany\r\nCRT\tUK\r\nRDO\tHolland\r\nSES\tUSA\r\nBTR\tCanada\r\nWHL\tSpain\r\n");
  EXPECT_EQ(call.files.at("schema.ini"),
            "[" + rs1 + ".txt]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n"
            "Col1=PRODUCT Char Width 50\r\nCol2=SUPPLIER Char Width 50\r\n"
            "[" + rs2 + ".txt]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n"
            "Col1=SUPPLIER Char Width 50\r\nCol2=COUNTRY Char Width 50\r\n");
  // The caller's data is open to the owner only.
  EXPECT_EQ(call.modes.at(""), 0700u);
  EXPECT_EQ(call.modes.at(rs1 + ".txt"), 0600u);
  EXPECT_EQ(call.modes.at("schema.ini"), 0600u);

  // One connection while writing, one to run the query, both on the query folder.
  EXPECT_EQ(driver_->connectionStrings, (std::vector<std::string>{call.folder, call.folder}));
  EXPECT_EQ(std::filesystem::path(call.folder).parent_path().string(), queries_);
  EXPECT_EQ(query->QueryFolder(), call.folder);

  EXPECT_EQ(products->AbsolutePosition(), 1);
  EXPECT_TRUE(Entries(queries_).empty());
  EXPECT_EQ(Entries(), (std::set<std::string>{"queries", std::filesystem::path(query->OptimizedFolder()).filename()}));
}

TEST_F(PipelineTest, TheAltQuoteMarkReplacesDoubleQuotesInTheDataFiles) {
  Ref<Vendrel> query = Vendrel::Create();
  Ref<QueryDataSource> source = QueryDataSource::Create();
  source->RecordsetCollection()->Add(testing::MakeRecordset({{"A"}}, {{Variant("say \"hi\"")}}), "rs1");
  Run(*query, source, "SELECT * FROM rs1", false, "", "'");
  ASSERT_EQ(driver_->calls.size(), 1u);
  for (const auto& [name, bytes] : driver_->calls[0].files) {
    if (name != "schema.ini") {
      EXPECT_EQ(bytes, "A\r\nsay 'hi'\r\n");
    }
  }
}

struct DriverFailure {
  const char* what;
  std::string source;
  std::string description;
  long number;                   // what the caller receives
  std::string callerDescription;
};

void PrintTo(const DriverFailure& c, std::ostream* os) { *os << c.what; }

class DriverFailures : public PipelineTest, public ::testing::WithParamInterface<DriverFailure> {};

TEST_P(DriverFailures, ReachTheCallerTranslatedAndTheObjectRunsTheNextQuery) {
  const DriverFailure& c = GetParam();
  Ref<Vendrel> query = Vendrel::Create();
  driver_->onExecute = [&](const testing::ScriptedCall&) -> Ref<RowStore> {
    throw Error(-2147217900, c.source, c.description);
  };
  EXPECT_COMPONENT_ERROR(RunFailing(*query, Example1Source(), testing::kExample1Sql), c.number, c.callerDescription);
  EXPECT_EQ(driver_->calls.size(), 1u);  // a failed statement is not run again
  EXPECT_TRUE(Entries(queries_).empty());
  ExpectNextQueryRuns(*query);
}

INSTANTIATE_TEST_SUITE_P(
    RunQuery, DriverFailures,
    ::testing::Values(
        DriverFailure{"missing operator", kJetSource, "Syntax error (missing operator) in query expression 'x y'.",
                      -2147220497, "[Vendrel] SQL syntax error (missing Operator) in query expression."},
        DriverFailure{"missing table", kJetSource,
                      "The Microsoft Jet database engine cannot find the input table or query 'TEMP12.txt'.  Make "
                      "sure it exists and that its name is spelled correctly.",
                      -2147220497,
                      "[Vendrel] The VDL Component cannot find the input table or query 'TEMP12'.  Make sure it "
                      "exists and that its name is spelled correctly."},
        DriverFailure{"source tested without regard to case", "microsoft jet database engine", "Overflow",
                      -2147220497, "[Vendrel] Overflow"},
        DriverFailure{"error of another source", "DataAccess.Recordset", "Operation is not allowed.", -2147220502,
                      kUnknownCause},
        DriverFailure{"selected collating sequence", kJetSource,
                      "Selected collating sequence not supported by the operating system.", -2147220502,
                      kUnknownCause}),
    testing::NameFromWhat());

TEST_F(PipelineTest, AConnectionThatCannotBeOpenedFails1006WhileWritingAnd1002BeforeTheQuery) {
  Ref<Vendrel> query = Vendrel::Create();
  for (int failingOpen : {1, 2}) {
    driver_->opens = 0;
    driver_->onOpen = [&](int open) {
      if (open == failingOpen) throw Error(-2147467259, kJetSource, "Could not open the folder.");
    };
    const CaughtError caught = RunFailing(*query, Example1Source(), testing::kExample1Sql);
    if (failingOpen == 1)
      EXPECT_COMPONENT_ERROR(caught, -2147220498, "[Vendrel] " + kUnknownCause);
    else
      EXPECT_COMPONENT_ERROR(caught, -2147220502, kUnknownCause);
    EXPECT_TRUE(Entries(queries_).empty());
    ExpectNextQueryRuns(*query);
  }
}

TEST_F(PipelineTest, FieldsTheDriverQualifiesWithADataFileAreNamedByTheRecordset) {
  Ref<Vendrel> query = Vendrel::Create();
  driver_->onExecute = [](const testing::ScriptedCall& call) {
    std::smatch m;
    std::regex_search(call.command, m, std::regex("FROM (TEMP[0-9]+)\\.txt \\1 LEFT OUTER JOIN (TEMP[0-9]+)"));
    auto rows = MakeRef<RowStore>(std::vector<FieldInfo>{
        {"PRODUCT", adVarWChar}, {m[1].str() + ".SUPPLIER", adVarWChar}, {m[2].str() + ".SUPPLIER", adVarWChar}});
    rows->AppendRow({Variant("Wheels"), Variant("WHL"), Variant("WHL")});
    return rows;
  };
  Ref<Recordset> result = Run(*query, Example1Source(), testing::kExample1Sql);
  EXPECT_EQ(result->Fields()[0].Name(), "PRODUCT");
  EXPECT_EQ(result->Fields()[1].Name(), "rs1.SUPPLIER");
  EXPECT_EQ(result->Fields()[2].Name(), "rs2.SUPPLIER");
}

// A result with the values a kept result must store exactly.
Ref<RowStore> TrickyResult(const testing::ScriptedCall&) {
  auto rows = MakeRef<RowStore>(std::vector<FieldInfo>{{"TEMP12.NAME", adVarWChar, 50, adFldMayBeNull},
                                                       {"Ratio", adDouble, 0, adFldMayBeNull},
                                                       {"Added", adDate, 0, adFldMayBeNull},
                                                       {"Unit Price", adCurrency, 0, adFldMayBeNull}});
  rows->AppendRow({Variant("tab\there \"quoted\"\r\nnext"), Variant::Double(0.1 + 0.2),
                   Variant(*MakeDate(2003, 1, 2, 13, 4, 5)), Variant(Currency{15000})});
  rows->AppendRow({Variant("plain"), Variant::Null(), Variant::Null(), Variant::Null()});
  return rows;
}

const char kStoredRows[] =
    "TEMP12.NAME\tRatio\tAdded\tUnit Price\r\n"
    "\"tab\there \"\"quoted\"\"\r\nnext\"\t0.30000000000000004\t1/2/2003 13:04:05\t1.5\r\n"
    "plain\t\t\t\r\n";
const char kStoredSection[] =
    "[rs3.txt]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n"
    "Col1=NAME Char Width 50\r\nCol2=Ratio Double\r\nCol3=Added Date\r\nCol4=\"Unit Price\" Currency\r\n";

TEST_F(PipelineTest, AKeptResultIsStoredExactlyAndReadByLaterQueriesOfTheSameObjectOnly) {
  Ref<Vendrel> query = Vendrel::Create();
  driver_->onExecute = TrickyResult;
  Ref<Recordset> result = Run(*query, Example1Source(), testing::kExample1Sql, true, "rs3");
  EXPECT_EQ(result->AbsolutePosition(), 1);
  EXPECT_EQ(Entries(query->OptimizedFolder()), (std::set<std::string>{"rs3.txt", "schema.ini"}));
  EXPECT_EQ(testing::ReadAll(query->OptimizedFolder() + "/rs3.txt"), kStoredRows);
  EXPECT_EQ(testing::ReadAll(query->OptimizedFolder() + "/schema.ini"), kStoredSection);

  // A later query reads the stored file in place of a recordset.
  driver_->onExecute = nullptr;
  Ref<QueryDataSource> source = QueryDataSource::Create();
  source->RecordsetCollection()->Add(testing::MakeRecordset({{"X"}}), "rs1");
  source->RecordsetCollection()->Add(nullptr, "rs3", true);
  Run(*query, source, "SELECT rs3.Ratio FROM rs1, rs3");
  const testing::ScriptedCall& call = driver_->calls.back();
  std::smatch m;
  ASSERT_TRUE(std::regex_match(call.command, m,
                               std::regex("SELECT rs3\\.Ratio FROM (TEMP[0-9]+)\\.txt \\1,  rs3\\.txt rs3 ")))
      << call.command;
  EXPECT_EQ(call.files.at("rs3.txt"), kStoredRows);
  EXPECT_EQ(call.files.at("schema.ini"),
            std::string(kStoredSection) + "[" + m[1].str() +
                ".txt]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\nCol1=X Char "
                "Width 50\r\n");
  EXPECT_TRUE(Entries(queries_).empty());

  // Another object has no such result.
  Ref<Vendrel> other = Vendrel::Create();
  EXPECT_COMPONENT_ERROR(RunFailing(*other, source, "SELECT rs3.Ratio FROM rs1, rs3"), -2147220500,
                         "[Vendrel] Optimized Recordset 'rs3' does not exist. Unable to continue.");
  ExpectNextQueryRuns(*other);

  // Release takes the stored results with the object's folder.
  const std::string folder = query->OptimizedFolder();
  query.reset();
  EXPECT_FALSE(fs::PathExists(folder));
}

TEST_F(PipelineTest, AnOptimizedEntryThatIsNotAPlainFileNameIsMissingAndNothingOutsideIsTouched) {
  Ref<Vendrel> query = Vendrel::Create();
  for (const std::string& folder : {Root(), queries_}) fs::OutputFile(folder + "/secret.txt", fs::OutputFile::Mode::Create).Write("x");
  Ref<QueryDataSource> source = QueryDataSource::Create();
  source->RecordsetCollection()->Add(nullptr, "../secret", true);
  EXPECT_COMPONENT_ERROR(RunFailing(*query, source, "SELECT * FROM rs1"), -2147220500,
                         "[Vendrel] Optimized Recordset '../secret' does not exist. Unable to continue.");
  EXPECT_TRUE(driver_->calls.empty());
  EXPECT_EQ(testing::ReadAll(Root() + "/secret.txt"), "x");
  EXPECT_EQ(Entries(queries_), (std::set<std::string>{"secret.txt"}));
  query.reset();  // release deletes nothing outside the object's folders either
  EXPECT_TRUE(fs::FileExists(Root() + "/secret.txt"));
  EXPECT_TRUE(fs::FileExists(queries_ + "/secret.txt"));
}

TEST_F(PipelineTest, EntriesWithoutAnOpenRecordsetFail1003NamingTheEntry) {
  Ref<Vendrel> query = Vendrel::Create();
  Ref<Recordset> neverOpened = Recordset::Create();
  neverOpened->Fields().Append("A", adInteger);
  for (const Ref<Recordset>& bad : {Ref<Recordset>(), neverOpened}) {
    Ref<QueryDataSource> source = QueryDataSource::Create();
    source->RecordsetCollection()->Add(testing::MakeRecordset({{"A"}}), "rs1");
    source->RecordsetCollection()->Add(bad, "Orders");
    EXPECT_COMPONENT_ERROR(RunFailing(*query, source, "SELECT * FROM rs1"), -2147220501,
                           "[Vendrel] Recordset (Orders) has not been set or no fields exist in the Recordset. "
                           "Unable to continue.");
    EXPECT_TRUE(Entries(queries_).empty());
    ExpectNextQueryRuns(*query);
  }
}

// Makes each file operation of a query fail in turn: keeping a result, then
// reading it back beside a recordset. Each failure gives the error of its
// step, leaves no query folder and no cut kept result, and the next query runs.
TEST_F(PipelineTest, AFailingFileOperationAnywhereGivesTheErrorOfItsStepAndTheNextQueryRuns) {
  Ref<Vendrel> query = Vendrel::Create();
  driver_->onExecute = TrickyResult;
  auto keep = [&] { Run(*query, Example1Source(), testing::kExample1Sql, true, "rs3"); };
  auto reuse = [&] {
    Ref<QueryDataSource> source = Example1Source();
    source->RecordsetCollection()->Add(nullptr, "rs3", true);
    Run(*query, source, "SELECT * FROM rs1, rs3");
  };
  std::set<long> seen;
  for (const auto& step : {std::function<void()>(keep), std::function<void()>(reuse)}) {
    step();
    const long operations = testing::SweepFileOperations([] {}, step, [&](const testing::FailedRun& run) {
      EXPECT_FAILED_RUN_GIVES(run, testing::ExpectedFor(run, queries_, query->OptimizedFolder(),
                                                         testing::QueryDriver::Scripted));
      if (run.caught.thrown) seen.insert(run.caught.number);
      EXPECT_TRUE(Entries(queries_).empty()) << "operation " << run.k;
      // A kept result is there whole or not at all.
      if (Entries(query->OptimizedFolder()).contains("rs3.txt")) {
        EXPECT_EQ(testing::ReadAll(query->OptimizedFolder() + "/rs3.txt"), kStoredRows) << "operation " << run.k;
      }
      EXPECT_NO_THROW(step()) << "after operation " << run.k;
    });
    EXPECT_GT(operations, 10);
  }
  // 1001, 1002, 1006, 1010, 1011, 1012: every step that works on files.
  EXPECT_EQ(seen, (std::set<long>{-2147220503, -2147220502, -2147220498, -2147220494, -2147220493, -2147220492}));
}

}  // namespace
}  // namespace vendrel

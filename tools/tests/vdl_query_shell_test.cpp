// vdl-query without a statement: statements and dot commands from standard
// input, with one query object and data source throughout; on a terminal,
// the interactive shell.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "vdl_query_test_support.h"
#include "vendrel/driver/dialect.h"

namespace vendrel::vdlquery::testing {
namespace {

using ShellTest = VdlQueryTest;

TEST_F(ShellTest, SavedResultIsQueriedAsAnOptimizedInputWithoutItsSources) {
  WriteExampleInputs();
  const RunResult r = Run({"-i", "rs1=a.csv", "-i", "rs2=b.csv", "-f", "csv"},
                          std::string(kExampleSql) + ";\n"
                                                     ".save joined\n"
                                                     ".remove rs1\n"
                                                     ".remove rs2\n"
                                                     "SELECT joined.PRODUCT, joined.COUNTRY FROM joined WHERE "
                                                     "joined.COUNTRY IS NULL OR joined.COUNTRY='UK';\n");
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("", r.err);
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(14u, lines.size()) << r.out;
  EXPECT_EQ("Alloy Wheels,,", lines[9]);
  EXPECT_EQ((std::vector<std::string>{"PRODUCT,COUNTRY", "Carpet,UK", "Windshield,UK", "Alloy Wheels,"}),
            std::vector<std::string>(lines.begin() + 10, lines.end()));
  EXPECT_TRUE(TempFolderContents().empty());
}

TEST_F(ShellTest, TablesListsEntriesWithFieldsAndTypesAndLoadReplacesByName) {
  WriteExampleInputs();
  WriteFile("n.tsv", "Id\tPrice\tWhen\tOk\n1\t2.5\t2003-01-02\tTrue\n");
  const RunResult r = Run({"-i", "rs1=a.csv", "-f", "tsv"},
                          ".tables\n"
                          ".load numbers n.tsv\n"
                          "SELECT Id FROM numbers;\n"
                          ".save kept\n"
                          ".load RS1 b.csv\n"
                          ".tables\n");
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(
      "rs1  a.csv, 9 rows\n"
      "  PRODUCT   Text (202)\n"
      "  SUPPLIER  Text (202)\n"
      "Id\n1\n"
      "numbers  n.tsv, 1 row\n"
      "  Id     Long (3)\n"
      "  Price  Double (5)\n"
      "  When   DateTime (7)\n"
      "  Ok     Boolean (11)\n"
      "kept  saved result, 1 row\n"
      "  Id  Long (3)\n"
      "RS1  b.csv, 6 rows\n"
      "  SUPPLIER  Text (202)\n"
      "  COUNTRY   Text (202)\n",
      r.out);
}

TEST_F(ShellTest, FailedStatementsAndCommandsAreReportedAndTheNextOneRuns) {
  WriteExampleInputs();
  const RunResult r = Run({"-i", "rs1=a.csv", "-f", "csv"},
                          ".save early\n"
                          "SELECT * FROM nothing;\n"
                          ".save after_failure\n"
                          "SELECT COUNT(*) AS N FROM rs1;\n"
                          ".remove nothing\n"
                          ".load x missing.csv\n"
                          ".load x a.dat\n"
                          ".load x -\n"
                          ".format xml\n"
                          ".save 9lives\n"
                          ".bogus\n"
                          ".save\n"
                          "SELECT MAX(rs1.PRODUCT) AS M FROM rs1;\n");
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("N\n9\nM\nWindshield\n", r.out);
  const std::vector<std::string> expected = {
      "vdl-query: there is no result to save: run a statement first",
      "Error Description: [Vendrel] The VDL Component cannot find the input table or query 'nothing'.  Make sure it "
      "exists and that its name is spelled correctly. Near 'nothing' at character 15.",
      "Error Number: -2147220497",
      "Error Source: Vendrel",
      "  SELECT * FROM nothing;",
      "                ^",
      "vdl-query: there is no result to save: run a statement first",
      "vdl-query: there is no input named 'nothing'",
      "vdl-query: cannot open 'missing.csv': No such file or directory",
      "vdl-query: cannot tell the format of 'a.dat': name a .csv, .tsv, .tab or .txt file, or give --input-format "
      "csv or tsv",
      "vdl-query: standard input holds the statements here: .load reads files only",
      "vdl-query: usage: .format table|tsv|csv|json|ndjson|markdown|box",
      "vdl-query: '9lives' is not a recordset name: use letters, digits and _, not starting with a digit",
      "vdl-query: unknown command .bogus (.help lists the commands)",
      "vdl-query: usage: .save NAME",
  };
  EXPECT_EQ(expected, Lines(r.err));
  EXPECT_TRUE(TempFolderContents().empty());
}

TEST_F(ShellTest, ContinuedLinesFormatChangesAndQuitEndTheInput) {
  WriteExampleInputs();
  const RunResult r = Run({"-i", "rs1=a.csv", "-f", "csv"},
                          "SELECT rs1.PRODUCT \\\n"
                          "FROM rs1 \\\r\n"
                          "WHERE rs1.SUPPLIER='SES';\n"
                          "\n"
                          ".format\n"
                          ".format JSON\n"
                          "SELECT COUNT(*) AS N FROM rs1;\n"
                          ".format table\n"
                          "  .quit\n"
                          "SELECT 1 FROM rs1;\n");
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(
      "PRODUCT\nSeats\nSRS\ncsv\n{\"columns\":[{\"name\":\"N\",\"type\":3,\"typeName\":\"Long\"}],\"rows\":[[9]]}\n", r.out);
}

TEST_F(ShellTest, StatementsEndAtASemicolonOutsideQuotesAndBrackets) {
  WriteExampleInputs();
  const RunResult r = Run({"-i", "rs1=a.csv", "-f", "csv"},
                          "SELECT rs1.PRODUCT\n"
                          "FROM rs1\n"
                          "\n"
                          "WHERE rs1.SUPPLIER = 'SES';\n"
                          "SELECT 'a;b' AS [x;y] FROM rs1 WHERE rs1.PRODUCT='SRS'; SELECT COUNT(*) AS N\n"
                          "  FROM rs1;  ;\n"
                          "SELECT \"it's\" AS Q FROM rs1 WHERE rs1.PRODUCT = 'Radio'\n");  // the last needs none
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("", r.err);
  EXPECT_EQ("PRODUCT\nSeats\nSRS\nx;y\na;b\nN\n9\nQ\nit's\n", r.out);
}

// A declaration's ";" does not end its statement; a crosstab's result is
// kept and queried by its pivot values' columns.
TEST_F(ShellTest, DeclarationsAndCrosstabsRunAndACrosstabIsSaved) {
  WriteExampleInputs();
  const RunResult r = Run({"-i", "rs1=a.csv", "-f", "csv"},
                          "PARAMETERS [Who] Text;\n"
                          "SELECT COUNT(*) AS N FROM rs1;\n"
                          "TRANSFORM Count(*) SELECT rs1.SUPPLIER FROM rs1 GROUP BY rs1.SUPPLIER\n"
                          "  PIVOT Len(rs1.PRODUCT) IN (5, 6);\n"
                          ".save bylen\n"
                          "SELECT bylen.SUPPLIER FROM bylen WHERE bylen.[5] = 1;\n"
                          "PARAMETERS [Who] Text; SELECT rs1.PRODUCT FROM rs1 WHERE rs1.SUPPLIER = Who;\n");
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("N\n9\nSUPPLIER,5,6\nALS,,\nBTR,,\nCRT,,1\nRDO,1,\nSES,1,\nTRS,1,\nWHL,,1\nSUPPLIER\nRDO\nSES\nTRS\n", r.out);
  EXPECT_NE(r.err.find("No value given for one or more required parameters."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("'Who'"), std::string::npos) << r.err;
  EXPECT_TRUE(TempFolderContents().empty());
}

// Comments are white space, in piped statements and in files read, and a
// line of comments alone is no statement: a command may follow it.
TEST_F(ShellTest, CommentsOutsideQuotesAndBracketsAreIgnoredInPipedAndReadStatements) {
  WriteExampleInputs();
  const std::string script =
      "-- the products; of 'SES'\n"
      "/* a comment\n"
      "   over lines; with \"quotes */\n"
      ".format csv\n"
      "SELECT rs1.PRODUCT -- rs1.SUPPLIER;\n"
      "FROM rs1 /* ; */ WHERE rs1.SUPPLIER = 'SES' -- it's the last line;\n"
      ";\n"
      "SELECT '--' AS [/*], \"a;--b\" AS c FROM rs1 WHERE rs1.PRODUCT = 'SRS'; -- ;\n";
  WriteFile("script.sql", script);
  const std::string expected = "PRODUCT\nSeats\nSRS\n/*,c\n--,a;--b\n";
  const RunResult piped = Run({"-i", "rs1=a.csv", "-f", "tsv"}, script);
  EXPECT_EQ(0, piped.status) << piped.err;
  EXPECT_EQ("", piped.err);
  EXPECT_EQ(expected, piped.out);
  const RunResult read = Run({"-i", "rs1=a.csv", "-f", "tsv"}, ".read script.sql\n");
  EXPECT_EQ(0, read.status) << read.err;
  EXPECT_EQ(expected, read.out);
}

// A statement's error shows its line with a caret under the place the
// description names, counted in the characters of that statement.
TEST_F(ShellTest, AnErrorPointsAtThePlaceInTheStatementsOwnLine) {
  WriteExampleInputs();
  const RunResult r = Run({"-i", "rs1=a.csv", "-f", "csv"},
                          "SELECT rs1.PRODUCT,\n"
                          "\t'é日' AS x,\n"
                          "\t'é日' AS x, FROM rs1;\n"
                          "SELECT UPPER(rs1.PRODUCT) FROM rs1;\n");
  EXPECT_EQ(1, r.status);
  const std::vector<std::string> lines = Lines(r.err);
  ASSERT_EQ(10u, lines.size()) << r.err;
  EXPECT_EQ("Error Description: [Vendrel] SQL syntax error (missing Operator) in query expression. Near 'FROM' at "
            "character 45.",
            lines[0]);
  EXPECT_EQ("  \t'é日' AS x, FROM rs1;", lines[3]);
  EXPECT_EQ("  \t            ^", lines[4]);  // "é日" is three columns wide
  EXPECT_EQ("Error Description: [Vendrel] Undefined function 'UPPER' in expression. This dialect's name for it is "
            "UCase. Near 'UPPER' at character 8.",
            lines[5]);
  EXPECT_EQ("  SELECT UPPER(rs1.PRODUCT) FROM rs1;", lines[8]);
  EXPECT_EQ("         ^", lines[9]);
}

TEST_F(ShellTest, ReadRunsAFileOutputRedirectsResultsAndTimerTimesStatements) {
  WriteExampleInputs();
  WriteFile("inner.sql", "SELECT COUNT(*) AS N\nFROM rs1;\nSELECT * FROM nothing;\n.mode tsv\n");
  WriteFile("outer.sql", ".read inner.sql\nSELECT rs1.PRODUCT FROM rs1 WHERE rs1.SUPPLIER='BTR';\n");
  const RunResult r = Run({"-i", "rs1=a.csv", "-f", "csv"},
                          ".read outer.sql\n"
                          ".mode\n"
                          ".output out.txt\n"
                          "SELECT COUNT(*) AS N FROM rs1 WHERE rs1.SUPPLIER='SES';\n"
                          ".output\n"
                          ".timer on\n"
                          "SELECT COUNT(*) AS N FROM rs1;\n"
                          ".timer off\n"
                          "SELECT COUNT(*) AS N FROM rs1;\n"
                          ".read missing.sql\n");
  EXPECT_EQ(1, r.status);
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(10u, lines.size()) << r.out;
  EXPECT_EQ((std::vector<std::string>{"N", "9", "PRODUCT", "Battery", "tsv", "N", "9"}),
            std::vector<std::string>(lines.begin(), lines.begin() + 7));
  EXPECT_EQ(0u, lines[7].find("Run Time: real ")) << lines[7];
  EXPECT_NE(std::string::npos, lines[7].find(" user ")) << lines[7];
  EXPECT_EQ("N", lines[8]);
  EXPECT_EQ("9", lines[9]);
  std::ifstream written(Path("out.txt"));
  EXPECT_EQ("N\n2\n", std::string(std::istreambuf_iterator<char>(written), std::istreambuf_iterator<char>()));
  const std::vector<std::string> errors = Lines(r.err);
  ASSERT_EQ(6u, errors.size()) << r.err;  // the description, number and source, the statement and its caret
  EXPECT_EQ(0u, errors[0].find("Error Description: [Vendrel] The VDL Component cannot find the input table or query 'nothing'"));
  EXPECT_EQ("vdl-query: cannot open 'missing.sql': No such file or directory", errors[5]);
}

TEST_F(ShellTest, ReadThatReadsItselfStopsAtTheNestingLimit) {
  WriteExampleInputs();
  WriteFile("self.sql", "SELECT COUNT(*) AS N FROM rs1;\n.read self.sql\n");
  const RunResult r = Run({"-i", "rs1=a.csv", "-f", "csv"}, ".read self.sql\n");
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(16u * 2, Lines(r.out).size());
  EXPECT_EQ("vdl-query: .read nests more than 16 files deep at 'self.sql'\n", r.err);
}

TEST_F(ShellTest, HelpListsTheCommands) {
  const RunResult r = Run({}, ".help");  // a last line without its line end
  EXPECT_EQ(0, r.status) << r.err;
  for (const char* command : {".load NAME FILE", ".save NAME", ".remove NAME", ".format [FMT]", ".mode [FMT]",
                              ".read FILE", ".output [FILE]", ".timer on|off", ".tables", ".schema [NAME]",
                              ".functions", ".help", ".quit"})
    EXPECT_NE(std::string::npos, r.out.find(std::string("\n") + command)) << command;
}

TEST_F(ShellTest, SchemaShowsEachInputsColumnsAsAStatementNamesThem) {
  WriteExampleInputs();
  WriteFile("odd.csv", "Unit Price,select,n\n1.5,x,3\n");
  const RunResult r = Run({"-i", "rs1=a.csv", "-i", "odd=odd.csv"}, ".schema\n.schema ODD\n.schema rs3\n");
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("rs1 (PRODUCT Text, SUPPLIER Text)\nodd ([Unit Price] Double, [select] Text, n Long)\n"
            "odd ([Unit Price] Double, [select] Text, n Long)\n",
            r.out);
  EXPECT_EQ("vdl-query: there is no input named 'rs3'; did you mean 'rs1'?\n", r.err);
}

// Every function of the driver's table, once, with its arguments.
TEST_F(ShellTest, FunctionsListsTheDialectsFunctionsWithTheirArguments) {
  const RunResult r = Run({}, ".functions\n");
  EXPECT_EQ(0, r.status) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  const std::vector<driver::DialectFunction> functions = driver::DialectFunctions();
  ASSERT_EQ(functions.size() + 2, lines.size()) << r.out;  // and the two headings
  for (const driver::DialectFunction& f : functions) {
    const std::string line = "  " + std::string(f.name) + "(" + std::string(f.arguments) + ")";
    EXPECT_EQ(1, std::count(lines.begin(), lines.end(), line)) << line;
  }
  EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "  Mid(text, start[, length])"));
  const auto aggregates = std::find(lines.begin(), lines.end(), "Aggregates, over the rows of each group:");
  ASSERT_NE(lines.end(), aggregates);
  EXPECT_NE(lines.end(), std::find(aggregates, lines.end(), "  Sum(expression)"));
}

// A file whose lines end in CR alone reads as lines.
TEST_F(ShellTest, ReadTakesLinesEndedByCarriageReturnsAlone) {
  WriteExampleInputs();
  WriteFile("old.sql", ".format csv\rSELECT COUNT(*) AS N\rFROM rs1;\r");
  const RunResult r = Run({"-i", "rs1=a.csv"}, ".read old.sql\n");
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("N\n9\n", r.out);
}

TEST_F(ShellTest, SaveReplacesAnEntryOfThatNameAndNotesAResultThatChanged) {
  WriteExampleInputs();
  WriteFile("c.csv", "PRODUCT,SUPPLIER\nNew,NEW\n");
  const RunResult r = Run({"-i", "rs1=a.csv", "-f", "csv"},
                          "SELECT COUNT(*) AS N FROM rs1;\n"
                          ".load rs1 c.csv\n"
                          ".save rs1\n"
                          "SELECT * FROM rs1;\n");
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("N\n9\nN\n1\n", r.out);
  EXPECT_EQ(
      "vdl-query: note: the statement gave another result when run again to be saved; rs1 holds the new one\n",
      r.err);
}

TEST_F(ShellTest, InterruptWhileWaitingForInputEndsAfterRemovingTheQueryObjectsFolder) {
  WriteExampleInputs();
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    Process process({"-i", "rs1=a.csv", "-f", "csv"}, scratch_, temp_);
    process.Write("SELECT COUNT(*) AS N FROM rs1;\n");
    ASSERT_TRUE(process.ReadUntil("N\n9\n"));
    EXPECT_FALSE(TempFolderContents().empty());  // the query object's own folder
    process.Signal(signal);
    const RunResult r = process.Finish();
    EXPECT_EQ(128 + signal, r.status) << r.err;
    EXPECT_TRUE(TempFolderContents().empty());
  }
}

// Any file under the folder whose name starts with `prefix`. The program
// makes and removes folders there meanwhile, so a walk may fail half way: it
// then says no, and the caller asks again.
bool HoldsFileStartingWith(const std::string& folder, const std::string& prefix) {
  std::error_code ec;
  for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename().string().rfind(prefix, 0) == 0) return true;
  return false;
}

// Inputs whose cross product takes minutes to count, and the statement.
std::string SlowRows() {
  std::string rows = "K\n";
  for (int i = 0; i < 3000; ++i) rows += std::to_string(i) + "\n";
  return rows;
}
constexpr const char* kSlowSql = "SELECT COUNT(*) AS C FROM a, b, c WHERE a.K + b.K <> c.K - 1";
const std::vector<std::string> kSlowInputs = {"-i", "a=n.csv", "-i", "b=n.csv", "-i", "c=n.csv"};

// Waits (generously: the machine may be loaded) until the statement runs,
// which its data files in the temporary folder show.
bool WaitForDataFiles(const std::string& folder) {
  for (int i = 0; i < 60000; ++i) {
    if (HoldsFileStartingWith(folder, "TEMP")) return true;
    ::usleep(1000);
  }
  return false;
}

// Outside an interactive shell an interrupt stops the statement at once,
// and the program ends without a word, leaving nothing behind.
TEST_F(ShellTest, AnInterruptDuringAStatementStopsItAndEndsTheProgramLeavingNothing) {
  WriteFile("n.csv", SlowRows());
  struct Case {
    const char* what;
    bool commandLine;
    int signal;
  };
  for (const Case& c : {Case{"piped, SIGINT", false, SIGINT}, Case{"piped, SIGTERM", false, SIGTERM},
                        Case{"command line, SIGINT", true, SIGINT}}) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> arguments = kSlowInputs;
    arguments.insert(arguments.end(), {"-f", "csv"});
    if (c.commandLine) arguments.push_back(kSlowSql);
    Process process(arguments, scratch_, temp_);
    if (!c.commandLine) process.Write(std::string(kSlowSql) + ";\nSELECT 1 AS X FROM a;\n");
    ASSERT_TRUE(WaitForDataFiles(temp_));
    process.Signal(c.signal);
    const RunResult r = process.Finish();  // the program ends: the statement did not run for minutes
    EXPECT_EQ(128 + c.signal, r.status) << r.err;
    EXPECT_EQ("", r.out);  // nor did the next one
    EXPECT_EQ(std::string::npos, r.err.find("Error")) << r.err;
    EXPECT_TRUE(TempFolderContents().empty());
  }
}

// In a terminal, Ctrl-C stops the statement and the shell goes on with its
// inputs and kept results; Ctrl-D ends it.
TEST_F(ShellTest, CtrlCInATerminalStopsTheStatementAndKeepsTheShell) {
  WriteFile("n.csv", SlowRows());
  Process process(kSlowInputs, scratch_, temp_, Process::Streams::Terminal);
  ASSERT_TRUE(process.ReadUntil("vdl> ")) << process.Output();
  ASSERT_TRUE(process.WaitForLineEditor());
  process.Write("SELECT COUNT(*) AS N FROM a WHERE a.K < 5;\r");
  ASSERT_TRUE(process.ReadUntil("N\r\n-\r\n5\r\nvdl> ")) << process.Output();
  ASSERT_TRUE(process.WaitForLineEditor());
  size_t from = process.Output().size();
  process.Write(".save five\r");
  // Done once the next prompt shows: its query's data files are gone then.
  ASSERT_TRUE(process.ReadUntil("\r\nvdl> ", from)) << process.Output();
  ASSERT_TRUE(process.WaitForLineEditor());
  from = process.Output().size();
  process.Write(std::string(kSlowSql) + ";\r");
  ASSERT_TRUE(WaitForDataFiles(temp_));
  process.Write("\x03");
  ASSERT_TRUE(process.ReadUntil("vdl-query: interrupted\r\nvdl> ", from)) << process.Output();
  EXPECT_EQ(std::string::npos, process.Output().find("Error", from)) << process.Output();
  // The query object's folder with the kept result, and nothing of the stopped statement.
  EXPECT_FALSE(HoldsFileStartingWith(temp_, "TEMP"));
  ASSERT_TRUE(process.WaitForLineEditor());
  from = process.Output().size();
  process.Write("SELECT five.N, COUNT(*) AS M FROM five, a GROUP BY five.N;\r");
  ASSERT_TRUE(process.ReadUntil("5  3000\r\nvdl> ", from)) << process.Output();
  ASSERT_TRUE(process.WaitForLineEditor());
  process.Write("\x04");  // Ctrl-D at an empty prompt
  const RunResult r = process.Finish();
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_TRUE(TempFolderContents().empty());
}

TEST_F(ShellTest, TerminalGetsAPromptLineEditingAndTheTableFormat) {
  WriteExampleInputs();
  Process process({"-i", "rs1=a.csv"}, scratch_, temp_, Process::Streams::Terminal);
  ASSERT_TRUE(process.ReadUntil("vdl> ")) << process.Output();
  ASSERT_TRUE(process.WaitForLineEditor());
  process.Write("SELECT COUNT(*) AS N \\\r");
  ASSERT_TRUE(process.ReadUntil(" ...> ")) << process.Output();
  ASSERT_TRUE(process.WaitForLineEditor());
  size_t from = process.Output().size();
  process.Write("FROM rs1\r");  // no ";" yet: the statement goes on
  ASSERT_TRUE(process.ReadUntil(" ...> ", from)) << process.Output();
  ASSERT_TRUE(process.WaitForLineEditor());
  process.Write(";\r");
  ASSERT_TRUE(process.ReadUntil("N\r\n-\r\n9\r\nvdl> ")) << process.Output();
  ASSERT_TRUE(process.WaitForLineEditor());
  process.Write("half a line");
  ASSERT_TRUE(process.ReadUntil("half a line")) << process.Output();
  from = process.Output().size();
  process.Write("\x03");  // an interrupt at the prompt drops the line
  ASSERT_TRUE(process.ReadUntil("vdl> ", from)) << process.Output();
  from = process.Output().size();
  ASSERT_TRUE(process.WaitForLineEditor());
  process.Write("\x1b[A\r");  // the previous statement again, from the history
  ASSERT_TRUE(process.ReadUntil("N\r\n-\r\n9\r\nvdl> ", from)) << process.Output();
  from = process.Output().size();
  ASSERT_TRUE(process.WaitForLineEditor());
  process.Write("SELECT 'é日' AS X FROM rs1 WHERE rs1.PRODUCT='SRS';\r");  // typed as UTF-8
  ASSERT_TRUE(process.ReadUntil("\r\nX\r\n---\r\né日\r\nvdl> ", from)) << process.Output();
  const RunResult r = process.Finish();
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_EQ(std::string::npos, r.out.find("Error")) << r.out;  // the dropped line did not run
  EXPECT_TRUE(TempFolderContents().empty());
}

// In a terminal: Tab completes commands, keywords, input names and the
// columns after an input's name; the statements typed are there again,
// with the arrow keys, in the next session.
TEST_F(ShellTest, TabCompletesNamesAndTheHistoryOutlivesTheSession) {
  WriteExampleInputs();
  {
    Process process({"-i", "rs1=a.csv", "-i", "rs2=b.csv"}, scratch_, temp_, Process::Streams::Terminal);
    ASSERT_TRUE(process.ReadUntil("vdl> ")) << process.Output();
    ASSERT_TRUE(process.WaitForLineEditor());
    // What ran shows what Tab made of the words.
    process.Write(".tab\t\r");
    ASSERT_TRUE(process.ReadUntil("rs2  b.csv, 6 rows")) << process.Output();
    ASSERT_TRUE(process.WaitForLineEditor());
    size_t from = process.Output().size();
    process.Write("sel\tCOUNT(*) AS N FROM rs1 WHERE rs1.sup\t= 'SES'; -- typed with a comment\r");
    ASSERT_TRUE(process.ReadUntil("N\r\n-\r\n2\r\nvdl> ", from)) << process.Output();
    ASSERT_TRUE(process.WaitForLineEditor());
    from = process.Output().size();
    process.Write(".sch\trs\t2\r");  // "rs" is as far as both names agree
    ASSERT_TRUE(process.ReadUntil("rs2 (SUPPLIER Text, COUNTRY Text)", from)) << process.Output();
    EXPECT_EQ(std::string::npos, process.Output().find("Error")) << process.Output();
    const RunResult r = process.Finish();
    EXPECT_EQ(0, r.status) << r.out;
  }
  EXPECT_TRUE(std::filesystem::exists(Path("state/vdl-query/history")));
  EXPECT_EQ(std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
            std::filesystem::status(Path("state/vdl-query/history")).permissions());
  Process again({"-i", "rs1=a.csv"}, scratch_, temp_, Process::Streams::Terminal);
  ASSERT_TRUE(again.ReadUntil("vdl> ")) << again.Output();
  ASSERT_TRUE(again.WaitForLineEditor());
  again.Write("\x1b[A\x1b[A");  // the statement before the last command
  ASSERT_TRUE(again.ReadUntil("rs1.SUPPLIER = 'SES';")) << again.Output();
  const size_t from = again.Output().size();
  again.Write("\r");
  ASSERT_TRUE(again.ReadUntil("N\r\n-\r\n2\r\nvdl> ", from)) << again.Output();
  const RunResult r = again.Finish();
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_TRUE(TempFolderContents().empty());
}

}  // namespace
}  // namespace vendrel::vdlquery::testing

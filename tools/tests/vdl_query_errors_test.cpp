// vdl-query's failures: errors of the component and the driver in three
// lines with status 1, bad usage in one line with status 2; help and version.

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "vdl_query_test_support.h"

namespace vendrel::vdlquery::testing {
namespace {

using ErrorsTest = VdlQueryTest;

struct ErrorCase {
  std::vector<std::string> arguments;
  std::string description;  // part of the description line
  std::string number;
  std::string source;
};

TEST_F(ErrorsTest, InputAndStatementErrorsPrintDescriptionNumberAndSourceAndExitOne) {
  WriteExampleInputs();
  WriteFile("open.csv", "A,B\n1,2\n3,\"not closed\n4,5\n");
  WriteFile("long.csv", "A,B\n1,2\n3,4,5\n");
  WriteFile("typed/bad.csv", "A\nx12\n");
  WriteFile("typed/schema.ini", "[bad.csv]\nColNameHeader=True\nFormat=CSVDelimited\nCol1=A Long\n");
  const ErrorCase cases[] = {
      {{"-i", "x=open.csv", "SELECT * FROM x"}, "Line 3 of 'open.csv': the quoted value of column 'B' is not closed.",
       "-2147467259", "Microsoft JET Database Engine"},
      {{"-i", "x=long.csv", "SELECT * FROM x"}, "Line 3 of 'long.csv' holds 3 values, but the table has 2 columns.",
       "-2147467259", "Microsoft JET Database Engine"},
      {{"-i", "x=typed/bad.csv", "SELECT * FROM x"},
       "Line 2 of 'bad.csv': the value 'x12' of column 'A' cannot be read as Long.", "-2147467259",
       "Microsoft JET Database Engine"},
      {{"-i", "rs1=a.csv", "SELECT * FROM rs9"}, "[Vendrel] The VDL Component cannot find the input table or query 'rs9'.",
       "-2147220497", "Vendrel"},
      {{"-i", "rs1=a.csv", "SELECT rs1.NOPE FROM rs1"}, "[Vendrel] ", "-2147220497", "Vendrel"},
      {{"--temp-folder", "/nonexistent-folder", "-i", "rs1=a.csv", "SELECT * FROM rs1"},
       "[Vendrel] Unable to create temporary folder: /nonexistent-folder/VDL", "-2147220494", "Vendrel"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.arguments.front() + " " + c.arguments[1]);
    const RunResult r = Run(c.arguments);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    const std::vector<std::string> lines = Lines(r.err);
    ASSERT_GE(lines.size(), 3u) << r.err;
    EXPECT_EQ(0u, lines.front().find("Error Description: ")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(c.description)) << r.err;
    const auto number = std::find(lines.begin(), lines.end(), "Error Number: " + c.number);
    ASSERT_NE(lines.end(), number) << r.err;
    ASSERT_NE(lines.end(), number + 1);
    EXPECT_EQ("Error Source: " + c.source, number[1]);
    // An error that says where in the statement is followed by the line and a caret.
    const auto after = static_cast<size_t>(lines.end() - number - 2);
    if (r.err.find("at character") != std::string::npos) {
      ASSERT_EQ(2u, after) << r.err;
      EXPECT_EQ("  " + c.arguments.back(), number[2]);
      EXPECT_EQ("^", number[3].substr(number[3].find_first_not_of(' ')));
    } else {
      EXPECT_EQ(0u, after) << r.err;
    }
  }
  EXPECT_TRUE(TempFolderContents().empty());
}

TEST_F(ErrorsTest, MissingFolderAndEmptyInputsAreTheToolsOwnOneLineErrorsNamingTheFile) {
  WriteFile("empty.csv", "");
  WriteFile("sub/x.csv", "A\n1\n");
  struct InputCase {
    std::vector<std::string> arguments;
    std::string input;  // standard input
    std::string line;
  };
  const InputCase cases[] = {
      {{"-i", "x=missing.csv"}, "", "vdl-query: cannot open 'missing.csv': No such file or directory"},
      {{"-i", "x=nowhere/m.csv"}, "", "vdl-query: cannot open 'nowhere/m.csv': No such file or directory"},
      {{"-t", "csv", "-i", "x=sub"}, "", "vdl-query: cannot open 'sub': it is a folder"},
      {{"-i", "x=empty.csv"}, "", "vdl-query: 'empty.csv' is empty: it has no header line"},
      {{"--no-header", "-i", "x=empty.csv"}, "", "vdl-query: 'empty.csv' is empty"},
      {{"-i", "x=-"}, "", "vdl-query: standard input is empty: it has no header line"},
  };
  for (const InputCase& c : cases) {
    SCOPED_TRACE(c.line);
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("SELECT * FROM x");
    const RunResult r = Run(arguments, c.input);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(c.line + "\n", r.err);
  }
  EXPECT_TRUE(TempFolderContents().empty());
}

TEST_F(ErrorsTest, UnreadableInputFileIsNamed) {
  if (::geteuid() == 0) GTEST_SKIP() << "the superuser reads every file";
  WriteExampleInputs();
  ASSERT_EQ(0, ::chmod(Path("a.csv").c_str(), 0));
  const RunResult r = Run({"-i", "rs1=a.csv", "SELECT * FROM rs1"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("vdl-query: cannot open 'a.csv': Permission denied\n", r.err);
}

TEST_F(ErrorsTest, BadUsageExitsTwoWithOneLineHint) {
  WriteExampleInputs();
  struct UsageCase {
    std::vector<std::string> arguments;
    std::string hint;
  };
  const UsageCase cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"-x"}, "unknown option '-x'"},
      {{"-i"}, "option -i needs a value"},
      {{"-i", "rs1"}, "--input expects NAME=FILE, not 'rs1'"},
      {{"-i", "=a.csv"}, "--input expects NAME=FILE"},
      {{"-i", "1rs=a.csv"}, "'1rs' is not a recordset name"},
      {{"-i", "r s=a.csv"}, "'r s' is not a recordset name"},
      {{"-i", "rs1=a.dat"}, "cannot tell the format of 'a.dat'"},
      {{"-i", "rs1=a.csv", "--input=RS1=b.csv"}, "the input name 'RS1' is given twice"},
      {{"-f", "xml"}, "unknown format 'xml': use table, tsv, csv, json, ndjson, markdown or box"},
      {{"-t", "xls", "-i", "rs1=a.csv"}, "unknown input format 'xls': use csv or tsv"},
      {{"-i", "rs1=-"}, "standard input (-) holds an input: give the statement on the command line"},
      {{"-i", "a=-", "-i", "b=-", "SELECT 1"}, "standard input (-) can be read as one input only"},
      {{"--format"}, "option --format needs a value"},
      {{"--temp-folder="}, "--temp-folder needs a folder"},
      {{"-i", "rs1=a.csv", "SELECT *", "FROM rs1"}, "give the statement as one argument"},
      {{"--help=x"}, "unknown option '--help=x'"},
      {{"--max-input-size", "1x"}, "--max-input-size expects a size such as 500M or 2G, not '1x'"},
      {{"--max-input-size=-1"}, "--max-input-size expects a size such as 500M or 2G, not '-1'"},
      {{"--max-input-size", "99999999999T"}, "--max-input-size expects a size such as 500M or 2G"},
  };
  for (const UsageCase& c : cases) {
    SCOPED_TRACE(c.arguments.front());
    const RunResult r = Run(c.arguments);
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("", r.out);
    ASSERT_EQ(1u, Lines(r.err).size()) << r.err;
    EXPECT_EQ(0u, r.err.find("vdl-query: " + c.hint)) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("--help")) << r.err;
  }
  EXPECT_TRUE(TempFolderContents().empty());
}

TEST_F(ErrorsTest, OptionValuesMayFollowInTheSameArgument) {
  WriteExampleInputs();
  const RunResult r = Run({"-irs1=a.csv", "--input=rs2=b.csv", "-fcsv", "--", kExampleSql});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(10u, Lines(r.out).size());
}

TEST_F(ErrorsTest, HelpShowsUsageWithAnExampleAndVersionTheRelease) {
  for (const char* option : {"-h", "--help"}) {
    const RunResult r = Run({option});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(0u, r.out.find("usage: vdl-query [OPTIONS] [SQL]\n"));
    for (const char* part : {"-i, --input NAME=FILE", "-f, --format FMT", "--temp-folder DIR", "--alt-quote TEXT",
                             "--max-input-size SIZE", "Default: the machine's\n", "--version",
                             "Example:\n  vdl-query -i rs1="})
      EXPECT_NE(std::string::npos, r.out.find(part)) << part;
    EXPECT_EQ(std::string::npos, r.out.find("keep names apart")) << r.out;
    EXPECT_EQ("", r.err);
  }
  const RunResult version = Run({"--version"});
  EXPECT_EQ(0, version.status);
  EXPECT_EQ("vdl-query " VDL_VERSION " (Vendrel 1.2)\n", version.out);
}

// The manual page and the README describe every option of the usage and
// every command of the shell's help.
TEST_F(ErrorsTest, TheManualAndTheReadmeNameEveryOptionAndCommand) {
  auto read = [](const char* path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  std::string manual = read(VDL_MANUAL);
  // As the page is written: "\-" for each hyphen, font escapes around words.
  for (size_t at = manual.find("\\-"); at != std::string::npos; at = manual.find("\\-", at)) manual.erase(at, 1);
  for (const char* font : {"\\fB", "\\fR", "\\fI"})
    for (size_t at = manual.find(font); at != std::string::npos; at = manual.find(font, at)) manual.erase(at, 3);
  const std::string readme = read(VDL_README);
  const RunResult usage = Run({"--help"});
  for (size_t at = usage.out.find("--"); at != std::string::npos; at = usage.out.find("--", at + 2)) {
    const std::string option = usage.out.substr(at, usage.out.find_first_of(" ,\n", at) - at);
    EXPECT_NE(std::string::npos, manual.find(option)) << option;
  }
  const RunResult help = Run({}, ".help\n");
  for (const std::string& line : Lines(help.out)) {
    if (!line.starts_with('.')) continue;
    const std::string command = line.substr(0, line.find(' '));
    EXPECT_NE(std::string::npos, manual.find(command)) << command;
    EXPECT_NE(std::string::npos, readme.find(command)) << command;
  }
  for (const char* format : {"table", "tsv", "csv", "json", "ndjson", "markdown", "box"})
    EXPECT_NE(std::string::npos, readme.find("`" + std::string(format) + "`")) << format;
}

TEST_F(ErrorsTest, OutputToAReaderThatGoesAwayStillRemovesTheTemporaryFolders) {
  std::string rows = "N\n";
  for (int i = 0; i < 200000; ++i) rows += std::to_string(i) + "\n";
  WriteFile("n.csv", rows);
  Process process({"-i", "numbers=n.csv", "-f", "tsv", "SELECT N FROM numbers"}, scratch_, temp_);
  ASSERT_TRUE(process.ReadUntil("\n1\n"));
  process.CloseOutput();
  const RunResult r = process.Finish();
  EXPECT_EQ(1, r.status) << r.err;
  EXPECT_EQ("", r.err);  // a closed pipe is no news to the reader that closed it
  EXPECT_TRUE(TempFolderContents().empty());
}

}  // namespace
}  // namespace vendrel::vdlquery::testing

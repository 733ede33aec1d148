// VDL12Demo run as a program without a window.

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <QImage>
#include <fstream>
#include <string>

#include "demo_test_support.h"
#include "vendrel/dataaccess/com/registry.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/engine/vendrel12.h"

namespace vendrel::demo::testing {
namespace {

struct ProgramRun {
  int status = -1;
  std::string output;
  std::string errors;
};

class ProgramTest : public DemoTest {
 protected:
  ProgramRun RunDemo(const std::string& arguments);
};

ProgramRun ProgramTest::RunDemo(const std::string& arguments) {
  const std::string errors = Scratch() + "/stderr.txt";
  const std::string command = std::string("'") + VDL_DEMO_PROGRAM + "' " + arguments + " 2>'" + errors + "'";
  ProgramRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.errors = fs::ReadFile(errors);
  return run;
}

TEST_F(ProgramTest, ExamplePrintsTheCaptionAndAnAlignedTable) {
  const ProgramRun run = RunDemo("--example 1");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.find("Example 1.  Returned ADO Recordset Query Results [Static Cursor Type]\n"
                            "PRODUCT       SUPPLIER  COUNTRY\n"
                            "------------  --------  -------\n"),
            0u)
      << run.output;
  EXPECT_NE(run.output.find("\nWheels        WHL       Spain\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("\nAlloy Wheels\n"), std::string::npos) << run.output;
}

TEST_F(ProgramTest, RowsPrintsTheStatementTheFirstRowsAndTheRowCount) {
  const ProgramRun first = RunDemo("--example 1 --rows 3");
  ASSERT_EQ(first.status, 0) << first.errors;
  EXPECT_EQ(first.output,
            "Example 1.  Returned ADO Recordset Query Results [Static Cursor Type]\n"
            "SQL: SELECT rs1.PRODUCT, rs2.SUPPLIER, rs2.COUNTRY FROM rs1 LEFT OUTER JOIN rs2 ON rs1.SUPPLIER=rs2.SUPPLIER\n"
            "\n"
            "PRODUCT  SUPPLIER  COUNTRY\n"
            "-------  --------  -------\n"
            "Wheels   WHL       Spain\n"
            "Battery  BTR       Canada\n"
            "Seats    SES       USA\n"
            "9 rows, the first 3 shown\n");

  // More rows asked for than there are: all of them, and the count alone.
  const ProgramRun all = RunDemo("--example 1 --rows 50");
  ASSERT_EQ(all.status, 0) << all.errors;
  EXPECT_NE(all.output.find("\nAlloy Wheels\n9 rows\n"), std::string::npos) << all.output;
}

TEST_F(ProgramTest, TsvHasAHeaderLineAndEmptyNulls) {
  const ProgramRun run = RunDemo("--example 1 --tsv");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("\nPRODUCT\tSUPPLIER\tCOUNTRY\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("\nAlloy Wheels\t\t\n"), std::string::npos) << run.output;
}

TEST_F(ProgramTest, NumbersAreRightAligned) {
  const ProgramRun run = RunDemo("--example 2");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("\nOrderID  ProductID  SUM_OF_UnitPrice\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("\n  10248 "), std::string::npos) << run.output;
}

TEST_F(ProgramTest, AFailurePrintsTheThreeLinesAndExitsWithOne) {
  // The classes registered with a library that cannot be loaded.
  const std::string bogus = Scratch() + "/not-a-library.so";
  std::ofstream(bogus) << "not a library";
  const com::ClassEntry entries[] = {{vendrel12::kVendrelClassId, "Vendrel12.Vendrel", "Apartment", bogus},
                                     {vendrel12::kQueryDataSourceClassId, "Vendrel12.QueryDataSource", "Apartment", bogus}};
  ASSERT_EQ(com::RegisterClasses(entries), com::S_OK);
  const ProgramRun run = RunDemo("--example 1");
  EXPECT_EQ(run.status, 1) << run.errors;
  EXPECT_EQ(run.output, "");
  const size_t start = run.errors.find("Error Description: ");
  ASSERT_NE(start, std::string::npos) << run.errors;
  const std::string report = run.errors.substr(start);
  EXPECT_NE(report.find("\nError Number: -"), std::string::npos) << report;
  EXPECT_NE(report.find("\nError Source: "), std::string::npos) << report;
  EXPECT_NE(report.find(bogus), std::string::npos) << report;
}

TEST_F(ProgramTest, ScreenshotSavesTheWholeWindow) {
  const std::string picture = Scratch() + "/window.png";
  const ProgramRun run = RunDemo("--screenshot '" + picture + "' --example 4");
  ASSERT_EQ(run.status, 0) << run.output;
  const QImage image(QString::fromStdString(picture));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size() / image.devicePixelRatio(), QSize(761, 414));
}

TEST_F(ProgramTest, UnknownArgumentsShowTheUsage) {
  for (const char* arguments : {"--example 5", "--example", "--tsv", "--frobnicate", "--rows 3", "--example 1 --rows",
                                "--example 1 --rows x", "--example 1 --rows 3 --tsv"}) {
    const ProgramRun run = RunDemo(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.errors.find("usage: VDL12Demo"), std::string::npos) << arguments;
  }
}

TEST_F(ProgramTest, VersionAndHelpNeedNoWindow) {
  const ProgramRun version = RunDemo("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, "VDL12Demo " VDL_VERSION " (Vendrel 1.2)\n");
  const ProgramRun help = RunDemo("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("usage: VDL12Demo"), std::string::npos);
}

}  // namespace
}  // namespace vendrel::demo::testing

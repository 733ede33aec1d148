// vdl-regsvr run as a program against the built component library, with a
// registry of its own.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "vendrel/dataaccess/com/registry.h"
#include "vendrel/dataaccess/filesystem.h"

namespace vendrel {
namespace {

struct RunResult {
  int status;
  std::string output;
};

class VdlRegsvrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = fs::TemporaryFolder() + "/vdl-regsvr-XXXXXX";
    ASSERT_TRUE(::mkdtemp(pattern.data()));
    scratch_ = pattern;
    ::setenv("XDG_DATA_HOME", scratch_.c_str(), 1);
  }
  void TearDown() override {
    fs::DeleteFolder(scratch_);
    ::unsetenv("XDG_DATA_HOME");
  }

  // Runs the program with these arguments; standard output and error together.
  static RunResult Run(const std::string& arguments) {
    const std::string command = std::string("'") + VDL_REGSVR_PROGRAM + "' " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    RunResult result{-1, ""};
    if (!pipe) return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }
  static std::string Library() { return std::string("'") + VDL_SERVER_LIBRARY + "'"; }

  std::string scratch_;
};

TEST_F(VdlRegsvrTest, ListShowsEveryMemberWithItsHelpStringAndHiddenFlag) {
  const RunResult r = Run("--list " + Library());
  ASSERT_EQ(0, r.status) << r.output;
  const std::string expected[] = {
      "library Vendrel12 {8184C065-BAEC-478C-ACD8-7F757B474FF0} version 2.0 locale 1033 help \"Vendrel 1.2\"",
      "class Vendrel {0EBCC7BB-0F80-4265-B443-33E2F7A10B7D} creatable ProgID Vendrel12.Vendrel threading Apartment "
      "default interface _Vendrel",
      "class QueryDataSource {33DAC1E2-217F-44DD-965A-FBF7AFC13DE5} creatable ProgID Vendrel12.QueryDataSource "
      "threading Apartment default interface _QueryDataSource",
      "class RecordsetCollection {A46125FA-6BA8-4982-A98F-A2AB9DEDF8D2} not creatable threading Apartment default "
      "interface _RecordsetCollection",
      "interface _Vendrel {8808930B-301E-4F31-999E-5594C2EC0089} dual, hidden, nonextensible, oleautomation",
      "  slot 7  method Execute(ByRef DataSource As QueryDataSource, ByRef SQL As String, ByRef CursorType As "
      "CursorTypeEnum, ByRef LockType As LockTypeEnum, Optional ByRef OptimizeRecordset As Boolean = False, Optional "
      "ByRef RecordsetName As String = \"\", Optional ByRef TempFileFolder As String = \"\", Optional ByRef "
      "AltQuoteMark As String = \"\") As Recordset  dispid 0x60030002  not hidden  help \"Executes the query based "
      "on declared properties and returns a disconnected ADO Recordset representing the results\"\n",
      "  slot 7  property get RecordsetCollection() As RecordsetCollection  dispid 0x68030002  not hidden  help "
      "\"Recordset collection contains ADO Recordsets with which to base a query on.\"\n",
      "  slot 8  method EmptyRecordsetCollection()  dispid 0x60030004  not hidden  help \"Remove all ADO Recordsets "
      "from the Recordset collection.\"\n",
      "  slot 7  method Add(ByRef ValidRecordset As Recordset, ByRef RecordsetName As String, Optional ByRef "
      "OptimizedRecordset As Boolean = False)  dispid 0x60030003  not hidden  help (none)\n",
      "  slot 8  method Remove(ByRef Index As Variant)  dispid 0x60030004  not hidden  help \"Removes an ADO "
      "Recordset from the Recordset collection.\"\n",
      "  slot 9  method Item(ByRef Index As Variant) As Recordset  dispid 0x60030005  not hidden  help \"References "
      "an ADO Recordset in the Recordset collection.\"\n",
      "  slot 10  property get Count() As Long  dispid 0x68030002  not hidden  help \"Returns a count of the number "
      "of ADO Recordset items in the Recordset colletion. \"\n",
      "  slot 11  property get CollectionRecordset() As Collection  dispid 0x68030001  hidden  help (none)\n",
      "  slot 12  property get rsNameCollection() As Collection  dispid 0x68030000  hidden  help (none)\n",
  };
  for (const std::string& line : expected) EXPECT_NE(std::string::npos, r.output.find(line)) << line << "\n" << r.output;
  // Listing registers nothing.
  EXPECT_FALSE(fs::PathExists(com::RegistryPath()));
}

TEST_F(VdlRegsvrTest, RegistersAndUnregistersTheCreatableClasses) {
  const RunResult registered = Run(Library());
  ASSERT_EQ(0, registered.status) << registered.output;
  EXPECT_NE(std::string::npos, registered.output.find("DllRegisterServer"));
  std::vector<com::ClassEntry> classes;
  ASSERT_EQ(com::S_OK, com::ListClasses(&classes));
  ASSERT_EQ(2u, classes.size());
  EXPECT_EQ("Vendrel12.Vendrel", classes[0].progId);
  EXPECT_EQ("Vendrel12.QueryDataSource", classes[1].progId);

  const RunResult unregistered = Run("-u " + Library());
  ASSERT_EQ(0, unregistered.status) << unregistered.output;
  ASSERT_EQ(com::S_OK, com::ListClasses(&classes));
  EXPECT_TRUE(classes.empty());
}

TEST_F(VdlRegsvrTest, BadCommandLinesAndLibrariesFailWithAReason) {
  const std::pair<std::string, int> usage[] = {{"", 2}, {"-x " + Library(), 2}, {"-u", 2}, {"a b", 2}};
  for (const auto& [arguments, status] : usage) EXPECT_EQ(status, Run(arguments).status) << arguments;

  const RunResult version = Run("--version");
  EXPECT_EQ(0, version.status);
  EXPECT_EQ("vdl-regsvr " VDL_VERSION " (Vendrel 1.2)\n", version.output);

  const RunResult missing = Run("/nonexistent/libNothing.so");
  EXPECT_EQ(1, missing.status);
  EXPECT_NE(std::string::npos, missing.output.find("/nonexistent/libNothing.so")) << missing.output;

  // A shared library that is no component server.
  const RunResult notServer = Run("--list libc.so.6");
  EXPECT_EQ(1, notServer.status);
  EXPECT_NE(std::string::npos, notServer.output.find("no type description")) << notServer.output;
}

}  // namespace
}  // namespace vendrel

#pragma once
// Failing every file system operation of a step in turn, and the error that a
// caller of Execute receives for each one.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "vendrel/dataaccess/filesystem.h"

namespace vendrel::testing {

// One run of a step with its k-th file system operation failing.
struct FailedRun {
  long k = 0;
  fs::faults::Operation failed;
  std::vector<fs::faults::Operation> before;  // the operations that ran before it, in order
  CaughtError caught;
};

// Runs the step once for k = 1, 2, ..., failing its k-th file system
// operation, until a run makes fewer than k operations; prepare runs before
// each run (without faults), check after every failing one. Returns how many
// operations the step makes.
template <class Prepare, class Step, class Check>
long SweepFileOperations(Prepare&& prepare, Step&& step, Check&& check) {
  for (long k = 1;; ++k) {
    prepare();
    fs::faults::Arm(k);
    FailedRun run;
    run.k = k;
    run.caught = CatchError(step);
    const bool fired = fs::faults::Fired();
    std::vector<fs::faults::Operation> operations = fs::faults::OperationsRunSinceArm();
    fs::faults::Disarm();
    if (!fired) return k - 1;
    run.failed = operations[static_cast<size_t>(k) - 1];
    operations.resize(static_cast<size_t>(k) - 1);
    run.before = std::move(operations);
    check(run);
  }
}

// The text driver reads the files itself when the statement runs; the
// provider for tests reads them all with ReadFile as the statement comes.
enum class QueryDriver { Text, Scripted };

// What the caller of Execute receives when one file system operation fails.
struct ExpectedError {
  bool thrown = true;
  long number = 0;
  std::string description;  // exact
};

// The error each step of Execute gives for the operation that failed, told
// by the operation, the folder it works in and what ran before it:
//   making a folder (steps 1 and 3)                1010 naming the folder
//   the system temporary folder (steps 1 and 3)    1002
//   deleting a folder (steps 2 and 13)             1011 naming the folder
//   drawing the data file names (step 7)           1001
//   the connection while writing (step 8)          1006 (its 1008 is not one WriteDataFiles names)
//   writing or copying the data files (step 8)     1006
//   writing schema.ini (steps 9 and 12)            1012 (reading it to replace a section too)
//   the connection of RunQuery (step 10)           1002 (RunQuery drops its 1008 and returns nothing)
//   the driver reading the folder (step 10)        1007 with the driver's text, ".txt" removed
//   the provider for tests reading a file          1002 (not an error of the driver)
//   deleting a data file after the query (step 10) none: the query folder goes with what is left
//   writing a kept result's data file (step 12)    1002 (no handler of its own)
// The engine's mends hold: the folder of a failed step goes (so 1011 for
// step 2 needs no open connection), and an unknown cause reads the same
// everywhere.
// plainNames: the recordset names of the entries that are exported, in entry
// order; a driver error names a data file by its recordset.
inline ExpectedError ExpectedFor(const FailedRun& run, const std::string& parent, const std::string& optimizedFolder,
                                 QueryDriver driver, const std::vector<std::string>& plainNames = {}) {
  const std::string prefixed = "[Vendrel] " + kUnknownCause;
  const std::filesystem::path path(run.failed.path);
  const std::string folder = path.parent_path().string();
  const std::string file = path.filename().string();
  const std::string& op = run.failed.name;
  const bool underParent = folder == parent && std::regex_match(file, std::regex("VDL[0-9]+"));
  const bool inQueryFolder =
      std::filesystem::path(folder).parent_path() == parent &&
      std::regex_match(std::filesystem::path(folder).filename().string(), std::regex("VDL[0-9]+"));
  const bool writing = op == "OpenFile" || op == "WriteFile" || op == "CloseFile";
  auto ranBefore = [&](auto&& matches) {
    for (const fs::faults::Operation& o : run.before)
      if (matches(o)) return true;
    return false;
  };
  auto isQueryFolderFile = [&](const fs::faults::Operation& o, std::string_view name) {
    const std::filesystem::path p(o.path);
    return p.parent_path().parent_path() == parent && (name.empty() || p.filename().string() == name);
  };

  if (op == "TemporaryFolder") return {true, -2147220502, kUnknownCause};
  if ((op == "FileExists" || op == "CreateFolder") && underParent)
    return {true, -2147220494,
            "[Vendrel] Unable to create temporary folder: " + run.failed.path +
                "\r\nCheck that the user has permission to create this folder."};
  if (op == "FolderExists" && underParent) {
    // Step 2 deletes the first folder; then each connection tests the query
    // folder as it opens (the text driver's does), and step 13 deletes it.
    const bool firstFolderDeleted = ranBefore([&](const fs::faults::Operation& o) { return o.name == "DeleteFolder"; });
    const bool schemaWritten = ranBefore(
        [&](const fs::faults::Operation& o) { return o.name == "CloseFile" && isQueryFolderFile(o, "schema.ini"); });
    const bool dataFilesDeleted =
        ranBefore([&](const fs::faults::Operation& o) { return o.name == "DeleteFile" && isQueryFolderFile(o, ""); });
    if (firstFolderDeleted && !schemaWritten) return {true, -2147220498, prefixed};
    if (firstFolderDeleted && !dataFilesDeleted) return {true, -2147220502, kUnknownCause};
  }
  if ((op == "FolderExists" || op == "DeleteFolder") && underParent)
    return {true, -2147220493,
            "[Vendrel] Unable to delete temporary folder: " + run.failed.path +
                "\r\nCheck that the user has permission to Delete this folder."};
  // schema.ini, and a whole new one written beside it to take its place.
  const bool schemaFile = file == "schema.ini" || file == "schema.ini.new";
  // Step 9 and 12 read it too, to replace a section; the driver reads it once step 9 has written it.
  auto writesSchema = [&](bool readingToo) {
    return op == "FileExists" || writing || op == "ReplaceFile" || (op == "ReadFile" && readingToo);
  };
  if (inQueryFolder) {
    const bool schemaWritten = ranBefore([&](const fs::faults::Operation& o) {
      return (o.name == "CloseFile" || o.name == "ReplaceFile") && isQueryFolderFile(o, "schema.ini");
    });
    if ((op == "FileExists" || op == "PathExists") && !schemaFile) return {true, -2147220503, prefixed};
    if (schemaFile && writesSchema(!schemaWritten)) return {true, -2147220492, prefixed};
    if (writing || op == "CopyFile") return {true, -2147220498, prefixed};
    if (op == "DeleteFile") return {false, 0, ""};
    if (driver == QueryDriver::Scripted && op == "ReadFile") return {true, -2147220502, kUnknownCause};
    if (op == "ReadFile" || op == "FileInfo") {
      std::string named = file.ends_with(".txt") ? file.substr(0, file.size() - 4) : file;
      // The exported files are opened for writing in entry order.
      std::vector<std::string> written;
      for (const fs::faults::Operation& o : run.before) {
        const std::string f = std::filesystem::path(o.path).filename().string();
        if (o.name == "OpenFile" && isQueryFolderFile(o, "") && std::regex_match(f, std::regex("TEMP[0-9]+\\.txt")) &&
            std::find(written.begin(), written.end(), f) == written.end())
          written.push_back(f);
      }
      const auto at = std::find(written.begin(), written.end(), file);
      if (at != written.end() && static_cast<size_t>(at - written.begin()) < plainNames.size())
        named = plainNames[static_cast<size_t>(at - written.begin())];
      return {true, -2147220497,
              "[Vendrel] The VDL Component cannot open the file '" + named +
                  "'.  It is already opened exclusively by another user, or you need permission to view its data."};
    }
  }
  if (op == "ListFolder")
    return {true, -2147220497,
            "[Vendrel] '" + run.failed.path +
                "' is not a valid path.  Make sure that the path name is spelled correctly and that you are "
                "connected to the server on which the file resides."};
  if (op == "CopyFile" && folder == optimizedFolder) return {true, -2147220498, prefixed};
  if (folder == optimizedFolder && schemaFile && writesSchema(true)) return {true, -2147220492, prefixed};
  if (folder == optimizedFolder && writing) return {true, -2147220502, kUnknownCause};
  ADD_FAILURE() << "no step of Execute makes operation " << run.k << ": " << op << " " << run.failed.path;
  return {};
}

#define EXPECT_FAILED_RUN_GIVES(run, expected)                                                                        \
  do {                                                                                                                \
    const ::vendrel::testing::FailedRun& r_ = (run);                                                                  \
    const ::vendrel::testing::ExpectedError& e_ = (expected);                                                         \
    const std::string at_ = "operation " + std::to_string(r_.k) + " (" + r_.failed.name + " " + r_.failed.path + ")"; \
    EXPECT_EQ(r_.caught.thrown, e_.thrown) << at_;                                                                    \
    if (e_.thrown) {                                                                                                  \
      EXPECT_EQ(r_.caught.number, e_.number) << at_;                                                                  \
      EXPECT_EQ(r_.caught.source, "Vendrel") << at_;                                                                  \
      EXPECT_EQ(r_.caught.description, e_.description) << at_;                                                        \
    }                                                                                                                 \
  } while (0)

}  // namespace vendrel::testing

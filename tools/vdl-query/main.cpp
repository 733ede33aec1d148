// vdl-query: runs the component's queries over delimited text files.
//
//   vdl-query -i rs1=a.csv -i rs2=b.csv "SELECT ..."   one statement, printed
//   vdl-query -i rs1=a.csv                             statements from standard input
//   cat a.csv | vdl-query -i rs1=- "SELECT ..."         an input from standard input

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <iostream>
#include <string>
#include <vector>

#include "interrupt.h"
#include "options.h"
#include "query_session.h"
#include "report.h"
#include "result_writer.h"
#include "shell.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/driver/driver.h"

namespace {

using namespace vendrel::vdlquery;

constexpr int kFailed = 1;
constexpr int kUsage = 2;

int RunOnce(QuerySession& session, const std::string& sql, OutputFormat format) {
  vendrel::Ref<vendrel::Recordset> result;
  try {
    result = session.Run(sql);
  } catch (const vendrel::Error&) {
    if (const int signal = TakeInterrupt()) return 128 + signal;
    ReportCurrentException(sql);
    return kFailed;
  }
  if (const int signal = TakeInterrupt()) return 128 + signal;
  WriteResult(std::cout, *result->Rows(), format);
  if (!std::cout) {
    if (errno != EPIPE) ReportToolError("cannot write the result to standard output");
    return kFailed;
  }
  return 0;
}

int Run(const Options& options) {
  const OutputFormat format =
      options.format.value_or(::isatty(STDOUT_FILENO) ? OutputFormat::Table : OutputFormat::Tsv);
  vendrel::driver::RegisterProviders();
  // Everything of this run lives in work folders of its own, which go when
  // it ends, however it ends: the query object makes its own folder in the
  // temporary folder it is shown, and its query folders in the one it is given.
  WorkFolder work(vendrel::fs::TemporaryFolder());
  ::setenv("TMPDIR", work.Path().c_str(), 1);
  std::optional<WorkFolder> queryParent;
  if (!options.tempFolder.empty() && vendrel::fs::FolderExists(options.tempFolder))
    queryParent.emplace(options.tempFolder);
  const std::string tempFolder = queryParent ? queryParent->Path() : options.tempFolder;
  // The session goes before its folders, and with it the query object's folders.
  QuerySession session({tempFolder, options.altQuote, work.Path()});
  for (const InputOption& input : options.inputs) {
    const std::vector<std::string> notes = session.Load(input.name, input.path, input.settings);
    for (const std::string& note : notes) ReportToolError(note);
    if (PendingInterrupt()) break;
  }
  if (const int signal = TakeInterrupt()) return 128 + signal;
  if (options.sql) return RunOnce(session, *options.sql, format);
  return RunShell(session, format, ::isatty(STDIN_FILENO), options.loadSettings);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const ToolError& e) {
    ReportToolError(std::string(e.what()) + " (vdl-query --help shows the usage)");
    return kUsage;
  }
  if (options.help) {
    std::cout << UsageText();
    return 0;
  }
  if (options.version) {
    std::cout << VDL_VERSION_LINE "\n";
    return 0;
  }
  InstallInterruptHandlers();
  try {
    return Run(options);
  } catch (...) {
    if (const int signal = TakeInterrupt()) return 128 + signal;
    ReportCurrentException();
  }
  return kFailed;
}

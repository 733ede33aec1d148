// vdl-query: runs the component's queries over delimited text files.
//
//   vdl-query -i rs1=a.csv -i rs2=b.csv "SELECT ..."   one statement, printed
//   vdl-query -i rs1=a.csv                             statements from standard input

#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <string>
#include <vector>

#include "interrupt.h"
#include "options.h"
#include "query_session.h"
#include "report.h"
#include "result_writer.h"
#include "shell.h"
#include "vendrel/driver/driver.h"

namespace {

using namespace vendrel::vdlquery;

constexpr int kFailed = 1;
constexpr int kUsage = 2;

int RunOnce(QuerySession& session, const std::string& sql, OutputFormat format) {
  vendrel::Ref<vendrel::Recordset> result;
  {
    StatementInProgress running;
    result = session.Run(sql);
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
  // The session goes before the program ends, and with it the query
  // object's folders.
  QuerySession session({options.tempFolder, options.altQuote});
  for (const InputOption& input : options.inputs) {
    StatementInProgress running;
    session.Load(input.name, input.path);
  }
  if (const int signal = TakeInterrupt()) return 128 + signal;
  if (options.sql) return RunOnce(session, *options.sql, format);
  return RunShell(session, format, ::isatty(STDIN_FILENO));
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
    std::cout << "vdl-query " VDL_QUERY_VERSION " (Vendrel 1.2)\n";
    return 0;
  }
  InstallInterruptHandlers();
  try {
    return Run(options);
  } catch (...) {
    ReportCurrentException();
  }
  return kFailed;
}

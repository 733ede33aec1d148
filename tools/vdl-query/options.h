#pragma once
// The command line of vdl-query, read into plain data.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vendrel::vdlquery {

enum class OutputFormat { Table, Tsv, Csv, Json };

// "table", "tsv", "csv" or "json", without regard to case.
std::optional<OutputFormat> ParseOutputFormat(std::string_view name);

// A request the tool refuses in its own words (bad usage, an unknown input
// name); what() is one line without the program's name.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct InputOption {
  std::string name;
  std::string path;
};

struct Options {
  std::vector<InputOption> inputs;
  std::optional<OutputFormat> format;  // none: table on a terminal, tsv otherwise
  std::string tempFolder;
  std::string altQuote;
  std::optional<std::string> sql;  // none: statements from standard input
  bool help = false;
  bool version = false;
};

// Raises ToolError for a command line that cannot be used.
Options ParseCommandLine(const std::vector<std::string>& arguments);

// A name under which an input can be added and named in a statement: letters,
// digits and "_", not starting with a digit.
bool IsRecordsetName(std::string_view name);
// Raises ToolError naming the fault when the name is not one.
void RequireRecordsetName(std::string_view name);

std::string UsageText();

}  // namespace vendrel::vdlquery

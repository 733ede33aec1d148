#pragma once
// The command line of vdl-query, read into plain data.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vendrel::vdlquery {

enum class OutputFormat { Table, Tsv, Csv, Json, Ndjson, Markdown, Box };

// "table", "tsv", "csv", "json", "ndjson", "markdown" or "box", without regard to case.
std::optional<OutputFormat> ParseOutputFormat(std::string_view name);
// The name ParseOutputFormat reads.
const char* OutputFormatName(OutputFormat format);
inline constexpr const char* kOutputFormatList = "table, tsv, csv, json, ndjson, markdown or box";

// How an input file is split: by its extension unless an option says.
enum class InputFormat { Csv, Tsv };
std::optional<InputFormat> ParseInputFormat(std::string_view name);

struct InputSettings {
  std::optional<InputFormat> format;  // none: by the extension (csv for standard input)
  bool header = true;                 // the first line holds the column names
  uint64_t maxSize = 0;               // the largest input read, in bytes; 0: no bound
};

// The machine's memory: no larger input fits there once it is read, so a
// user meets this bound only with an input that could not be read anyway.
uint64_t DefaultMaxInputSize();
// "123", "500K", "2M", "1G", "1T" (powers of 1024; the letter in either
// case); nullopt for anything else.
std::optional<uint64_t> ParseSize(std::string_view text);
// A size as a person reads it: "512 bytes", "1.5 KiB", "2.0 GiB".
std::string SizeText(uint64_t bytes);

// A request the tool refuses in its own words (bad usage, an unknown input
// name); what() is one line without the program's name.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The path "-" is standard input.
struct InputOption {
  std::string name;
  std::string path;
  InputSettings settings;
};

inline constexpr std::string_view kStandardInput = "-";

struct Options {
  std::vector<InputOption> inputs;
  InputSettings loadSettings;  // the input options, for every input and .load
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

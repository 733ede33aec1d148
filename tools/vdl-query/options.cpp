#include "options.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <iterator>

#include "input_file.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::vdlquery {

std::optional<OutputFormat> ParseOutputFormat(std::string_view name) {
  if (EqualsNoCase(name, "table")) return OutputFormat::Table;
  if (EqualsNoCase(name, "tsv")) return OutputFormat::Tsv;
  if (EqualsNoCase(name, "csv")) return OutputFormat::Csv;
  if (EqualsNoCase(name, "json")) return OutputFormat::Json;
  if (EqualsNoCase(name, "ndjson")) return OutputFormat::Ndjson;
  if (EqualsNoCase(name, "markdown")) return OutputFormat::Markdown;
  if (EqualsNoCase(name, "box")) return OutputFormat::Box;
  return std::nullopt;
}

const char* OutputFormatName(OutputFormat format) {
  switch (format) {
    case OutputFormat::Table: return "table";
    case OutputFormat::Tsv: return "tsv";
    case OutputFormat::Csv: return "csv";
    case OutputFormat::Json: return "json";
    case OutputFormat::Ndjson: return "ndjson";
    case OutputFormat::Markdown: return "markdown";
    case OutputFormat::Box: return "box";
  }
  return "table";
}

std::optional<InputFormat> ParseInputFormat(std::string_view name) {
  if (EqualsNoCase(name, "csv")) return InputFormat::Csv;
  if (EqualsNoCase(name, "tsv")) return InputFormat::Tsv;
  return std::nullopt;
}

uint64_t DefaultMaxInputSize() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return uint64_t{16} << 30;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

std::optional<uint64_t> ParseSize(std::string_view text) {
  uint64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  const std::string_view unit(end, static_cast<size_t>(text.data() + text.size() - end));
  if (unit.empty()) return number;
  if (unit.size() != 1) return std::nullopt;
  const size_t shift = std::string_view("KMGT").find(static_cast<char>(std::toupper(static_cast<unsigned char>(unit[0]))));
  if (shift == std::string_view::npos) return std::nullopt;
  const unsigned bits = 10 * static_cast<unsigned>(shift + 1);
  if (number > (UINT64_MAX >> bits)) return std::nullopt;
  return number << bits;
}

std::string SizeText(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

bool IsRecordsetName(std::string_view name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name.front()))) return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_') || static_cast<unsigned char>(c) >= 0x80)
      return false;
  return true;
}

void RequireRecordsetName(std::string_view name) {
  if (!IsRecordsetName(name))
    throw ToolError("'" + std::string(name) + "' is not a recordset name: use letters, digits and _, not starting with a digit");
}

namespace {

// The value of an option: "--name=value", "-xvalue", or the next argument.
class ArgumentReader {
 public:
  explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  bool Done() const { return next_ >= arguments_.size(); }
  const std::string& Next() { return arguments_[next_++]; }

  std::string ValueOf(const std::string& option, std::string_view inlineValue, bool hasInline) {
    if (hasInline) return std::string(inlineValue);
    if (Done()) throw ToolError("option " + option + " needs a value");
    return Next();
  }

 private:
  const std::vector<std::string>& arguments_;
  size_t next_ = 0;
};

InputOption ParseInput(const std::string& value) {
  const size_t eq = value.find('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 == value.size())
    throw ToolError("--input expects NAME=FILE, not '" + value + "'");
  InputOption input{value.substr(0, eq), value.substr(eq + 1), {}};
  RequireRecordsetName(input.name);
  return input;
}

}  // namespace

Options ParseCommandLine(const std::vector<std::string>& arguments) {
  Options options;
  ArgumentReader reader(arguments);
  bool optionsEnded = false;
  bool maxSizeGiven = false;
  while (!reader.Done()) {
    const std::string& arg = reader.Next();
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (options.sql) throw ToolError("give the statement as one argument (in quotes)");
      options.sql = arg;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // Split "--name=value" and "-xvalue".
    std::string name = arg;
    std::string_view inlineValue;
    bool hasInline = false;
    if (arg.starts_with("--")) {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        inlineValue = std::string_view(arg).substr(eq + 1);
        hasInline = true;
      }
    } else if (arg.size() > 2) {
      name = arg.substr(0, 2);
      inlineValue = std::string_view(arg).substr(2);
      hasInline = true;
    }

    if (name == "-i" || name == "--input") {
      InputOption input = ParseInput(reader.ValueOf(name, inlineValue, hasInline));
      for (const InputOption& earlier : options.inputs) {
        if (EqualsNoCase(earlier.name, input.name)) throw ToolError("the input name '" + input.name + "' is given twice");
        if (earlier.path == kStandardInput && input.path == kStandardInput)
          throw ToolError("standard input (-) can be read as one input only");
      }
      options.inputs.push_back(std::move(input));
    } else if (name == "-t" || name == "--input-format") {
      const std::string value = reader.ValueOf(name, inlineValue, hasInline);
      options.loadSettings.format = ParseInputFormat(value);
      if (!options.loadSettings.format) throw ToolError("unknown input format '" + value + "': use csv or tsv");
    } else if (name == "--no-header" && !hasInline) {
      options.loadSettings.header = false;
    } else if (name == "-f" || name == "--format") {
      const std::string value = reader.ValueOf(name, inlineValue, hasInline);
      options.format = ParseOutputFormat(value);
      if (!options.format) throw ToolError("unknown format '" + value + "': use " + kOutputFormatList);
    } else if (name == "--temp-folder") {
      options.tempFolder = reader.ValueOf(name, inlineValue, hasInline);
      if (options.tempFolder.empty()) throw ToolError("--temp-folder needs a folder");
    } else if (name == "--max-input-size") {
      const std::string value = reader.ValueOf(name, inlineValue, hasInline);
      const std::optional<uint64_t> size = ParseSize(value);
      if (!size) throw ToolError("--max-input-size expects a size such as 500M or 2G, not '" + value + "'");
      options.loadSettings.maxSize = *size;
      maxSizeGiven = true;
    } else if (name == "--alt-quote") {
      options.altQuote = reader.ValueOf(name, inlineValue, hasInline);
    } else if ((name == "-h" || name == "--help") && !hasInline) {
      options.help = true;
    } else if (name == "--version" && !hasInline) {
      options.version = true;
    } else {
      throw ToolError("unknown option '" + arg + "'");
    }
  }
  if (!maxSizeGiven) options.loadSettings.maxSize = DefaultMaxInputSize();
  // The input options hold for every input, wherever they stand.
  for (InputOption& input : options.inputs) {
    input.settings = options.loadSettings;
    InputFormatOf(input.path, input.settings);
  }
  const bool readsStandardInput = std::any_of(options.inputs.begin(), options.inputs.end(),
                                              [](const InputOption& input) { return input.path == kStandardInput; });
  if (readsStandardInput && !options.sql && !options.help && !options.version)
    throw ToolError("standard input (-) holds an input: give the statement on the command line");
  return options;
}

std::string UsageText() {
  return R"(usage: vdl-query [OPTIONS] [SQL]

Runs a SELECT or a TRANSFORM ... PIVOT crosstab across delimited text
files, each read into an in-memory recordset and named in the statement by
its NAME. With SQL: runs it once and prints the result. Without: reads
statements from standard input, each ending in ";" (outside quotes,
brackets and comments: -- to the end of the line, /* ... */; a PARAMETERS
declaration's own ";" does not end it), with an interactive shell on a
terminal: Tab completes names, the history is kept, Ctrl-C stops a
statement; .help there lists the commands. An error that says where in the
statement points there with a caret. man vdl-query has the details.

NAME is letters, digits and _. A statement names an input as a table (FROM
rs1, JOIN rs1 AS a, in subqueries and UNION members too) and as a qualifier
(rs1.PRODUCT); only there is the name replaced, without regard to case, so a
column, an alias or a text that equals a NAME stays as written.

  -i, --input NAME=FILE   read FILE (.csv comma-separated; .tsv, .tab, .txt
                          tab-separated; first line the column names) and add
                          it under NAME; repeatable. FILE - is standard input
                          (csv unless -t says otherwise; the statement then
                          comes from the command line). A schema.ini beside
                          FILE with a section for it decides the columns' types.
  -t, --input-format FMT  csv | tsv: read every input so, whatever its name
      --no-header         the inputs' first lines are data; columns are F1, F2...
  -f, --format FMT        table | tsv | csv | json | ndjson | markdown | box
                          (default: table on a terminal, tsv otherwise);
                          ndjson is one JSON object per row, keyed by the
                          column names
      --temp-folder DIR   folder under which each query makes its work folder
      --alt-quote TEXT    what replaces each double quote in the inputs' text
                          values (without it every value goes in unchanged)
      --max-input-size SIZE
                          the largest input read, in bytes or with K, M, G or
                          T (500M, 2G); 0: no bound. Default: the machine's
                          memory, which no larger input fits once read. A
                          stream (standard input, a pipe, a device such as
                          /dev/zero) is copied to the temporary folder as it
                          is read, and no further than would leave less than
                          1 GiB (or a twentieth of its disk) free there
  -h, --help              this help
      --version           the program's version

Example:
  vdl-query -i rs1=products.csv -i rs2=suppliers.csv \
    "SELECT rs1.PRODUCT, rs2.COUNTRY FROM rs1 LEFT OUTER JOIN rs2 ON rs1.SUPPLIER=rs2.SUPPLIER"

Exit status: 0 success, 1 a failed statement or input, 2 bad usage.
)";
}

}  // namespace vendrel::vdlquery

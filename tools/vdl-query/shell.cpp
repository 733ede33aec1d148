#include "shell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "completion.h"
#include "input_lines.h"
#include "interrupt.h"
#include "report.h"
#include "result_writer.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/driver/dialect.h"
#include "vendrel/driver/sql_tokens.h"

namespace vendrel::vdlquery {

namespace {

constexpr const char* kPrompt = "vdl> ";
constexpr const char* kContinuationPrompt = " ...> ";

constexpr const char* kCommandHelp =
    "A statement runs once it ends in \";\" (outside quotes and brackets); it may go over several lines.\n"
    "Commands take one line and need no \";\".\n"
    ".load NAME FILE   read FILE (by its extension, or as the input options say) as the input NAME\n"
    ".save NAME        keep the last result as NAME, an optimized recordset later statements can use\n"
    ".remove NAME      take NAME out of the inputs\n"
    ".format [FMT]     show or set the output format: table, tsv, csv, json, ndjson, markdown or box\n"
    ".mode [FMT]       the same as .format\n"
    ".read FILE        run the statements and commands of FILE\n"
    ".output [FILE]    write results to FILE (replacing it); without FILE, to standard output again\n"
    ".timer on|off     show the time each statement takes\n"
    ".tables           the inputs with their fields and types\n"
    ".schema [NAME]    each input's columns (or NAME's) as a statement names them, with their types\n"
    ".functions        the functions a statement may call, with their arguments\n"
    ".help             this text\n"
    ".quit             end (so does the end of the input, or Ctrl-D)\n"
    "Comments: -- to the end of the line, /* ... */. Ctrl-C stops a statement; at the prompt it drops the line.\n"
    "Tab completes commands, input names, columns after NAME. and keywords; the history is kept in\n"
    "$XDG_STATE_HOME/vdl-query/history (or ~/.local/state/vdl-query/history).\n";

// How deeply .read may nest: a file that reads itself stops there.
constexpr int kReadDepthLimit = 16;

std::string Plural(size_t n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

void ListEntries(std::ostream& out, QuerySession& session) {
  const std::vector<EntryDescription> entries = session.Entries();
  if (entries.empty()) out << "(no inputs)\n";
  for (const EntryDescription& entry : entries) {
    out << entry.name << "  " << entry.origin << ", " << Plural(entry.rows, "row") << "\n";
    size_t width = 0;
    for (const FieldInfo& field : entry.fields) width = std::max(width, field.name.size());
    for (const FieldInfo& field : entry.fields)
      out << "  " << field.name << std::string(width - field.name.size(), ' ') << "  " << TypeName(field.type)
          << " (" << field.type << ")\n";
  }
  out << std::flush;
}

// Each input (or the one named) on one line: its name and its columns with
// their types, the names as a statement writes them.
void ListSchema(std::ostream& out, QuerySession& session, const std::string& only) {
  const std::vector<EntryDescription> entries = session.Entries();
  bool found = false;
  for (const EntryDescription& entry : entries) {
    if (!only.empty() && !EqualsNoCase(entry.name, only)) continue;
    found = true;
    out << NameInStatement(entry.name) << " (";
    for (size_t i = 0; i < entry.fields.size(); ++i)
      out << (i ? ", " : "") << NameInStatement(entry.fields[i].name) << " " << TypeName(entry.fields[i].type);
    out << ")\n";
  }
  if (!found && !only.empty()) {
    std::vector<std::string> names;
    for (const EntryDescription& entry : entries) names.push_back(entry.name);
    const std::string closest = driver::ClosestName(only, names);
    throw ToolError("there is no input named '" + only + "'" +
                    (closest.empty() ? std::string() : "; did you mean '" + closest + "'?"));
  }
  if (entries.empty()) out << "(no inputs)\n";
  out << std::flush;
}

// The dialect's functions by name, then its aggregates.
void ListFunctions(std::ostream& out) {
  std::vector<driver::DialectFunction> functions = driver::DialectFunctions();
  std::stable_sort(functions.begin(), functions.end(), [](const auto& a, const auto& b) {
    return a.aggregate != b.aggregate ? b.aggregate : FoldCase(a.name) < FoldCase(b.name);
  });
  out << "Functions:\n";
  bool aggregates = false;
  for (const driver::DialectFunction& f : functions) {
    if (f.aggregate && !aggregates) {
      out << "Aggregates, over the rows of each group:\n";
      aggregates = true;
    }
    out << "  " << f.name << "(" << f.arguments << ")\n";
  }
  out << std::flush;
}

// The words of a command line; the last one takes the rest of the line when
// `words` are asked for, so that a file name may hold spaces.
std::vector<std::string> SplitCommand(const std::string& line, size_t words) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (parts.size() < words) {
    at = line.find_first_not_of(" \t", at);
    if (at == std::string::npos) break;
    size_t end = parts.size() + 1 == words ? line.find_last_not_of(" \t") + 1 : line.find_first_of(" \t", at);
    if (end == std::string::npos) end = line.size();
    parts.push_back(line.substr(at, end - at));
    at = end;
  }
  return parts;
}

std::string Unquoted(std::string text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

// A file of statements for .read, closed with this object.
class OpenedFile {
 public:
  explicit OpenedFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) throw ToolError("cannot open '" + path + "': " + std::strerror(errno));
  }
  ~OpenedFile() { ::close(fd_); }
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;
  int Descriptor() const noexcept { return fd_; }

 private:
  int fd_;
};


// Seconds of wall-clock, user and system time since it was made.
class RunTimer {
 public:
  RunTimer() : start_(std::chrono::steady_clock::now()), usage_(Usage()) {}
  std::string Text() const {
    const rusage now = Usage();
    auto seconds = [](const timeval& a, const timeval& b) {
      return static_cast<double>(b.tv_sec - a.tv_sec) + static_cast<double>(b.tv_usec - a.tv_usec) / 1e6;
    };
    char text[96];
    std::snprintf(text, sizeof text, "Run Time: real %.3f user %.6f sys %.6f\n",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(),
                  seconds(usage_.ru_utime, now.ru_utime), seconds(usage_.ru_stime, now.ru_stime));
    return text;
  }

 private:
  static rusage Usage() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage;
  }
  std::chrono::steady_clock::time_point start_;
  rusage usage_;
};

class Shell {
 public:
  Shell(QuerySession& session, OutputFormat format, bool interactive, InputSettings loadSettings)
      : session_(session), format_(format), interactive_(interactive), loadSettings_(loadSettings) {}

  int Run() {
    KeepRunningAfterCtrlC(interactive_);
    const LineReader read =
        interactive_ ? EditLineReader(kPrompt, kContinuationPrompt,
                                      [this](std::string_view line, size_t start, std::string_view word,
                                             bool continuation) {
                                        return Completions(session_.Entries(), line, start, word, continuation);
                                      },
                                      DefaultHistoryPath())
                     : DescriptorLines(STDIN_FILENO);
    if (interactive_)
      std::cout << "vdl-query: statements end in \";\"; .help lists the commands\n" << std::flush;
    const Outcome outcome = RunInput(read, interactive_);
    if (interruptedBy_) return 128 + interruptedBy_;
    if (interactive_) std::cout << "\n" << std::flush;
    return outcome == Outcome::Failed && !interactive_ ? 1 : 0;
  }

 private:
  // Interrupted: Ctrl-C stopped a statement of an interactive shell, which
  // goes on at its prompt; the files being read stop there.
  enum class Outcome { Done, Failed, Quit, Interrupted };

  // Runs the statements and commands of one input to its end, .quit or an
  // interrupt that ends the program (interruptedBy_). A statement runs at the
  // ";" that ends it; a line ending in "\" goes on in the next line whatever
  // it holds; a command is one line that starts with "." where no statement
  // has begun. At the end of the input a statement without its ";" runs too.
  Outcome RunInput(const LineReader& read, bool interactive) {
    bool failed = false;
    std::string pending;  // a statement begun on earlier lines
    bool interrupted = false;
    auto note = [&](Outcome outcome) {
      if (outcome == Outcome::Failed) failed = true;
      if (outcome == Outcome::Interrupted) {
        if (readDepth_ > 0) {
          interrupted = true;
          return true;
        }
        pending.clear();
      }
      return outcome == Outcome::Quit || interruptedBy_ != 0;
    };
    auto ended = [&] { return interrupted ? Outcome::Interrupted : failed ? Outcome::Failed : Outcome::Quit; };
    for (;;) {
      std::optional<std::string> line = read(!pending.empty());
      if (const int signal = TakeInterrupt()) {
        if (!(interactive && signal == SIGINT)) {
          interruptedBy_ = signal;
          return Outcome::Failed;
        }
        std::cout << "\n" << std::flush;  // at the prompt, an interrupt drops what was typed
        pending.clear();
        continue;
      }
      if (!line) break;
      if (!line->empty() && line->back() == '\r') line->pop_back();
      if (pending.empty() && driver::SqlHoldsNoTokens(*line)) continue;
      if (pending.empty() && line->at(line->find_first_not_of(" \t")) == '.') {
        if (interactive) AddToHistory(*line);
        if (note(RunOne(*line, true))) return ended();
        continue;
      }
      if (!line->empty() && line->back() == '\\') {
        line->pop_back();
        pending += *line + "\n";
        continue;
      }
      pending += *line;
      while (const std::optional<size_t> end = driver::SqlStatementEnd(pending)) {
        const std::string statement = pending.substr(0, *end);
        pending.erase(0, *end);
        if (driver::SqlHoldsNoTokens(statement.substr(0, statement.size() - 1))) continue;  // ";" alone
        if (interactive) AddToHistory(statement);
        if (note(RunOne(statement, false))) return ended();
      }
      if (driver::SqlHoldsNoTokens(pending))
        pending.clear();
      else
        pending += "\n";
    }
    if (!driver::SqlHoldsNoTokens(pending)) {
      if (interactive) AddToHistory(pending);
      note(RunOne(pending, false));
    }
    return failed ? Outcome::Failed : Outcome::Done;
  }

  std::ostream& Out() { return output_ ? static_cast<std::ostream&>(*output_) : std::cout; }

  Outcome RunOne(const std::string& text, bool command) {
    try {
      if (command) {
        const Outcome outcome = Command(text.substr(text.find_first_not_of(" \t")));
        return PendingInterrupt() ? Interrupted() : outcome;
      }
      const RunTimer timer;
      const Ref<Recordset> result = session_.Run(text);
      if (PendingInterrupt()) return Interrupted();  // the result is dropped
      WriteResult(Out(), *result->Rows(), format_);
      if (timer_) Out() << timer.Text() << std::flush;
      if (output_ && !*output_) throw ToolError("cannot write to '" + outputPath_ + "'");
      return Outcome::Done;
    } catch (...) {
      // A statement stopped by an interrupt fails with the cancellation, which says nothing new.
      if (PendingInterrupt()) return Interrupted();
      ReportCurrentException(command ? std::string_view() : std::string_view(text));
    }
    return Outcome::Failed;
  }

  Outcome Interrupted() {
    const int signal = TakeInterrupt();
    if (interactive_ && signal == SIGINT) {
      ReportToolError("interrupted");
      return Outcome::Interrupted;
    }
    interruptedBy_ = signal;
    return Outcome::Failed;
  }

  Outcome Command(const std::string& line) {
    const std::string name = line.substr(0, line.find_first_of(" \t"));
    auto arguments = [&](size_t count, const char* usage) {
      std::vector<std::string> parts = SplitCommand(line, count + 1);
      if (parts.size() != count + 1 || SplitCommand(line, count + 2).size() > count + 1)
        throw ToolError(std::string("usage: ") + usage);
      return parts;
    };
    if (name == ".load") {
      const auto parts = SplitCommand(line, 3);
      if (parts.size() != 3) throw ToolError("usage: .load NAME FILE");
      if (Unquoted(parts[2]) == kStandardInput)
        throw ToolError("standard input holds the statements here: .load reads files only");
      const std::vector<std::string> notes = session_.Load(parts[1], Unquoted(parts[2]), loadSettings_);
      for (const std::string& note : notes) ReportToolError(note);
    } else if (name == ".save") {
      const auto parts = arguments(1, ".save NAME");
      if (!session_.Save(parts[1]))
        ReportToolError("note: the statement gave another result when run again to be saved; " + parts[1] +
                        " holds the new one");
    } else if (name == ".remove") {
      session_.Remove(arguments(1, ".remove NAME")[1]);
    } else if (name == ".format" || name == ".mode") {
      const auto parts = SplitCommand(line, 3);
      if (parts.size() == 1) {
        Out() << OutputFormatName(format_) << "\n" << std::flush;
      } else {
        const std::optional<OutputFormat> format = parts.size() == 2 ? ParseOutputFormat(parts[1]) : std::nullopt;
        if (!format) throw ToolError("usage: " + name + " table|tsv|csv|json|ndjson|markdown|box");
        format_ = *format;
      }
    } else if (name == ".read") {
      const auto parts = SplitCommand(line, 2);
      if (parts.size() != 2) throw ToolError("usage: .read FILE");
      const std::string path = Unquoted(parts[1]);
      if (readDepth_ >= kReadDepthLimit)
        throw ToolError(".read nests more than " + std::to_string(kReadDepthLimit) + " files deep at '" + path + "'");
      const OpenedFile file(path);
      ++readDepth_;
      const Outcome outcome = RunInput(DescriptorLines(file.Descriptor()), false);
      --readDepth_;
      return outcome;
    } else if (name == ".output") {
      const auto parts = SplitCommand(line, 2);
      if (parts.size() == 1) {
        output_.reset();
        outputPath_.clear();
      } else {
        const std::string path = Unquoted(parts[1]);
        auto file = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
        if (!*file) throw ToolError("cannot write to '" + path + "': " + std::strerror(errno));
        output_ = std::move(file);
        outputPath_ = path;
      }
    } else if (name == ".timer") {
      const auto parts = arguments(1, ".timer on|off");
      if (parts[1] != "on" && parts[1] != "off") throw ToolError("usage: .timer on|off");
      timer_ = parts[1] == "on";
    } else if (name == ".tables") {
      arguments(0, ".tables");
      ListEntries(Out(), session_);
    } else if (name == ".schema") {
      const auto parts = SplitCommand(line, 2);
      ListSchema(Out(), session_, parts.size() == 2 ? parts[1] : std::string());
    } else if (name == ".functions") {
      arguments(0, ".functions");
      ListFunctions(Out());
    } else if (name == ".help") {
      Out() << kCommandHelp << std::flush;
    } else if (name == ".quit" || name == ".exit") {
      return Outcome::Quit;
    } else {
      throw ToolError("unknown command " + name + " (.help lists the commands)");
    }
    return Outcome::Done;
  }

  QuerySession& session_;
  OutputFormat format_;
  bool interactive_;
  InputSettings loadSettings_;
  std::unique_ptr<std::ofstream> output_;  // .output FILE; standard output when none
  std::string outputPath_;
  bool timer_ = false;
  int readDepth_ = 0;
  int interruptedBy_ = 0;  // the signal that ends the program
};

}  // namespace

int RunShell(QuerySession& session, OutputFormat format, bool interactive, const InputSettings& loadSettings) {
  return Shell(session, format, interactive, loadSettings).Run();
}

}  // namespace vendrel::vdlquery

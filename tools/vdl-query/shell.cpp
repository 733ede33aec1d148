#include "shell.h"

#include <editline/readline.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "interrupt.h"
#include "report.h"
#include "result_writer.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::vdlquery {

namespace {

constexpr const char* kPrompt = "vdl> ";
constexpr const char* kContinuationPrompt = " ...> ";

constexpr const char* kCommandHelp =
    "Statements run one per line; a line ending in \"\\\" goes on in the next.\n"
    ".load NAME FILE   read FILE (.csv, .tsv, .tab, .txt) as the input NAME\n"
    ".save NAME        keep the last result as NAME, an optimized recordset later statements can use\n"
    ".remove NAME      take NAME out of the inputs\n"
    ".format [FMT]     show or set the output format: table, tsv, csv or json\n"
    ".tables           the inputs with their fields and types\n"
    ".help             this text\n"
    ".quit             end (so does the end of the input)\n";

// The next line without its line end; nothing at the end of the input.
using LineReader = std::function<std::optional<std::string>(bool continuation)>;

// Waits until the descriptor can be read, in short steps so that an
// interrupt that comes just before a read is seen as well; false once one came.
bool WaitForInput(int fd) {
  for (;;) {
    if (PendingInterrupt()) return false;
    pollfd ready{fd, POLLIN, 0};
    const int n = ::poll(&ready, 1, 200);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return true;  // the read says what is wrong
  }
}

// Lines of a file or pipe; an interrupt ends the input.
class DescriptorReader {
 public:
  explicit DescriptorReader(int fd) : fd_(fd) {}

  std::optional<std::string> operator()(bool) {
    for (;;) {
      const size_t lineEnd = pending_.find('\n');
      if (lineEnd != std::string::npos) {
        std::string line = pending_.substr(0, lineEnd);
        pending_.erase(0, lineEnd + 1);
        return line;
      }
      if (ended_ || !WaitForInput(fd_)) break;
      char buffer[65536];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0)
        pending_.append(buffer, static_cast<size_t>(n));
      else if (n == 0 || errno != EINTR)
        ended_ = true;
    }
    if (pending_.empty() || PendingInterrupt()) return std::nullopt;
    return std::exchange(pending_, std::string());  // a last line without its line end
  }

 private:
  int fd_;
  std::string pending_;
  bool ended_ = false;
};

// One byte from the terminal; EOF at its end or once an interrupt came.
int ReadTerminalByte(int fd) {
  for (;;) {
    if (!WaitForInput(fd)) return EOF;
    unsigned char byte;
    const ssize_t n = ::read(fd, &byte, 1);
    if (n == 1) return byte;
    if (n == 0 || errno != EINTR) return EOF;
  }
}

// Keys for the line editor, as code points of the UTF-8 the terminal sends.
// The editor would wait for the next key after a signal, so an interrupt
// ends the read here and the line is dropped.
int ReadKey(FILE* in) {
  const int fd = ::fileno(in);
  const int lead = ReadTerminalByte(fd);
  if (lead == EOF || lead < 0x80) return lead;
  // The lead byte says how many bytes to wait for; NextCodePoint judges them.
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  std::string bytes(1, static_cast<char>(lead));
  while (bytes.size() < length) {
    const int next = ReadTerminalByte(fd);
    if (next == EOF) return EOF;
    if ((next & 0xC0) != 0x80) return 0xFFFD;
    bytes += static_cast<char>(next);
  }
  const CodePointStep step = NextCodePoint(bytes, 0);
  return step.codePoint < 0 || step.next != bytes.size() ? 0xFFFD : step.codePoint;
}

LineReader EditLineReader() {
  // The editor keeps wide characters and gives the line back in the
  // character set of LC_CTYPE: UTF-8, the system's text encoding.
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "");
  rl_getc_function = ReadKey;
  return [](bool continuation) -> std::optional<std::string> {
    std::unique_ptr<char, decltype(&std::free)> line(::readline(continuation ? kContinuationPrompt : kPrompt),
                                                      &std::free);
    if (!line) return std::nullopt;
    return std::string(line.get());
  };
}

std::string TypeName(int type) {
  switch (type) {
    case adBoolean: return "Boolean";
    case adTinyInt:
    case adUnsignedTinyInt: return "Byte";
    case adSmallInt: return "Short";
    case adInteger: return "Long";
    case adBigInt: return "BigInt";
    case adSingle: return "Single";
    case adDouble: return "Double";
    case adCurrency: return "Currency";
    case adDecimal:
    case adNumeric: return "Decimal";
    case adDate:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp: return "DateTime";
    case adLongVarChar:
    case adLongVarWChar: return "Memo";
    case adGUID: return "GUID";
    case adLongVarBinary:
    case adVarBinary:
    case adBinary: return "OLE";
    default: return IsTextType(type) ? "Text" : "Variant";
  }
}

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

// A continued statement goes into the history as one line.
void AddToHistory(std::string statement) {
  std::replace(statement.begin(), statement.end(), '\n', ' ');
  ::add_history(statement.c_str());
}

class Shell {
 public:
  Shell(QuerySession& session, OutputFormat format, bool interactive)
      : session_(session), format_(format), interactive_(interactive) {}

  int Run() {
    const LineReader read = interactive_ ? EditLineReader() : DescriptorReader(STDIN_FILENO);
    if (interactive_) std::cout << "vdl-query: statements one per line; .help lists the commands\n" << std::flush;
    bool failed = false;
    for (;;) {
      std::optional<std::string> statement = ReadStatement(read);
      if (const int signal = TakeInterrupt()) {
        if (!(interactive_ && signal == SIGINT)) return 128 + signal;
        std::cout << "\n" << std::flush;  // at the prompt, an interrupt drops the line
        continue;
      }
      if (!statement) break;
      if (statement->find_first_not_of(" \t") == std::string::npos) continue;
      if (interactive_) AddToHistory(*statement);
      const Outcome outcome = RunOne(*statement);
      if (outcome == Outcome::Quit) break;
      if (outcome == Outcome::Failed) failed = true;
      if (const int signal = TakeInterrupt()) {
        if (!(interactive_ && signal == SIGINT)) return 128 + signal;
      }
    }
    if (interactive_) std::cout << "\n" << std::flush;
    return failed && !interactive_ ? 1 : 0;
  }

 private:
  enum class Outcome { Done, Failed, Quit };

  // Lines joined while they end in "\"; the line break stays in the statement.
  static std::optional<std::string> ReadStatement(const LineReader& read) {
    std::optional<std::string> statement;
    for (bool continuation = false;; continuation = true) {
      std::optional<std::string> line = read(continuation);
      if (!line) return statement;
      if (!line->empty() && line->back() == '\r') line->pop_back();
      const bool goesOn = !line->empty() && line->back() == '\\';
      if (goesOn) line->pop_back();
      statement = statement ? *statement + "\n" + *line : *line;
      if (!goesOn) return statement;
    }
  }

  Outcome RunOne(const std::string& text) {
    try {
      const size_t start = text.find_first_not_of(" \t");
      if (text[start] == '.') return Command(text.substr(start));
      Ref<Recordset> result;
      {
        StatementInProgress running;
        result = session_.Run(text);
      }
      if (PendingInterrupt()) return Outcome::Failed;  // the result is dropped
      WriteResult(std::cout, *result->Rows(), format_);
      return Outcome::Done;
    } catch (...) {
      ReportCurrentException();
    }
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
      StatementInProgress running;
      session_.Load(parts[1], Unquoted(parts[2]));
    } else if (name == ".save") {
      const auto parts = arguments(1, ".save NAME");
      bool same;
      {
        StatementInProgress running;
        same = session_.Save(parts[1]);
      }
      if (!same)
        ReportToolError("note: the statement gave another result when run again to be saved; " + parts[1] +
                        " holds the new one");
    } else if (name == ".remove") {
      session_.Remove(arguments(1, ".remove NAME")[1]);
    } else if (name == ".format") {
      const auto parts = SplitCommand(line, 3);
      if (parts.size() == 1) {
        static constexpr const char* kNames[] = {"table", "tsv", "csv", "json"};
        std::cout << kNames[static_cast<int>(format_)] << "\n" << std::flush;
      } else {
        const std::optional<OutputFormat> format = parts.size() == 2 ? ParseOutputFormat(parts[1]) : std::nullopt;
        if (!format) throw ToolError("usage: .format table|tsv|csv|json");
        format_ = *format;
      }
    } else if (name == ".tables") {
      arguments(0, ".tables");
      ListEntries(std::cout, session_);
    } else if (name == ".help") {
      std::cout << kCommandHelp << std::flush;
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
};

}  // namespace

int RunShell(QuerySession& session, OutputFormat format, bool interactive) {
  return Shell(session, format, interactive).Run();
}

}  // namespace vendrel::vdlquery

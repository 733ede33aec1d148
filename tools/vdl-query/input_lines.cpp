#include "input_lines.h"

#include <editline/readline.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "interrupt.h"
#include "report.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::vdlquery {

namespace {

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

class DescriptorReader {
 public:
  explicit DescriptorReader(int fd) : fd_(fd) {}

  std::optional<std::string> operator()(bool) {
    for (;;) {
      const size_t lineEnd = pending_.find_first_of("\r\n");
      // A CR at the end of what has come may be the start of CR LF.
      if (lineEnd != std::string::npos && (pending_[lineEnd] == '\n' || lineEnd + 1 < pending_.size() || ended_)) {
        std::string line = pending_.substr(0, lineEnd);
        const bool crlf = pending_[lineEnd] == '\r' && lineEnd + 1 < pending_.size() && pending_[lineEnd + 1] == '\n';
        pending_.erase(0, lineEnd + (crlf ? 2 : 1));
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

// The editor's state lives in the library's globals; so does the one reader's.
struct EditorState {
  Completer completer;
  std::string historyPath;
  bool continuation = false;
  bool historyFailed = false;
  std::vector<std::string> matches;  // of the word being completed
};
EditorState editor;

// Characters that end the word Tab completes; "." and brackets are not
// among them, so that a column after "name." completes with its name.
char kWordBreaks[] = " \t\n\"'`@$><=;|&{(),+-*/\\^!";

char* NextMatch(const char*, int state) {
  static size_t next = 0;
  if (state == 0) next = 0;
  if (next >= editor.matches.size()) return nullptr;
  return ::strdup(editor.matches[next++].c_str());
}

char** Complete(const char* text, int start, int) {
  rl_attempted_completion_over = 1;
  if (!editor.completer) return nullptr;
  const std::optional<std::vector<std::string>> matches =
      editor.completer(rl_line_buffer ? rl_line_buffer : "", static_cast<size_t>(start), text, editor.continuation);
  if (!matches) {
    rl_attempted_completion_over = 0;  // the editor's own: file names
    return nullptr;
  }
  if (matches->empty()) return nullptr;
  editor.matches = *matches;
  return ::rl_completion_matches(text, NextMatch);
}

// Creates the folders of `path` that are missing, for the user alone.
void MakeParentFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    ::mkdir(path.substr(0, slash).c_str(), 0700);
}

void SaveHistory() {
  if (editor.historyPath.empty()) return;
  MakeParentFolders(editor.historyPath);
  if (::write_history(editor.historyPath.c_str()) == 0) {
    ::chmod(editor.historyPath.c_str(), 0600);  // the statements are the user's alone
    return;
  }
  if (editor.historyFailed) return;
  editor.historyFailed = true;
  ReportToolError("note: the history cannot be kept in '" + editor.historyPath + "'");
}

constexpr int kHistoryEntries = 2000;

}  // namespace

LineReader DescriptorLines(int fd) { return DescriptorReader(fd); }

LineReader EditLineReader(std::string prompt, std::string continuationPrompt, Completer completer,
                          std::string historyPath) {
  // The editor keeps wide characters and gives the line back in the
  // character set of LC_CTYPE: UTF-8, the system's text encoding.
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "");
  rl_getc_function = ReadKey;
  rl_attempted_completion_function = Complete;
  rl_completer_word_break_characters = kWordBreaks;
  editor.completer = std::move(completer);
  editor.historyPath = std::move(historyPath);
  ::stifle_history(kHistoryEntries);
  if (!editor.historyPath.empty()) ::read_history(editor.historyPath.c_str());
  return [prompt = std::move(prompt),
          continuationPrompt = std::move(continuationPrompt)](bool continuation) -> std::optional<std::string> {
    editor.continuation = continuation;
    std::unique_ptr<char, decltype(&std::free)> line(::readline((continuation ? continuationPrompt : prompt).c_str()),
                                                      &std::free);
    if (!line) return std::nullopt;
    return std::string(line.get());
  };
}

void AddToHistory(std::string entry) {
  std::replace(entry.begin(), entry.end(), '\n', ' ');
  ::add_history(entry.c_str());
  SaveHistory();
}

std::string DefaultHistoryPath() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
    return std::string(state) + "/vdl-query/history";
  if (const char* home = std::getenv("HOME"); home && *home)
    return std::string(home) + "/.local/state/vdl-query/history";
  return {};
}

}  // namespace vendrel::vdlquery

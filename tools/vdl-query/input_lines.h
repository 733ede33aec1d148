#pragma once
// Lines of the shell's input: of a file or pipe, or typed at a terminal with
// line editing, a history kept between sessions and Tab completion.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrel::vdlquery {

// The next line without its line end; nothing at the end of the input or
// once an interrupt came.
using LineReader = std::function<std::optional<std::string>(bool continuation)>;

// Lines of a file or pipe. LF, CR LF and CR alone end a line; a last line
// may go without.
LineReader DescriptorLines(int fd);

// What Tab offers for `word`, which begins at byte `start` of the line typed
// so far; `continuation`: the line goes on a statement begun before.
// Nothing: file names.
using Completer =
    std::function<std::optional<std::vector<std::string>>(std::string_view line, size_t start, std::string_view word,
                                                           bool continuation)>;

// Lines typed at the terminal, with the prompts given. The history is read
// from `historyPath` and every line added to it is written back (a file that
// cannot be written is said once, on standard error); an empty path keeps
// none. One reader at a time.
LineReader EditLineReader(std::string prompt, std::string continuationPrompt, Completer completer,
                          std::string historyPath);

// Adds a statement or command to the history, a statement of several lines
// as one line.
void AddToHistory(std::string entry);

// $XDG_STATE_HOME/vdl-query/history, or ~/.local/state/vdl-query/history;
// empty when neither variable is set.
std::string DefaultHistoryPath();

}  // namespace vendrel::vdlquery

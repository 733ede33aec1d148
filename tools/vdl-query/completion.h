#pragma once
// What Tab completes in the shell: dot commands and their arguments, input
// names, the columns of an input after its name and a dot, keywords and the
// dialect's functions.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "query_session.h"

namespace vendrel::vdlquery {

// The shell's commands, for completion and help.
const std::vector<std::string>& CommandNames();

// The words that complete `word` (matched without regard to case), which
// begins at byte `start` of `line`; `continuation`: the line goes on a
// statement begun before. Nothing where a file name stands (the editor
// completes those).
std::optional<std::vector<std::string>> Completions(const std::vector<EntryDescription>& entries,
                                                    std::string_view line, size_t start, std::string_view word,
                                                    bool continuation);

// A column or input name as a statement writes it: in brackets unless it
// is a plain word of letters, digits and "_" that is no keyword.
std::string NameInStatement(std::string_view name);

}  // namespace vendrel::vdlquery

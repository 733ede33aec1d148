#pragma once
// A statement as the tool hands it to Execute.

#include <optional>
#include <string>
#include <string_view>

namespace vendrel::vdlquery {

// The query object finds the recordset names of a statement by the space or
// comma that follows them, so line breaks and tabs between words (a
// statement written over several lines) become spaces, and a final ";" gets
// a space before it. Text in quotes, brackets and backquotes stays as it is.
std::string StatementForExecute(std::string_view sql);

// Where the first statement of `text` ends: just after the first ";" that
// stands outside quotes, brackets and backquotes (after the second when the
// statement begins with a PARAMETERS declaration, which ends in one);
// nothing when no ";" does.
std::optional<size_t> StatementEnd(std::string_view text);

}  // namespace vendrel::vdlquery

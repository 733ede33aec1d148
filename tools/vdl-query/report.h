#pragma once
// How failures reach the user, on standard error.

#include <string_view>

#include "vendrel/dataaccess/error.h"

namespace vendrel::vdlquery {

// An error of the component or of the driver, in three lines:
// "Error Description: ...", "Error Number: ..." (signed decimal) and
// "Error Source: ...".
void ReportError(const Error& error);

// The tool's own complaint, one line after the program's name.
void ReportToolError(std::string_view message);

// The exception being handled, as one of the two above (any other failure
// in one line); for use in a catch block. An error whose description says
// where in `statement` it went wrong ("at character n") is followed by
// that line of the statement and a caret under the place.
void ReportCurrentException(std::string_view statement = {});

// The line of `statement` that holds character `character` (from 1), and
// under it a caret at that character, each indented by two spaces; a long
// line is cut to a window around the place. Empty when the statement has no
// such character (the end of the statement counts as one).
std::string PointAt(std::string_view statement, size_t character);

// The character the description's last "at character n" names, or 0.
size_t CharacterNamed(std::string_view description);

}  // namespace vendrel::vdlquery

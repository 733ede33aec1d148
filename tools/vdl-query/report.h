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
// in one line); for use in a catch block.
void ReportCurrentException();

}  // namespace vendrel::vdlquery

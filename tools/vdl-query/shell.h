#pragma once
// Statements and dot commands read from standard input, one per line; a
// line ending in "\" goes on in the next. On a terminal it is an interactive
// shell with a prompt, line editing and history.

#include "options.h"
#include "query_session.h"

namespace vendrel::vdlquery {

// Runs until the end of the input or .quit. A failed statement or command is
// reported and the next one runs. Returns the exit status: 0, or 1 when
// something failed while reading from a file or pipe.
int RunShell(QuerySession& session, OutputFormat format, bool interactive);

}  // namespace vendrel::vdlquery

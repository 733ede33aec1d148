#pragma once
// Statements and dot commands read from standard input: a statement ends in
// ";", a command is one line. On a terminal it is an interactive shell with
// a prompt (another one while a statement goes on), line editing and history.

#include "options.h"
#include "query_session.h"

namespace vendrel::vdlquery {

// Runs until the end of the input or .quit. A failed statement or command is
// reported and the next one runs. Returns the exit status: 0, or 1 when
// something failed while reading from a file or pipe.
// Files of .load are read as `loadSettings` say.
int RunShell(QuerySession& session, OutputFormat format, bool interactive, const InputSettings& loadSettings);

}  // namespace vendrel::vdlquery

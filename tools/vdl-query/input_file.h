#pragma once
// Input files: a delimited text file read into an in-memory recordset by the
// SQL text driver, which guesses each column's type from its values (or
// takes it from a schema.ini beside the file).

#include <string>

#include "vendrel/dataaccess/recordset.h"

namespace vendrel::vdlquery {

// Raises ToolError unless the file's extension names a format the tool reads:
// .csv comma-separated; .tsv, .tab and .txt tab-separated.
void RequireKnownInputFormat(const std::string& path);

// The connection string of the driver's text-folder provider on `folder`,
// for files with a header line and the given delimiter.
std::string TextFolderConnectionString(const std::string& folder, bool tabDelimited);

// The whole file as a disconnected, static recordset. The driver's errors
// (a missing or unreadable file, a malformed line) pass through unchanged;
// they name the file and the line.
Ref<Recordset> ReadInputFile(const std::string& path);

}  // namespace vendrel::vdlquery

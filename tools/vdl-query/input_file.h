#pragma once
// Input files: a delimited text file read into an in-memory recordset by the
// SQL text driver, which guesses each column's type from its values (or
// takes it from a schema.ini beside the file).

#include <string>
#include <vector>

#include "options.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel::vdlquery {

// The format of an input: the option's, else by the extension (.csv
// comma-separated; .tsv, .tab and .txt tab-separated); standard input is csv.
// Raises ToolError when neither tells.
InputFormat InputFormatOf(const std::string& path, const InputSettings& settings);

// The connection string of the driver's text-folder provider on `folder`,
// for files of the given format, with or without a header line.
std::string TextFolderConnectionString(const std::string& folder, InputFormat format, bool header);

struct LoadedInput {
  Ref<Recordset> rows;  // disconnected and static
  // Lines for the user about guessed columns read as Text although nearly all
  // their values are numbers or dates, and dates read with the day first.
  std::vector<std::string> notes;
};

// The whole file (or standard input, path "-", which is first copied into
// a file under `scratchFolder`) as a recordset. A missing, unreadable or empty
// file is a ToolError naming it; the driver's errors (a malformed line, a
// value that does not read under its schema.ini type) pass through unchanged.
LoadedInput ReadInputFile(const std::string& path, const InputSettings& settings, const std::string& scratchFolder);


}  // namespace vendrel::vdlquery

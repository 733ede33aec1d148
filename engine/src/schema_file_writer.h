#pragma once
// schema.ini: how the text driver learns the columns of each data file.

#include <string>
#include <string_view>
#include <vector>

#include "vendrel/dataaccess/recordset.h"

namespace vendrel::engine {

// The column type of a field of this type and defined size ("Integer",
// "Char Width 50", "LongChar", ...).
std::string SchemaTypeText(int fieldType, long definedSize);

// A column name (ColumnNames) as a line of schema.ini holds it: without line
// breaks, in double quotes (inner ones doubled) when it holds a space or a
// TAB or begins with a double quote or a bracket.
std::string SchemaColumnName(std::string_view columnName);

// One section, for the data file fileName + ".txt", CR LF after every line.
std::string SchemaSection(std::string_view fileName, Recordset& recordset);

// schema.ini's text without the sections of these data files (names with
// ".txt"), matched as the text driver matches them: the name between the
// brackets without the spaces around it, without regard to case. A section
// is its "[...]" line and the lines up to the next one.
std::string WithoutSections(std::string_view schemaText, const std::vector<std::string>& dataFileNames);

}  // namespace vendrel::engine

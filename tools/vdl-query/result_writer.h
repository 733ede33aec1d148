#pragma once
// A result recordset printed in one of the output formats.

#include <ostream>

#include "options.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel::vdlquery {

// table: a header line, a rule and one line per row, columns aligned (numbers
// to the right); box the same in a frame of box-drawing lines; markdown a
// pipe table with "|" in values escaped. tsv, csv: a header line and one
// line per row. json: one line {"columns":[{"name":...,"type":<ADO type>,
// "typeName":"Long"},...],"rows":[[...],...]}; ndjson one line per row,
// {"NAME":value,...}.
// Reads the rows without moving the recordset.
void WriteResult(std::ostream& out, const RowStore& rows, OutputFormat format);

// The text driver's name of a field type: Text, Long, Double, DateTime...
std::string TypeName(int type);

}  // namespace vendrel::vdlquery

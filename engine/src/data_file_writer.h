#pragma once
// Data files: one recordset as tab-delimited text with a header line, the
// form in which the text driver reads the inputs of a query and the
// optimized results stored for later queries.

#include <string>
#include <string_view>

#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel::engine {

struct DataFileStyle {
  // An optimized result stores its field names and text values exactly; an input
  // file strips the name's qualifier and cleans its text values.
  bool optimizedResult = false;
  // What replaces each double quote in an input file's text values.
  std::string altQuoteMark;
};

// A field name with a "." becomes the part after the first ".", without
// leading and trailing spaces ("rs1.PRODUCT" is "PRODUCT").
std::string UnqualifiedName(std::string_view fieldName);

// The text of one value in a data file of the given style; Null is empty.
std::string CellText(const Variant& value, int fieldType, const DataFileStyle& style);

// Text between double quotes with inner double quotes doubled, which the
// driver reads back unchanged.
std::string QuotedCell(std::string_view text);

// Writes the header line and every row from the first, CR LF after each
// line, and leaves a recordset with rows on its first row.
void WriteDataFile(Recordset& recordset, fs::OutputFile& file, const DataFileStyle& style);

}  // namespace vendrel::engine

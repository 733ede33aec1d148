#pragma once
// Data files: one recordset as tab-delimited text with a header line, the
// form in which the text driver reads the inputs of a query and the
// optimized results stored for later queries.

#include <string>
#include <string_view>
#include <vector>

#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/dataaccess/variant.h"
#include "vendrel/driver/written_table.h"

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

// The names of the driver's columns for these fields, in field order: the
// dot rule applied where it leaves a name of its own, so that no column is
// named as another field is (without regard to case). A name without a "."
// is kept; a qualified name keeps the part after its first "." when that is
// neither empty, nor another field's name, nor taken by an earlier column,
// else its whole name; a name with nothing left (empty, or repeated) becomes
// F and its position, with "_" added while that is taken. Line breaks are
// left out (schema.ini is a line per column).
std::vector<std::string> ColumnNames(FieldCollection& fields);

// The text of one value in a data file of the given style; Null is empty,
// the empty text "".
std::string CellText(const Variant& value, int fieldType, const DataFileStyle& style);

// Text between double quotes with inner double quotes doubled, which the
// driver reads back unchanged.
std::string QuotedCell(std::string_view text);

// Writes the header line and every row from the first, CR LF after each
// line, and leaves a recordset with rows on its first row. `handOff`, when
// given, gathers the typed columns of what is written for the text driver.
// Once `cancel` is requested the writing stops with the error of a cancelled
// query (IsCancellation).
void WriteDataFile(Recordset& recordset, fs::OutputFile& file, const DataFileStyle& style,
                   driver::WrittenTable* handOff = nullptr, const CancelRequest* cancel = nullptr);

}  // namespace vendrel::engine

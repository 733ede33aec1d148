#pragma once
// Reads a delimited text file in one pass into typed columns.

#include <memory>
#include <string>
#include <string_view>

#include "core/catalog.h"
#include "text/parsed_table.h"
#include "text/text_layout.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel::driver::text {

// Splits and converts `text` (UTF-8) under the layout; the table has at least one column. Raises a driver error
// that names the file, the line and the column for a value that does not read
// under its column's type, an unterminated quoted value or a row with more
// values than columns.
ParsedTable ParseDelimitedText(std::string_view text, const TableLayout& layout, std::string_view fileName);

// Converts the bytes of a file from its character set and parses them; the
// table keeps the bytes.
ParsedTable ParseTextFile(std::unique_ptr<const std::string> bytes, std::string_view fileName,
                          const TableLayout& layout);

// Raises the driver's error for a layout this reader does not read.
void RefuseFixedLength(std::string_view fileName, const TableLayout& layout);

// The file's rows straight into the rows of a recordset, as a SELECT of the
// whole table would fetch them (the same fields, types and values, the same
// errors), without the table held in memory: the file is read twice where it
// lies, once to settle the columns' types and once to convert, and only the
// rows grow.
Ref<RowStore> ReadTextTableRows(const std::string& path, std::string_view fileName, const TableLayout& layout);

// Reads the file, converts its character set and parses it.
ParsedTable ReadTextTable(const std::string& path, std::string_view fileName, const TableLayout& layout);

}  // namespace vendrel::driver::text

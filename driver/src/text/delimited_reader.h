#pragma once
// Reads a delimited text file in one pass into typed columns.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "catalog.h"
#include "text/text_layout.h"
#include "vendrel/dataaccess/filesystem.h"

namespace vendrel::driver::text {

// One value in the database's storage of its column's type (catalog.h):
// Null, a whole number (Boolean -1/0, Currency in ten-thousandths), a real
// (Date as serial days), or text and binary bytes.
using StoredValue = std::variant<std::monostate, int64_t, double, std::string_view>;

struct ParsedColumn {
  ColumnDef def;
  std::vector<StoredValue> values;  // one per row
};

// A text table in memory. Text values point into the file's bytes or into
// `owned`, so the table keeps both alive; it can be moved but not copied.
struct ParsedTable {
  std::vector<ParsedColumn> columns;
  size_t rowCount = 0;
  std::unique_ptr<fs::MappedFile> file;
  std::unique_ptr<std::string> decoded;  // the file converted to UTF-8, when it was not
  std::deque<std::string> owned;         // quoted values that had doubled quotes
};

// Splits and converts `text` (UTF-8) under the layout; the table has at least one column. Raises a driver error
// that names the file, the line and the column for a value that does not read
// under its column's type, an unterminated quoted value or a row with more
// values than columns.
ParsedTable ParseDelimitedText(std::string_view text, const TableLayout& layout, std::string_view fileName);

// Maps the file, converts its character set and parses it.
ParsedTable ReadTextTable(const std::string& path, std::string_view fileName, const TableLayout& layout);

}  // namespace vendrel::driver::text

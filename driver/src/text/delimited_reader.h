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

// The columns of a file whose layout declares them, filled by the program
// that writes the file with the values it has in hand, so that the file need
// not be parsed: each value goes in exactly as the parse of its text would
// put it (the same conversions, widenings and errors). Values go in row by
// row, each column's in row order; a column that holds text takes the
// field's text, the others a typed value where its Add... function takes it
// (false: not at the column's type as it stands) and the text otherwise.
class WrittenColumns {
 public:
  // Raises as the parse does for names it cannot use.
  WrittenColumns(const TableLayout& layout, std::string_view fileName);
  ~WrittenColumns();
  WrittenColumns(const WrittenColumns&) = delete;
  WrittenColumns& operator=(const WrittenColumns&) = delete;

  size_t Count() const noexcept;
  // Whether the column keeps its fields' texts (Text, Memo, GUID, OLE).
  bool HoldsText(size_t column) const;
  // One field as the file holds it, quotes included; a text the column keeps
  // must outlive the table (a view into bytes the table will own).
  void AddField(size_t column, std::string_view field, int line);
  bool AddWhole(size_t column, int64_t n);
  bool AddBoolean(size_t column, bool b);
  bool AddCurrency(size_t column, int64_t tenThousandths);
  bool AddSingle(size_t column, float f);
  bool AddDouble(size_t column, double d);
  bool AddDate(size_t column, double serial);
  // Room for this many rows in every column, before the first.
  void Reserve(size_t rows);
  void EndRow();
  // The table, without its file's bytes; once.
  ParsedTable Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Reads the file, converts its character set and parses it.
ParsedTable ReadTextTable(const std::string& path, std::string_view fileName, const TableLayout& layout);

}  // namespace vendrel::driver::text

#pragma once
// A text table handed to the driver by the program that writes its file.
//
// A program that writes a data file for a text connection has every value
// typed in hand, and the driver would read the same values back by parsing
// the file. A WrittenTable gathers the typed columns while the file is
// written and offers them to the driver, which serves them to a connection
// that reads a file of exactly the bytes written here, under exactly the
// layout of the schema.ini section given here, instead of parsing it. A file
// that differs in any byte, or a layout that differs, is parsed as before.
//
// The writer appends each field's text to Pending(), then reports what it
// wrote: the value it had (Whole, Real, ...) or only its text (Field). The
// driver takes a typed value only where the parse of its text would give
// that very value, and reads the text otherwise. A value or a section that
// the driver would refuse makes the table go unused (the parse then raises
// the error); the writer never sees an error from here.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vendrel::driver {

class WrittenTable {
 public:
  // `fileName` as the folder holds it ("TEMP1234.txt"); `schemaSection` the
  // file's section of schema.ini as it will be written.
  WrittenTable(std::string_view fileName, std::string_view schemaSection);
  ~WrittenTable();
  WrittenTable(WrittenTable&&) noexcept;
  WrittenTable& operator=(WrittenTable&&) noexcept;

  // The bytes written since the last Flush; the writer appends to it, and
  // may keep it longer than what it has written (room for what comes next)
  // until it calls Flush.
  std::string& Pending();

  // The next field of the row, Pending() from `start` to `end` (quotes and
  // all; an empty field is Null).
  void Field(size_t start, size_t end);
  void Whole(size_t start, size_t end, int64_t n);     // n in decimal digits
  void Boolean(size_t start, size_t end, bool b);      // "True" or "False"
  void Currency(size_t start, size_t end, int64_t tenThousandths);
  void Single(size_t start, size_t end, float f);      // its shortest text
  void Real(size_t start, size_t end, double d);       // a Double's shortest text
  void Date(size_t start, size_t end, double serial);  // its exact date text
  // Before the first row: how many rows the file will hold, so that the
  // columns take their room at once.
  void Reserve(size_t rows);
  // The row's line end has been appended.
  void EndRow();
  // Pending(), exactly the bytes written, has been written to the file:
  // kept, and Pending() empty again.
  void Flush();

  // Hands the table to the driver once the whole file is written and closed.
  // The driver keeps it only while a text connection is open, by the same
  // rule as the tables it parses; afterwards this object holds nothing.
  void Offer();

  // For tests: the first difference between the table gathered so far and
  // the table a parse of the bytes written gives; empty when they are the
  // same, "unused: ..." when the table would not be offered.
  std::string DifferenceFromParse();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vendrel::driver

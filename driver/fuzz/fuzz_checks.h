#pragma once
// What the driver promises for any input, as the fuzz targets check it one
// input at a time. The suite runs the same checks over the seed corpora and
// over every input that once broke a promise (driver/fuzz/regressions/).

#include <stdexcept>
#include <string_view>

namespace vendrel::driver::fuzz {

// A broken promise: the input made the driver do something other than give a
// result or raise one of its own errors.
struct Finding : std::logic_error {
  using std::logic_error::logic_error;
};

// Compiles one statement against a small catalog of text tables, then runs
// the SQL it was compiled to and fetches the rows. Every fault of the
// statement must be a driver error; SQL that does not prepare, an error of
// another source and any other exception throw Finding. A statement that
// runs too long is stopped and counts as answered.
void CheckStatement(std::string_view text);

// The input is a schema.ini text, one NUL byte, and the bytes of data.txt (no
// NUL: the whole input is data.txt and there is no schema.ini). The file is
// read under its section (or the connection's defaults) and loaded into a
// database. Errors must be driver errors; the table read must hold one value
// per row in every column, each stored as its column's type says, and the
// database must hold all its rows. Anything else throws Finding.
void CheckTextTable(std::string_view input);

}  // namespace vendrel::driver::fuzz

#pragma once
// How one delimited text file is laid out: what a schema.ini section, or the
// connection's defaults, say about it. Plain data passed from the schema
// reader to the file reader.

#include <optional>
#include <string>
#include <vector>

#include "core/types.h"

namespace vendrel::driver::text {

// The character set a file is written in.
struct CharacterSet {
  enum class Kind { Utf8, Utf16LE, Utf16BE, CodePage };
  Kind kind = Kind::Utf8;
  std::string converter;  // CodePage: the ICU converter name ("windows-1252", "ibm-437")
  friend bool operator==(const CharacterSet&, const CharacterSet&) = default;
};

struct TextFormat {
  char delimiter = ',';
  bool fixedLength = false;  // Format = FixedLength: not read by this driver
  bool header = true;        // the first line holds the column names
  CharacterSet characterSet;
  std::optional<char> textDelimiter = '"';  // nullopt: TextDelimiter = none

  // Formatting keys; the regional settings hold where they are not given.
  char decimalSymbol = '.';
  std::string currencySymbol;       // empty: the regional one ("$")
  char currencyDecimalSymbol = '.';
  char currencyThousandSymbol = ',';
  std::string dateTimeFormat;       // a picture such as "dd.mm.yyyy hh:nn:ss"; empty: regional
  friend bool operator==(const TextFormat&, const TextFormat&) = default;
};

struct DeclaredColumn {
  std::string name;
  JetType type = JetType::Text;
  long width = 0;
  friend bool operator==(const DeclaredColumn&, const DeclaredColumn&) = default;
};

struct TableLayout {
  TextFormat format;
  std::vector<DeclaredColumn> columns;  // empty: names from the header, types guessed from all rows
  friend bool operator==(const TableLayout&, const TableLayout&) = default;
};

}  // namespace vendrel::driver::text

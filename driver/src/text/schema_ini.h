#pragma once
// A folder's schema.ini: one section per data file, "Key = Value" lines.

#include <string>
#include <string_view>
#include <vector>

#include "text/text_layout.h"

namespace vendrel::driver::text {

struct SchemaEntry {
  std::string key;
  std::string value;
  int line = 0;
};

struct SchemaSection {
  std::string name;  // the data file it describes, as written between the brackets
  int line = 0;
  std::vector<SchemaEntry> entries;
};

class SchemaFile {
 public:
  // Splits the text into sections; nothing is interpreted yet.
  static SchemaFile Parse(std::string_view text);

  // The section of a data file, matched without regard to case. When a file
  // has several sections the last one holds: it is the newest. nullptr when none.
  const SchemaSection* Find(std::string_view dataFileName) const;

 private:
  std::vector<SchemaSection> sections_;
};

// The layout of a data file: its section's keys over the connection's
// defaults. Raises a driver error naming schema.ini, the line and the key for
// a value it cannot use. `schemaName` names the file in messages.
TableLayout LayoutFromSection(const SchemaSection& section, const TextFormat& defaults,
                              std::string_view schemaName);

// The Format value: "TabDelimited", "CSVDelimited", "Delimited(x)" or
// "FixedLength". False when it is none of them.
bool ApplyFormatName(std::string_view value, TextFormat& format);

}  // namespace vendrel::driver::text

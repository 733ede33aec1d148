#include "text/schema_ini.h"

#include <charconv>
#include <map>

#include "core/errors.h"
#include "text/encoding.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::text {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

std::optional<long> ParseCount(std::string_view s) {
  long n = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), n);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || n < 0) return std::nullopt;
  return n;
}

std::optional<bool> ParseFlag(std::string_view s) {
  if (EqualsNoCase(s, "True") || EqualsNoCase(s, "Yes") || s == "1") return true;
  if (EqualsNoCase(s, "False") || EqualsNoCase(s, "No") || s == "0") return false;
  return std::nullopt;
}

// Type names of a column definition, with their synonyms.
std::optional<JetType> TypeFromName(std::string_view name) {
  struct Name {
    std::string_view text;
    JetType type;
  };
  static constexpr Name kNames[] = {
      {"Bit", JetType::Boolean},      {"Boolean", JetType::Boolean},   {"Byte", JetType::Byte},
      {"Short", JetType::Short},      {"Integer", JetType::Long},      {"Long", JetType::Long},
      {"BigInt", JetType::BigInt},    {"Currency", JetType::Currency}, {"Single", JetType::Single},
      {"Double", JetType::Double},    {"Float", JetType::Double},      {"Decimal", JetType::Double},
      {"DateTime", JetType::Date},    {"Date", JetType::Date},         {"Text", JetType::Text},
      {"Char", JetType::Text},        {"Memo", JetType::Memo},         {"LongChar", JetType::Memo},
      {"OLE", JetType::Binary},
  };
  for (const Name& n : kNames)
    if (EqualsNoCase(name, n.text)) return n.type;
  return std::nullopt;
}

[[noreturn]] void RaiseBadEntry(std::string_view schemaName, const SchemaSection& section, const SchemaEntry& entry,
                                std::string_view why) {
  RaiseDriverError(hr::kFileError, "Invalid setting '" + entry.key + "=" + entry.value + "' in line " +
                                       std::to_string(entry.line) + " of '" + std::string(schemaName) +
                                       "' (section [" + section.name + "]): " + std::string(why) + ".");
}

// "Name Type [Width n]", the name plain, in double quotes (a double quote in
// it written twice) or in brackets.
DeclaredColumn ParseColumn(std::string_view columnText, std::string_view schemaName, const SchemaSection& section,
                           const SchemaEntry& entry) {
  DeclaredColumn column;
  std::string_view rest = Trim(columnText);
  if (rest.empty()) RaiseBadEntry(schemaName, section, entry, "the column has no name");
  if (rest.front() == '"') {
    for (size_t at = 1;;) {
      const size_t end = rest.find('"', at);
      if (end == std::string_view::npos) RaiseBadEntry(schemaName, section, entry, "the column name is not closed");
      const bool doubled = end + 1 < rest.size() && rest[end + 1] == '"';
      column.name.append(rest.substr(at, end + (doubled ? 1 : 0) - at));
      at = end + (doubled ? 2 : 1);
      if (doubled) continue;
      rest = rest.substr(at);
      break;
    }
  } else if (rest.front() == '[') {
    const size_t end = rest.find(']', 1);
    if (end == std::string_view::npos) RaiseBadEntry(schemaName, section, entry, "the column name is not closed");
    column.name = std::string(rest.substr(1, end - 1));
    rest = rest.substr(end + 1);
  } else {
    const size_t end = rest.find_first_of(" \t");
    column.name = std::string(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  }
  if (column.name.empty()) RaiseBadEntry(schemaName, section, entry, "the column has no name");

  std::vector<std::string_view> words;
  for (rest = Trim(rest); !rest.empty(); rest = Trim(rest)) {
    const size_t end = rest.find_first_of(" \t");
    words.push_back(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  }
  size_t at = 0;
  if (at < words.size() && !EqualsNoCase(words[at], "Width")) {
    auto type = TypeFromName(words[at]);
    if (!type) RaiseBadEntry(schemaName, section, entry, "'" + std::string(words[at]) + "' is not a column type");
    column.type = *type;
    ++at;
  }
  if (at < words.size() && EqualsNoCase(words[at], "Width")) {
    auto width = at + 1 < words.size() ? ParseCount(words[at + 1]) : std::nullopt;
    if (!width) RaiseBadEntry(schemaName, section, entry, "Width needs a number");
    if (column.type == JetType::Text) column.width = *width;
    at += 2;
  }
  if (at < words.size())
    RaiseBadEntry(schemaName, section, entry, "'" + std::string(words[at]) + "' is not understood");
  return column;
}

}  // namespace

SchemaFile SchemaFile::Parse(std::string_view text) {
  SchemaFile file;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  int lineNumber = 0;
  SchemaSection* current = nullptr;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.rfind(']');
      const std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      file.sections_.push_back(SchemaSection{std::string(name), lineNumber, {}});
      current = &file.sections_.back();
      continue;
    }
    if (!current) continue;  // keys before the first section belong to no file
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    current->entries.push_back(
        SchemaEntry{std::string(Trim(line.substr(0, eq))), std::string(Trim(line.substr(eq + 1))), lineNumber});
  }
  return file;
}

const SchemaSection* SchemaFile::Find(std::string_view dataFileName) const {
  for (auto it = sections_.rbegin(); it != sections_.rend(); ++it)
    if (EqualsNoCase(it->name, dataFileName)) return &*it;
  return nullptr;
}

bool ApplyFormatName(std::string_view value, TextFormat& format) {
  if (EqualsNoCase(value, "TabDelimited")) {
    format.delimiter = '\t';
  } else if (EqualsNoCase(value, "CSVDelimited") || EqualsNoCase(value, "Delimited")) {
    format.delimiter = ',';
  } else if (StartsWithNoCase(value, "Delimited(") && value.size() == 12 && value[11] == ')' && value[10] != '"') {
    format.delimiter = value[10];
  } else if (EqualsNoCase(value, "FixedLength")) {
    format.fixedLength = true;
    return true;
  } else {
    return false;
  }
  format.fixedLength = false;
  return true;
}

TableLayout LayoutFromSection(const SchemaSection& section, const TextFormat& defaults, std::string_view schemaName) {
  TableLayout layout;
  layout.format = defaults;
  TextFormat& format = layout.format;
  std::map<long, DeclaredColumn> columns;  // by their number; a number given twice keeps the last
  auto single = [&](const SchemaEntry& e) -> char {
    if (e.value.size() != 1) RaiseBadEntry(schemaName, section, e, "one character is expected");
    return e.value[0];
  };
  for (const SchemaEntry& e : section.entries) {
    const std::string_view key = e.key;
    const std::string_view value = e.value;
    if (EqualsNoCase(key, "ColNameHeader")) {
      auto flag = ParseFlag(value);
      if (!flag) RaiseBadEntry(schemaName, section, e, "True or False is expected");
      format.header = *flag;
    } else if (EqualsNoCase(key, "Format")) {
      if (!ApplyFormatName(value, format))
        RaiseBadEntry(schemaName, section, e, "TabDelimited, CSVDelimited, Delimited(x) or FixedLength is expected");
    } else if (EqualsNoCase(key, "CharacterSet")) {
      auto set = CharacterSetFromName(value);
      if (!set) RaiseBadEntry(schemaName, section, e, "not a known character set");
      format.characterSet = *set;
    } else if (EqualsNoCase(key, "MaxScanRows")) {
      // Types are guessed from every row, so the count only has to be valid.
      if (!ParseCount(value)) RaiseBadEntry(schemaName, section, e, "a number of rows is expected");
    } else if (EqualsNoCase(key, "TextDelimiter")) {
      if (EqualsNoCase(value, "none"))
        format.textDelimiter.reset();
      else
        format.textDelimiter = single(e);
    } else if (EqualsNoCase(key, "DecimalSymbol")) {
      format.decimalSymbol = single(e);
    } else if (EqualsNoCase(key, "CurrencySymbol")) {
      format.currencySymbol = e.value;
    } else if (EqualsNoCase(key, "CurrencyDecimalSymbol")) {
      format.currencyDecimalSymbol = single(e);
    } else if (EqualsNoCase(key, "CurrencyThousandSymbol")) {
      format.currencyThousandSymbol = single(e);
    } else if (EqualsNoCase(key, "DateTimeFormat")) {
      format.dateTimeFormat = e.value;
    } else if (StartsWithNoCase(key, "Col") && key.size() > 3) {
      auto number = ParseCount(key.substr(3));
      if (!number || *number == 0) continue;  // not a column key
      columns[*number] = ParseColumn(value, schemaName, section, e);
    }
    // Other keys (NumberDigits, CurrencyDigits, NumberLeadingZeros, the currency
    // formats...) only shape written text; reading does not need them.
  }
  long expected = 1;
  for (auto& [number, column] : columns) {
    if (number != expected)
      RaiseDriverError(hr::kFileError, "Column Col" + std::to_string(expected) + " is missing in section [" +
                                           section.name + "] of '" + std::string(schemaName) + "'.");
    layout.columns.push_back(std::move(column));
    ++expected;
  }
  return layout;
}

}  // namespace vendrel::driver::text

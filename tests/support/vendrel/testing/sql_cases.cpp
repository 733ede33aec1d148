#include "vendrel/testing/sql_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/testing/case_name.h"

namespace vendrel::testing::sqlcases {

namespace {

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'e') continue;  // nothing: an empty line is a block's end
    if (c == 'x' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));  // a byte, UTF-8 or not
      i += 2;
      continue;
    }
    out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c == 's' ? ' ' : c;
  }
  return out;
}

// Splits at "|" that is not escaped, and unescapes each cell.
std::vector<std::string> Cells(std::string_view line) {
  std::vector<std::string> cells;
  std::string cell;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      cell += line[i];
      cell += line[++i];
    } else if (line[i] == '|') {
      cells.push_back(Unescape(cell));
      cell.clear();
    } else {
      cell += line[i];
    }
  }
  cells.push_back(Unescape(cell));
  return cells;
}

std::vector<Column> Columns(std::string_view line) {
  std::vector<Column> columns;
  for (const std::string& cell : Cells(line)) {
    const size_t space = cell.rfind(' ');
    if (space == std::string::npos) throw std::runtime_error("a column needs a name and a type: " + cell);
    columns.push_back({cell.substr(0, space), cell.substr(space + 1)});
  }
  return columns;
}

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.pop_back();
  return s;
}

// "... N rows": the count, when the line is one.
std::optional<size_t> RowCountOf(const std::string& line) {
  if (!line.starts_with("... ") || !line.ends_with(" rows")) return std::nullopt;
  const std::string digits = line.substr(4, line.size() - 9);
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoul(digits);
}

using Block = std::vector<std::pair<int, std::string>>;  // line number, text

Table ReadTable(const Block& block, const std::string& file) {
  Table t{block[0].second.substr(6), {}, {}};
  if (block.size() < 2) throw std::runtime_error(file + ":" + std::to_string(block[0].first) + ": a table needs its columns");
  t.columns = Columns(block[1].second);
  for (size_t i = 2; i < block.size(); ++i) {
    t.rows.push_back(Cells(block[i].second));
    if (t.rows.back().size() != t.columns.size())
      throw std::runtime_error(file + ":" + std::to_string(block[i].first) + ": not one value per column");
  }
  return t;
}

// The lines of a case before "----": its directives, then its statement.
void ReadHead(Case& c, const std::string& l) {
  if (c.sql.empty() && l.starts_with("uses ")) {
    std::stringstream names(l.substr(5));
    for (std::string name; std::getline(names, name, ',');) {
      while (name.starts_with(' ')) name.erase(0, 1);
      if (name.starts_with("kept ")) {
        name.erase(0, 5);
        c.kept.insert(name);
      }
      c.uses.push_back(name);
    }
  } else if (c.sql.empty() && l.starts_with("driver-only")) {
    c.driverOnly = l.size() > 12 ? l.substr(12) : "driver-only";
  } else if (c.sql.empty() && l == "unordered") {
    c.unordered = true;
  } else if (c.sql.empty() && l.starts_with("keep ")) {
    const size_t space = l.find(' ', 5);
    if (space == std::string::npos) throw std::runtime_error("keep needs a name and a statement");
    c.keeps.push_back({l.substr(5, space - 5), Unescape(l.substr(space + 1))});
  } else if (c.sql.empty() && (l == "rewrite" || l.starts_with("rewrite "))) {
    c.rewrite = true;
    if (l.size() > 8)
      for (const std::string& pair : Cells(l.substr(8))) {
        const size_t equals = pair.find('=');
        if (equals == std::string::npos) throw std::runtime_error("rewrite takes name=FILE: " + pair);
        c.renames.push_back({pair.substr(0, equals), pair.substr(equals + 1)});
      }
  } else {
    c.sql += (c.sql.empty() ? "" : "\n") + Unescape(l);
  }
}

void ReadOutcome(Case& c, const Block& block, size_t i) {
  if (c.rewrite) {
    for (; i < block.size(); ++i) c.rewritten += (c.rewritten.empty() ? "" : "\n") + Unescape(block[i].second);
    return;
  }
  const std::string& outcome = block[i].second;
  if (outcome.starts_with("error ")) {
    c.expectsError = true;
    const size_t space = outcome.find(' ', 6);
    c.errorNumber = std::stol(outcome.substr(6, space - 6));
    c.errorDescription = space == std::string::npos ? "" : Unescape(outcome.substr(space + 1));
    return;
  }
  c.columns = Columns(outcome);
  for (++i; i < block.size(); ++i) {
    if (i + 1 == block.size() && (c.rowCount = RowCountOf(block[i].second))) break;
    c.rows.push_back(Unescape(block[i].second));
  }
  if (c.rowCount && *c.rowCount < c.rows.size()) throw std::runtime_error("more rows listed than the count");
}

std::vector<Case> ReadCaseFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<Block> blocks(1);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = Trim(line);
    if (line.starts_with('#')) continue;
    if (line.empty()) {
      if (!blocks.back().empty()) blocks.emplace_back();
      continue;
    }
    blocks.back().push_back({number, line});
  }
  const std::string file = path.stem().string();
  std::map<std::string, Table> tables;
  std::vector<Case> cases;
  for (const auto& block : blocks) {
    if (block.empty()) continue;
    const std::string& head = block[0].second;
    const std::string where = file + ":" + std::to_string(block[0].first);
    if (head.starts_with("table ")) {
      Table t = ReadTable(block, file);
      tables[t.name] = std::move(t);
      continue;
    }
    if (!head.starts_with("case ")) throw std::runtime_error(where + ": expected table or case");
    Case c;
    c.file = file;
    c.name = head.substr(5);
    c.line = block[0].first;
    size_t i = 1;
    try {
      for (; i < block.size() && block[i].second != "----"; ++i) ReadHead(c, block[i].second);
      if (i == block.size()) throw std::runtime_error("a case needs ---- and its outcome");
      if (++i == block.size()) throw std::runtime_error("a case needs its outcome after ----");
      ReadOutcome(c, block, i);
    } catch (const std::exception& e) {
      throw std::runtime_error(where + ": " + e.what());
    }
    if (!c.rewrite) {
      if (c.uses.empty())
        for (const auto& [name, table] : tables) c.uses.push_back(name);
      for (const std::string& name : c.uses)
        if (!TableOf(tables, name)) throw std::runtime_error(where + ": no table " + name);
      c.tables = tables;
    }
    cases.push_back(std::move(c));
  }
  return cases;
}

}  // namespace

std::vector<Case> ReadCaseFolders(const std::vector<std::string>& folders) {
  std::vector<std::filesystem::path> files;
  for (const std::string& folder : folders)
    for (const auto& e : std::filesystem::directory_iterator(folder))
      if (e.path().extension() == ".test") files.push_back(e.path());
  std::sort(files.begin(), files.end(),
            [](const auto& a, const auto& b) { return a.filename() < b.filename(); });
  std::vector<Case> all;
  std::set<std::string> names;
  for (const auto& path : files) {
    std::vector<Case> cases;
    try {
      cases = ReadCaseFile(path);
    } catch (const std::exception& e) {
      // A file that cannot be read is one failing case, not a crash.
      Case unreadable;
      unreadable.file = path.stem().string();
      unreadable.name = "unreadable";
      unreadable.loadError = e.what();
      cases.push_back(std::move(unreadable));
    }
    for (Case& c : cases) {
      // Names that read alike once only letters and digits are kept ("7/2",
      // "7\\2") take their line.
      c.testName = CaseName(c.file) + "_" + CaseName(c.name);
      if (!names.insert(c.testName).second) c.testName += "_line" + std::to_string(c.line);
      all.push_back(std::move(c));
    }
  }
  return all;
}

std::vector<Case> ReadCaseFolders(const std::vector<std::string>& folders, bool (Case::*takes)() const) {
  std::vector<Case> cases;
  for (Case& c : ReadCaseFolders(folders))
    if (!c.loadError.empty() || (c.*takes)()) cases.push_back(std::move(c));
  return cases;
}

const Table* TableOf(const std::map<std::string, Table>& tables, const std::string& name) {
  for (const auto& [tableName, table] : tables)
    if (EqualsNoCase(tableName, name)) return &table;
  return nullptr;
}

namespace {

struct TypeName {
  const char* name;
  int adoType;
  const char* schemaType;  // as schema.ini declares it
};

// Table column types; Char(n) is handled apart.
constexpr TypeName kColumnTypes[] = {
    {"Integer", adInteger, "Integer"}, {"Short", adSmallInt, "Short"},       {"Single", adSingle, "Single"},
    {"Double", adDouble, "Double"},    {"Currency", adCurrency, "Currency"}, {"Date", adDate, "Date"},
    {"Bit", adBoolean, "Bit"},         {"LongChar", adLongVarWChar, "LongChar"},
    {"Byte", adUnsignedTinyInt, "Byte"}, {"BigInt", adBigInt, "BigInt"},
};

// Result field types by name.
constexpr std::pair<const char*, int> kResultTypes[] = {
    {"Short", adSmallInt}, {"Long", adInteger}, {"Single", adSingle},   {"Double", adDouble},
    {"Currency", adCurrency}, {"Date", adDate}, {"Boolean", adBoolean}, {"Byte", adUnsignedTinyInt},
    {"BigInt", adBigInt},  {"Text", adVarWChar}, {"Memo", adLongVarWChar},
};

std::string ResultTypeName(int adoType) {
  for (const auto& [name, type] : kResultTypes)
    if (type == adoType) return name;
  return std::to_string(adoType);
}

}  // namespace

ColumnType TypeOfColumn(const std::string& type) {
  if (type.starts_with("Char(") && type.ends_with(")")) {
    const long width = std::stol(type.substr(5, type.size() - 6));
    return {adVarWChar, width, "Char Width " + std::to_string(width)};
  }
  for (const TypeName& t : kColumnTypes)
    if (type == t.name) return {t.adoType, t.adoType == adLongVarWChar ? 65535L : 0L, t.schemaType};
  throw std::runtime_error("unknown column type " + type);
}

Variant ValueOf(const std::string& text, int adoType) {
  if (text == "Null") return Variant::Null();
  switch (adoType) {
    case adInteger: return Variant::Long(static_cast<int32_t>(std::stol(text)));
    case adSmallInt: return Variant::Integer(static_cast<int16_t>(std::stoi(text)));
    case adUnsignedTinyInt: return Variant::Byte(static_cast<uint8_t>(std::stoi(text)));
    case adBigInt: return Variant::BigInt(std::stoll(text));
    case adSingle: return Variant::Single(std::stof(text));
    case adDouble: return Variant::Double(std::stod(text));
    case adCurrency: return Variant(ToCurrency(Variant(text)));
    case adDate: return Variant::Date(ToDate(Variant(text)).serial);
    case adBoolean: return Variant::Boolean(text == "True");
    default: return Variant(text);
  }
}

void ExpectResult(const Case& c, Recordset& result) {
  // A result column written Text(50) is checked for its width as well.
  std::vector<std::string> columns, expected;
  for (long i = 0; i < result.Fields().Count(); ++i) {
    const Field& field = result.Fields()[i];
    const std::string name = field.Name() + " " + ResultTypeName(field.Type());
    const bool sized = i < static_cast<long>(c.columns.size()) && c.columns[static_cast<size_t>(i)].type.ends_with(")");
    columns.push_back(sized ? name + "(" + std::to_string(field.DefinedSize()) + ")" : name);
  }
  for (const Column& col : c.columns) expected.push_back(col.name + " " + col.type);
  EXPECT_EQ(columns, expected);
  std::vector<std::string> rows;
  if (!(result.Bof() && result.Eof())) {
    for (result.MoveFirst(); !result.Eof(); result.MoveNext()) {
      std::string row;
      for (long i = 0; i < result.Fields().Count(); ++i) {
        const Variant& v = result.Fields()[i].Value();
        row += (i ? "|" : "") + (v.IsNull() ? std::string("Null") : ToText(v));
      }
      rows.push_back(row);
    }
  }
  std::vector<std::string> wanted = c.rows;
  if (c.rowCount) {
    EXPECT_EQ(rows.size(), *c.rowCount);
    if (!c.unordered && rows.size() > wanted.size()) rows.resize(wanted.size());
  }
  if (c.unordered) {
    std::sort(rows.begin(), rows.end());
    std::sort(wanted.begin(), wanted.end());
    if (c.rowCount) {  // the rows listed are among the result's
      std::vector<std::string> missing;
      std::set_difference(wanted.begin(), wanted.end(), rows.begin(), rows.end(), std::back_inserter(missing));
      EXPECT_EQ(missing, std::vector<std::string>{});
      return;
    }
  }
  EXPECT_EQ(rows, wanted);
}

void ExpectError(long expectedNumber, const std::string& expectedDescription, bool thrown, long number,
                 const std::string& description) {
  ASSERT_TRUE(thrown) << "no error";
  EXPECT_EQ(number, expectedNumber) << description;
  EXPECT_EQ(description.substr(0, expectedDescription.size()), expectedDescription) << "full text: " << description;
}

std::string Where(const Case& c) { return c.file + ".test:" + std::to_string(c.line) + " " + c.name + "\n" + c.sql; }

void PrintTo(const Case& c, std::ostream* os) { *os << c.file << ": " << c.name; }

}  // namespace vendrel::testing::sqlcases

// The dialect cases of driver/tests/sql/*.test, each run twice: straight
// through the text driver over a folder of text tables, and through
// Vendrel::Execute over in-memory recordsets built from the same tables,
// each under its table's name. Both must give the expected column names,
// types and rows, or the expected error (through Execute: 1007 with the
// driver's description translated, and nothing left on disk).
//
// A file is blocks separated by blank lines; "#" begins a comment line.
//   table NAME
//   col Type|col Type            Integer Short Single Double Currency Date Bit
//   value|value                  Char(n) LongChar; Byte and BigInt driver-only
//   ...                          Null is Null; escapes: \t \r \n \| \\,
//                                \s a space (at a line's end), \e nothing
//
//   case NAME
//   uses a, kept B               optional: the tables; all of the file's else.
//                                kept B: through Execute the table b (any
//                                case) is first kept under its own name by
//                                the same object, then entered as B
//   driver-only REASON           optional: not run through Execute
//   SELECT ...                   one or more lines
//   ----
//   col Type|col Type            result: Short Long Single Double Currency
//   value|value                  Date Boolean Byte BigInt Text Memo
//   ...                          (rows in order)
// or, after ----:
//   error NUMBER DESCRIPTION     the description's beginning

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "engine_test_support.h"
#include "query_run.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/driver/driver.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel {
namespace {

struct Column {
  std::string name;
  std::string type;
};

struct Table {
  std::string name;
  std::vector<Column> columns;
  std::vector<std::vector<std::string>> rows;  // cells as written; "Null" is Null
};

struct Case {
  std::string file;  // without folder and extension
  std::string name;
  int line = 0;
  std::vector<std::string> uses;  // as written
  std::set<std::string> kept;     // of those, the ones entered as kept results
  std::string driverOnly;  // why, when the case cannot be put as recordsets
  std::string sql;
  bool expectsError = false;
  long errorNumber = 0;
  std::string errorDescription;
  std::vector<Column> columns;
  std::vector<std::string> rows;
  std::map<std::string, Table> tables;  // of the file
  bool throughExecute = false;          // which run this is
  std::string loadError;                // the file could not be read
  std::string testName;
};

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'e') continue;  // nothing: an empty line is a block's end
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

// The table of that name, compared without regard to case.
const Table* TableOf(const std::map<std::string, Table>& tables, const std::string& name) {
  for (const auto& [tableName, table] : tables)
    if (EqualsNoCase(tableName, name)) return &table;
  return nullptr;
}

std::vector<Case> ReadCaseFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::vector<std::pair<int, std::string>>> blocks(1);
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
      Table t{head.substr(6), {}, {}};
      if (block.size() < 2) throw std::runtime_error(where + ": a table needs its columns");
      t.columns = Columns(block[1].second);
      for (size_t i = 2; i < block.size(); ++i) {
        t.rows.push_back(Cells(block[i].second));
        if (t.rows.back().size() != t.columns.size())
          throw std::runtime_error(file + ":" + std::to_string(block[i].first) + ": not one value per column");
      }
      tables[t.name] = std::move(t);
      continue;
    }
    if (!head.starts_with("case ")) throw std::runtime_error(where + ": expected table or case");
    Case c;
    c.file = file;
    c.name = head.substr(5);
    c.line = block[0].first;
    size_t i = 1;
    for (; i < block.size() && block[i].second != "----"; ++i) {
      const std::string& l = block[i].second;
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
      } else {
        c.sql += (c.sql.empty() ? "" : "\n") + Unescape(l);
      }
    }
    if (i == block.size()) throw std::runtime_error(where + ": a case needs ---- and its outcome");
    if (++i == block.size()) throw std::runtime_error(where + ": a case needs its outcome after ----");
    const std::string& outcome = block[i].second;
    if (outcome.starts_with("error ")) {
      c.expectsError = true;
      const size_t space = outcome.find(' ', 6);
      c.errorNumber = std::stol(outcome.substr(6, space - 6));
      c.errorDescription = space == std::string::npos ? "" : Unescape(outcome.substr(space + 1));
    } else {
      c.columns = Columns(outcome);
      for (++i; i < block.size(); ++i) c.rows.push_back(Unescape(block[i].second));
    }
    if (c.uses.empty())
      for (const auto& [name, table] : tables) c.uses.push_back(name);
    for (const std::string& name : c.uses)
      if (!TableOf(tables, name)) throw std::runtime_error(where + ": no table " + name);
    c.tables = tables;
    cases.push_back(std::move(c));
  }
  return cases;
}

std::vector<Case> AllCases(bool throughExecute) {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(VDL_DIALECT_CASES))
    if (e.path().extension() == ".test") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  std::vector<Case> all;
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
      unreadable.testName = testing::CaseName(unreadable.file) + "_Unreadable";
      cases.push_back(std::move(unreadable));
    }
    std::set<std::string> names;
    for (Case& c : cases) {
      // Names that read alike once only letters and digits are kept ("7/2",
      // "7\\2") take their line.
      c.testName = testing::CaseName(c.file) + "_" + testing::CaseName(c.name);
      if (!names.insert(c.testName).second) c.testName += "_line" + std::to_string(c.line);
      if (throughExecute && !c.driverOnly.empty()) continue;
      c.throughExecute = throughExecute;
      all.push_back(std::move(c));
    }
  }
  return all;
}

// ------------------------------------------------------------ the two inputs

struct TypeOf {
  const char* name;
  int adoType;
  const char* schemaType;  // as schema.ini declares it
};

// Table column types; Char(n) is handled apart.
constexpr TypeOf kColumnTypes[] = {
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

struct ColumnType {
  int adoType;
  long size;
  std::string schema;
};

ColumnType TypeOfColumn(const std::string& type) {
  if (type.starts_with("Char(") && type.ends_with(")")) {
    const long width = std::stol(type.substr(5, type.size() - 6));
    return {adVarWChar, width, "Char Width " + std::to_string(width)};
  }
  for (const TypeOf& t : kColumnTypes)
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

Ref<Recordset> RecordsetOf(const Table& table) {
  Ref<Recordset> rs = Recordset::Create();
  std::vector<ColumnType> types;
  for (const Column& c : table.columns) {
    types.push_back(TypeOfColumn(c.type));
    rs->Fields().Append(c.name, types.back().adoType, types.back().size, adFldMayBeNull);
  }
  rs->Open({}, {}, adOpenStatic, adLockOptimistic);
  for (const auto& row : table.rows) {
    rs->AddNew();
    for (size_t i = 0; i < row.size(); ++i) {
      const Variant v = ValueOf(row[i], types[i].adoType);
      if (!v.IsNull()) rs->Fields()[static_cast<long>(i)].SetValue(v);
    }
    rs->Update();
  }
  if (rs->RecordCount() > 0) rs->MoveFirst();
  return rs;
}

// The table as a text file named like the table (no extension, so that the
// statement names it as written) with its schema.ini section.
void WriteTextTable(const std::string& folder, const Table& table) {
  std::string data;
  std::string section =
      "[" + table.name + "]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n";
  for (size_t i = 0; i < table.columns.size(); ++i) {
    data += (i ? "\t" : "") + table.columns[i].name;
    section += "Col" + std::to_string(i + 1) + "=" + table.columns[i].name + " " +
               TypeOfColumn(table.columns[i].type).schema + "\r\n";
  }
  data += "\r\n";
  for (const auto& row : table.rows) {
    for (size_t i = 0; i < row.size(); ++i) data += (i ? "\t" : "") + (row[i] == "Null" ? std::string() : row[i]);
    data += "\r\n";
  }
  std::ofstream(folder + "/" + table.name, std::ios::binary) << data;
  std::ofstream(folder + "/schema.ini", std::ios::binary | std::ios::app) << section;
}

// ------------------------------------------------------------ the runner

class DialectCases : public testing::TempRootTest, public ::testing::WithParamInterface<Case> {
 protected:
  Ref<Recordset> ThroughTheDriver(const Case& c) {
    const std::string folder = Root() + "/tables";
    std::filesystem::create_directories(folder);
    for (const std::string& name : c.uses) WriteTextTable(folder, *TableOf(c.tables, name));
    driver::RegisterProviders();
    Ref<Connection> connection = Connection::Create();
    connection->SetConnectionString(engine::TextConnectionString(folder));
    connection->SetCursorLocation(adUseClient);
    connection->Open("", "", "", adConnectUnspecified);
    Ref<Recordset> rs = Recordset::Create();
    rs->SetCursorLocation(adUseClient);
    rs->Open(Variant(c.sql), Variant(connection), adOpenStatic, adLockReadOnly, adCmdText);
    return rs;
  }

  Ref<Recordset> ThroughExecute(const Case& c) {
    Ref<Vendrel> query = Vendrel::Create();
    Ref<QueryDataSource> source = QueryDataSource::Create();
    for (const std::string& name : c.uses) {
      const Table& table = *TableOf(c.tables, name);
      if (!c.kept.contains(name)) {
        source->RecordsetCollection()->Add(RecordsetOf(table), name);
        continue;
      }
      Ref<QueryDataSource> keep = QueryDataSource::Create();
      keep->RecordsetCollection()->Add(RecordsetOf(table), table.name);
      query->Execute(keep, "SELECT * FROM [" + table.name + "]", adOpenStatic, adLockReadOnly, true, table.name);
      source->RecordsetCollection()->Add(nullptr, name, true);
    }
    return query->Execute(source, c.sql, adOpenStatic, adLockReadOnly);
  }
};

TEST_P(DialectCases, GiveTheExpectedResult) {
  const Case& c = GetParam();
  ASSERT_EQ(c.loadError, "");
  SCOPED_TRACE(c.file + ".test:" + std::to_string(c.line) + " " + c.name + "\n" + c.sql);
  Ref<Recordset> result;
  const testing::CaughtError caught =
      testing::CatchError([&] { result = c.throughExecute ? ThroughExecute(c) : ThroughTheDriver(c); });
  // The query object is gone: whatever the outcome, it left nothing behind.
  if (c.throughExecute) {
    EXPECT_EQ(Tree(), std::set<std::string>{});
  }
  if (c.expectsError) {
    ASSERT_TRUE(caught.thrown) << "no error";
    long number = c.errorNumber;
    std::string description = c.errorDescription;
    if (c.throughExecute) {
      const Error translated = engine::TranslatedDriverError(description);
      number = translated.Number();
      description = "[Vendrel] " + translated.Description();
    }
    EXPECT_EQ(caught.number, number) << caught.description;
    EXPECT_EQ(caught.description.substr(0, description.size()), description) << "full text: " << caught.description;
    return;
  }
  ASSERT_FALSE(caught.thrown) << caught.number << " " << caught.description;
  ASSERT_TRUE(result);
  std::vector<std::string> columns;
  for (long i = 0; i < result->Fields().Count(); ++i)
    columns.push_back(result->Fields()[i].Name() + " " + ResultTypeName(result->Fields()[i].Type()));
  std::vector<std::string> expected;
  for (const Column& col : c.columns) expected.push_back(col.name + " " + col.type);
  EXPECT_EQ(columns, expected);
  std::vector<std::string> rows;
  if (!(result->Bof() && result->Eof())) {
    for (result->MoveFirst(); !result->Eof(); result->MoveNext()) {
      std::string row;
      for (long i = 0; i < result->Fields().Count(); ++i) {
        const Variant& v = result->Fields()[i].Value();
        row += (i ? "|" : "") + (v.IsNull() ? std::string("Null") : ToText(v));
      }
      rows.push_back(row);
    }
  }
  EXPECT_EQ(rows, c.rows);
}

std::string CaseTestName(const ::testing::TestParamInfo<Case>& info) {
  return info.param.testName;
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.file << ": " << c.name; }

INSTANTIATE_TEST_SUITE_P(Driver, DialectCases, ::testing::ValuesIn(AllCases(false)), CaseTestName);
INSTANTIATE_TEST_SUITE_P(Execute, DialectCases, ::testing::ValuesIn(AllCases(true)), CaseTestName);

}  // namespace
}  // namespace vendrel

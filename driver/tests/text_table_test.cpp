// Reading delimited text files and schema.ini sections into typed columns.

#include <gtest/gtest.h>

#include <array>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "core/errors.h"
#include "table_fixtures.h"
#include "text/delimited_reader.h"
#include "text/schema_ini.h"
#include "text/value_reader.h"
#include "vendrel/dataaccess/convert.h"

namespace vendrel::driver::text {
namespace {

using testing::ErrorOf;
using testing::kEngineData;
using testing::kEngineSchema;

TableLayout Guessed(char delimiter = '\t', bool header = true) {
  TableLayout layout;
  layout.format.delimiter = delimiter;
  layout.format.header = header;
  return layout;
}

TableLayout LayoutOf(std::string_view schemaText, std::string_view fileName, const TextFormat& defaults = {}) {
  const SchemaFile schema = SchemaFile::Parse(schemaText);
  const SchemaSection* section = schema.Find(fileName);
  if (!section) return TableLayout{defaults, {}};
  return LayoutFromSection(*section, defaults, "schema.ini");
}

std::string TextAt(const ParsedTable& t, size_t column, size_t row) {
  return std::string(std::get<std::string_view>(t.columns.at(column).values.at(row)));
}
bool IsNullAt(const ParsedTable& t, size_t column, size_t row) {
  return std::holds_alternative<std::monostate>(t.columns.at(column).values.at(row));
}
int64_t WholeAt(const ParsedTable& t, size_t column, size_t row) {
  return std::get<int64_t>(t.columns.at(column).values.at(row));
}
double RealAt(const ParsedTable& t, size_t column, size_t row) {
  return std::get<double>(t.columns.at(column).values.at(row));
}

TEST(TextTable, ReadsTheEngineDataFileUnderItsSchemaSection) {
  const TableLayout layout = LayoutOf(kEngineSchema, "TEMP4711.txt");
  EXPECT_EQ(layout.format.delimiter, '\t');
  const ParsedTable t = ParseDelimitedText(kEngineData, layout, "TEMP4711.txt");
  ASSERT_EQ(t.rowCount, 3u);
  ASSERT_EQ(t.columns.size(), 7u);

  const std::vector<std::pair<std::string, JetType>> expected = {
      {"OrderID", JetType::Long},  {"PRODUCT", JetType::Text},    {"Unit Price", JetType::Currency},
      {"Added", JetType::Date},    {"Notes", JetType::Memo},      {"Paid", JetType::Boolean},
      {"Weight", JetType::Double}};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(t.columns[i].def.name, expected[i].first);
    EXPECT_EQ(t.columns[i].def.type, expected[i].second) << expected[i].first;
  }
  EXPECT_EQ(t.columns[1].def.width, 50);

  // "Integer" is 32 bits: order numbers above 32767 come back whole.
  EXPECT_EQ(WholeAt(t, 0, 0), 10248);
  EXPECT_EQ(WholeAt(t, 0, 1), 70000);
  EXPECT_EQ(TextAt(t, 1, 0), "AlloyWheels");
  EXPECT_TRUE(IsNullAt(t, 1, 1));
  EXPECT_EQ(WholeAt(t, 2, 0), 145000);
  EXPECT_EQ(WholeAt(t, 2, 1), INT64_MAX);
  EXPECT_EQ(RealAt(t, 3, 0), MakeDate(2003, 1, 2)->serial);
  EXPECT_EQ(RealAt(t, 3, 1), MakeDate(2003, 1, 3, 13, 4, 5)->serial);
  // Lone LF and CR inside a CR LF file are data.
  EXPECT_EQ(TextAt(t, 4, 0), "first\nsecond\rthird");
  EXPECT_EQ(WholeAt(t, 5, 0), -1);
  EXPECT_EQ(WholeAt(t, 5, 1), 0);
  EXPECT_EQ(RealAt(t, 6, 0), 0.1);
  EXPECT_EQ(RealAt(t, 6, 1), -1.5E-07);
  for (size_t c = 0; c < 7; ++c) EXPECT_TRUE(IsNullAt(t, c, 2)) << "a row of TABs is a row of Nulls";
}

TEST(TextTable, RowEndsFollowTheFirstLine) {
  struct Case {
    std::string_view data;
    std::vector<std::string> values;  // the one column, row by row
  };
  const Case cases[] = {
      {"A\r\nx\ny\r\nz\r\n", {"x\ny", "z"}},    // CR LF file: a lone LF is data
      {"A\r\nx\ry\r\n", {"x\ry"}},              // and so is a lone CR
      {"A\nx\ny\n", {"x", "y"}},                // LF file
      {"A\nx\ny", {"x", "y"}},                  // the last line without its end
      {"A\r\nx\r\n\r\ny\r\n", {"x", "", "y"}},  // an empty line is a row (of Null)
      // Only the CR right before an LF ends a row of a CR LF file.
      {"A\r\nx\r\r\ny\r\n", {"x\r", "y"}},
      {"A\r\n\nx\r\n", {"\nx"}},
      {"A\r\nx\n\r\n\ry\r\n", {"x\n", "\ry"}},
      {"A\r\n\r\rx\n\n\r\n", {"\r\rx\n\n"}},
      // A file of CR line ends: CR ends a row, a lone LF is data.
      {"A\rx\ry\r", {"x", "y"}},
      {"A\rx\ny\rz", {"x\ny", "z"}},
      {"A\r\"x\ry\"\rz\r", {"x\ry", "z"}},
      // A lone CR at the very end ends the last line, whatever ends the others.
      {"A\nx\ny\r", {"x", "y"}},
      {"A\r\nx\r\ny\r", {"x", "y"}},
      {"A\nx\ry\n", {"x\ry"}},  // elsewhere in an LF file it is data
  };
  for (const Case& c : cases) {
    const ParsedTable t = ParseDelimitedText(c.data, Guessed(), "t.txt");
    ASSERT_EQ(t.rowCount, c.values.size()) << c.data;
    for (size_t r = 0; r < c.values.size(); ++r) {
      if (c.values[r].empty())
        EXPECT_TRUE(IsNullAt(t, 0, r));
      else
        EXPECT_EQ(TextAt(t, 0, r), c.values[r]) << c.data;
    }
  }
}

// Fields of every length up to a few words, so that a delimiter or a line
// end falls at each place of an eight-byte step; lone CRs and LFs inside the
// values of a CR LF file are data.
TEST(TextTable, FieldsOfEveryLengthSplitWhereTheirDelimitersAre) {
  for (const char delimiter : {'\t', ','}) {
    for (const bool crlf : {false, true}) {
      const std::string end = crlf ? "\r\n" : "\n";
      std::string data = "A" + std::string(1, delimiter) + "B" + std::string(1, delimiter) + "C" + end;
      std::vector<std::array<std::string, 3>> rows;
      for (size_t a = 0; a < 20; ++a)
        for (size_t b = 0; b < 20; b += 3) {
          std::array<std::string, 3> row = {std::string(a, 'x'), std::string(b, 'y'), "z" + std::to_string(a * b)};
          if (crlf && a > 2) row[0][a / 2] = a % 2 ? '\n' : '\r';
          if (crlf && b > 9) row[1][b - 1] = '\r';
          rows.push_back(row);
          data += row[0] + delimiter + row[1] + delimiter + row[2] + end;
        }
      const ParsedTable t = ParseDelimitedText(data, Guessed(delimiter), "t.txt");
      ASSERT_EQ(t.rowCount, rows.size()) << crlf;
      for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < 3; ++c) {
          if (rows[r][c].empty())
            EXPECT_TRUE(IsNullAt(t, c, r)) << r << "," << c;
          else
            EXPECT_EQ(TextAt(t, c, r), rows[r][c]) << r << "," << c << (crlf ? " CR LF" : " LF");
        }
    }
  }
}

TEST(TextTable, QuotedFieldsKeepDelimitersLineBreaksAndDoubledQuotes) {
  const std::string_view data =
      "A,B,C\r\n"
      "\"x,y\",\"say \"\"hi\"\"\",\"line1\r\nline2\"\r\n"
      "\"\",,plain \"quote\r\n"
      "\"a\"\"\",\"tail\"after,\"\"\"\"\r\n";
  const ParsedTable t = ParseDelimitedText(data, Guessed(','), "t.csv");
  ASSERT_EQ(t.rowCount, 3u);
  EXPECT_EQ(TextAt(t, 0, 0), "x,y");
  EXPECT_EQ(TextAt(t, 1, 0), "say \"hi\"");
  EXPECT_EQ(TextAt(t, 2, 0), "line1\r\nline2");
  EXPECT_EQ(TextAt(t, 0, 1), "") << "\"\" is empty text";
  EXPECT_TRUE(IsNullAt(t, 1, 1)) << "nothing between delimiters is Null";
  EXPECT_EQ(TextAt(t, 2, 1), "plain \"quote") << "a quote inside an unquoted value is data";
  EXPECT_EQ(TextAt(t, 0, 2), "a\"");
  EXPECT_EQ(TextAt(t, 1, 2), "tailafter");
  EXPECT_EQ(TextAt(t, 2, 2), "\"");
}

TEST(TextTable, StoredResultValuesWithTabsLineBreaksAndQuotesReadBackUnchanged) {
  // A kept result writes such values as quoted fields with the quote doubled.
  const std::vector<std::string> values = {"a\tb", "one\r\ntwo", "lone\rcr", "lone\nlf", "he said \"no\"", "\"",
                                           "\t\r\n\""};
  std::string data = "V\tN\r\n";
  for (const std::string& v : values) {
    std::string quoted = "\"";
    for (char c : v) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    data += quoted + "\"\t1\r\n";
  }
  const TableLayout layout = LayoutOf(
      "[rs3.txt]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n"
      "Col1=V Char Width 255\r\nCol2=N Integer\r\n",
      "rs3.txt");
  const ParsedTable t = ParseDelimitedText(data, layout, "rs3.txt");
  ASSERT_EQ(t.rowCount, values.size());
  for (size_t r = 0; r < values.size(); ++r) {
    EXPECT_EQ(TextAt(t, 0, r), values[r]);
    EXPECT_EQ(WholeAt(t, 1, r), 1);
  }
}

TEST(TextTable, GuessesColumnTypesFromEveryRowAndWidensRatherThanLoses) {
  struct Case {
    std::vector<std::string> values;
    JetType type;
  };
  const std::string longText(300, 'x');
  const Case cases[] = {
      {{"1", "-2", "30000"}, JetType::Long},
      {{"1", "5000000000"}, JetType::BigInt},
      {{"1", "2.5"}, JetType::Double},
      {{"1", "1E3"}, JetType::Double},
      {{"007", "8"}, JetType::Text},  // codes keep their leading zeros
      {{"12345678901234567890"}, JetType::Text},  // beyond 64 bits
      {{"1.23456789012345678901"}, JetType::Text},  // beyond a double's digits
      {{"1e400", "2"}, JetType::Text},              // beyond a double's range
      {{"2", "-2e999"}, JetType::Text},
      {{"1.5e309"}, JetType::Text},
      {{"1e-400"}, JetType::Text},
      {{"1.7e308", "-2.2e-308", "4.9e-300"}, JetType::Double},  // near the limits, within them
      {{"0.0000000000000000000000000000000000001", "0e999"}, JetType::Double},
      {{"True", "false"}, JetType::Boolean},
      {{"True", "1"}, JetType::Text},
      {{"1/2/2003", "2003-01-05 13:04:05", "1/3/2003 13:04:05"}, JetType::Date},
      {{"1/2/2003", "5"}, JetType::Text},
      {{"1", "x"}, JetType::Text},
      {{"", ""}, JetType::Text},
      {{"4", ""}, JetType::Long},
      {{"x", longText}, JetType::Memo},
  };
  for (const Case& c : cases) {
    std::string data = "V\n";
    for (const std::string& v : c.values) data += v + "\n";
    const ParsedTable t = ParseDelimitedText(data, Guessed(), "t.txt");
    EXPECT_EQ(t.columns.at(0).def.type, c.type) << data;
    EXPECT_EQ(t.rowCount, c.values.size());
  }
  // Values convert to the guessed type; a later row that needs more widens the column.
  std::string data = "N\n";
  for (int i = 0; i < 100; ++i) data += std::to_string(i) + "\n";
  data += "9000000000\n";
  const ParsedTable t = ParseDelimitedText(data, Guessed(), "t.txt");
  EXPECT_EQ(t.columns[0].def.type, JetType::BigInt);
  EXPECT_EQ(WholeAt(t, 0, 100), 9000000000);
  EXPECT_EQ(WholeAt(t, 0, 7), 7);
}

TEST(TextTable, DeclaredWholeNumberColumnsWidenInsteadOfFailing) {
  struct Case {
    std::string_view type;
    std::vector<std::string> values;
    JetType widened;
  };
  const Case cases[] = {
      {"Integer", {"1", "3000000000"}, JetType::BigInt},
      {"Integer", {"1", "2.5"}, JetType::Double},
      {"Integer", {"3000000000", "2.5"}, JetType::Double},
      {"Short", {"1", "70000"}, JetType::Long},
      {"Byte", {"1", "-1"}, JetType::Short},
      {"Long", {"12", "12.0"}, JetType::Long},
      {"Single", {"1", "1E39"}, JetType::Double},
      {"Currency", {"1.5", "1E20"}, JetType::Double},
  };
  for (const Case& c : cases) {
    const std::string schema = "[t.txt]\nFormat = TabDelimited\nCol1=N " + std::string(c.type) + "\n";
    std::string data = "N\n";
    for (const std::string& v : c.values) data += v + "\n";
    const ParsedTable t = ParseDelimitedText(data, LayoutOf(schema, "t.txt"), "t.txt");
    EXPECT_EQ(t.columns[0].def.type, c.widened) << c.type << " " << c.values.back();
  }
  // The values read before the widening keep their worth.
  const ParsedTable t = ParseDelimitedText("N\n1.5\n2.25\n1E20\n",
                                           LayoutOf("[t.txt]\nCol1=N Currency\n", "t.txt"), "t.txt");
  EXPECT_EQ(RealAt(t, 0, 0), 1.5);
  EXPECT_EQ(RealAt(t, 0, 1), 2.25);
  EXPECT_EQ(RealAt(t, 0, 2), 1E20);
}

TEST(TextTable, ValuesLaidOutRowByRowReadAsTheirColumnsHeldThem) {
  // A small whole number, one that needs 64 bits, a real, a text with Null
  // and empty values, and a date: every kind of cell and both widths.
  std::string data = "Small\tWide\tReal\tText\tWhen\r\n";
  // Rows over several chunks of the columns' own storage.
  constexpr int kRows = 70000;
  for (int row = 0; row < kRows; ++row) {
    data += std::to_string(row - 150) + "\t";
    data += row % 7 == 0 ? "" : std::to_string(int64_t{1} << 40 | row);
    data += "\t" + std::to_string(row) + ".5\t";
    // Null, empty, and texts of every length around what a cell holds itself.
    data += row % 5 == 0 ? "" : row % 5 == 1 ? "\"\"" : std::string(static_cast<size_t>(row % 17), 'x') + "t";
    data += "\t" + std::to_string(1 + row % 12) + "/1/2001\r\n";
  }
  ParsedTable t = ParseDelimitedText(data, Guessed(), "t.txt");
  ASSERT_EQ(t.rowCount, static_cast<size_t>(kRows));
  ASSERT_EQ(t.columns.size(), 5u);
  EXPECT_EQ(t.columns[0].values.CellBytes(), 4u);
  EXPECT_EQ(t.columns[1].values.CellBytes(), 8u);
  EXPECT_EQ(t.columns[2].values.Kind(), StorageKind::Real);
  EXPECT_EQ(t.columns[3].values.Kind(), StorageKind::Text);
  std::vector<std::vector<StoredValue>> before(t.columns.size());
  for (size_t c = 0; c < t.columns.size(); ++c)
    for (size_t r = 0; r < t.rowCount; ++r) before[c].push_back(t.columns[c].values.at(r));
  LayOutRows(t);
  ASSERT_NE(t.rowCells, nullptr);
  for (size_t c = 0; c < t.columns.size(); ++c)
    for (size_t r = 0; r < t.rowCount; ++r) {
      const ColumnValues& values = t.columns[c].values;
      EXPECT_EQ(values.at(r), before[c][r]) << "column " << c << " row " << r;
      EXPECT_EQ(values.IsNull(r), std::holds_alternative<std::monostate>(before[c][r])) << "column " << c << " row " << r;
    }
  double smallest = 0, largest = 0;
  ASSERT_TRUE(t.columns[0].values.Range(smallest, largest));
  EXPECT_EQ(smallest, -150);
  EXPECT_EQ(largest, kRows - 151);
}

TEST(TextTable, ColumnNamesFromHeaderOrPosition) {
  // Empty and repeated names are named by position, as columns without a header are.
  ParsedTable t = ParseDelimitedText("A\t\ta\tB\r\n1\t2\t3\t4\r\n", Guessed(), "t.txt");
  std::vector<std::string> names;
  for (const auto& c : t.columns) names.push_back(c.def.name);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "F2", "F3", "B"}));

  // Without a header every line is data and a longer row adds columns.
  t = ParseDelimitedText("1\n2\t3\n", Guessed('\t', false), "t.txt");
  ASSERT_EQ(t.columns.size(), 2u);
  EXPECT_EQ(t.columns[1].def.name, "F2");
  EXPECT_EQ(t.rowCount, 2u);
  EXPECT_TRUE(IsNullAt(t, 1, 0));
  EXPECT_EQ(WholeAt(t, 1, 1), 3);

  // A short row ends in Nulls; empty fields beyond the last column are dropped.
  t = ParseDelimitedText("A,B,C\n1\n2,3,4,,\n", Guessed(','), "t.csv");
  ASSERT_EQ(t.rowCount, 2u);
  EXPECT_TRUE(IsNullAt(t, 1, 0));
  EXPECT_TRUE(IsNullAt(t, 2, 0));
  EXPECT_EQ(WholeAt(t, 2, 1), 4);

  // Declared names hold over the header line.
  t = ParseDelimitedText("x\ty\n1\t2\n", LayoutOf("[t.txt]\nColNameHeader=True\nFormat=TabDelimited\nCol1=First Long\nCol2=Second Long\n", "t.txt"), "t.txt");
  EXPECT_EQ(t.columns[0].def.name, "First");
  EXPECT_EQ(t.rowCount, 1u);

  // An empty header line names one column; an empty file is one column without rows.
  t = ParseDelimitedText("\r\n\r\n\r\n", Guessed(), "t.txt");
  ASSERT_EQ(t.columns.size(), 1u);
  EXPECT_EQ(t.columns[0].def.name, "F1");
  EXPECT_EQ(t.rowCount, 2u);
  for (const bool header : {true, false}) {
    t = ParseDelimitedText("", Guessed('\t', header), "t.txt");
    ASSERT_EQ(t.columns.size(), 1u);
    EXPECT_EQ(t.columns[0].def.name, "F1");
    EXPECT_EQ(t.rowCount, 0u);
  }
}

TEST(SchemaIni, SectionsMatchWithoutCaseAndTheLastOfAFileHolds) {
  const std::string_view schema =
      "[data.TXT]\r\nColNameHeader = False\r\nFormat = TABDelimited\r\nCol1=Old Integer\r\n"
      "[other.txt]\r\nFormat = CSVDelimited\r\n"
      "[DATA.txt]\r\nColNameHeader = True\r\nFormat = Delimited(;)\r\nCol1=New Char Width 10\r\nCol2=\"Two Words\" Date\r\n";
  const TableLayout layout = LayoutOf(schema, "data.txt");
  EXPECT_TRUE(layout.format.header);
  EXPECT_EQ(layout.format.delimiter, ';');
  ASSERT_EQ(layout.columns.size(), 2u);
  EXPECT_EQ(layout.columns[0].name, "New");
  EXPECT_EQ(layout.columns[0].type, JetType::Text);
  EXPECT_EQ(layout.columns[0].width, 10);
  EXPECT_EQ(layout.columns[1].name, "Two Words");
  EXPECT_EQ(layout.columns[1].type, JetType::Date);
  // In double quotes a double quote is written twice; brackets keep what is between them.
  const TableLayout quoted =
      LayoutOf("[q.txt]\nCol1=\"say \"\"hi\"\"\" Long\nCol2=\"\"\"q\" Text\nCol3=[a \"b\"] Long\n", "q.txt");
  ASSERT_EQ(quoted.columns.size(), 3u);
  EXPECT_EQ(quoted.columns[0].name, "say \"hi\"");
  EXPECT_EQ(quoted.columns[0].type, JetType::Long);
  EXPECT_EQ(quoted.columns[1].name, "\"q");
  EXPECT_EQ(quoted.columns[2].name, "a \"b\"");
  EXPECT_EQ(LayoutOf(schema, "Other.Txt").format.delimiter, ',');
  EXPECT_TRUE(LayoutOf(schema, "missing.txt").columns.empty());
}

TEST(SchemaIni, EveryTypeNameAndSynonymIsRead) {
  const std::pair<std::string_view, JetType> names[] = {
      {"Bit", JetType::Boolean},      {"Byte", JetType::Byte},       {"Short", JetType::Short},
      {"Long", JetType::Long},        {"Integer", JetType::Long},    {"Currency", JetType::Currency},
      {"Single", JetType::Single},    {"Double", JetType::Double},   {"Float", JetType::Double},
      {"Decimal", JetType::Double},   {"DateTime", JetType::Date},   {"Date", JetType::Date},
      {"Text", JetType::Text},        {"Char", JetType::Text},       {"Memo", JetType::Memo},
      {"LongChar", JetType::Memo},    {"OLE", JetType::Binary},      {"integer", JetType::Long},
  };
  for (const auto& [name, type] : names) {
    const TableLayout layout = LayoutOf("[t.txt]\nCol1=C " + std::string(name) + "\n", "t.txt");
    ASSERT_EQ(layout.columns.size(), 1u);
    EXPECT_EQ(layout.columns[0].type, type) << name;
  }
}

TEST(SchemaIni, FormattingKeysShapeHowValuesRead) {
  const std::string_view schema =
      "[t.txt]\nFormat=Delimited(|)\nDecimalSymbol=,\nCurrencySymbol=EUR\nCurrencyDecimalSymbol=,\n"
      "CurrencyThousandSymbol=.\nDateTimeFormat=dd.mm.yyyy hh:nn:ss\nTextDelimiter=none\n"
      "Col1=D Double\nCol2=C Currency\nCol3=W Date\nCol4=Q Text\n";
  const ParsedTable t = ParseDelimitedText("D|C|W|Q\n1,5|EUR 1.234,56|24.12.2003 13:04:05|\"as is\"\n",
                                           LayoutOf(schema, "t.txt"), "t.txt");
  EXPECT_EQ(RealAt(t, 0, 0), 1.5);
  EXPECT_EQ(WholeAt(t, 1, 0), 12345600);
  EXPECT_EQ(RealAt(t, 2, 0), MakeDate(2003, 12, 24, 13, 4, 5)->serial);
  EXPECT_EQ(TextAt(t, 3, 0), "\"as is\"") << "TextDelimiter=none keeps quotes as data";

  EXPECT_EQ(ParseDateByPicture("1/2/2003 1:04 PM", "m/d/yyyy h:nn AM/PM")->serial,
            MakeDate(2003, 1, 2, 13, 4)->serial);
  EXPECT_EQ(ParseDateByPicture("2003-01-02", "yyyy-mm-dd")->serial, MakeDate(2003, 1, 2)->serial);
  EXPECT_EQ(ParseDateByPicture("02 Jan 03", "dd mmm yy")->serial, MakeDate(2003, 1, 2)->serial);
  EXPECT_EQ(ParseDateByPicture("31.12.99 23:59", "dd.mm.yy hh:mm")->serial, MakeDate(1999, 12, 31, 23, 59)->serial)
      << "mm after an hour is minutes";
  EXPECT_FALSE(ParseDateByPicture("2003/01/02", "yyyy-mm-dd"));
  EXPECT_FALSE(ParseDateByPicture("2003-01-02 extra", "yyyy-mm-dd"));
}

TEST(SchemaIni, CharacterSetsAreConvertedToUtf8) {
  struct Case {
    std::string_view set;
    std::string bytes;
  };
  const Case cases[] = {
      {"ANSI", "N\r\n\xC3\xBC\r\n"},
      {"65001", "\xEF\xBB\xBFN\r\n\xC3\xBC\r\n"},
      {"OEM", "N\r\n\x81\r\n"},  // code page 437
      {"1252", "N\r\n\xFC\r\n"},
      {"Unicode", std::string("\xFF\xFEN\0\r\0\n\0\xFC\0\r\0\n\0", 14)},
      {"1201", std::string("\0N\0\r\0\n\0\xFC\0\r\0\n", 12)},
  };
  testing::FixtureFolder folder;
  for (const Case& c : cases) {
    folder.Write("t.txt", c.bytes);
    const TableLayout layout = LayoutOf("[t.txt]\nCharacterSet=" + std::string(c.set) + "\n", "t.txt");
    const ParsedTable t = ReadTextTable(folder.PathOf("t.txt"), "t.txt", layout);
    ASSERT_EQ(t.rowCount, 1u) << c.set;
    EXPECT_EQ(t.columns[0].def.name, "N") << c.set;
    EXPECT_EQ(TextAt(t, 0, 0), "\xC3\xBC") << c.set;
  }
}

// Every malformed input names the file, the line and the column.
TEST(TextTable, MalformedFilesRaiseDriverErrorsNamingFileLineAndColumn) {
  struct Case {
    std::string_view schema;
    std::string_view data;
    std::string_view description;
  };
  const std::string_view typed =
      "[t.txt]\nColNameHeader=True\nFormat=TabDelimited\nCol1=ID Integer\nCol2=Day Date\nCol3=Ok Bit\nCol4=Price Currency\n";
  const Case cases[] = {
      {typed, "ID\tDay\tOk\tPrice\r\n1\t1/2/2003\tTrue\t1\r\nx12\t\t\t\r\n",
       "Line 3 of 't.txt': the value 'x12' of column 'ID' cannot be read as Long."},
      {typed, "ID\tDay\tOk\tPrice\r\n1\t2/30/2003\t\t\r\n",
       "Line 2 of 't.txt': the value '2/30/2003' of column 'Day' cannot be read as DateTime."},
      {typed, "ID\tDay\tOk\tPrice\r\n1\t\tmaybe\t\r\n",
       "Line 2 of 't.txt': the value 'maybe' of column 'Ok' cannot be read as Bit."},
      {typed, "ID\tDay\tOk\tPrice\r\n1\t\t\t12 dollars\r\n",
       "Line 2 of 't.txt': the value '12 dollars' of column 'Price' cannot be read as Currency."},
      {typed, "ID\tDay\tOk\tPrice\r\n1\t\t\t\r\n2\t\t\t\t5\r\n",
       "Line 3 of 't.txt' holds 5 values, but the table has 4 columns."},
      {"", "A,B\r\n1,\"open\r\nstill open\r\n", "Line 2 of 't.txt': the quoted value of column 'B' is not closed."},
      {"", "\"A,B\r\n", "Line 1 of 't.txt': the quoted value of column 'F1' is not closed."},
      // Found by fuzzing: the database refused such a name with a message about its own syntax.
      {"", std::string_view("A,B\0C\r\n1,2\r\n", 12), "The name of column 2 of 't.txt' holds a NUL character."},
      {std::string_view("[t.txt]\nCol1=N\0X Long\n", 22), "N\r\n1\r\n",
       "The name of column 1 of 't.txt' holds a NUL character."},
      {"[t.txt]\nFormat=TabDelimited\nCol1=N Integer\n", "N\n1\n2\n\"3\n4\n",
       "Line 4 of 't.txt': the quoted value of column 'N' is not closed."},
      // Lone line breaks inside values of a CR LF file count as lines.
      {"[t.txt]\nFormat=TabDelimited\nCol1=T Text\nCol2=N Integer\n", "T\tN\r\na\nb\t1\r\n\n\t2\r\nz\tq\r\n",
       "Line 6 of 't.txt': the value 'q' of column 'N' cannot be read as Long."},
      // In a file of CR line ends, CR counts the lines.
      {"[t.txt]\nFormat=TabDelimited\nCol1=T Text\nCol2=N Integer\n", "T\tN\r\"a\rb\"\t1\rz\tq\r",
       "Line 4 of 't.txt': the value 'q' of column 'N' cannot be read as Long."},
      // A line break inside a quoted value counts as a line.
      {"[t.txt]\nFormat=TabDelimited\nCol1=T Text\nCol2=N Integer\n", "T\tN\n\"a\nb\"\t1\nz\tq\n",
       "Line 4 of 't.txt': the value 'q' of column 'N' cannot be read as Long."},
      {"[t.txt]\nFormat=TabDelimited\nCol1=N Strnig\n", "N\n",
       "Invalid setting 'Col1=N Strnig' in line 3 of 'schema.ini' (section [t.txt]): 'Strnig' is not a column type."},
      {"[t.txt]\nFormat = Pipes\n", "N\n",
       "Invalid setting 'Format=Pipes' in line 2 of 'schema.ini' (section [t.txt]): TabDelimited, CSVDelimited, "
       "Delimited(x) or FixedLength is expected."},
      {"[t.txt]\nCharacterSet = 99999\n", "N\n",
       "Invalid setting 'CharacterSet=99999' in line 2 of 'schema.ini' (section [t.txt]): not a known character set."},
      {"[t.txt]\nColNameHeader = Maybe\n", "N\n",
       "Invalid setting 'ColNameHeader=Maybe' in line 2 of 'schema.ini' (section [t.txt]): True or False is expected."},
      {"[t.txt]\nCol1=A Long\nCol3=C Long\n", "N\n", "Column Col2 is missing in section [t.txt] of 'schema.ini'."},
      {"[t.txt]\nCol1=\"A Long\n", "N\n",
       "Invalid setting 'Col1=\"A Long' in line 2 of 'schema.ini' (section [t.txt]): the column name is not closed."},
      {"[t.txt]\nCol1=A Text Width x\n", "N\n",
       "Invalid setting 'Col1=A Text Width x' in line 2 of 'schema.ini' (section [t.txt]): Width needs a number."},
  };
  for (const Case& c : cases) {
    const Error e = ErrorOf([&] {
      TextFormat defaults;
      const TableLayout layout = LayoutOf(c.schema, "t.txt", defaults);
      ParseDelimitedText(c.data, layout, "t.txt");
    });
    EXPECT_EQ(e.Number(), hr::kFileError) << c.data;
    EXPECT_EQ(e.Source(), kDriverSource);
    EXPECT_EQ(e.Description(), c.description);
  }
}

TEST(TextTable, LongValuesInMessagesAreShortened) {
  const std::string data = "N\n" + std::string(100, '7') + "x\n";
  const Error e = ErrorOf([&] { ParseDelimitedText(data, LayoutOf("[t.txt]\nCol1=N Long\n", "t.txt"), "t.txt"); });
  EXPECT_EQ(e.Description(),
            "Line 2 of 't.txt': the value '" + std::string(60, '7') + "...' of column 'N' cannot be read as Long.");
}

}  // namespace
}  // namespace vendrel::driver::text

namespace vendrel::driver::text {
namespace {

// The values the engine writes that only their exact text keeps.
constexpr std::string_view kExactSchema =
    "[exact.txt]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n"
    "Col1=S Single\r\nCol2=D Double\r\nCol3=B OLE\r\nCol4=T Date\r\nCol5=N Integer\r\n";

TEST(TextTable, ExactValuesOfTheEngineReadBackAsTheyWere) {
  const TableLayout layout = LayoutOf(kExactSchema, "exact.txt");
  const ParsedTable t = ParseDelimitedText(
      "S\tD\tB\tT\tN\r\n"
      "3.4028235E+38\t-0\t0x00FF41\t12/30/1899 01:00:00.5\t1\r\n"
      "NaN\tNaN\t0x\t1/2/2003 13:04:05.001\t2\r\n"
      "-Infinity\tInfinity\t\"\"\t1/2/2003 13:04:05\t3\r\n"
      "-0\t-Infinity\tplain\t\t4\r\n",
      layout, "exact.txt");
  ASSERT_EQ(t.rowCount, 4u);
  EXPECT_EQ(t.columns[0].def.type, JetType::Single);  // the largest Single stays one
  EXPECT_EQ(RealAt(t, 0, 0), static_cast<double>(FLT_MAX));
  EXPECT_TRUE(std::isnan(RealAt(t, 0, 1)));
  EXPECT_EQ(RealAt(t, 0, 2), -HUGE_VAL);
  EXPECT_TRUE(RealAt(t, 0, 3) == 0 && std::signbit(RealAt(t, 0, 3)));
  EXPECT_TRUE(RealAt(t, 1, 0) == 0 && std::signbit(RealAt(t, 1, 0)));
  EXPECT_TRUE(std::isnan(RealAt(t, 1, 1)));
  EXPECT_EQ(RealAt(t, 1, 2), HUGE_VAL);
  EXPECT_EQ(TextAt(t, 2, 0), std::string("\0\xFF" "A", 3));
  EXPECT_EQ(TextAt(t, 2, 1), "");
  EXPECT_EQ(TextAt(t, 2, 2), "");
  EXPECT_EQ(TextAt(t, 2, 3), "plain");  // any other text is its own bytes
  EXPECT_EQ(RealAt(t, 3, 0), 3600.5 / 86400);
  EXPECT_TRUE(IsNullAt(t, 3, 3));
  EXPECT_EQ(t.columns[4].def.type, JetType::Long);
}

TEST(TextTable, ASingleBeyondItsRangeOrAWholeNumberColumnWithWhatOnlyADoubleHoldsBecomesDouble) {
  const TableLayout layout = LayoutOf(kExactSchema, "exact.txt");
  const ParsedTable big = ParseDelimitedText("S\tD\tB\tT\tN\r\n1.5\t\t\t\t1\r\n3.5E+38\t\t\t\t-0\r\n", layout, "exact.txt");
  EXPECT_EQ(big.columns[0].def.type, JetType::Double);
  EXPECT_EQ(RealAt(big, 0, 1), 3.5e38);
  EXPECT_EQ(big.columns[4].def.type, JetType::Double);
  EXPECT_TRUE(RealAt(big, 4, 1) == 0 && std::signbit(RealAt(big, 4, 1)));
  const ParsedTable nan = ParseDelimitedText("S\tD\tB\tT\tN\r\n\t\t\t\tNaN\r\n", layout, "exact.txt");
  EXPECT_EQ(nan.columns[4].def.type, JetType::Double);
  EXPECT_TRUE(std::isnan(RealAt(nan, 4, 0)));
  EXPECT_EQ(ErrorOf([&] { ParseDelimitedText("S\tD\tB\tT\tN\r\nx\t\t\t\t1\r\n", layout, "exact.txt"); }).Description(),
            "Line 2 of 'exact.txt': the value 'x' of column 'S' cannot be read as Single.");
}

}  // namespace
}  // namespace vendrel::driver::text

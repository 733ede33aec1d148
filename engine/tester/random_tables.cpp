#include "random_tables.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <stdexcept>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/enums.h"

namespace vendrel::tester {

namespace {

constexpr FieldType kFieldTypes[] = {
    {"Integer", adInteger, 0, "Integer", Kind::Number, true},
    {"Short", adSmallInt, 0, "Short", Kind::Number, true},
    // As the engine declares it: Integer, read as Long.
    {"Byte", adUnsignedTinyInt, 0, "Integer", Kind::Number, true},
    {"Double", adDouble, 0, "Double", Kind::Number, false},
    {"Single", adSingle, 0, "Single", Kind::Number, false},
    {"Currency", adCurrency, 0, "Currency", Kind::Number, false},
    {"Date", adDate, 0, "Date", Kind::Date, false},
    {"Bit", adBoolean, 0, "Bit", Kind::Boolean, false},
    {"Char(50)", adVarWChar, 50, "Char Width 50", Kind::Text, false},
    {"LongChar", adLongVarWChar, 65535, "LongChar", Kind::Text, false},
};

// Texts that meet each other under the dialect's rules: equal but for case,
// accents apart, other scripts, spaces at the ends, the characters of LIKE
// patterns, and texts that read as numbers or dates.
constexpr std::string_view kWords[] = {
    "a", "A", "b", "B", "ab", "AB", "Ab", "abc", "ABC", "b a", "zebra", "Zebra", "é", "É", "e", "E", "ß", "SS", "ss",
    "Straße", "STRASSE", "Ωμέγα", "ΩΜΈΓΑ", "Дом", "ДОМ", "日本", "ドイツ", "", " ", " a", "a ", "it's", "50%", "a_b",
    "[x]", "O'Brien", "a\"b", "Zoë", "ZOË", "1", "10", "2", "-3", "1.5", "1/2/2003", "True", "x", "X", "xyz", "Null",
};

constexpr double kDoubles[] = {0, 1, -1, 2.5, -0.5, 0.1, 3, 1e10, 1.0 / 3, 7, -2, 1e-5, 123456.789, 4, 2};
constexpr float kSingles[] = {0, 1, -1, 0.5f, 2.25f, -3.75f, 1e6f, 0.1f, 3, 2};
constexpr int64_t kCurrencies[] = {0, 10000, -10000, 15000, 2500, -25000, 1000001, 99900, 30000, 20000};  // ten-thousandths
constexpr double kDays[] = {36526, 38046, 36525, 2, 45477, 37623, 36527, 1, 73050, 10};
constexpr double kTimes[] = {0, 0, 0, 0.5, 0.25, 0.4376736111111111};  // 10:30:15

Variant WholeValue(Random& random, int adoType) {
  if (random.OneIn(33)) {
    switch (adoType) {
      case adInteger: return Variant::Long(random.Pick({std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}));
      case adSmallInt: return Variant::Integer(random.Pick<int16_t>({32767, -32768}));
      default: return Variant::Byte(255);
    }
  }
  switch (adoType) {
    case adInteger: return Variant::Long(random.Between(-3, 6));
    case adSmallInt: return Variant::Integer(static_cast<int16_t>(random.Between(-3, 6)));
    default: return Variant::Byte(static_cast<uint8_t>(random.Between(0, 6)));
  }
}

Variant ValueOf(Random& random, const FieldType& type) {
  if (random.OneIn(8)) return Variant::Null();
  switch (type.adoType) {
    case adInteger:
    case adSmallInt:
    case adUnsignedTinyInt: return WholeValue(random, type.adoType);
    case adDouble:
      if (random.OneIn(60)) return Variant::Double(random.Pick({-0.0, std::numeric_limits<double>::quiet_NaN()}));
      return Variant::Double(random.Pick(std::span<const double>(kDoubles)));
    case adSingle: return Variant::Single(random.Pick(std::span<const float>(kSingles)));
    case adCurrency: return Variant(Currency{random.Pick(std::span<const int64_t>(kCurrencies))});
    case adDate: {
      const double day = random.Pick(std::span<const double>(kDays));
      return Variant::Date(day + (random.OneIn(2) ? 0 : random.Pick(std::span<const double>(kTimes))));
    }
    case adBoolean: return Variant::Boolean(random.OneIn(2));
    case adLongVarWChar: {
      std::string text;
      const int words = random.OneIn(4) ? random.Between(40, 80) : random.Between(0, 3);
      for (int i = 0; i < words; ++i) text += std::string(random.Pick(std::span<const std::string_view>(kWords))) + " ";
      return Variant::String(text);
    }
    default: return Variant::String(std::string(random.Pick(std::span<const std::string_view>(kWords))));
  }
}

int RowCount(Random& random) {
  const int roll = random.Below(100);
  if (roll < 8) return 0;
  if (roll < 55) return random.Between(1, 10);
  if (roll < 90) return random.Between(11, 40);
  return random.Between(41, 300);
}

// A prefix per kind, so that a column's name says what it holds.
std::string_view PrefixOf(const FieldType& type) {
  switch (type.kind) {
    case Kind::Number: return type.whole ? "n" : "x";
    case Kind::Text: return "s";
    case Kind::Date: return "d";
    case Kind::Boolean: return "b";
  }
  return "c";
}

// The shortest text that reads back to the same value, the sign of -0 kept.
std::string ExactText(const Variant& v) {
  if (v.Type() == VarType::Double && v.AsDouble() == 0 && std::signbit(v.AsDouble())) return "-0";
  if (v.Type() == VarType::Single && v.AsSingle() == 0 && std::signbit(v.AsSingle())) return "-0";
  return ToRoundTripText(v);
}

// The text the driver reads back as the value, in the table's file.
std::string FileText(const Variant& v) {
  if (v.IsNull()) return {};
  switch (v.Type()) {
    case VarType::String: return v.AsString().empty() ? "\"\"" : v.AsString();
    case VarType::Date: {
      std::string out;
      AppendExactDate(out, v.AsDate());
      return out;
    }
    case VarType::Boolean: return v.AsBoolean() ? "True" : "False";
    default: return ExactText(v);
  }
}

}  // namespace

std::span<const FieldType> FieldTypes() { return kFieldTypes; }

const FieldType* FieldTypeNamed(std::string_view name) {
  for (const FieldType& t : kFieldTypes)
    if (t.name == name) return &t;
  return nullptr;
}

Database MakeDatabase(Random& random) {
  Database database;
  const int tables = random.Pick({1, 2, 2, 3, 3, 4});
  for (int t = 1; t <= tables; ++t) {
    TestTable table;
    table.name = "t" + std::to_string(t);
    const FieldType* key = &kFieldTypes[random.Pick({0, 0, 0, 1, 2})];
    table.columns.push_back({"k", key});
    const int more = random.Between(1, 5);
    for (int c = 0; c < more; ++c) {
      // Text and whole numbers more often: they join and group.
      const int pick = random.Pick({0, 1, 2, 3, 4, 5, 6, 7, 8, 8, 8, 0, 3, 9});
      const FieldType* type = &kFieldTypes[pick];
      table.columns.push_back({std::string(PrefixOf(*type)) + std::to_string(c + 1), type});
    }
    const int rows = RowCount(random);
    for (int r = 0; r < rows; ++r) {
      std::vector<Variant> row;
      for (const TestColumn& c : table.columns) row.push_back(ValueOf(random, *c.type));
      table.rows.push_back(std::move(row));
    }
    database.push_back(std::move(table));
  }
  return database;
}

Ref<Recordset> RecordsetOf(const TestTable& table) {
  Ref<Recordset> rs = Recordset::Create();
  for (const TestColumn& c : table.columns) rs->Fields().Append(c.name, c.type->adoType, c.type->size, adFldMayBeNull);
  rs->Open({}, {}, adOpenStatic, adLockOptimistic);
  for (const auto& row : table.rows) {
    rs->AddNew();
    for (size_t i = 0; i < row.size(); ++i)
      if (!row[i].IsNull()) rs->Fields()[static_cast<long>(i)].SetValue(row[i]);
    rs->Update();
  }
  if (rs->RecordCount() > 0) rs->MoveFirst();
  return rs;
}

void WriteTextFolder(const std::string& folder, const Database& database) {
  std::string schema;
  for (const TestTable& table : database) {
    schema += "[" + table.name + "]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n";
    std::string data;
    for (size_t i = 0; i < table.columns.size(); ++i) {
      data += (i ? "\t" : "") + table.columns[i].name;
      schema += "Col" + std::to_string(i + 1) + "=" + table.columns[i].name + " " +
                std::string(table.columns[i].type->schemaType) + "\r\n";
    }
    data += "\r\n";
    for (const auto& row : table.rows) {
      for (size_t i = 0; i < row.size(); ++i) data += (i ? "\t" : "") + FileText(row[i]);
      data += "\r\n";
    }
    std::ofstream file(folder + "/" + table.name, std::ios::binary);
    file << data;
    if (!file) throw std::runtime_error("cannot write " + folder + "/" + table.name);
  }
  std::ofstream file(folder + "/schema.ini", std::ios::binary);
  file << schema;
  if (!file) throw std::runtime_error("cannot write " + folder + "/schema.ini");
}

std::string CellText(const Variant& v) {
  if (v.IsNull()) return "Null";
  if (v.Type() == VarType::Date) {
    std::string out;
    AppendExactDate(out, v.AsDate());
    return out;
  }
  if (v.Type() == VarType::Boolean) return v.AsBoolean() ? "True" : "False";
  return ExactText(v);
}

Variant CellValue(std::string_view text, const FieldType& type) {
  if (text == "Null") return Variant::Null();
  const std::string s(text);
  switch (type.adoType) {
    case adInteger: return Variant::Long(static_cast<int32_t>(std::stol(s)));
    case adSmallInt: return Variant::Integer(static_cast<int16_t>(std::stoi(s)));
    case adUnsignedTinyInt: return Variant::Byte(static_cast<uint8_t>(std::stoi(s)));
    case adDouble:
      if (s == "NaN") return Variant::Double(std::numeric_limits<double>::quiet_NaN());
      return Variant::Double(std::stod(s));
    case adSingle: return Variant::Single(std::stof(s));
    case adCurrency: return Variant(ToCurrency(Variant(s)));
    case adDate: {
      const auto date = ParseExactDate(s);
      if (!date) throw std::runtime_error("not a date: " + s);
      return Variant(*date);
    }
    case adBoolean: return Variant::Boolean(s == "True");
    default: return Variant::String(s);
  }
}

}  // namespace vendrel::tester

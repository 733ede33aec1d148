#include "providers/database_catalog.h"

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "core/errors.h"
#include "core/sqlite_util.h"
#include "text/delimited_reader.h"
#include "text/value_reader.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver {

using text::StoredValue;

namespace {

constexpr std::string_view kStoredValueFunction = "vdl_stored_value";
constexpr double kMinDateSerial = -657434.0;      // 1 January 100
constexpr double kMaxDateSerial = 2958465.99999;  // 31 December 9999, end of day

const text::ValueReader& Reader() {
  static const text::TextFormat format;
  static const text::ValueReader reader(format);
  return reader;
}

std::string Upper(std::string_view s) {
  std::string out;
  for (char c : s) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// A URI for the file that opens it read-only.
std::string ReadOnlyUri(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "file:";
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  out += "?mode=ro";
  return out;
}

std::string_view ValueText(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

// A stored number, or numeric text, as a number; Bad for anything else.
text::NumberReading NumberOf(sqlite3_value* v) {
  text::NumberReading n;
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      n.kind = text::NumberReading::Kind::Whole;
      n.whole = sqlite3_value_int64(v);
      n.real = static_cast<double>(n.whole);
      return n;
    case SQLITE_FLOAT:
      n.real = sqlite3_value_double(v);
      if (std::trunc(n.real) == n.real && std::fabs(n.real) < 9.2233720368547758e18) {
        n.kind = text::NumberReading::Kind::Whole;
        n.whole = static_cast<int64_t>(n.real);
      } else {
        n.kind = std::isfinite(n.real) ? text::NumberReading::Kind::Fraction : text::NumberReading::Kind::Bad;
      }
      return n;
    case SQLITE_TEXT: return Reader().Number(ValueText(v));
    default: return n;
  }
}

bool IsNumber(sqlite3_value* v) {
  const int kind = sqlite3_value_type(v);
  return kind == SQLITE_INTEGER || kind == SQLITE_FLOAT;
}

// The type a column needs to hold v as well as the values before it
// (`current`); nullopt when v does not read as that kind of value at all.
// A column without a declared type (`guessed`) takes the kind of its values,
// and text when they are of several kinds.
std::optional<JetType> TypeToHold(sqlite3_value* v, JetType current, bool guessed) {
  using Kind = text::NumberReading::Kind;
  const int kind = sqlite3_value_type(v);
  if (kind == SQLITE_NULL) return current;
  if (guessed) {
    const bool numeric = current == JetType::Null || text::IsWholeNumberType(current) || current == JetType::Double;
    if (kind == SQLITE_INTEGER && (current == JetType::Null || text::IsWholeNumberType(current)))
      return text::WholeTypeFor(sqlite3_value_int64(v), current == JetType::Null ? JetType::Long : current);
    if (IsNumber(v) && numeric) return JetType::Double;
    if (kind == SQLITE_BLOB && (current == JetType::Null || current == JetType::Binary)) return JetType::Binary;
    return JetType::Text;
  }
  const text::ValueReader& reader = Reader();
  switch (current) {
    case JetType::Byte:
    case JetType::Short:
    case JetType::Long:
    case JetType::BigInt: {
      const text::NumberReading n = NumberOf(v);
      if (n.kind == Kind::Bad) return std::nullopt;
      return n.kind == Kind::Whole ? text::WholeTypeFor(n.whole, current) : JetType::Double;
    }
    case JetType::Single:
    case JetType::Double: {
      const text::NumberReading n = NumberOf(v);
      if (n.kind == Kind::Bad) return std::nullopt;
      return current == JetType::Single && std::fabs(n.real) > FLT_MAX ? JetType::Double : current;
    }
    case JetType::Currency: {
      if (kind == SQLITE_TEXT && reader.CurrencyValue(ValueText(v))) return current;
      const text::NumberReading n = NumberOf(v);
      if (n.kind == Kind::Bad) return std::nullopt;
      return IsNumber(v) && std::fabs(n.real * Currency::kScale) < 9.2233720368547758e18 ? current : JetType::Double;
    }
    case JetType::Date:
      if (IsNumber(v)) {
        const double d = sqlite3_value_double(v);
        if (d >= kMinDateSerial && d <= kMaxDateSerial) return current;
        return std::nullopt;
      }
      if (kind == SQLITE_TEXT && reader.Date(ValueText(v))) return current;
      return std::nullopt;
    case JetType::Boolean:
      if (IsNumber(v) || (kind == SQLITE_TEXT && reader.Boolean(ValueText(v)))) return current;
      return std::nullopt;
    default: return current;
  }
}

// Whether a value is already held as its type's storage, so the view can pass it on.
bool IsInStorage(sqlite3_value* v, JetType type) {
  const int kind = sqlite3_value_type(v);
  if (kind == SQLITE_NULL) return true;
  switch (type) {
    case JetType::Byte:
    case JetType::Short:
    case JetType::Long:
    case JetType::BigInt: return kind == SQLITE_INTEGER;
    case JetType::Single:
    case JetType::Double:
    case JetType::Date: return IsNumber(v);
    case JetType::Boolean:
      return kind == SQLITE_INTEGER && (sqlite3_value_int64(v) == 0 || sqlite3_value_int64(v) == -1);
    default: return false;
  }
}

// v in the storage of `type`; nullopt when it does not read as one.
std::optional<StoredValue> ToStorage(sqlite3_value* v, JetType type) {
  using Kind = text::NumberReading::Kind;
  const int kind = sqlite3_value_type(v);
  if (kind == SQLITE_NULL) return StoredValue{};
  const text::ValueReader& reader = Reader();
  switch (type) {
    case JetType::Byte:
    case JetType::Short:
    case JetType::Long:
    case JetType::BigInt: {
      const text::NumberReading n = NumberOf(v);
      if (n.kind != Kind::Whole) return std::nullopt;
      return StoredValue{n.whole};
    }
    case JetType::Single:
    case JetType::Double: {
      const text::NumberReading n = NumberOf(v);
      if (n.kind == Kind::Bad) return std::nullopt;
      return StoredValue{type == JetType::Single ? static_cast<double>(static_cast<float>(n.real)) : n.real};
    }
    case JetType::Currency: {
      if (kind == SQLITE_TEXT) {
        if (auto c = reader.CurrencyValue(ValueText(v))) return StoredValue{c->scaled};
        return std::nullopt;
      }
      if (!IsNumber(v)) return std::nullopt;
      const double scaled = RoundHalfEven(sqlite3_value_double(v) * Currency::kScale);
      if (!(std::fabs(scaled) < 9.2233720368547758e18)) return std::nullopt;
      // Whole units are exact beyond a double's digits.
      if (kind == SQLITE_INTEGER && std::fabs(scaled) >= 9.0e15) return StoredValue{sqlite3_value_int64(v) * Currency::kScale};
      return StoredValue{static_cast<int64_t>(scaled)};
    }
    case JetType::Date: {
      if (IsNumber(v)) {
        const double d = sqlite3_value_double(v);
        if (d >= kMinDateSerial && d <= kMaxDateSerial) return StoredValue{d};
        return std::nullopt;
      }
      if (kind != SQLITE_TEXT) return std::nullopt;
      if (auto d = reader.Date(ValueText(v))) return StoredValue{d->serial};
      return std::nullopt;
    }
    case JetType::Boolean: {
      if (IsNumber(v)) return StoredValue{int64_t{sqlite3_value_double(v) != 0 ? -1 : 0}};
      if (kind != SQLITE_TEXT) return std::nullopt;
      if (auto b = reader.Boolean(ValueText(v))) return StoredValue{int64_t{*b ? -1 : 0}};
      return std::nullopt;
    }
    default: return StoredValue{ValueText(v)};
  }
}

std::string Shown(sqlite3_value* v) {
  std::string text(ValueText(v).substr(0, 60));
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return text;
}

std::string CannotRead(sqlite3_value* v, std::string_view column, JetType type) {
  return "the value '" + Shown(v) + "' of column '" + std::string(column) + "' cannot be read as " +
         std::string(JetTypeName(type)) + ".";
}

// vdl_stored_value(value, type, table, column): the value in the storage of
// the type; the table and column name it in the error when it does not read.
void StoredValueFunction(sqlite3_context* context, int, sqlite3_value** args) {
  const auto type = static_cast<JetType>(sqlite3_value_int(args[1]));
  const std::optional<StoredValue> stored = ToStorage(args[0], type);
  if (!stored) {
    const std::string message = EncodeRuntimeError(
        hr::kFileError, "Table '" + std::string(ValueText(args[2])) + "': " +
                            CannotRead(args[0], ValueText(args[3]), type));
    sqlite3_result_error(context, message.c_str(), static_cast<int>(message.size()));
    return;
  }
  if (auto* n = std::get_if<int64_t>(&*stored))
    sqlite3_result_int64(context, *n);
  else if (auto* d = std::get_if<double>(&*stored))
    sqlite3_result_double(context, *d);
  else
    sqlite3_result_null(context);
}

struct ColumnPlan {
  ColumnDef def;
  bool guessed = false;
  bool plain = true;  // every value already in its storage
};

}  // namespace

JetType TypeOfDeclaration(std::string_view declared, long& width) {
  width = 0;
  const std::string upper = Upper(Trim(declared));
  const size_t paren = upper.find('(');
  const std::string base(Trim(std::string_view(upper).substr(0, paren)));
  if (paren != std::string::npos) {
    long n = 0;
    const std::string_view arg = Trim(std::string_view(upper).substr(paren + 1));
    auto r = std::from_chars(arg.data(), arg.data() + arg.size(), n);
    if (r.ec == std::errc() && n > 0) width = n;
  }
  struct Name {
    std::string_view text;
    JetType type;
  };
  static constexpr Name kNames[] = {
      {"INTEGER", JetType::Long},     {"INT", JetType::Long},          {"LONG", JetType::Long},
      {"MEDIUMINT", JetType::Long},   {"SMALLINT", JetType::Short},    {"SHORT", JetType::Short},
      {"TINYINT", JetType::Byte},     {"BYTE", JetType::Byte},         {"BIGINT", JetType::BigInt},
      {"REAL", JetType::Double},      {"DOUBLE", JetType::Double},     {"DOUBLE PRECISION", JetType::Double},
      {"FLOAT", JetType::Double},     {"NUMERIC", JetType::Double},    {"DECIMAL", JetType::Double},
      {"SINGLE", JetType::Single},    {"CURRENCY", JetType::Currency}, {"MONEY", JetType::Currency},
      {"DATETIME", JetType::Date},    {"DATE", JetType::Date},         {"TIMESTAMP", JetType::Date},
      {"TIME", JetType::Date},        {"BOOLEAN", JetType::Boolean},   {"BIT", JetType::Boolean},
      {"YESNO", JetType::Boolean},    {"VARCHAR", JetType::Text},      {"NVARCHAR", JetType::Text},
      {"CHAR", JetType::Text},        {"NCHAR", JetType::Text},        {"CHARACTER", JetType::Text},
      {"TEXT", JetType::Text},        {"MEMO", JetType::Memo},         {"LONGTEXT", JetType::Memo},
      {"LONGCHAR", JetType::Memo},    {"CLOB", JetType::Memo},         {"BLOB", JetType::Binary},
      {"OLE", JetType::Binary},       {"LONGBINARY", JetType::Binary}, {"BINARY", JetType::Binary},
      {"VARBINARY", JetType::Binary}, {"GUID", JetType::Guid},         {"UNIQUEIDENTIFIER", JetType::Guid},
  };
  for (const Name& n : kNames)
    if (base == n.text) {
      if (n.type != JetType::Text) width = 0;
      return n.type;
    }
  width = 0;
  // Other declarations by the database's own affinity rules.
  if (base.find("INT") != std::string::npos) return JetType::Long;
  if (base.find("CHAR") != std::string::npos || base.find("CLOB") != std::string::npos ||
      base.find("TEXT") != std::string::npos)
    return JetType::Text;
  if (base.find("REAL") != std::string::npos || base.find("FLOA") != std::string::npos ||
      base.find("DOUB") != std::string::npos)
    return JetType::Double;
  return JetType::Null;
}

DatabaseFileCatalog::DatabaseFileCatalog(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {
  if (!fs::FileExists(path_)) RaiseDriverError(hr::kFileError, "Could not find file '" + path_ + "'.");
  fs::faults::Check("OpenDatabase");
  if (sqlite3_create_function_v2(db_, kStoredValueFunction.data(), 4,
                                 SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr, StoredValueFunction,
                                 nullptr, nullptr, nullptr) != SQLITE_OK)
    RaiseSqliteError(db_);
  {
    StatementHandle attach = Prepare(db_, "ATTACH DATABASE ?1 AS db");
    const std::string uri = ReadOnlyUri(path_);
    sqlite3_bind_text(attach.get(), 1, uri.c_str(), static_cast<int>(uri.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(attach.get()) != SQLITE_DONE) {
      if (sqlite3_errcode(db_) == SQLITE_NOTADB)
        RaiseDriverError(hr::kFileError, "Unrecognized database format '" + path_ + "'.");
      RaiseDriverError(hr::kFileError, "The Microsoft Jet database engine cannot open the file '" + path_ +
                                           "'.  It is already opened exclusively by another user, or you need "
                                           "permission to view its data.");
    }
  }
  StatementHandle probe;
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db_, "SELECT count(*) FROM db.sqlite_schema", -1, &raw, nullptr) == SQLITE_OK) {
    probe.reset(raw);
    if (sqlite3_step(raw) == SQLITE_ROW) return;
  }
  RaiseDriverError(hr::kFileError, "Unrecognized database format '" + path_ + "'.");
}

std::vector<std::string> DatabaseFileCatalog::TableNames() {
  std::vector<std::string> names;
  StatementHandle list = Prepare(db_,
                                 "SELECT name FROM db.sqlite_schema WHERE type IN ('table', 'view') "
                                 "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name");
  int rc;
  while ((rc = sqlite3_step(list.get())) == SQLITE_ROW) {
    const auto* n = reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0));
    names.emplace_back(n ? n : "");
  }
  if (rc != SQLITE_DONE) RaiseSqliteError(db_);
  return names;
}

const TableDef* DatabaseFileCatalog::FindTable(std::string_view name) {
  const std::string key = FoldCase(name);
  if (auto it = tables_.find(key); it != tables_.end()) return it->second.get();
  std::optional<std::string> table;
  for (const std::string& candidate : TableNames()) {
    if (candidate == name) {
      table = candidate;
      break;
    }
    if (!table && EqualsNoCase(candidate, name)) table = candidate;
  }
  if (!table) return nullptr;
  std::unique_ptr<TableDef> def = Describe(*table);
  const TableDef* result = def.get();
  tables_.emplace(key, std::move(def));
  return result;
}

std::unique_ptr<TableDef> DatabaseFileCatalog::Describe(const std::string& table) {
  std::vector<ColumnPlan> plans;
  {
    StatementHandle info = Prepare(db_, "SELECT name, type FROM pragma_table_info(?1, 'db')");
    sqlite3_bind_text(info.get(), 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(info.get())) == SQLITE_ROW) {
      const auto* n = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 0));
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1));
      ColumnPlan plan;
      plan.def.name = n ? n : "";
      plan.def.type = TypeOfDeclaration(t ? t : "", plan.def.width);
      plan.guessed = plan.def.type == JetType::Null;
      plans.push_back(std::move(plan));
    }
    if (rc != SQLITE_DONE) RaiseSqliteError(db_);
  }
  const std::string source = "db." + QuoteIdentifier(table);

  // One pass over the rows settles the types and finds values that do not read.
  std::vector<size_t> scanned;
  std::string select;
  for (size_t i = 0; i < plans.size(); ++i) {
    const JetType t = plans[i].def.type;
    if (t == JetType::Text || t == JetType::Memo || t == JetType::Guid || t == JetType::Binary) continue;
    select += select.empty() ? "SELECT " : ", ";
    select += QuoteIdentifier(plans[i].def.name);
    scanned.push_back(i);
  }
  if (!scanned.empty()) {
    StatementHandle scan = Prepare(db_, select + " FROM " + source);
    long row = 0;
    int rc;
    while ((rc = sqlite3_step(scan.get())) == SQLITE_ROW) {
      ++row;
      for (size_t k = 0; k < scanned.size(); ++k) {
        ColumnPlan& plan = plans[scanned[k]];
        sqlite3_value* v = sqlite3_column_value(scan.get(), static_cast<int>(k));
        const std::optional<JetType> type = TypeToHold(v, plan.def.type, plan.guessed);
        if (!type)
          RaiseDriverError(hr::kFileError, "Row " + std::to_string(row) + " of table '" + table + "': " +
                                               CannotRead(v, plan.def.name, plan.def.type));
        plan.def.type = *type;
        if (plan.plain && !plan.guessed && !IsInStorage(v, plan.def.type)) plan.plain = false;
      }
    }
    if (rc != SQLITE_DONE) RaiseSqliteError(db_);
  }

  auto def = std::make_unique<TableDef>();
  def->displayName = table;
  def->sqliteName = "temp." + QuoteIdentifier("v" + std::to_string(nextId_++));
  std::string view = "CREATE TEMP VIEW " + def->sqliteName + " AS SELECT ";
  for (size_t i = 0; i < plans.size(); ++i) {
    ColumnPlan& plan = plans[i];
    if (plan.def.type == JetType::Null) plan.def.type = JetType::Text;  // no values to go by
    const std::string column = QuoteIdentifier(plan.def.name);
    const JetType t = plan.def.type;
    if (i > 0) view += ", ";
    if (t == JetType::Text || t == JetType::Memo || t == JetType::Guid) {
      view += "CAST(" + column + " AS TEXT) COLLATE JETTEXT";
    } else if (t == JetType::Binary) {
      view += "CAST(" + column + " AS BLOB)";
    } else if ((plan.plain || plan.guessed) && (text::IsWholeNumberType(t) || t == JetType::Boolean)) {
      view += column;
    } else if ((plan.plain || plan.guessed) && t != JetType::Currency) {
      view += "CAST(" + column + " AS REAL)";  // Single, Double, Date
    } else {
      view += std::string(kStoredValueFunction) + "(" + column + ", " + std::to_string(static_cast<int>(t)) + ", " +
              QuoteLiteral(table) + ", " + QuoteLiteral(plan.def.name) + ")";
    }
    view += " AS " + column;
    def->columns.push_back(plan.def);
  }
  if (plans.empty()) view += "NULL";
  view += " FROM " + source;
  Exec(db_, view);
  return def;
}

}  // namespace vendrel::driver

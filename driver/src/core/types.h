#pragma once
// What the SQL front end (src/sql) and the table side (src/text, src/providers)
// of the driver hand each other.
//
// Values in the SQLite database, by static type:
//   Boolean             INTEGER -1 (True) or 0
//   Byte Short Long BigInt  INTEGER
//   Currency            INTEGER, a count of ten-thousandths (exact)
//   Single Double       REAL
//   Date                REAL, days since 30 December 1899 (the fraction is the time)
//   Text Memo Guid      TEXT, UTF-8
//   Binary              BLOB
//   any type            NULL for Null
// Text columns of tables are declared COLLATE JETTEXT (case-insensitive,
// linguistic order); generated SQL states the collation wherever it compares,
// groups or orders text, so expressions follow the same rule.
// Generated SQL names a table's columns by ColumnDef::name in double quotes,
// so a table in the database carries exactly those names; the columns of a
// compiled query are read by position.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace vendrel::driver {

enum class JetType {
  Null,  // the type of a bare Null literal, before it meets another type
  Boolean,
  Byte,
  Short,
  Long,
  BigInt,
  Currency,
  Single,
  Double,
  Date,
  Text,
  Memo,
  Guid,
  Binary,
};

// The data-access type number a result field of this type reports.
int AdoTypeOf(JetType type);
// The type name used in messages and documents ("Long", "Currency", ...).
std::string_view JetTypeName(JetType type);

struct ColumnDef {
  std::string name;
  JetType type = JetType::Text;
  long width = 0;  // Text: declared width (0 when none); others 0
};

struct TableDef {
  std::string displayName;  // the table as the user knows it, for messages ("TEMP1234.txt", "ORDERS")
  std::string sqliteName;   // how generated SQL names it, already quoted ("\"t1\"", "db.\"ORDERS\"")
  std::vector<ColumnDef> columns;
};

// The tables a statement may name.
class Catalog {
 public:
  virtual ~Catalog() = default;
  // A table as written in FROM, without brackets or backquotes ("TEMP1234.txt",
  // "TEMP1234#txt", "ORDER DETAILS"); nullptr when there is none. A text table
  // is read into the database on its first use. Errors reading it are raised.
  virtual const TableDef* FindTable(std::string_view name) = 0;
};

struct OutputColumn {
  std::string name;  // the field name of the result
  JetType type = JetType::Text;
  long width = 0;
};

struct CompiledQuery {
  std::string sql;  // one SQLite SELECT
  std::vector<OutputColumn> columns;
};

// Compiles one SELECT of the Jet dialect. Raises vendrel::Error with source
// kDriverSource and the driver's own texts for every fault of the statement.
CompiledQuery CompileSelect(std::string_view text, Catalog& catalog);

// Registers the functions and collations that generated SQL calls.
void RegisterSqlFunctions(sqlite3* db);

// Driver error numbers (HRESULTs).
namespace hr {
constexpr long kSyntaxError = -2147217900;
constexpr long kNoValueGiven = -2147217904;
constexpr long kTableNotFound = -2147217865;
constexpr long kTypeMismatch = -2147217913;
constexpr long kFileError = -2147467259;  // a data file that cannot be read or parsed
}  // namespace hr

[[noreturn]] void RaiseDriverError(long hresult, std::string description);

// A function running inside SQLite reports a runtime error ("Division by zero",
// "Overflow", "Invalid use of Null", "Type mismatch") by setting this text as
// its SQLite error; the statement runner turns it back into a driver error.
std::string EncodeRuntimeError(long hresult, std::string_view description);
// True when the SQLite message came from EncodeRuntimeError.
bool DecodeRuntimeError(std::string_view sqliteMessage, long& hresult, std::string& description);

}  // namespace vendrel::driver

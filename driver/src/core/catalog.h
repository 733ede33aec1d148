#pragma once
// The tables a statement may name: what the table side (text folders,
// database files) tells the front end about each table it serves.
//
// Generated SQL names a table's columns by ColumnDef::name in double quotes,
// so a table in the database carries exactly those names; the columns of a
// compiled query are read by position.

#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel::driver {

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
  // The names a statement may give its tables, for a message that suggests
  // one in place of a name that is none; empty when the catalog cannot list them.
  virtual std::vector<std::string> TableNames() { return {}; }
};

// A catalog that a session owns; told when a new statement begins, so what it
// learnt about its files holds for one statement at a time.
class SessionCatalog : public Catalog {
 public:
  virtual void BeginStatement() {}
  // The bytes of the data that the statement compiled since BeginStatement
  // reads, when the catalog knows them; 0 when it does not.
  virtual size_t StatementDataBytes() const { return 0; }
  // Every row of a table, read without the database; nullptr when the
  // catalog cannot, or has no table of that name (a statement then says so).
  virtual Ref<RowStore> ReadWholeTable(std::string_view /*name*/) { return nullptr; }
};

}  // namespace vendrel::driver

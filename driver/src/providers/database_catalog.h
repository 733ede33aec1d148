#pragma once
// The tables of a database file (an SQLite file standing in for the
// platform's database files): attached read-only, each table presented to
// the front end through a view in the catalog's storage.

#include <sqlite3.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalog.h"

namespace vendrel::driver {

// The engine's type for a declared column type ("INTEGER", "VARCHAR(40)",
// "CURRENCY"...); `width` gets a text width. Null when the declaration says
// nothing the engine knows: the stored values decide.
JetType TypeOfDeclaration(std::string_view declared, long& width);

class DatabaseFileCatalog final : public SessionCatalog {
 public:
  // Attaches the file; raises a driver error naming it when it is missing or
  // is not a database.
  DatabaseFileCatalog(sqlite3* db, std::string path);

  // A table or view of the file, matched without regard to case. The first
  // use reads the table once: whole-number columns whose values outgrow
  // their type are widened, and a value that does not read under its
  // column's type is an error naming the table, the row and the column.
  const TableDef* FindTable(std::string_view name) override;
  std::vector<std::string> TableNames() override;

 private:
  std::unique_ptr<TableDef> Describe(const std::string& table);

  sqlite3* db_;
  std::string path_;
  std::map<std::string, std::unique_ptr<TableDef>> tables_;  // by folded name
  long nextId_ = 1;
};

}  // namespace vendrel::driver

#pragma once
// What the front end gives the layers above it: one statement of the
// dialect compiled into one SQLite SELECT over the catalog's tables, and the
// functions and collations that such SQL calls.

#include <string>
#include <string_view>
#include <vector>

#include "core/catalog.h"

struct sqlite3;

namespace vendrel::driver {

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

}  // namespace vendrel::driver

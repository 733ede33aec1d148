#pragma once
// What the front end gives the layers above it: one statement of the
// dialect compiled into one SQLite SELECT over the catalog's tables, and the
// functions and collations that such SQL calls.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalog.h"
#include "vendrel/dataaccess/variant.h"

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

// The first pass of a crosstab, whose columns are the distinct values of its
// PIVOT expression among the rows its WHERE keeps: only the data tells them.
struct PivotPass {
  std::string sql;  // one SQLite SELECT of one column: the values in column order, Null first
  JetType type = JetType::Null;  // the values' type, in its storage
  size_t maxValues = 0;  // the columns they may make; the SQL gives one more when there are more
};

// Runs a first pass and gives its values, each as a value of the pass's type.
using PivotPassRunner = std::function<std::vector<Variant>(const PivotPass&)>;

// Compiles one statement of the Jet dialect: a SELECT, or a TRANSFORM
// crosstab, whose first pass runPivotPass runs. Raises vendrel::Error with
// source kDriverSource and the driver's own texts for every fault of the
// statement.
CompiledQuery CompileStatement(std::string_view text, Catalog& catalog, const PivotPassRunner& runPivotPass);

// Registers the functions and collations that generated SQL calls.
void RegisterSqlFunctions(sqlite3* db);

}  // namespace vendrel::driver

#pragma once
// Turns a bound statement into one SQLite SELECT whose columns hold the values
// of the output columns in the storage of core/types.h. Jet semantics that
// SQLite lacks are spelled out with the functions of runtime.h.

#include <string>

#include "sql/ast.h"

namespace vendrel::driver::sql {

std::string GenerateSql(const Query& query);

}  // namespace vendrel::driver::sql

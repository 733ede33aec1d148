#pragma once
// The one way a text table reaches SQLite. Everything above it (the catalog,
// the front end) sees only the table's name and columns, so this can become a
// virtual table over the parsed columns without touching them.

#include <sqlite3.h>

#include <string>

#include "text/delimited_reader.h"

namespace vendrel::driver::text {

// Makes the table `sqliteName` (already quoted) in the database, with one
// column per parsed column in the catalog's storage (text columns COLLATE
// JETTEXT), and puts the rows into it. On failure nothing is left behind.
void LoadTextTable(sqlite3* db, const std::string& sqliteName, ParsedTable table);

// Removes a table made by LoadTextTable.
void UnloadTextTable(sqlite3* db, const std::string& sqliteName) noexcept;

}  // namespace vendrel::driver::text

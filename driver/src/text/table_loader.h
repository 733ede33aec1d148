#pragma once
// The one way a text table reaches SQLite. Everything above it (the catalog,
// the front end) sees only the table's name and columns.
//
// A text table is a virtual table over the parsed columns (the one table of a
// module of its own, named as the table): nothing is copied into the database. Its columns are declared in the catalog's storage (text
// columns COLLATE JETTEXT), so they compare exactly as stored columns would;
// an equality constraint on a column is answered from the column's hash
// index, so a join on it costs a lookup per row instead of a temporary index.

#include <sqlite3.h>

#include <memory>
#include <string>

#include "text/indexed_table.h"

namespace vendrel::driver::text {

// The cursors open on the text tables of one database, which a lookup reads
// to find the scan that gives it its keys: one for all the tables of a database.
struct OpenCursors;
std::shared_ptr<OpenCursors> MakeOpenCursors();

// Makes the table `sqliteName` (already quoted) in the database, serving the
// rows of `table`, which it keeps alive while the table exists. `open` is
// the database's own.
void LoadTextTable(sqlite3* db, const std::string& sqliteName, std::shared_ptr<const IndexedTable> table,
                   std::shared_ptr<OpenCursors> open);

// Removes a table made by LoadTextTable; nothing when there is none.
void UnloadTextTable(sqlite3* db, const std::string& sqliteName) noexcept;

// SQLite lets go of the last cursor of a removed table only when its next
// statement is prepared; this prepares one, so that a database kept idle
// holds nothing of the tables removed from it.
void ReleaseUnloadedTables(sqlite3* db) noexcept;

}  // namespace vendrel::driver::text

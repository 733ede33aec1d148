#pragma once
// Owning handles for SQLite objects and the few calls every layer of the
// driver makes.

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>

namespace vendrel::driver {

struct SqliteCloser {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// A new in-memory database as every session of the driver uses it, still
// without the functions and collations of generated SQL.
SqliteHandle OpenMemoryDatabase();

// Sizes the sorts of the database's next statements for `dataBytes` of data
// read (0: not known). SQLite sorts up to the larger of its page cache and
// 250 pages in memory and spills sorted runs to temporary files beyond that:
// the runs are a sixteenth of the data (128 KiB to 1 MiB), so a query's
// memory stays near the size of its data at every size, and pages shrink
// with them (512 to 4096 bytes), so a spilled run is read in a few hundred
// reads whatever its size.
void SizeSortsFor(sqlite3* db, size_t dataBytes);

// "name" with inner double quotes doubled.
std::string QuoteIdentifier(std::string_view name);
// 'text' with inner single quotes doubled.
std::string QuoteLiteral(std::string_view text);

// Raises the database's last error as a driver error: a runtime error of a
// driver function keeps its own number and text.
[[noreturn]] void RaiseSqliteError(sqlite3* db);

StatementHandle Prepare(sqlite3* db, std::string_view sql);
void Exec(sqlite3* db, const std::string& sql);

}  // namespace vendrel::driver

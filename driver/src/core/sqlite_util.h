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

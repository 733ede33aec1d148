#include "core/sqlite_util.h"

#include <algorithm>

#include "core/cancel.h"
#include "core/errors.h"

namespace vendrel::driver {

SqliteHandle OpenMemoryDatabase() {
  sqlite3* raw = nullptr;
  // A session is used by one thread at a time: its database needs no locks of its own.
  const int rc = sqlite3_open_v2(":memory:", &raw,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
  SqliteHandle db(raw);
  if (rc != SQLITE_OK) {
    if (!db) RaiseDriverError(hr::kFileError, "Unexpected error from external database driver (out of memory).");
    RaiseSqliteError(db.get());
  }
  sqlite3_extended_result_codes(db.get(), 1);
  // Schema objects of attached files must not call the driver's functions.
  Exec(db.get(), "PRAGMA trusted_schema = OFF");
  SizeSortsFor(db.get(), 0);
  return db;
}

void SizeSortsFor(sqlite3* db, size_t dataBytes) {
  // Text tables are virtual, so the page cache only serves a statement's
  // sorters; what they spill goes to temporary files (deleted as they are
  // opened), which measured no slower. The main database holds no pages, so
  // its page size may change at any time.
  constexpr size_t kSmallestRun = 128 * 1024, kLargestRun = 1024 * 1024, kRunPages = 250;
  const size_t run = dataBytes == 0 ? kLargestRun : std::clamp(dataBytes / 16, kSmallestRun, kLargestRun);
  size_t pageSize = 512;
  while (pageSize < 4096 && pageSize * 2 * kRunPages <= run) pageSize *= 2;
  Exec(db, "PRAGMA page_size = " + std::to_string(pageSize));
  Exec(db, "PRAGMA cache_size = -" + std::to_string(run / 1024));
}

namespace {
std::string Quoted(std::string_view text, char quote) {
  std::string out(1, quote);
  for (char c : text) {
    if (c == quote) out += quote;
    out += c;
  }
  out += quote;
  return out;
}
}  // namespace

std::string QuoteIdentifier(std::string_view name) { return Quoted(name, '"'); }
std::string QuoteLiteral(std::string_view text) { return Quoted(text, '\''); }

void RaiseSqliteError(sqlite3* db) {
  if (db && sqlite3_errcode(db) == SQLITE_INTERRUPT) RaiseIfCancelled();
  const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
  long number = 0;
  std::string description;
  if (DecodeRuntimeError(message, number, description)) RaiseDriverError(number, std::move(description));
  RaiseDriverError(hr::kFileError, "Unexpected error from external database driver (" + message + ").");
}

StatementHandle Prepare(sqlite3* db, std::string_view sql) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr);
  StatementHandle statement(raw);
  if (rc != SQLITE_OK) RaiseSqliteError(db);
  return statement;
}

void Exec(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) RaiseSqliteError(db);
}

}  // namespace vendrel::driver

#include "core/sqlite_util.h"

#include "core/errors.h"

namespace vendrel::driver {

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

#include "text/table_loader.h"

#include "providers/sqlite_util.h"

namespace vendrel::driver::text {

namespace {

std::string_view StorageOf(JetType type) {
  switch (type) {
    case JetType::Single:
    case JetType::Double:
    case JetType::Date: return "REAL";
    case JetType::Text:
    case JetType::Memo:
    case JetType::Guid: return "TEXT COLLATE JETTEXT";
    case JetType::Binary: return "BLOB";
    default: return "INTEGER";
  }
}

void Bind(sqlite3* db, sqlite3_stmt* insert, int index, const StoredValue& value, JetType type) {
  int rc = SQLITE_OK;
  if (auto* n = std::get_if<int64_t>(&value)) {
    rc = sqlite3_bind_int64(insert, index, *n);
  } else if (auto* d = std::get_if<double>(&value)) {
    rc = sqlite3_bind_double(insert, index, *d);
  } else if (auto* s = std::get_if<std::string_view>(&value)) {
    rc = type == JetType::Binary
             ? sqlite3_bind_blob64(insert, index, s->data(), s->size(), SQLITE_STATIC)
             : sqlite3_bind_text64(insert, index, s->data(), s->size(), SQLITE_STATIC, SQLITE_UTF8);
  } else {
    rc = sqlite3_bind_null(insert, index);
  }
  if (rc != SQLITE_OK) RaiseSqliteError(db);
}

}  // namespace

void LoadTextTable(sqlite3* db, const std::string& sqliteName, ParsedTable table) {
  std::string create = "CREATE TABLE " + sqliteName + " (";
  std::string insert = "INSERT INTO " + sqliteName + " VALUES (";
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const ColumnDef& c = table.columns[i].def;
    if (i > 0) {
      create += ", ";
      insert += ", ";
    }
    create += QuoteIdentifier(c.name);
    create += ' ';
    create += StorageOf(c.type);
    insert += '?';
  }
  create += ")";
  insert += ")";

  Exec(db, create);
  try {
    Exec(db, "SAVEPOINT load_text_table");
    try {
      StatementHandle statement = Prepare(db, insert);
      sqlite3_stmt* s = statement.get();
      for (size_t row = 0; row < table.rowCount; ++row) {
        for (size_t c = 0; c < table.columns.size(); ++c)
          Bind(db, s, static_cast<int>(c + 1), table.columns[c].values[row], table.columns[c].def.type);
        if (sqlite3_step(s) != SQLITE_DONE) RaiseSqliteError(db);
        sqlite3_reset(s);
      }
      statement.reset();
      Exec(db, "RELEASE load_text_table");
    } catch (...) {
      sqlite3_exec(db, "ROLLBACK TO load_text_table; RELEASE load_text_table", nullptr, nullptr, nullptr);
      throw;
    }
  } catch (...) {
    UnloadTextTable(db, sqliteName);
    throw;
  }
}

void UnloadTextTable(sqlite3* db, const std::string& sqliteName) noexcept {
  const std::string drop = "DROP TABLE IF EXISTS " + sqliteName;
  sqlite3_exec(db, drop.c_str(), nullptr, nullptr, nullptr);
}

}  // namespace vendrel::driver::text

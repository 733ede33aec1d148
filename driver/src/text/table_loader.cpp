#include "text/table_loader.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <span>

#include "providers/sqlite_util.h"

namespace vendrel::driver::text {

namespace {

constexpr const char* kModuleName = "vdl_text";

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

// The tables of one database by name, so that SQLite can connect to one again
// after it reloads its schema. Owned by the module, which the database owns.
struct Registry {
  std::map<std::string, std::shared_ptr<const IndexedTable>, std::less<>> tables;
};

// The table that LoadTextTable is making, handed to the module's xCreate.
thread_local std::shared_ptr<const IndexedTable> tableBeingMade;

struct TextVtab : sqlite3_vtab {
  Registry* registry = nullptr;
  std::string name;
  std::shared_ptr<const IndexedTable> table;
  std::vector<const ColumnIndex*> indexes;  // filled as lookups need them
};

struct TextCursor : sqlite3_vtab_cursor {
  const ParsedTable* rows = nullptr;
  // A scan of every row, or of the candidates of one key.
  bool lookup = false;
  size_t row = 0;
  size_t end = 0;
  std::span<const uint32_t> candidates;
  size_t candidate = 0;
  LookupKey key;
  const ColumnValues* keyColumn = nullptr;
};

TextVtab* VtabOf(sqlite3_vtab_cursor* cursor) { return static_cast<TextVtab*>(cursor->pVtab); }

std::string DeclaredSchema(const ParsedTable& table) {
  std::string sql = "CREATE TABLE x(";
  for (size_t i = 0; i < table.columns.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += QuoteIdentifier(table.columns[i].def.name);
    sql += ' ';
    sql += StorageOf(table.columns[i].def.type);
  }
  return sql + ")";
}

int Attach(sqlite3* db, Registry& registry, std::string name, std::shared_ptr<const IndexedTable> table,
           sqlite3_vtab** out, char** error) {
  const int rc = sqlite3_declare_vtab(db, DeclaredSchema(table->Table()).c_str());
  if (rc != SQLITE_OK) {
    *error = sqlite3_mprintf("%s", sqlite3_errmsg(db));
    return rc;
  }
  sqlite3_vtab_config(db, SQLITE_VTAB_INNOCUOUS);
  auto* vtab = new TextVtab();
  vtab->registry = &registry;
  vtab->name = std::move(name);
  vtab->indexes.assign(table->Table().columns.size(), nullptr);
  vtab->table = std::move(table);
  *out = vtab;
  return SQLITE_OK;
}

int Create(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** error) {
  if (!tableBeingMade || argc < 3) {
    *error = sqlite3_mprintf("text tables are made by the driver only");
    return SQLITE_ERROR;
  }
  std::shared_ptr<const IndexedTable> table = std::move(tableBeingMade);
  tableBeingMade.reset();
  Registry& registry = *static_cast<Registry*>(aux);
  registry.tables[argv[2]] = table;
  return Attach(db, registry, argv[2], std::move(table), out, error);
}

int Connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** error) {
  Registry& registry = *static_cast<Registry*>(aux);
  const auto it = argc >= 3 ? registry.tables.find(std::string_view(argv[2])) : registry.tables.end();
  if (it == registry.tables.end()) {
    *error = sqlite3_mprintf("the text table is no longer loaded");
    return SQLITE_ERROR;
  }
  return Attach(db, registry, argv[2], it->second, out, error);
}

int Disconnect(sqlite3_vtab* vtab) {
  delete static_cast<TextVtab*>(vtab);
  return SQLITE_OK;
}

int Destroy(sqlite3_vtab* base) {
  auto* vtab = static_cast<TextVtab*>(base);
  vtab->registry->tables.erase(vtab->name);
  return Disconnect(vtab);
}

bool CollationAllowsIndex(const char* collation) {
  // Equal under any of these means equal case foldings, which the index groups.
  return !collation || sqlite3_stricmp(collation, "JETTEXT") == 0 || sqlite3_stricmp(collation, "BINARY") == 0 ||
         sqlite3_stricmp(collation, "NOCASE") == 0;
}

// A full scan costs a step per row; a lookup a few steps for the handful of
// rows a key is assumed to hold, as SQLite assumes of an automatic index.
int BestIndex(sqlite3_vtab* base, sqlite3_index_info* info) {
  const auto* vtab = static_cast<TextVtab*>(base);
  const IndexedTable& table = *vtab->table;
  const double rows = static_cast<double>(table.Table().rowCount);
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& c = info->aConstraint[i];
    if (!c.usable || c.op != SQLITE_INDEX_CONSTRAINT_EQ || c.iColumn < 0) continue;
    const auto column = static_cast<size_t>(c.iColumn);
    if (!table.Indexable(column)) continue;
    if (table.Table().columns[column].values.Kind() == StorageKind::Text &&
        !CollationAllowsIndex(sqlite3_vtab_collation(info, i)))
      continue;
    info->aConstraintUsage[i].argvIndex = 1;
    info->aConstraintUsage[i].omit = 0;  // SQLite checks each row again: a lookup only narrows
    info->idxNum = c.iColumn + 1;
    const double perKey = std::min(rows, 10.0);
    info->estimatedRows = static_cast<sqlite3_int64>(std::max(perKey, 1.0));
    info->estimatedCost = perKey + 10;
    return SQLITE_OK;
  }
  info->idxNum = 0;
  info->estimatedRows = static_cast<sqlite3_int64>(std::max(rows, 1.0));
  info->estimatedCost = rows + 1;
  return SQLITE_OK;
}

int Open(sqlite3_vtab* base, sqlite3_vtab_cursor** out) {
  auto* cursor = new TextCursor();
  cursor->rows = &static_cast<TextVtab*>(base)->table->Table();
  *out = cursor;
  return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
  delete static_cast<TextCursor*>(cursor);
  return SQLITE_OK;
}

void SkipToMatch(TextCursor& c) {
  while (c.candidate < c.candidates.size() && !c.key.Matches(*c.keyColumn, c.candidates[c.candidate])) ++c.candidate;
}

enum class Probe { AllRows, NoRows, Key };

// How a value compared for equality with the column narrows the rows. Only a
// value of the column's own storage class can be looked up; any other may
// still equal values after SQLite's affinity rules, so every row is read.
Probe KeyFor(const ColumnValues& column, sqlite3_value* value, LookupKey& key) {
  const int type = sqlite3_value_type(value);
  if (type == SQLITE_NULL) return Probe::NoRows;
  switch (column.Kind()) {
    case StorageKind::Text:
      if (type != SQLITE_TEXT) return Probe::AllRows;
      key = LookupKey::Text({reinterpret_cast<const char*>(sqlite3_value_text(value)),
                             static_cast<size_t>(sqlite3_value_bytes(value))});
      return Probe::Key;
    case StorageKind::Whole:
      if (type == SQLITE_INTEGER) {
        key = LookupKey::Whole(sqlite3_value_int64(value));
        return Probe::Key;
      }
      if (type == SQLITE_FLOAT) {
        const double d = sqlite3_value_double(value);
        if (std::trunc(d) != d || !(std::fabs(d) < 9.2233720368547758e18)) return Probe::NoRows;
        key = LookupKey::Whole(static_cast<int64_t>(d));
        return Probe::Key;
      }
      return Probe::AllRows;
    case StorageKind::Real:
      if (type == SQLITE_INTEGER) {
        key = LookupKey::Real(static_cast<double>(sqlite3_value_int64(value)));
        return Probe::Key;
      }
      if (type == SQLITE_FLOAT) {
        key = LookupKey::Real(sqlite3_value_double(value));
        return Probe::Key;
      }
      return Probe::AllRows;
  }
  return Probe::AllRows;
}

int Filter(sqlite3_vtab_cursor* base, int idxNum, const char*, int argc, sqlite3_value** argv) {
  auto& c = *static_cast<TextCursor*>(base);
  c.lookup = false;
  c.row = 0;
  c.end = c.rows->rowCount;
  if (idxNum == 0 || argc < 1) return SQLITE_OK;

  const auto column = static_cast<size_t>(idxNum - 1);
  const ColumnValues& values = c.rows->columns[column].values;
  switch (KeyFor(values, argv[0], c.key)) {
    case Probe::AllRows: return SQLITE_OK;
    case Probe::NoRows: c.end = 0; return SQLITE_OK;
    case Probe::Key: break;
  }
  TextVtab& vtab = *VtabOf(base);
  try {
    if (!vtab.indexes[column]) vtab.indexes[column] = &vtab.table->IndexOf(column);
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  }
  c.lookup = true;
  c.keyColumn = &values;
  c.candidates = vtab.indexes[column]->Candidates(c.key);
  c.candidate = 0;
  SkipToMatch(c);
  return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* base) {
  auto& c = *static_cast<TextCursor*>(base);
  if (c.lookup) {
    ++c.candidate;
    SkipToMatch(c);
  } else {
    ++c.row;
  }
  return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* base) {
  const auto& c = *static_cast<TextCursor*>(base);
  return c.lookup ? c.candidate >= c.candidates.size() : c.row >= c.end;
}

size_t CurrentRow(const TextCursor& c) { return c.lookup ? c.candidates[c.candidate] : c.row; }

int Column(sqlite3_vtab_cursor* base, sqlite3_context* context, int index) {
  const auto& c = *static_cast<TextCursor*>(base);
  const ParsedColumn& column = c.rows->columns[static_cast<size_t>(index)];
  const size_t row = CurrentRow(c);
  const ColumnValues& values = column.values;
  if (values.IsNull(row)) {
    sqlite3_result_null(context);
    return SQLITE_OK;
  }
  switch (values.Kind()) {
    case StorageKind::Whole: sqlite3_result_int64(context, values.Whole(row)); break;
    case StorageKind::Real: sqlite3_result_double(context, values.Real(row)); break;
    case StorageKind::Text: {
      const std::string_view text = values.Text(row);
      if (column.def.type == JetType::Binary)
        sqlite3_result_blob64(context, text.data(), text.size(), SQLITE_STATIC);
      else
        sqlite3_result_text64(context, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
      break;
    }
  }
  return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* base, sqlite3_int64* rowid) {
  *rowid = static_cast<sqlite3_int64>(CurrentRow(*static_cast<TextCursor*>(base))) + 1;
  return SQLITE_OK;
}

const sqlite3_module kModule = {
    /* iVersion */ 0,
    /* xCreate */ Create,
    /* xConnect */ Connect,
    /* xBestIndex */ BestIndex,
    /* xDisconnect */ Disconnect,
    /* xDestroy */ Destroy,
    /* xOpen */ Open,
    /* xClose */ Close,
    /* xFilter */ Filter,
    /* xNext */ Next,
    /* xEof */ Eof,
    /* xColumn */ Column,
    /* xRowid */ Rowid,
    /* xUpdate */ nullptr,
    /* xBegin */ nullptr,
    /* xSync */ nullptr,
    /* xCommit */ nullptr,
    /* xRollback */ nullptr,
    /* xFindFunction */ nullptr,
    /* xRename */ nullptr,
    /* xSavepoint */ nullptr,
    /* xRelease */ nullptr,
    /* xRollbackTo */ nullptr,
    /* xShadowName */ nullptr,
};

}  // namespace

void RegisterTextTableModule(sqlite3* db) {
  auto* registry = new Registry();
  const int rc = sqlite3_create_module_v2(db, kModuleName, &kModule, registry,
                                          [](void* p) { delete static_cast<Registry*>(p); });
  if (rc != SQLITE_OK) RaiseSqliteError(db);
}

void LoadTextTable(sqlite3* db, const std::string& sqliteName, std::shared_ptr<const IndexedTable> table) {
  tableBeingMade = std::move(table);
  try {
    Exec(db, "CREATE VIRTUAL TABLE " + sqliteName + " USING " + kModuleName);
  } catch (...) {
    tableBeingMade.reset();
    throw;
  }
  tableBeingMade.reset();
}

void UnloadTextTable(sqlite3* db, const std::string& sqliteName) noexcept {
  const std::string drop = "DROP TABLE IF EXISTS " + sqliteName;
  sqlite3_exec(db, drop.c_str(), nullptr, nullptr, nullptr);
}

}  // namespace vendrel::driver::text

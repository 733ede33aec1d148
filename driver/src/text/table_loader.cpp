#include "text/table_loader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "core/sqlite_util.h"
#include "core/types.h"
#include "vendrel/driver/shortcuts.h"

namespace vendrel::driver::text {

struct OpenCursors {
  std::vector<sqlite3_vtab_cursor*> cursors;  // the TextCursors open on the database's text tables
};

std::shared_ptr<OpenCursors> MakeOpenCursors() { return std::make_shared<OpenCursors>(); }

namespace {

// What a table's module keeps: the table, and where its cursors are listed.
struct TableModule {
  std::shared_ptr<const IndexedTable> table;
  std::shared_ptr<OpenCursors> open;
};

struct TextVtab : sqlite3_vtab {
  std::shared_ptr<const IndexedTable> table;
  std::shared_ptr<OpenCursors> open;
  std::vector<const ColumnIndex*> indexes;  // filled as lookups need them
};

// How a cursor finds its rows: every row, the rows of one key (or of the keys
// of an IN list), or the rows of a range of values.
enum class Plan { Scan = 0, Equal = 1, In = 2, Above = 3, Below = 4, Between = 5 };

int IdxNumOf(Plan plan, size_t column) { return static_cast<int>(column << 3) | static_cast<int>(plan); }
Plan PlanOf(int idxNum) { return static_cast<Plan>(idxNum & 7); }
size_t ColumnOf(int idxNum) { return static_cast<size_t>(idxNum >> 3); }

struct TextCursor : sqlite3_vtab_cursor {
  const ParsedTable* rows = nullptr;
  // Scanning rows [row, end); visiting `listed`; or visiting the rows of an
  // index probe that match `key`, `row` being the current one.
  enum class Mode { Scan, List, Probe } mode = Mode::Scan;
  size_t row = 0;
  size_t end = 0;
  std::span<const uint32_t> listed;
  size_t at = 0;  // in `listed`
  const ColumnIndex* index = nullptr;
  IndexProbe probe;
  bool probeDone = true;
  LookupKey key;
  const ColumnValues* keyColumn = nullptr;
  std::vector<uint32_t> found;  // rows gathered by the cursor itself, in row order

  // A join looks a key up for every row of another table's scan, one call at
  // a time, and each lookup waits on memory. Once the cursor knows which
  // scan's column gives it its keys (`source`), it asks memory for the
  // lookups of the scan's coming rows while it serves the current one.
  const TextCursor* source = nullptr;
  size_t sourceColumn = 0;
  int sourceMisses = 0;  // lookups whose key no open scan gave
  // Per step of ColumnIndex::Prefetch, the source's next position to take.
  std::array<size_t, 3> aheadNext{};
  struct Ahead {
    size_t position = SIZE_MAX;
    uint64_t hash = 0;
  };
  std::array<Ahead, 16> ahead{};  // the hashes of the coming keys, by position
};

TextVtab* VtabOf(sqlite3_vtab_cursor* cursor) { return static_cast<TextVtab*>(cursor->pVtab); }

std::string DeclaredSchema(const ParsedTable& table) {
  std::string sql = "CREATE TABLE x(";
  for (size_t i = 0; i < table.columns.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += QuoteIdentifier(table.columns[i].def.name);
    sql += ' ';
    sql += StorageDeclaration(table.columns[i].def.type);
  }
  return sql + ")";
}

// Each table is a module of its own whose one table bears its name (an
// eponymous table): making one costs a registration, not a schema change.
int Connect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char** error) {
  const auto& module = *static_cast<const TableModule*>(aux);
  const std::shared_ptr<const IndexedTable>& table = module.table;
  const int rc = sqlite3_declare_vtab(db, DeclaredSchema(table->Table()).c_str());
  if (rc != SQLITE_OK) {
    *error = sqlite3_mprintf("%s", sqlite3_errmsg(db));
    return rc;
  }
  sqlite3_vtab_config(db, SQLITE_VTAB_INNOCUOUS);
  auto* vtab = new TextVtab();
  vtab->indexes.assign(table->Table().columns.size(), nullptr);
  vtab->table = table;
  vtab->open = module.open;
  *out = vtab;
  return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* vtab) {
  delete static_cast<TextVtab*>(vtab);
  return SQLITE_OK;
}

bool CollationAllowsIndex(const char* collation) {
  // Equal under any of these means equal case foldings, which the index groups.
  return !collation || sqlite3_stricmp(collation, "JETTEXT") == 0 || sqlite3_stricmp(collation, "BINARY") == 0 ||
         sqlite3_stricmp(collation, "NOCASE") == 0;
}

// A full scan costs a step per row; a lookup a few steps for the handful of
// rows a key is assumed to hold, as SQLite assumes of an automatic index; a
// range a search and a part of the rows, a quarter for each bound, as SQLite
// assumes of a range on an index.
int BestIndex(sqlite3_vtab* base, sqlite3_index_info* info) {
  const auto* vtab = static_cast<TextVtab*>(base);
  const IndexedTable& table = *vtab->table;
  const double rows = std::max(static_cast<double>(table.Table().rowCount), 1.0);
  const double search = std::log2(rows + 1);
  auto usable = [&](int i) {
    const auto& c = info->aConstraint[i];
    if (!c.usable || c.iColumn < 0 || !table.Indexable(static_cast<size_t>(c.iColumn))) return false;
    return table.Table().columns[static_cast<size_t>(c.iColumn)].values.Kind() != StorageKind::Text ||
           CollationAllowsIndex(sqlite3_vtab_collation(info, i));
  };
  const Shortcuts shortcuts = CurrentShortcuts();
  // SQLite checks each row found again (omit stays 0): the plans only narrow.
  for (int i = 0; i < info->nConstraint && shortcuts.equalityLookups; ++i) {
    if (info->aConstraint[i].op != SQLITE_INDEX_CONSTRAINT_EQ || !usable(i)) continue;
    info->aConstraintUsage[i].argvIndex = 1;
    const bool in = sqlite3_vtab_in(info, i, 1) != 0;  // the whole IN list at once
    info->idxNum = IdxNumOf(in ? Plan::In : Plan::Equal, static_cast<size_t>(info->aConstraint[i].iColumn));
    const double found = std::min(rows, in ? 30.0 : 10.0);
    info->estimatedRows = static_cast<sqlite3_int64>(found);
    info->estimatedCost = found + search;
    return SQLITE_OK;
  }
  // A range on a numeric column: the first lower and the first upper bound on one column.
  int low = -1, high = -1;
  for (int i = 0; i < info->nConstraint && shortcuts.rangeLookups; ++i) {
    const auto& c = info->aConstraint[i];
    const bool lower = c.op == SQLITE_INDEX_CONSTRAINT_GT || c.op == SQLITE_INDEX_CONSTRAINT_GE;
    const bool upper = c.op == SQLITE_INDEX_CONSTRAINT_LT || c.op == SQLITE_INDEX_CONSTRAINT_LE;
    if ((!lower && !upper) || !usable(i)) continue;
    if (table.Table().columns[static_cast<size_t>(c.iColumn)].values.Kind() == StorageKind::Text) continue;
    const int other = lower ? high : low;
    if (other >= 0 && info->aConstraint[other].iColumn != c.iColumn) continue;
    if (lower && low < 0) low = i;
    if (upper && high < 0) high = i;
  }
  if (low >= 0 || high >= 0) {
    const int column = info->aConstraint[low >= 0 ? low : high].iColumn;
    Plan plan = Plan::Between;
    if (low >= 0) info->aConstraintUsage[low].argvIndex = 1;
    if (high >= 0) info->aConstraintUsage[high].argvIndex = low >= 0 ? 2 : 1;
    if (low < 0) plan = Plan::Below;
    if (high < 0) plan = Plan::Above;
    info->idxNum = IdxNumOf(plan, static_cast<size_t>(column));
    const double found = std::max(rows / (plan == Plan::Between ? 16 : 4), 1.0);
    info->estimatedRows = static_cast<sqlite3_int64>(found);
    info->estimatedCost = found + search;
    return SQLITE_OK;
  }
  info->idxNum = IdxNumOf(Plan::Scan, 0);
  info->estimatedRows = static_cast<sqlite3_int64>(rows);
  info->estimatedCost = rows + 1;
  return SQLITE_OK;
}

int Open(sqlite3_vtab* base, sqlite3_vtab_cursor** out) {
  auto* vtab = static_cast<TextVtab*>(base);
  auto cursor = std::make_unique<TextCursor>();
  cursor->rows = &vtab->table->Table();
  try {
    vtab->open->cursors.push_back(cursor.get());
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  }
  *out = cursor.release();
  return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* base) {
  auto* closed = static_cast<TextCursor*>(base);
  std::vector<sqlite3_vtab_cursor*>& open = VtabOf(base)->open->cursors;
  std::erase(open, base);
  for (sqlite3_vtab_cursor* other : open)
    if (static_cast<TextCursor*>(other)->source == closed) static_cast<TextCursor*>(other)->source = nullptr;
  delete closed;
  return SQLITE_OK;
}

// Moves the probe on to the next row that holds its key.
void NextMatch(TextCursor& c) {
  constexpr uint32_t kAhead = ColumnIndex::kPrefetchedRows;
  uint32_t row = 0;
  for (;;) {
    const uint32_t groupLeft = c.probe.groupLeft;
    if (!c.index->NextCandidate(c.probe, row)) break;
    // A key's rows lie anywhere in the table: the values of the next few
    // are asked of memory together, not one after the other.
    if (c.probe.groupLeft > 0) {
      if (groupLeft == 0)
        for (uint32_t i = 0; i < std::min(c.probe.groupLeft, kAhead); ++i) c.keyColumn->Prefetch(c.probe.group[i]);
      else if (c.probe.groupLeft >= kAhead)
        c.keyColumn->Prefetch(c.probe.group[kAhead - 1]);
    }
    if (c.key.Matches(*c.keyColumn, row)) {
      c.row = row;
      return;
    }
  }
  c.probeDone = true;
}

// ------------------------------------------------------------ looking ahead

// Whether a scan or a list stands on one of its rows.
bool AtRow(const TextCursor& c) {
  switch (c.mode) {
    case TextCursor::Mode::Scan: return c.row < c.end;
    case TextCursor::Mode::List: return c.at < c.listed.size();
    case TextCursor::Mode::Probe: return false;  // its coming rows are not known
  }
  return false;
}

size_t PositionOf(const TextCursor& c) { return c.mode == TextCursor::Mode::List ? c.at : c.row; }

size_t CurrentRow(const TextCursor& c) { return c.mode == TextCursor::Mode::List ? c.listed[c.at] : c.row; }

// The row a scan or a list visits at `position`; false past its end.
bool RowAt(const TextCursor& c, size_t position, size_t& row) {
  if (c.mode == TextCursor::Mode::List) {
    if (position >= c.listed.size()) return false;
    row = c.listed[position];
    return true;
  }
  row = position;
  return position < c.end;
}

// Whether the cursor's current row holds `key` in the column, as SQLite
// would have read it from there.
bool GivesKey(const TextCursor& c, size_t column, sqlite3_value* key) {
  if (!AtRow(c)) return false;
  const ColumnValues& values = c.rows->columns[column].values;
  const size_t row = CurrentRow(c);
  if (values.IsNull(row)) return false;
  const int type = sqlite3_value_type(key);
  switch (values.Kind()) {
    case StorageKind::Text: {
      if (type != SQLITE_TEXT) return false;
      const std::string_view text(static_cast<const char*>(sqlite3_value_blob(key)),
                                  static_cast<size_t>(sqlite3_value_bytes(key)));
      return values.Text(row) == text;
    }
    case StorageKind::Whole: return type == SQLITE_INTEGER && values.Whole(row) == sqlite3_value_int64(key);
    case StorageKind::Real: return type == SQLITE_FLOAT && values.Real(row) == sqlite3_value_double(key);
  }
  return false;
}

// Finds the open scan whose current row holds the key in a column of the
// key's kind: the outer table of a join (or nothing, when SQLite computed
// the key).
bool FindSource(TextCursor& c, StorageKind kind, sqlite3_value* key) {
  for (sqlite3_vtab_cursor* open : VtabOf(&c)->open->cursors) {
    const auto* other = static_cast<const TextCursor*>(open);
    if (other == &c || !AtRow(*other)) continue;
    for (size_t column = 0; column < other->rows->columns.size(); ++column) {
      if (other->rows->columns[column].values.Kind() != kind || !GivesKey(*other, column, key)) continue;
      c.source = other;
      c.sourceColumn = column;
      c.aheadNext.fill(0);
      return true;
    }
  }
  return false;
}

// Before a lookup of `key`: makes sure of the source (a hint only, so a
// wrong one costs time, never a row) and asks memory for the lookups of its
// coming rows, each step a few rows after the step before it.
void LookAhead(TextCursor& c, const ColumnIndex& index, const ColumnValues& values, sqlite3_value* key) {
  constexpr std::array<size_t, 3> kRowsAhead = {12, 8, 4};
  constexpr int kSourceTries = 4;
  if (c.source && !GivesKey(*c.source, c.sourceColumn, key)) c.source = nullptr;
  if (!c.source) {
    if (c.sourceMisses >= kSourceTries) return;
    if (!FindSource(c, values.Kind(), key)) {
      ++c.sourceMisses;
      return;
    }
  }
  const TextCursor& source = *c.source;
  const ColumnValues& keys = source.rows->columns[c.sourceColumn].values;
  const size_t at = PositionOf(source);
  for (int step = 0; step < 3; ++step) {
    size_t& next = c.aheadNext[step];
    const size_t last = at + kRowsAhead[step];
    if (next <= at || next > last + 1) next = at + 1;  // the scan began or started over
    for (int taken = 0; next <= last && taken < 3; ++next, ++taken) {
      size_t row = 0;
      if (!RowAt(source, next, row)) break;
      if (keys.IsNull(row)) continue;
      TextCursor::Ahead& ahead = c.ahead[next % c.ahead.size()];
      if (step == 0 || ahead.position != next) ahead = {next, ColumnIndex::HashOf(keys, row)};
      index.Prefetch(ahead.hash, step, values);
    }
  }
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
      // As bytes: a text served in place by another table carries no NUL,
      // and reading it as text would make SQLite copy it to add one.
      key.SetText({static_cast<const char*>(sqlite3_value_blob(value)), static_cast<size_t>(sqlite3_value_bytes(value))});
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

// A bound of a range as the column stores its values, loosened so that the
// range holds every row SQLite would find (it checks them again).
struct Bound {
  Probe probe = Probe::Key;  // AllRows: a value of another class; NoRows: Null
  int64_t whole = 0;
  double real = 0;
};

Bound BoundFor(const ColumnValues& column, sqlite3_value* value, bool lower) {
  constexpr double kLimit = 9.2233720368547758e18;
  const int type = sqlite3_value_type(value);
  Bound b;
  if (type == SQLITE_NULL) {
    b.probe = Probe::NoRows;
  } else if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) {
    b.probe = Probe::AllRows;
  } else if (column.Kind() == StorageKind::Real) {
    b.real = sqlite3_value_double(value);
    if (type == SQLITE_INTEGER) b.real = std::nextafter(b.real, lower ? -HUGE_VAL : HUGE_VAL);
  } else if (type == SQLITE_INTEGER) {
    b.whole = sqlite3_value_int64(value);
  } else {
    const double d = lower ? std::ceil(sqlite3_value_double(value)) : std::floor(sqlite3_value_double(value));
    if (d >= kLimit) {
      b.whole = INT64_MAX;
      if (lower) b.probe = Probe::NoRows;
    } else if (d < -kLimit) {
      b.whole = INT64_MIN;
      if (!lower) b.probe = Probe::NoRows;
    } else {
      b.whole = static_cast<int64_t>(d);
    }
  }
  return b;
}

void ScanAll(TextCursor& c) {
  c.mode = TextCursor::Mode::Scan;
  c.row = 0;
  c.end = c.rows->rowCount;
}

void ScanNothing(TextCursor& c) {
  c.mode = TextCursor::Mode::Scan;
  c.row = c.end = 0;
}

// Visits `rows` in row order, as a scan would meet them.
void VisitInRowOrder(TextCursor& c, std::span<const uint32_t> rows) {
  c.found.assign(rows.begin(), rows.end());
  std::sort(c.found.begin(), c.found.end());
  c.found.erase(std::unique(c.found.begin(), c.found.end()), c.found.end());
  c.mode = TextCursor::Mode::List;
  c.listed = c.found;
  c.at = 0;
}

int FilterRange(TextCursor& c, TextVtab& vtab, size_t column, Plan plan, sqlite3_value** argv) {
  const ColumnValues& values = c.rows->columns[column].values;
  // NaN rows are above every lower bound and out of the sorted order: every row is read.
  if (plan == Plan::Above && values.HoldsNaN()) return SQLITE_OK;
  Bound low, high;
  low.whole = INT64_MIN;
  low.real = -HUGE_VAL;
  high.whole = INT64_MAX;
  high.real = HUGE_VAL;
  if (plan == Plan::Above || plan == Plan::Between) low = BoundFor(values, argv[0], true);
  if (plan == Plan::Below) high = BoundFor(values, argv[0], false);
  if (plan == Plan::Between) high = BoundFor(values, argv[1], false);
  if (low.probe == Probe::NoRows || high.probe == Probe::NoRows) {
    ScanNothing(c);
    return SQLITE_OK;
  }
  if (low.probe == Probe::AllRows || high.probe == Probe::AllRows) return SQLITE_OK;
  const bool whole = values.Kind() == StorageKind::Whole;
  double smallest = 0, largest = 0;
  const double from = whole ? static_cast<double>(low.whole) : low.real;
  const double to = whole ? static_cast<double>(high.whole) : high.real;
  if (!values.Range(smallest, largest) || to < smallest || from > largest || to < from) {
    ScanNothing(c);
    return SQLITE_OK;
  }
  // A range that takes much of the table is read as fast, and in its order,
  // by a scan: judged first by the values' span, as if spread evenly, and
  // then by the rows found.
  if (largest > smallest && (std::min(to, largest) - std::max(from, smallest)) / (largest - smallest) > 0.25)
    return SQLITE_OK;
  const SortedIndex& order = vtab.table->OrderOf(column);
  const std::span<const uint32_t> rows =
      whole ? order.Between(values, low.whole, high.whole) : order.Between(values, low.real, high.real);
  if (rows.size() > c.rows->rowCount / 8) return SQLITE_OK;
  VisitInRowOrder(c, rows);
  return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* base, int idxNum, const char*, int argc, sqlite3_value** argv) {
  auto& c = *static_cast<TextCursor*>(base);
  ScanAll(c);
  const Plan plan = PlanOf(idxNum);
  if (plan == Plan::Scan || argc < 1) return SQLITE_OK;
  const size_t column = ColumnOf(idxNum);
  const ColumnValues& values = c.rows->columns[column].values;
  TextVtab& vtab = *VtabOf(base);
  try {
    if (plan != Plan::Equal && plan != Plan::In) return FilterRange(c, vtab, column, plan, argv);
    if (!vtab.indexes[column]) vtab.indexes[column] = &vtab.table->IndexOf(column);
    const ColumnIndex& index = *vtab.indexes[column];
    if (plan == Plan::In) {
      // Every key of the list; the rows of all of them in row order.
      std::vector<uint32_t> rows;
      sqlite3_value* value = nullptr;
      int rc = sqlite3_vtab_in_first(argv[0], &value);
      for (; rc == SQLITE_OK && value; rc = sqlite3_vtab_in_next(argv[0], &value)) {
        LookupKey key;
        const Probe probe = KeyFor(values, value, key);
        if (probe == Probe::AllRows) return SQLITE_OK;
        if (probe == Probe::NoRows) continue;
        IndexProbe slots = index.Start(key);
        for (uint32_t row = 0; index.NextCandidate(slots, row);)
          if (key.Matches(values, row)) rows.push_back(row);
      }
      if (rc != SQLITE_OK && rc != SQLITE_DONE) return SQLITE_OK;  // the list unread: every row
      VisitInRowOrder(c, rows);
      return SQLITE_OK;
    }
    switch (KeyFor(values, argv[0], c.key)) {
      case Probe::AllRows: return SQLITE_OK;
      case Probe::NoRows: ScanNothing(c); return SQLITE_OK;
      case Probe::Key: break;
    }
    LookAhead(c, index, values, argv[0]);
    c.mode = TextCursor::Mode::Probe;
    c.keyColumn = &values;
    c.index = &index;
    c.probe = index.Start(c.key);
    c.probeDone = false;
    NextMatch(c);
    return SQLITE_OK;
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  }
}

int Next(sqlite3_vtab_cursor* base) {
  auto& c = *static_cast<TextCursor*>(base);
  switch (c.mode) {
    case TextCursor::Mode::Scan: ++c.row; break;
    case TextCursor::Mode::List: ++c.at; break;
    case TextCursor::Mode::Probe: NextMatch(c); break;
  }
  return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* base) {
  const auto& c = *static_cast<TextCursor*>(base);
  return c.mode == TextCursor::Mode::Probe ? c.probeDone : !AtRow(c);
}

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
    case StorageKind::Real: {
      // SQLite holds no NaN (it would read as Null): it travels as its name,
      // which the result's Single or Double field reads back as NaN.
      const double d = values.Real(row);
      if (std::isnan(d))
        sqlite3_result_text(context, "NaN", 3, SQLITE_STATIC);
      else
        sqlite3_result_double(context, d);
      break;
    }
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
    /* xCreate */ nullptr,  // eponymous only: no CREATE VIRTUAL TABLE makes one
    /* xConnect */ Connect,
    /* xBestIndex */ BestIndex,
    /* xDisconnect */ Disconnect,
    /* xDestroy */ Disconnect,
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

// The name of the module: the table's name without its quotes.
std::string ModuleName(const std::string& sqliteName) {
  if (sqliteName.size() < 2 || sqliteName.front() != '"' || sqliteName.back() != '"') return sqliteName;
  std::string name;
  for (size_t i = 1; i + 1 < sqliteName.size(); ++i) {
    name += sqliteName[i];
    if (sqliteName[i] == '"') ++i;  // a doubled quote is one
  }
  return name;
}

}  // namespace

namespace {

void CreateModule(sqlite3* db, const std::string& moduleName, std::shared_ptr<const IndexedTable> table,
                  std::shared_ptr<OpenCursors> open) {
  auto* holder = new TableModule{std::move(table), std::move(open)};
  // The holder goes with the module: when it is replaced, dropped, or the database closes.
  const int rc = sqlite3_create_module_v2(db, moduleName.c_str(), &kModule, holder,
                                          [](void* p) { delete static_cast<TableModule*>(p); });
  if (rc != SQLITE_OK) RaiseSqliteError(db);
}

// Without the virtual tables shortcut: the rows copied into an ordinary
// table of that name, read through a virtual table that goes again at once.
void CopyIntoPlainTable(sqlite3* db, const std::string& sqliteName, std::shared_ptr<const IndexedTable> table,
                        std::shared_ptr<OpenCursors> open) {
  const std::string source = "plain copy of " + ModuleName(sqliteName);
  const std::string schema = DeclaredSchema(table->Table());
  CreateModule(db, source, std::move(table), std::move(open));
  const std::string create = "CREATE TABLE temp." + sqliteName + schema.substr(std::string_view("CREATE TABLE x").size());
  const std::string copy = "INSERT INTO temp." + sqliteName + " SELECT * FROM " + QuoteIdentifier(source);
  const std::string replaced = "DROP TABLE IF EXISTS temp." + sqliteName;
  const int rc = sqlite3_exec(db, (replaced + "; " + create + "; " + copy).c_str(), nullptr, nullptr, nullptr);
  sqlite3_create_module_v2(db, source.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) RaiseSqliteError(db);
}

}  // namespace

void LoadTextTable(sqlite3* db, const std::string& sqliteName, std::shared_ptr<const IndexedTable> table,
                   std::shared_ptr<OpenCursors> open) {
  if (!CurrentShortcuts().virtualTables) return CopyIntoPlainTable(db, sqliteName, std::move(table), std::move(open));
  CreateModule(db, ModuleName(sqliteName), std::move(table), std::move(open));
}

void UnloadTextTable(sqlite3* db, const std::string& sqliteName) noexcept {
  sqlite3_create_module_v2(db, ModuleName(sqliteName).c_str(), nullptr, nullptr, nullptr);
  // A plain copy, when the table was made without the virtual tables shortcut.
  sqlite3_exec(db, ("DROP TABLE IF EXISTS temp." + sqliteName).c_str(), nullptr, nullptr, nullptr);
}

void ReleaseUnloadedTables(sqlite3* db) noexcept {
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, "SELECT 1", -1, &statement, nullptr);
  sqlite3_finalize(statement);
}

}  // namespace vendrel::driver::text

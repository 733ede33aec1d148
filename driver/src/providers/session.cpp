#include "providers/session.h"

#include <cmath>
#include <limits>
#include <mutex>

#include "core/cancel.h"
#include "core/errors.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/driver/driver.h"

namespace vendrel::driver {

SqliteHandle OpenSessionDatabase() {
  SqliteHandle db = OpenMemoryDatabase();
  RegisterSqlFunctions(db.get());
  return db;
}

namespace {

// Sizes the platform reports for fields of each type.
// The value as SQLite holds it, before it is given its column's type.
Variant RawValue(sqlite3_stmt* s, int i) {
  switch (sqlite3_column_type(s, i)) {
    case SQLITE_INTEGER: return Variant::BigInt(sqlite3_column_int64(s, i));
    case SQLITE_FLOAT: return Variant::Double(sqlite3_column_double(s, i));
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
      return Variant::String(std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(s, i))));
    }
    case SQLITE_BLOB: {
      const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(s, i));
      return Variant::FromBytes(Bytes(data, data + sqlite3_column_bytes(s, i)));
    }
    default: return Variant::Null();
  }
}

}  // namespace

Variant FromStorage(sqlite3_stmt* s, int i, JetType type) {
  Variant raw = RawValue(s, i);
  if (raw.IsNull()) return raw;
  switch (type) {
    case JetType::Boolean: return Variant::Boolean(ToBoolean(raw));
    case JetType::Byte: return ChangeType(raw, VarType::Byte);
    case JetType::Short: return ChangeType(raw, VarType::Integer);
    case JetType::Long: return ChangeType(raw, VarType::Long);
    case JetType::BigInt: return ChangeType(raw, VarType::BigInt);
    case JetType::Currency: {
      if (raw.Type() == VarType::BigInt) return Variant(Currency{raw.AsBigInt()});
      const double scaled = RoundHalfEven(ToDouble(raw));
      if (!(std::fabs(scaled) < 9.2233720368547758e18)) RaisePlatform(err::kOverflow, source::kRuntime);
      return Variant(Currency{static_cast<int64_t>(scaled)});
    }
    case JetType::Single:
    case JetType::Double:
      // NaN, which SQLite holds only as this text (text/table_loader.cpp).
      if (raw.IsString() && raw.AsString() == "NaN")
        return type == JetType::Single ? Variant::Single(std::numeric_limits<float>::quiet_NaN())
                                       : Variant::Double(std::numeric_limits<double>::quiet_NaN());
      return ChangeType(raw, type == JetType::Single ? VarType::Single : VarType::Double);
    case JetType::Date: return Variant::Date(ToDouble(raw));
    case JetType::Binary:
      if (raw.IsString()) return Variant::FromBytes(Bytes(raw.AsString().begin(), raw.AsString().end()));
      return raw;
    case JetType::Null:
    case JetType::Text:
    case JetType::Memo:
    case JetType::Guid:
      if (raw.Type() == VarType::Bytes) return Variant::String(std::string(raw.AsBytes().begin(), raw.AsBytes().end()));
      return raw.IsString() ? raw : Variant::String(ToText(raw));
  }
  return raw;
}

namespace {

// A cell of the result: read in place for the storage each type is usually
// found in (the values FromStorage gives), otherwise FromStorage's value
// into `general`, which the cell then refers to. Texts stay SQLite's until
// the next step.
RowStore::View ReadCell(sqlite3_stmt* s, int i, JetType type, Variant& general) {
  RowStore::View cell;
  // One look-up of the column for all that is read of it. The value is
  // read only here, by the thread that steps the statement.
  sqlite3_value* value = sqlite3_column_value(s, i);
  const int storage = sqlite3_value_type(value);
  if (storage == SQLITE_NULL) return cell;
  if (storage == SQLITE_INTEGER) {
    const int64_t n = sqlite3_value_int64(value);
    switch (type) {
      case JetType::Long:
        if (n < INT32_MIN || n > INT32_MAX) break;
        cell.type = VarType::Long;
        cell.whole = n;
        return cell;
      case JetType::BigInt:
      case JetType::Currency:
        cell.type = type == JetType::BigInt ? VarType::BigInt : VarType::Currency;
        cell.whole = n;
        return cell;
      case JetType::Boolean:
        cell.type = VarType::Boolean;
        cell.whole = n != 0 ? 1 : 0;
        return cell;
      case JetType::Double:
      case JetType::Date:
        cell.type = type == JetType::Double ? VarType::Double : VarType::Date;
        cell.real = static_cast<double>(n);
        return cell;
      default: break;
    }
  } else if (storage == SQLITE_FLOAT) {
    if (type == JetType::Double || type == JetType::Date) {
      cell.type = type == JetType::Double ? VarType::Double : VarType::Date;
      cell.real = sqlite3_value_double(value);
      return cell;
    }
  } else if (storage == SQLITE_TEXT &&
             (type == JetType::Text || type == JetType::Memo || type == JetType::Guid || type == JetType::Null)) {
    // Read as bytes: a text that a table serves in place carries no NUL, and
    // asking for it as text would make SQLite copy it to add one.
    const auto* text = static_cast<const char*>(sqlite3_value_blob(value));
    cell.type = VarType::String;
    cell.bytes = {text ? text : "", static_cast<size_t>(sqlite3_value_bytes(value))};
    return cell;
  }
  general = FromStorage(s, i, type);
  cell.type = general.Type();
  cell.variant = &general;
  return cell;
}

}  // namespace

FieldInfo FieldInfoOf(const OutputColumn& column) { return ColumnFieldInfo(column.name, column.type, column.width); }

Ref<RowStore> FetchRows(sqlite3* db, const CompiledQuery& query) {
  std::vector<FieldInfo> fields;
  fields.reserve(query.columns.size());
  for (const OutputColumn& c : query.columns) fields.push_back(FieldInfoOf(c));
  Ref<RowStore> rows = MakeRef<RowStore>(std::move(fields));

  StatementHandle statement = Prepare(db, query.sql);
  sqlite3_stmt* s = statement.get();
  const int count = sqlite3_column_count(s);
  if (count != static_cast<int>(query.columns.size()))
    RaiseDriverError(hr::kFileError, "Unexpected error from external database driver (the statement returns " +
                                         std::to_string(count) + " columns instead of " +
                                         std::to_string(query.columns.size()) + ").");
  std::vector<Variant> general(static_cast<size_t>(count));
  std::vector<RowStore::View> cells(static_cast<size_t>(count));
  for (;;) {
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) RaiseSqliteError(db);
    try {
      for (int i = 0; i < count; ++i) {
        const auto at = static_cast<size_t>(i);
        cells[at] = ReadCell(s, i, query.columns[at].type, general[at]);
      }
    } catch (const Error& e) {
      // A value that does not fit its column's type: a runtime error of the statement,
      // numbered as the front end numbers its runtime errors.
      RaiseDriverError(e.Number() == err::kTypeMismatch ? hr::kTypeMismatch : hr::kSyntaxError, e.Description());
    }
    rows->AppendTypedRow(cells);
  }
  return rows;
}

std::vector<Variant> RunPivotPass(sqlite3* db, const PivotPass& pass) {
  StatementHandle statement = Prepare(db, pass.sql);
  std::vector<Variant> values;
  for (;;) {
    const int rc = sqlite3_step(statement.get());
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) RaiseSqliteError(db);
    values.push_back(FromStorage(statement.get(), 0, pass.type));
  }
  return values;
}

CompiledQuery CompileStatementOn(sqlite3* db, std::string_view text, Catalog& catalog) {
  return CompileStatement(text, catalog, [db](const PivotPass& pass) { return RunPivotPass(db, pass); });
}

SqlSession::SqlSession(SqliteHandle db, std::unique_ptr<SessionCatalog> catalog)
    : db_(std::move(db)), catalog_(std::move(catalog)) {}

namespace {

// Databases of sessions that ended with their catalogs, kept for the next
// ones: a new database costs the registration of every function of
// generated SQL. Only a database without a statement or a transaction open
// is kept; its catalog has removed its tables.
class DatabasePool {
 public:
  // Never destroyed: a session may end while the process exits.
  static DatabasePool& Instance() {
    static DatabasePool* pool = new DatabasePool();
    return *pool;
  }

  SqliteHandle Take() {
    {
      std::lock_guard lock(mutex_);
      if (!idle_.empty()) {
        SqliteHandle db = std::move(idle_.back());
        idle_.pop_back();
        return db;
      }
    }
    return OpenSessionDatabase();
  }

  void Give(SqliteHandle db) noexcept {
    if (!db || sqlite3_next_stmt(db.get(), nullptr) != nullptr || !sqlite3_get_autocommit(db.get())) return;
    std::lock_guard lock(mutex_);
    if (idle_.size() < kKept) idle_.push_back(std::move(db));
  }

 private:
  static constexpr size_t kKept = 2;
  std::mutex mutex_;
  std::vector<SqliteHandle> idle_;
};

}  // namespace

SqlSession::SqlSession(CatalogMaker makeCatalog) : makeCatalog_(std::move(makeCatalog)) {}

SqlSession::~SqlSession() { Close(); }

Ref<RowStore> SqlSession::Execute(const std::string& commandText, int options, const CancelRequest& cancel) {
  if (closed_) RaisePlatform(err::kObjectClosed, source::kConnection);
  if (!db_) {
    SqliteHandle db = DatabasePool::Instance().Take();
    catalog_ = makeCatalog_(db.get());
    db_ = std::move(db);
  }
  const CancelWatch watch(db_.get(), cancel);
  RaiseIfCancelled();
  catalog_->BeginStatement();
  if (options == adCmdTableDirect)
    if (Ref<RowStore> rows = catalog_->ReadWholeTable(commandText)) return rows;
  const std::string text =
      options == adCmdTable || options == adCmdTableDirect ? "SELECT * FROM [" + commandText + "]" : commandText;
  const CompiledQuery query = CompileStatement(text, *catalog_, [&](const PivotPass& pass) {
    SizeSortsFor(db_.get(), catalog_->StatementDataBytes());
    return RunPivotPass(db_.get(), pass);
  });
  SizeSortsFor(db_.get(), catalog_->StatementDataBytes());
  return FetchRows(db_.get(), query);
}

void SqlSession::Close() noexcept {
  closed_ = true;
  catalog_.reset();
  if (makeCatalog_) DatabasePool::Instance().Give(std::move(db_));
  db_.reset();
  makeCatalog_ = nullptr;  // and what it holds for the session's tables
}

}  // namespace vendrel::driver

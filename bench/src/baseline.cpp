#include "baseline.h"

#include <bit>
#include <stdexcept>

#include "vendrel/dataaccess/enums.h"

namespace vendrel::bench {

namespace {

struct Finalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw std::runtime_error("baseline: " + what + ": " + sqlite3_errmsg(db));
}

Statement Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK) Fail(db, sql);
  return Statement(raw);
}

// The column type a program would declare for a field, Currency kept exact
// as ten-thousandths and dates as serial days.
const char* DeclaredType(int fieldType) {
  switch (fieldType) {
    case adDouble:
    case adSingle:
    case adDate: return "REAL";
    case adVarChar:
    case adVarWChar:
    case adLongVarChar:
    case adLongVarWChar: return "TEXT";
    default: return "INTEGER";
  }
}

void Bind(sqlite3_stmt* s, int index, const Variant& v) {
  switch (v.Type()) {
    case VarType::Long: sqlite3_bind_int(s, index, v.AsLong()); break;
    case VarType::Integer: sqlite3_bind_int(s, index, v.AsInteger()); break;
    case VarType::BigInt: sqlite3_bind_int64(s, index, v.AsBigInt()); break;
    case VarType::Currency: sqlite3_bind_int64(s, index, v.AsCurrency().scaled); break;
    case VarType::Double: sqlite3_bind_double(s, index, v.AsDouble()); break;
    case VarType::Date: sqlite3_bind_double(s, index, v.AsDate().serial); break;
    case VarType::String:
      sqlite3_bind_text(s, index, v.AsString().data(), static_cast<int>(v.AsString().size()), SQLITE_STATIC);
      break;
    default: sqlite3_bind_null(s, index); break;
  }
}

}  // namespace

Baseline::Baseline() {
  if (sqlite3_open(":memory:", &db_) != SQLITE_OK) Fail(db_, "open");
}

Baseline::~Baseline() { sqlite3_close(db_); }

void Baseline::Exec(const std::string& sql) {
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail(db_, sql);
}

void Baseline::Load(const std::vector<Input>& inputs) {
  Exec("BEGIN");
  for (const Input& input : inputs) {
    Recordset& rs = *input.recordset;
    FieldCollection& fields = rs.Fields();
    const int count = static_cast<int>(fields.Count());
    std::string create = "CREATE TABLE " + input.name + " (";
    std::string insert = "INSERT INTO " + input.name + " VALUES (";
    for (int i = 0; i < count; ++i) {
      const Field& f = fields[static_cast<size_t>(i)];
      create += (i ? ", \"" : "\"") + f.Name() + "\" " + DeclaredType(f.Type());
      insert += i ? ", ?" : "?";
    }
    Exec(create + ")");
    Statement statement = Prepare(db_, insert + ")");
    sqlite3_stmt* s = statement.get();
    if (rs.RecordCount() == 0) continue;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
      for (int i = 0; i < count; ++i) Bind(s, i + 1, fields[static_cast<size_t>(i)].Value());
      if (sqlite3_step(s) != SQLITE_DONE) Fail(db_, "insert");
      sqlite3_reset(s);
    }
    rs.MoveFirst();
  }
  Exec("COMMIT");
}

uint64_t Baseline::Walk(const std::string& sql) {
  Statement statement = Prepare(db_, sql);
  sqlite3_stmt* s = statement.get();
  const int count = sqlite3_column_count(s);
  uint64_t sum = 0;
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    for (int i = 0; i < count; ++i) {
      switch (sqlite3_column_type(s, i)) {
        case SQLITE_INTEGER: sum = Mix(sum, static_cast<uint64_t>(sqlite3_column_int64(s, i))); break;
        case SQLITE_FLOAT: sum = Mix(sum, std::bit_cast<uint64_t>(sqlite3_column_double(s, i))); break;
        case SQLITE_TEXT: {
          const unsigned char* text = sqlite3_column_text(s, i);
          sum = Mix(sum, static_cast<uint64_t>(sqlite3_column_bytes(s, i)) + text[0]);
          break;
        }
        default: sum = Mix(sum, 1); break;
      }
    }
  }
  if (rc != SQLITE_DONE) Fail(db_, sql);
  return sum;
}

ResultRows Baseline::Collect(const std::string& sql) {
  Statement statement = Prepare(db_, sql);
  sqlite3_stmt* s = statement.get();
  const int count = sqlite3_column_count(s);
  ResultRows rows;
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    std::vector<std::string>& row = rows.emplace_back();
    for (int i = 0; i < count; ++i) {
      switch (sqlite3_column_type(s, i)) {
        case SQLITE_INTEGER: row.push_back(std::to_string(sqlite3_column_int64(s, i))); break;
        case SQLITE_FLOAT: row.push_back(CanonicalReal(sqlite3_column_double(s, i))); break;
        case SQLITE_NULL: row.push_back("\\N"); break;
        default:
          row.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                           static_cast<size_t>(sqlite3_column_bytes(s, i)));
          break;
      }
    }
  }
  if (rc != SQLITE_DONE) Fail(db_, sql);
  return rows;
}

}  // namespace vendrel::bench

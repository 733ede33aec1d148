#pragma once
// Tables made directly in an in-memory SQLite database in the storage of
// core/types.h, a catalog over them, and a runner for compiled statements.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/types.h"
#include "providers/session.h"
#include "sql/compile.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/dataaccess/variant.h"
#include "vendrel/driver/driver.h"

namespace vendrel::driver::testing {

using Row = std::vector<Variant>;

struct Result {
  std::vector<OutputColumn> columns;
  std::vector<Row> rows;
  std::string sql;

  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const auto& c : columns) out.push_back(c.name);
    return out;
  }
  // Each row as its values' texts joined by '|', Null as "Null".
  std::vector<std::string> Lines() const;
};

inline std::vector<std::string> Texts(std::initializer_list<const char*> items) {
  return std::vector<std::string>(items.begin(), items.end());
}

inline std::string Show(const Variant& v) { return v.IsNull() ? "Null" : ToText(v); }

inline std::vector<std::string> Result::Lines() const {
  std::vector<std::string> out;
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) line += (i ? "|" : "") + Show(row[i]);
    out.push_back(line);
  }
  return out;
}

inline std::string Quote(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

class TestCatalog : public Catalog {
 public:
  explicit TestCatalog(sqlite3* db) : db_(db) {}

  void Add(const std::string& name, std::vector<ColumnDef> columns, const std::vector<Row>& rows) {
    auto def = std::make_unique<TableDef>();
    def->displayName = name;
    def->sqliteName = Quote("t" + std::to_string(tables_.size()));
    def->columns = std::move(columns);
    std::string create = "CREATE TABLE " + def->sqliteName + " (";
    std::string insert = "INSERT INTO " + def->sqliteName + " VALUES (";
    for (size_t i = 0; i < def->columns.size(); ++i) {
      const ColumnDef& c = def->columns[i];
      create += (i ? ", " : "") + Quote(c.name) + " " + std::string(StorageDeclaration(c.type));
      insert += i ? ", ?" : "?";
    }
    Exec(create + ")");
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db_, (insert + ")").c_str(), -1, &stmt, nullptr), SQLITE_OK);
    for (const Row& row : rows) {
      for (size_t i = 0; i < row.size(); ++i) Bind(stmt, static_cast<int>(i) + 1, row[i], def->columns[i].type);
      EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE);
      sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    tables_[FoldCase(name)] = std::move(def);
  }

  const TableDef* FindTable(std::string_view name) override {
    std::string key = FoldCase(name);
    std::replace(key.begin(), key.end(), '#', '.');
    auto it = tables_.find(key);
    return it == tables_.end() ? nullptr : it->second.get();
  }

  void Exec(const std::string& sql) {
    char* message = nullptr;
    ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
  }

 private:
  static void Bind(sqlite3_stmt* stmt, int i, const Variant& v, JetType t) {
    if (v.IsNull()) {
      sqlite3_bind_null(stmt, i);
      return;
    }
    switch (t) {
      case JetType::Boolean: sqlite3_bind_int64(stmt, i, ToBoolean(v) ? -1 : 0); break;
      case JetType::Currency: sqlite3_bind_int64(stmt, i, ToCurrency(v).scaled); break;
      case JetType::Single:
      case JetType::Double: sqlite3_bind_double(stmt, i, ToDouble(v)); break;
      case JetType::Date: sqlite3_bind_double(stmt, i, ToDate(v).serial); break;
      case JetType::Text:
      case JetType::Memo:
      case JetType::Guid: {
        const std::string s = ToText(v);
        sqlite3_bind_text(stmt, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        break;
      }
      case JetType::Binary: {
        const Bytes& b = v.AsBytes();
        sqlite3_bind_blob(stmt, i, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
        break;
      }
      default: sqlite3_bind_int64(stmt, i, ToBigInt(v)); break;
    }
  }

  sqlite3* db_;
  std::map<std::string, std::unique_ptr<TableDef>> tables_;
};

// A value of a result column, read by its static type.
inline Variant ReadColumn(sqlite3_stmt* stmt, int i, JetType t) {
  if (sqlite3_column_type(stmt, i) == SQLITE_NULL) return Variant::Null();
  switch (t) {
    case JetType::Null: return Variant::Null();
    case JetType::Boolean: return Variant::Boolean(sqlite3_column_int64(stmt, i) != 0);
    case JetType::Byte: return Variant::Byte(static_cast<uint8_t>(sqlite3_column_int64(stmt, i)));
    case JetType::Short: return Variant::Integer(static_cast<int16_t>(sqlite3_column_int64(stmt, i)));
    case JetType::Long: return Variant::Long(static_cast<int32_t>(sqlite3_column_int64(stmt, i)));
    case JetType::BigInt: return Variant::BigInt(sqlite3_column_int64(stmt, i));
    case JetType::Currency: return Variant(Currency{sqlite3_column_int64(stmt, i)});
    case JetType::Single: return Variant::Single(static_cast<float>(sqlite3_column_double(stmt, i)));
    case JetType::Double: return Variant::Double(sqlite3_column_double(stmt, i));
    case JetType::Date: return Variant::Date(sqlite3_column_double(stmt, i));
    case JetType::Binary: {
      const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt, i));
      return Variant::FromBytes(Bytes(p, p + sqlite3_column_bytes(stmt, i)));
    }
    default: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
      return Variant::String(std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt, i))));
    }
  }
}

class SqlTest : public ::testing::Test {
 protected:
  SqlTest() {
    sqlite3_open(":memory:", &db_);
    RegisterSqlFunctions(db_);
    catalog_ = std::make_unique<TestCatalog>(db_);
  }
  ~SqlTest() override {
    catalog_.reset();
    sqlite3_close(db_);
  }

  TestCatalog& Catalog() { return *catalog_; }

  // Compiles and runs a statement; a driver error is raised as vendrel::Error.
  Result Run(std::string_view statement) {
    const CompiledQuery q = CompileStatementOn(db_, statement, *catalog_);
    Result r;
    r.columns = q.columns;
    r.sql = q.sql;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, q.sql.c_str(), static_cast<int>(q.sql.size()), &stmt, nullptr) != SQLITE_OK) {
      const std::string message = sqlite3_errmsg(db_);
      sqlite3_finalize(stmt);
      ADD_FAILURE() << "generated SQL does not prepare: " << message << "\n" << q.sql;
      throw Error(0, "test", "prepare failed: " + message);
    }
    EXPECT_EQ(sqlite3_column_count(stmt), static_cast<int>(q.columns.size())) << q.sql;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      Row row;
      for (size_t i = 0; i < q.columns.size(); ++i) row.push_back(ReadColumn(stmt, static_cast<int>(i), q.columns[i].type));
      r.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
      const std::string message = sqlite3_errmsg(db_);
      sqlite3_finalize(stmt);
      long number = 0;
      std::string description;
      if (DecodeRuntimeError(message, number, description)) RaiseDriverError(number, description);
      ADD_FAILURE() << "statement failed: " << message << "\n" << q.sql;
      throw Error(0, "test", message);
    }
    sqlite3_finalize(stmt);
    return r;
  }

  // The error a statement raises, compiling or running.
  Error ErrorOf(std::string_view statement) {
    try {
      const Result r = Run(statement);
      ADD_FAILURE() << "no error from: " << statement << "\n" << r.sql;
    } catch (const Error& e) {
      return e;
    }
    return Error(0, "", "");
  }

  // The single value of a one-column, one-row result.
  Variant Scalar(std::string_view statement) {
    const Result r = Run(statement);
    if (r.rows.size() != 1 || r.rows[0].size() != 1) {
      ADD_FAILURE() << "not one value: " << statement;
      return Variant();
    }
    return r.rows[0][0];
  }

  sqlite3* db_ = nullptr;
  std::unique_ptr<TestCatalog> catalog_;
};

}  // namespace vendrel::driver::testing

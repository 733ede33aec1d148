#pragma once
// One open connection of the driver: an in-memory SQLite database, the
// catalog of the tables it may read, and the running of statements.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalog.h"
#include "core/sqlite_util.h"
#include "sql/compile.h"
#include "vendrel/dataaccess/connection.h"

namespace vendrel::driver {

// A new in-memory database with the functions and collations of generated SQL.
SqliteHandle OpenSessionDatabase();

class SqlSession final : public ProviderSession {
 public:
  using CatalogMaker = std::function<std::unique_ptr<SessionCatalog>(sqlite3*)>;

  SqlSession(SqliteHandle db, std::unique_ptr<SessionCatalog> catalog);
  // A session whose database and catalog are made when its first statement
  // runs: a connection that runs none costs no database. The database is
  // one that an ended session of this kind left, when there is one.
  explicit SqlSession(CatalogMaker makeCatalog);
  ~SqlSession() override;

  // A SELECT of the dialect (or, with adCmdTable, a table name): compiled,
  // run, and every row fetched. With adCmdTableDirect, a table name whose
  // rows the catalog reads straight into the result where it can. A cancel
  // request stops the reading of text tables and the stepping of SQLite
  // within a fraction of a second, with error hr::kCancelled.
  Ref<RowStore> Execute(const std::string& commandText, int options, const CancelRequest& cancel) override;
  void Close() noexcept override;

 private:
  SqliteHandle db_;  // declared first: the catalog refers to it
  std::unique_ptr<SessionCatalog> catalog_;
  CatalogMaker makeCatalog_;
  bool closed_ = false;
};

// The field a result column reports: type, size and attributes.
FieldInfo FieldInfoOf(const OutputColumn& column);

// The value of a column of the given type from its storage (core/types.h)
// at the current row: every storage into every type, with the errors of a
// value that does not fit.
Variant FromStorage(sqlite3_stmt* s, int i, JetType type);

// Compiles a statement for this database: a crosstab's first pass runs on it.
CompiledQuery CompileStatementOn(sqlite3* db, std::string_view text, Catalog& catalog);

// The values a crosstab's first pass gives, each of the pass's type.
std::vector<Variant> RunPivotPass(sqlite3* db, const PivotPass& pass);

// Runs compiled SQL and fetches every row, turning the storage of each
// column's type back into values: those FromStorage gives, the common pairs
// of storage and type read straight into the rows.
Ref<RowStore> FetchRows(sqlite3* db, const CompiledQuery& query);

}  // namespace vendrel::driver

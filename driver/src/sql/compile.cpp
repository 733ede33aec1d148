// CompileStatement: parse, bind, generate, in that order; a crosstab runs
// its first pass and is laid out before it is generated.

#include <sqlite3.h>

#include <memory>
#include <string_view>

#include "sql/binder.h"
#include "sql/codegen.h"
#include "sql/compile.h"
#include "sql/crosstab.h"
#include "sql/errors.h"
#include "sql/parser.h"

namespace vendrel::driver {

namespace {

int ParenthesisDepth(std::string_view sql) {
  int depth = 0, deepest = 0;
  char quote = 0;
  for (char c : sql) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '(') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ')') {
      --depth;
    }
  }
  return deepest;
}

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};

// SQLite's parser has a fixed stack and limits the height of expressions.
// Deep statements are parsed once in an empty database: the tables are
// missing there, but the parser's own limits show before the names are looked up.
void CheckParserLimits(const std::string& sql) {
  if (ParenthesisDepth(sql) < 12 && sql.size() < 20000) return;
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, nullptr) != SQLITE_OK) {
    sqlite3_close(raw);
    return;
  }
  std::unique_ptr<sqlite3, DatabaseCloser> db(raw);
  sqlite3_stmt* statement = nullptr;
  const int rc = sqlite3_prepare_v2(db.get(), sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr);
  sqlite3_finalize(statement);
  if (rc == SQLITE_OK) return;
  const std::string_view message = sqlite3_errmsg(db.get());
  for (std::string_view limit : {"parser stack overflow", "Expression tree is too large", "too many terms",
                                 "too many arguments", "too many columns", "string or blob too big"})
    if (message.find(limit) != std::string_view::npos) sql::RaiseTooComplex();
}

}  // namespace

CompiledQuery CompileStatement(std::string_view text, Catalog& catalog, const PivotPassRunner& runPivotPass) {
  sql::Statement statement = sql::Parse(text);
  sql::BoundStatement bound;
  sql::Bind(statement, catalog, text, bound);
  CompiledQuery compiled;
  if (!statement.crosstab) {
    compiled.sql = sql::GenerateSql(*statement.query);
    compiled.columns = statement.query->columns;
  } else {
    std::vector<Variant> values;
    if (statement.crosstab->listed) {
      values = sql::ListedPivotValues(*statement.crosstab);
    } else {
      const PivotPass pass = sql::PlanPivotPass(statement);
      CheckParserLimits(pass.sql);
      values = runPivotPass(pass);
    }
    const sql::CrosstabLayout layout = sql::LayOutCrosstab(statement, text, std::move(values));
    compiled.sql = sql::GenerateCrosstabSql(*statement.query, *statement.crosstab, layout);
    compiled.columns = layout.columns;
  }
  CheckParserLimits(compiled.sql);
  return compiled;
}

}  // namespace vendrel::driver

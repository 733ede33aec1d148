// The dialect cases of driver/tests/sql/*.test through Vendrel::Execute over
// in-memory recordsets built from the cases' tables, each under its table's
// name: the expected field names, types and rows, or the expected error (1007
// with the driver's description translated), and nothing left on disk. And the
// rewriting cases of engine/tests/sql/*.test: a statement as the caller wrote
// it and the text the driver is given. (The driver's tests run the dialect
// cases straight through the driver; the format is described in
// tests/support/vendrel/testing/sql_cases.h.)

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "query_run.h"
#include "sql_rewriter.h"
#include "vendrel/engine/vendrel.h"
#include "vendrel/testing/sql_cases.h"

namespace vendrel::testing::sqlcases {
namespace {

Ref<Recordset> RecordsetOf(const Table& table) {
  Ref<Recordset> rs = Recordset::Create();
  std::vector<ColumnType> types;
  for (const Column& c : table.columns) {
    types.push_back(TypeOfColumn(c.type));
    rs->Fields().Append(c.name, types.back().adoType, types.back().size, adFldMayBeNull);
  }
  rs->Open({}, {}, adOpenStatic, adLockOptimistic);
  for (const auto& row : table.rows) {
    rs->AddNew();
    for (size_t i = 0; i < row.size(); ++i) {
      const Variant v = ValueOf(row[i], types[i].adoType);
      if (!v.IsNull()) rs->Fields()[static_cast<long>(i)].SetValue(v);
    }
    rs->Update();
  }
  if (rs->RecordCount() > 0) rs->MoveFirst();
  return rs;
}

class DialectCases : public TempRootTest, public ::testing::WithParamInterface<Case> {
 protected:
  Ref<Recordset> Run(const Case& c) {
    Ref<Vendrel> query = Vendrel::Create();
    // The plain tables, and each kept one, as the entries of a data source.
    auto sourceOf = [&](const std::set<std::string>& keptNames) {
      Ref<QueryDataSource> source = QueryDataSource::Create();
      for (const std::string& name : c.uses)
        source->RecordsetCollection()->Add(keptNames.contains(name) ? nullptr : RecordsetOf(*TableOf(c.tables, name)),
                                           name, keptNames.contains(name));
      return source;
    };
    std::set<std::string> kept;
    for (const std::string& name : c.kept) {
      const Table& table = *TableOf(c.tables, name);
      Ref<QueryDataSource> keep = QueryDataSource::Create();
      keep->RecordsetCollection()->Add(RecordsetOf(table), table.name);
      query->Execute(keep, "SELECT * FROM [" + table.name + "]", adOpenStatic, adLockReadOnly, true, table.name);
      kept.insert(name);
    }
    Ref<QueryDataSource> source = sourceOf(kept);
    for (const Kept& k : c.keeps) {
      query->Execute(sourceOf(kept), k.sql, adOpenStatic, adLockReadOnly, true, k.name);
      source->RecordsetCollection()->Add(nullptr, k.name, true);
    }
    return query->Execute(source, c.sql, adOpenStatic, adLockReadOnly);
  }
};

TEST_P(DialectCases, GiveTheExpectedResult) {
  const Case& c = GetParam();
  ASSERT_EQ(c.loadError, "");
  SCOPED_TRACE(Where(c));
  Ref<Recordset> result;
  const CaughtError caught = CatchError([&] { result = Run(c); });
  // The query object is gone: whatever the outcome, it left nothing behind.
  EXPECT_EQ(Tree(), std::set<std::string>{});
  if (c.expectsError) {
    const Error translated = engine::TranslatedDriverError(c.errorDescription);
    ExpectError(translated.Number(), "[Vendrel] " + translated.Description(), caught.thrown, caught.number,
                caught.description);
    return;
  }
  ASSERT_FALSE(caught.thrown) << caught.number << " " << caught.description;
  ASSERT_TRUE(result);
  ExpectResult(c, *result);
}

std::string TestNameOf(const ::testing::TestParamInfo<Case>& info) { return info.param.testName; }

INSTANTIATE_TEST_SUITE_P(Execute, DialectCases,
                         ::testing::ValuesIn(ReadCaseFolders({VDL_DIALECT_CASES}, &Case::ThroughExecute)), TestNameOf);

class RewritingCases : public ::testing::TestWithParam<Case> {};

TEST_P(RewritingCases, GiveTheDriversText) {
  const Case& c = GetParam();
  ASSERT_EQ(c.loadError, "");
  SCOPED_TRACE(Where(c));
  std::vector<engine::TableName> tables;
  for (const Rename& r : c.renames) tables.push_back({r.name, r.fileName});
  EXPECT_EQ(engine::RewriteSqlText(c.sql, tables), c.rewritten);
}

INSTANTIATE_TEST_SUITE_P(Rewrite, RewritingCases,
                         ::testing::ValuesIn(ReadCaseFolders({VDL_REWRITING_CASES}, &Case::Rewrites)), TestNameOf);

}  // namespace
}  // namespace vendrel::testing::sqlcases

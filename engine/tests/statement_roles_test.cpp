// Kept results found under any case of their name, and error descriptions
// that name what the caller wrote. (Statements that name recordsets in every
// role the driver accepts are data: driver/tests/sql/rewriting.test, run
// through Execute.)

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel {
namespace {

using testing::MakeRecordset;
using testing::RowsOf;

Ref<Recordset> Orders() {
  return MakeRecordset({{"OrderID", adInteger, 0}, {"CustomerID", adVarChar, 10}, {"Freight", adDouble, 0}},
                       {{Variant::Long(1), Variant("ALF"), Variant(10.0)},
                        {Variant::Long(2), Variant("BON"), Variant(30.0)},
                        {Variant::Long(3), Variant("ALF"), Variant(50.0)}});
}

class KeptResults : public testing::TempRootTest {};

// A result kept as "rs3" is found as "RS3", and keeping "RS3" replaces it:
// later queries read the newer rows with their own columns.
TEST_F(KeptResults, AreNamedWithoutRegardToCase) {
  Ref<Vendrel> query = Vendrel::Create();
  auto keep = [&](const char* sql, const char* name) {
    Ref<QueryDataSource> source = QueryDataSource::Create();
    source->RecordsetCollection()->Add(Orders(), "rsO");
    query->Execute(source, sql, adOpenStatic, adLockReadOnly, true, name);
  };
  auto read = [&](const char* entryName, const char* sql) {
    Ref<QueryDataSource> source = QueryDataSource::Create();
    source->RecordsetCollection()->Add(nullptr, entryName, true);
    return RowsOf(query->Execute(source, sql, adOpenStatic, adLockReadOnly));
  };
  keep("SELECT OrderID FROM rsO WHERE OrderID < 3", "rs3");
  EXPECT_EQ(read("RS3", "SELECT Rs3.OrderID FROM rS3 ORDER BY 1"), (std::vector<std::string>{"1", "2"}));

  keep("SELECT CustomerID, Freight FROM rsO WHERE OrderID = 3", "RS3");
  EXPECT_EQ(read("rs3", "SELECT rs3.CustomerID, rs3.Freight FROM rs3"), (std::vector<std::string>{"ALF|50"}));
  EXPECT_EQ(Entries(query->OptimizedFolder()), (std::set<std::string>{"rs3.txt", "schema.ini"}));
}

class CallerTerms : public testing::TempRootTest {};

// A data file's name changes with every run, and a position in the
// rewritten text points nowhere in the caller's.
TEST_F(CallerTerms, ErrorDescriptionsNameRecordsetsAndCountInTheCallersStatement) {
  Ref<Vendrel> query = Vendrel::Create();
  auto run = [&](const std::string& sql, Ref<Recordset> input) {
    Ref<QueryDataSource> source = QueryDataSource::Create();
    source->RecordsetCollection()->Add(input, "rs1");
    return testing::CatchError([&] { query->Execute(source, sql, adOpenStatic, adLockReadOnly); });
  };
  const std::string sql = "SELECT rs1.A FROM rs1 ORDER rs1.A";
  const testing::CaughtError syntax = run(sql, MakeRecordset({{"A"}}));
  EXPECT_EQ(syntax.number, -2147220497);
  EXPECT_NE(syntax.description.find("at character " + std::to_string(sql.find("rs1.A", 25) + 1)), std::string::npos)
      << syntax.description;
  EXPECT_EQ(syntax.description.find("TEMP"), std::string::npos) << syntax.description;

  const testing::CaughtError grouping = run("SELECT rs1.A, COUNT(*) FROM rs1", MakeRecordset({{"A"}}));
  EXPECT_EQ(grouping.number, -2147220497);
  EXPECT_NE(grouping.description.find("'rs1.A'"), std::string::npos) << grouping.description;
  EXPECT_EQ(grouping.description.find("TEMP"), std::string::npos) << grouping.description;
}

}  // namespace
}  // namespace vendrel

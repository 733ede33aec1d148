// The database file provider: an SQLite file read-only, its declared column
// types mapped to the engine's types, its values in the stored forms that
// docs/driver-tables.md describes.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "providers/database_catalog.h"
#include "providers/session.h"
#include "table_fixtures.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel::driver {
namespace {

using testing::ErrorOf;
using testing::FixtureFolder;

void MakeDatabase(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* message = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
  EXPECT_EQ(rc, SQLITE_OK) << (message ? message : "");
  sqlite3_free(message);
  sqlite3_close(db);
}

// A small sample database in the forms the demo's generator writes.
constexpr std::string_view kSample = R"sql(
CREATE TABLE ORDERS (OrderID INTEGER PRIMARY KEY, CustomerID VARCHAR(5), EmployeeID SMALLINT,
  OrderDate DATETIME, Freight CURRENCY, Shipped BOOLEAN, ShipName TEXT, Photo BLOB, Notes MEMO);
INSERT INTO ORDERS VALUES (10248, 'VINET', 5, '1996-07-04', 32.38, 1, 'Vins et alcools', x'0102', NULL);
INSERT INTO ORDERS VALUES (10249, 'TOMSP', 6, '1996-07-05 13:04:05', '11.6100', 0, NULL, NULL, 'two
lines');
INSERT INTO ORDERS VALUES (10250, 'HANAR', 4, 35251.5, 65, NULL, 'Hanari', NULL, NULL);
CREATE TABLE "ORDER DETAILS" (OrderID INTEGER, ProductID INTEGER, UnitPrice MONEY, Quantity SMALLINT,
  Discount REAL, Code TINYINT, Big BIGINT, Ratio DOUBLE, Untyped);
INSERT INTO "ORDER DETAILS" VALUES (10248, 11, 14, 12, 0, 1, 5000000000, 0.5, 1);
INSERT INTO "ORDER DETAILS" VALUES (10248, 42, 9.8, 10, 0.15, 2, 1, 1, 2);
)sql";

class DatabaseProviderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterProviders(); }
  void SetUp() override { MakeDatabase(folder_.PathOf("NWIND.mdb"), std::string(kSample)); }

  Ref<Connection> Open(const std::string& file = "NWIND.mdb") {
    Ref<Connection> cn = Connection::Create();
    cn->SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" +
                            folder_.PathOf(file));
    cn->Open();
    return cn;
  }

  FixtureFolder folder_;
};

TEST_F(DatabaseProviderTest, OrdersComeBackWithTheEngineTypesAndValues) {
  Ref<Connection> cn = Open();
  // The demo's default open: server side, forward-only, read-only.
  Ref<Recordset> rs = Recordset::Create();
  rs->Open(Variant("SELECT * FROM ORDERS"), Variant(cn));
  EXPECT_EQ(rs->CursorType(), adOpenForwardOnly);
  EXPECT_EQ(rs->LockType(), adLockReadOnly);

  struct Expected {
    std::string name;
    int type;
    long size;
  };
  const Expected fields[] = {{"OrderID", adInteger, 4},      {"CustomerID", adVarWChar, 5},
                             {"EmployeeID", adSmallInt, 2},  {"OrderDate", adDate, 8},
                             {"Freight", adCurrency, 8},     {"Shipped", adBoolean, 2},
                             {"ShipName", adVarWChar, 255},  {"Photo", adLongVarBinary, 1073741823},
                             {"Notes", adLongVarWChar, 536870910}};
  ASSERT_EQ(rs->Fields().Count(), 9);
  for (size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(rs->Fields()[i].Name(), fields[i].name);
    EXPECT_EQ(rs->Fields()[i].Type(), fields[i].type) << fields[i].name;
    EXPECT_EQ(rs->Fields()[i].DefinedSize(), fields[i].size) << fields[i].name;
  }
  auto value = [&](size_t i) { return rs->Fields()[i].Value(); };
  EXPECT_EQ(value(0), Variant::Long(10248));
  EXPECT_EQ(value(1), Variant("VINET"));
  EXPECT_EQ(value(2), Variant::Integer(5));
  EXPECT_EQ(value(3), Variant(*MakeDate(1996, 7, 4)));
  EXPECT_EQ(value(4), Variant(Currency{323800}));
  EXPECT_EQ(value(5), Variant::Boolean(true));
  EXPECT_EQ(value(7), Variant::FromBytes({1, 2}));
  EXPECT_TRUE(value(8).IsNull());
  rs->MoveNext();
  EXPECT_EQ(value(3), Variant(*MakeDate(1996, 7, 5, 13, 4, 5)));
  EXPECT_EQ(value(4), Variant(Currency{116100})) << "currency written as decimal text is exact";
  EXPECT_EQ(value(5), Variant::Boolean(false));
  EXPECT_TRUE(value(6).IsNull());
  EXPECT_EQ(value(8), Variant("two\nlines"));
  rs->MoveNext();
  EXPECT_EQ(value(3), Variant::Date(35251.5)) << "a number is a serial date";
  EXPECT_EQ(value(4), Variant(Currency{650000}));
  EXPECT_TRUE(value(5).IsNull());
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
}

TEST_F(DatabaseProviderTest, OrderDetailsByBracketedNameWithoutRegardToCase) {
  Ref<Connection> cn = Open();
  Ref<Recordset> rs = Recordset::Create();
  rs->SetCursorLocation(adUseClient);
  rs->Open(Variant("SELECT * FROM [order details]"), Variant(cn));
  EXPECT_EQ(rs->RecordCount(), 2);
  const std::vector<std::pair<std::string, int>> fields = {
      {"OrderID", adInteger},         {"ProductID", adInteger}, {"UnitPrice", adCurrency},
      {"Quantity", adSmallInt},       {"Discount", adDouble},   {"Code", adUnsignedTinyInt},
      {"Big", adBigInt},              {"Ratio", adDouble},      {"Untyped", adInteger}};
  for (size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(rs->Fields()[i].Name(), fields[i].first);
    EXPECT_EQ(rs->Fields()[i].Type(), fields[i].second) << fields[i].first;
  }
  EXPECT_EQ(rs->Fields()[2].Value(), Variant(Currency{140000}));
  EXPECT_EQ(rs->Fields()[4].Value(), Variant::Double(0));
  EXPECT_EQ(rs->Fields()[6].Value(), Variant::BigInt(5000000000));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields()[2].Value(), Variant(Currency{98000}));
  EXPECT_EQ(rs->Fields()[4].Value(), Variant::Double(0.15));
  EXPECT_EQ(rs->Fields()[7].Value(), Variant::Double(1)) << "a whole number in a DOUBLE column is a Double";
}

TEST_F(DatabaseProviderTest, DeclaredTypesMapToEngineTypes) {
  const std::tuple<std::string_view, JetType, long> cases[] = {
      {"INTEGER", JetType::Long, 0},        {"int", JetType::Long, 0},          {"SMALLINT", JetType::Short, 0},
      {"TINYINT", JetType::Byte, 0},        {"BIGINT", JetType::BigInt, 0},     {"REAL", JetType::Double, 0},
      {"DOUBLE", JetType::Double, 0},       {"CURRENCY", JetType::Currency, 0}, {"MONEY", JetType::Currency, 0},
      {"DATETIME", JetType::Date, 0},       {"DATE", JetType::Date, 0},         {"BOOLEAN", JetType::Boolean, 0},
      {"BIT", JetType::Boolean, 0},         {"VARCHAR(40)", JetType::Text, 40}, {"varchar ( 15 )", JetType::Text, 15},
      {"TEXT", JetType::Text, 0},           {"MEMO", JetType::Memo, 0},         {"BLOB", JetType::Binary, 0},
      {"NVARCHAR(10)", JetType::Text, 10},  {"DECIMAL(10,2)", JetType::Double, 0},
      {"UNSIGNED BIG INT", JetType::Long, 0}, {"", JetType::Null, 0},
  };
  for (const auto& [declared, type, width] : cases) {
    long w = -1;
    EXPECT_EQ(TypeOfDeclaration(declared, w), type) << declared;
    EXPECT_EQ(w, width) << declared;
  }
}

TEST_F(DatabaseProviderTest, ColumnsWidenOrFailByTheirStoredValues) {
  MakeDatabase(folder_.PathOf("odd.db"), R"sql(
    CREATE TABLE wide (Small SMALLINT, Whole INTEGER, Frac INTEGER, Money CURRENCY, Mixed);
    INSERT INTO wide VALUES (1, 1, 1, 1, 1);
    INSERT INTO wide VALUES (40000, 3000000000, 2.5, 1e300, 'text');
    CREATE TABLE bad (ID INTEGER, Day DATE, Flag BIT);
    INSERT INTO bad VALUES (1, '2003-01-02', 1);
    INSERT INTO bad VALUES (2, 'someday', 0);
    CREATE TABLE badnumber (ID INTEGER);
    INSERT INTO badnumber VALUES (1), ('x1');
    CREATE TABLE badflag (Flag BOOLEAN);
    INSERT INTO badflag VALUES ('perhaps');
  )sql");
  Ref<Connection> cn = Open("odd.db");
  Ref<Recordset> rs = Recordset::Create();
  rs->SetCursorLocation(adUseClient);
  rs->Open(Variant("SELECT * FROM wide"), Variant(cn));
  EXPECT_EQ(rs->Fields()[0].Type(), adInteger);
  EXPECT_EQ(rs->Fields()[1].Type(), adBigInt);
  EXPECT_EQ(rs->Fields()[2].Type(), adDouble);
  EXPECT_EQ(rs->Fields()[3].Type(), adDouble);
  EXPECT_EQ(rs->Fields()[4].Type(), adVarWChar);
  rs->MoveLast();
  EXPECT_EQ(rs->Fields()[0].Value(), Variant::Long(40000));
  EXPECT_EQ(rs->Fields()[1].Value(), Variant::BigInt(3000000000));
  EXPECT_EQ(rs->Fields()[2].Value(), Variant::Double(2.5));
  EXPECT_EQ(rs->Fields()[4].Value(), Variant("text"));

  const std::pair<std::string_view, std::string_view> failures[] = {
      {"SELECT * FROM bad", "Row 2 of table 'bad': the value 'someday' of column 'Day' cannot be read as DateTime."},
      {"SELECT * FROM badnumber", "Row 2 of table 'badnumber': the value 'x1' of column 'ID' cannot be read as Long."},
      {"SELECT * FROM badflag", "Row 1 of table 'badflag': the value 'perhaps' of column 'Flag' cannot be read as Bit."},
  };
  for (const auto& [sql, description] : failures) {
    const Error e = ErrorOf([&] {
      Ref<Recordset> r = Recordset::Create();
      r->Open(Variant(std::string(sql)), Variant(cn));
    });
    EXPECT_EQ(e.Number(), hr::kFileError);
    EXPECT_EQ(e.Source(), kDriverSource);
    EXPECT_EQ(e.Description(), description);
  }
  const Error missing = ErrorOf([&] {
    Ref<Recordset> r = Recordset::Create();
    r->Open(Variant("SELECT * FROM Customers"), Variant(cn));
  });
  EXPECT_EQ(missing.Number(), hr::kTableNotFound);
}

TEST_F(DatabaseProviderTest, TheFileIsOpenedReadOnlyAndLeftUnchanged) {
  const std::string before = fs::ReadFile(folder_.PathOf("NWIND.mdb"));
  {
    Ref<Connection> cn = Open();
    Ref<Recordset> rs = Recordset::Create();
    rs->Open(Variant("SELECT * FROM ORDERS"), Variant(cn));
    cn->Close();
  }
  EXPECT_EQ(fs::ReadFile(folder_.PathOf("NWIND.mdb")), before);
  // The session cannot write to the attached file even if asked directly.
  SqliteHandle db = OpenSessionDatabase();
  DatabaseFileCatalog catalog(db.get(), folder_.PathOf("NWIND.mdb"));
  EXPECT_NE(sqlite3_exec(db.get(), "DELETE FROM db.ORDERS", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(fs::ReadFile(folder_.PathOf("NWIND.mdb")), before);
}

}  // namespace
}  // namespace vendrel::driver

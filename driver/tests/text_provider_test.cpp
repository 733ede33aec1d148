// The text folder providers, reached through Connection and Recordset as the
// engine and the demo reach them.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/errors.h"
#include "table_fixtures.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel::driver {
namespace {

using testing::ErrorOf;
using testing::FixtureFolder;
using testing::RowTexts;

class TextProviderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterProviders(); }

  Ref<Connection> Open(const std::string& connectionString, int cursorLocation = adUseClient) {
    Ref<Connection> cn = Connection::Create();
    cn->SetConnectionString(connectionString);
    cn->SetCursorLocation(cursorLocation);
    cn->Open();
    return cn;
  }

  static Ref<Recordset> Query(const Ref<Connection>& cn, const std::string& sql) {
    Ref<Recordset> rs = Recordset::Create();
    rs->Open(Variant(sql), Variant(cn), adOpenStatic, adLockReadOnly, adCmdText);
    return rs;
  }

  FixtureFolder folder_;
};

void WriteEngineFiles(const FixtureFolder& folder) {
  folder.Write("schema.ini", testing::kEngineSchema);
  folder.Write("TEMP4711.txt", testing::kEngineData);
}

TEST_F(TextProviderTest, EngineFolderGivesTypedFieldsAndValues) {
  WriteEngineFiles(folder_);
  Ref<Recordset> rs = Query(Open(folder_.TextConnectionString()), "SELECT * FROM TEMP4711.txt");
  ASSERT_EQ(rs->Fields().Count(), 7);
  struct Expected {
    std::string name;
    int type;
    long size;
  };
  const Expected fields[] = {{"OrderID", adInteger, 4},     {"PRODUCT", adVarWChar, 50},
                             {"Unit Price", adCurrency, 8}, {"Added", adDate, 8},
                             {"Notes", adLongVarWChar, 536870910}, {"Paid", adBoolean, 2},
                             {"Weight", adDouble, 8}};
  for (size_t i = 0; i < 7; ++i) {
    const Field& f = rs->Fields()[i];
    EXPECT_EQ(f.Name(), fields[i].name);
    EXPECT_EQ(f.Type(), fields[i].type) << fields[i].name;
    EXPECT_EQ(f.DefinedSize(), fields[i].size) << fields[i].name;
    EXPECT_TRUE(f.Info().MayBeNull());
  }
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(rs->Fields()[0].Value(), Variant::Long(10248));
  EXPECT_EQ(rs->Fields()[1].Value(), Variant("AlloyWheels"));
  EXPECT_EQ(rs->Fields()[2].Value(), Variant(Currency{145000}));
  EXPECT_EQ(rs->Fields()[3].Value(), Variant(*MakeDate(2003, 1, 2)));
  EXPECT_EQ(rs->Fields()[4].Value(), Variant("first\nsecond\rthird"));
  EXPECT_EQ(rs->Fields()[5].Value(), Variant::Boolean(true));
  EXPECT_EQ(rs->Fields()[6].Value(), Variant::Double(0.1));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields()[0].Value(), Variant::Long(70000));
  EXPECT_TRUE(rs->Fields()[1].Value().IsNull());
  EXPECT_EQ(rs->Fields()[2].Value(), Variant(Currency{INT64_MAX}));
  EXPECT_EQ(rs->Fields()[3].Value(), Variant(*MakeDate(2003, 1, 3, 13, 4, 5)));
  EXPECT_TRUE(rs->Fields()[4].Value().IsNull());
  EXPECT_EQ(rs->Fields()[5].Value(), Variant::Boolean(false));
  EXPECT_EQ(rs->Fields()[6].Value(), Variant::Double(-1.5E-07));
  rs->MoveNext();
  for (size_t i = 0; i < 7; ++i) EXPECT_TRUE(rs->Fields()[i].Value().IsNull());
}

TEST_F(TextProviderTest, TableNamesMatchFilesWithoutCaseAndWithHashForDot) {
  WriteEngineFiles(folder_);
  Ref<Connection> cn = Open(folder_.TextConnectionString());
  for (const char* sql : {"SELECT * FROM TEMP4711.txt", "SELECT * FROM [TEMP4711.txt]", "SELECT * FROM [temp4711#TXT]",
                          "SELECT * FROM temp4711.TXT"})
    EXPECT_EQ(Query(cn, sql)->RecordCount(), 3) << sql;
  const Error e = ErrorOf([&] { Query(cn, "SELECT * FROM TEMP4712.txt"); });
  EXPECT_EQ(e.Number(), hr::kTableNotFound);
  EXPECT_EQ(e.Source(), kDriverSource);
  // schema.ini is the folder's description, not a table.
  EXPECT_EQ(ErrorOf([&] { Query(cn, "SELECT * FROM schema.ini"); }).Number(), hr::kTableNotFound);
}

TEST_F(TextProviderTest, ConnectionStringKeysIgnoreCaseAndDefaultsApplyToFilesWithoutSection) {
  folder_.Write("plain.csv", "Code,Amount,When\r\n007,12.5,1/2/2003\r\n010,3,2003-02-01 10:00:00\r\n");
  folder_.Write("nohdr.txt", "a;1\nb;2\n");
  Ref<Connection> cn =
      Open("provider=microsoft.jet.oledb.4.0;DATA SOURCE='" + folder_.Path() + "';extended properties=\"TEXT;hdr=yes;fmt=Delimited;\"");
  Ref<Recordset> rs = Query(cn, "SELECT * FROM plain.csv");
  EXPECT_EQ(rs->Fields()[0].Type(), adVarWChar) << "codes keep their leading zeros";
  EXPECT_EQ(rs->Fields()[1].Type(), adDouble);
  EXPECT_EQ(rs->Fields()[2].Type(), adDate);
  EXPECT_EQ(RowTexts(rs), (std::vector<std::vector<std::string>>{{"007", "12.5", "1/2/2003"}, {"010", "3", "2/1/2003 10:00:00 AM"}}));

  Ref<Connection> noHeader = Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder_.Path() +
                                  ";Extended Properties=\"text;HDR=No;FMT=Delimited(;)\"");
  rs = Query(noHeader, "SELECT * FROM nohdr.txt");
  EXPECT_EQ(rs->Fields()[0].Name(), "F1");
  EXPECT_EQ(rs->Fields()[1].Name(), "F2");
  EXPECT_EQ(RowTexts(rs), (std::vector<std::vector<std::string>>{{"a", "1"}, {"b", "2"}}));
}

TEST_F(TextProviderTest, OdbcTextDriverReadsCommaSeparatedFilesOfItsExtensions) {
  folder_.Write("OrdersPaymentStatus.txt", "OrderID,PaymentStatus\r\n10248,Paid\r\n10249,\"Due, late\"\r\n");
  folder_.Write("hidden.dat", "A\r\n1\r\n");
  folder_.Write("tabbed.tab", "A\tB\r\n1\t2\r\n");
  folder_.Write("schema.ini", "[tabbed.tab]\r\nFormat=TabDelimited\r\nColNameHeader=True\r\n");
  Ref<Connection> cn = Open(folder_.OdbcConnectionString());
  Ref<Recordset> rs = Query(cn, "SELECT * FROM OrdersPaymentStatus.txt");
  EXPECT_EQ(rs->Fields()[0].Name(), "OrderID");
  EXPECT_EQ(rs->Fields()[0].Type(), adInteger);
  EXPECT_EQ(rs->Fields()[1].Name(), "PaymentStatus");
  EXPECT_EQ(RowTexts(rs), (std::vector<std::vector<std::string>>{{"10248", "Paid"}, {"10249", "Due, late"}}));
  EXPECT_EQ(RowTexts(Query(cn, "SELECT * FROM tabbed.tab")), (std::vector<std::vector<std::string>>{{"1", "2"}}));
  EXPECT_EQ(ErrorOf([&] { Query(cn, "SELECT * FROM hidden.dat"); }).Number(), hr::kTableNotFound)
      << "files of other extensions are no tables";
}

TEST_F(TextProviderTest, ServerCursorIsForwardOnlyAndClientRowsOutliveTheConnection) {
  WriteEngineFiles(folder_);
  Ref<Connection> server = Open(folder_.TextConnectionString(), adUseServer);
  Ref<Recordset> forward = Recordset::Create();
  forward->Open(Variant("SELECT * FROM TEMP4711.txt"), Variant(server));
  EXPECT_EQ(forward->CursorType(), adOpenForwardOnly);
  EXPECT_EQ(forward->RecordCount(), -1);

  Ref<Connection> cn = Open(folder_.TextConnectionString());
  Ref<Recordset> rs = Recordset::Create();
  rs->Open(Variant("SELECT * FROM TEMP4711.txt"), Variant(cn), adOpenDynamic, adLockOptimistic, adCmdText);
  EXPECT_EQ(rs->CursorType(), adOpenStatic);
  EXPECT_EQ(rs->LockType(), adLockOptimistic);
  rs->SetActiveConnection(nullptr);
  cn->Close();
  EXPECT_EQ(rs->RecordCount(), 3);
  rs->MoveLast();
  rs->MovePrevious();
  EXPECT_EQ(rs->Fields()[0].Value(), Variant::Long(70000));
}

// A statement's sorts keep a share of its data in memory and spill sorted
// runs beyond it, so a small table's sort and grouping already go through
// several runs merged: they must still give every row, in order.
TEST_F(TextProviderTest, SortsAndGroupsLargerThanTheirShareOfMemoryStayWholeAndInOrder) {
  constexpr int kRows = 30000;
  std::string data = "N\tName\r\n";
  std::map<std::string, int> counts;
  for (int i = 0; i < kRows; ++i) {
    const int n = static_cast<int>(static_cast<long long>(i) * 7919 % kRows);
    std::string name;
    for (int k = n % 1000; name.size() < 3 || k > 0; k /= 26) name += static_cast<char>('a' + k % 26);
    ++counts[name];
    data += std::to_string(n) + "\t" + name + "\r\n";
  }
  folder_.Write("schema.ini", "[big.txt]\r\nColNameHeader = True\r\nFormat = TABDelimited\r\nCol1=N Integer\r\n"
                              "Col2=Name Char Width 20\r\n");
  folder_.Write("big.txt", data);
  const Ref<Connection> cn = Open(folder_.TextConnectionString());

  std::vector<std::vector<std::string>> descending;
  for (int n = kRows - 1; n >= 0; --n) descending.push_back({std::to_string(n)});
  EXPECT_EQ(RowTexts(Query(cn, "SELECT N FROM big.txt ORDER BY N DESC")), descending);

  std::vector<std::vector<std::string>> groups;
  for (const auto& [name, count] : counts) groups.push_back({name, std::to_string(count)});
  EXPECT_EQ(RowTexts(Query(cn, "SELECT Name, COUNT(*) FROM big.txt GROUP BY Name ORDER BY Name")), groups);
}

TEST_F(TextProviderTest, TablesAreReadWhenNamedAndAgainWhenTheirFilesChange) {
  folder_.Write("good.txt", "N\r\n1\r\n");
  folder_.Write("schema.ini", "[bad.txt]\r\nCol1=N Integer\r\n");
  folder_.Write("bad.txt", "N\r\nnot a number\r\n");
  Ref<Connection> cn = Open(folder_.TextConnectionString());
  // A broken file that no statement names does not disturb the others.
  EXPECT_EQ(RowTexts(Query(cn, "SELECT * FROM good.txt")), (std::vector<std::vector<std::string>>{{"1"}}));
  EXPECT_EQ(ErrorOf([&] { Query(cn, "SELECT * FROM bad.txt"); }).Number(), hr::kFileError);
  // The connection stays usable after a failed read, and sees the mended file.
  folder_.Write("bad.txt", "N\r\n2\r\n3\r\n");
  EXPECT_EQ(RowTexts(Query(cn, "SELECT * FROM bad.txt")), (std::vector<std::vector<std::string>>{{"2"}, {"3"}}));
  folder_.Write("good.txt", "N\r\n1\r\n4\r\n");
  EXPECT_EQ(Query(cn, "SELECT * FROM good.txt")->RecordCount(), 2);
  // A changed schema.ini is read again too.
  folder_.Write("schema.ini", "[good.txt]\r\nColNameHeader=True\r\nCol1=N Double\r\n");
  EXPECT_EQ(Query(cn, "SELECT * FROM good.txt")->Fields()[0].Type(), adDouble);
}

TEST_F(TextProviderTest, RuntimeErrorsOfTheStatementBecomeDriverErrors) {
  WriteEngineFiles(folder_);
  Ref<Connection> cn = Open(folder_.TextConnectionString());
  const Error overflow = ErrorOf([&] { Query(cn, "SELECT CInt(OrderID) FROM TEMP4711.txt"); });
  EXPECT_EQ(overflow.Source(), kDriverSource);
  EXPECT_EQ(overflow.Description(), "Overflow");
  const Error zero = ErrorOf([&] { Query(cn, "SELECT OrderID \\ 0 FROM TEMP4711.txt"); });
  EXPECT_EQ(zero.Source(), kDriverSource);
  EXPECT_EQ(zero.Description(), "Division by zero");
  EXPECT_EQ(Query(cn, "SELECT * FROM TEMP4711.txt")->RecordCount(), 3) << "the connection stays usable";
}

TEST_F(TextProviderTest, AnEmptyFileIsATableWithoutRows) {
  folder_.Write("empty.txt", "");
  Ref<Recordset> rs = Query(Open(folder_.TextConnectionString()), "SELECT * FROM empty.txt");
  ASSERT_EQ(rs->Fields().Count(), 1);
  EXPECT_EQ(rs->Fields()[0].Name(), "F1");
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_TRUE(rs->Eof());
}

TEST_F(TextProviderTest, AFileWiderThanATableIsRefusedNamingIt) {
  std::string header = "C1";
  for (int i = 2; i <= 2001; ++i) header += ",C" + std::to_string(i);
  folder_.Write("wide.txt", header + "\r\n");
  Ref<Connection> cn = Open(folder_.TextConnectionString());
  const Error e = ErrorOf([&] { Query(cn, "SELECT * FROM wide.txt"); });
  EXPECT_EQ(e.Number(), hr::kFileError);
  EXPECT_EQ(e.Description(), "'wide.txt' has 2001 columns; a table holds at most 2000.");
}

TEST_F(TextProviderTest, OpenFailuresNameTheFolderOrFile) {
  const std::string missing = folder_.PathOf("nowhere");
  struct Case {
    std::string connectionString;
    long number;
    std::string source;
    std::string description;
  };
  folder_.Write("notadb.mdb", "this is not a database file, only text that is long enough to be read as one");
  const Case cases[] = {
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + missing + ";Extended Properties=\"text;HDR=Yes;FMT=Delimited;\";",
       hr::kFileError, std::string(kDriverSource),
       "'" + missing + "' is not a valid path.  Make sure that the path name is spelled correctly and that you are "
       "connected to the server on which the file resides."},
      {"Driver={Microsoft Text Driver (*.txt; *.csv)};Dbq=" + missing + ";Extensions=asc,csv,tab,txt;HDR=YES",
       hr::kFileError, std::string(kDriverSource),
       "'" + missing + "' is not a valid path.  Make sure that the path name is spelled correctly and that you are "
       "connected to the server on which the file resides."},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" + missing + "/NWIND.mdb",
       hr::kFileError, std::string(kDriverSource), "Could not find file '" + missing + "/NWIND.mdb'."},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder_.PathOf("notadb.mdb"), hr::kFileError,
       std::string(kDriverSource), "Unrecognized database format '" + folder_.PathOf("notadb.mdb") + "'."},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder_.Path() + ";Extended Properties=\"Excel 8.0\"",
       hr::kFileError, std::string(kDriverSource), "Could not find installable ISAM."},
      {"Provider=SQLOLEDB;Data Source=server", err::kProviderNotFound, std::string(source::kConnection),
       std::string(PlatformErrorText(err::kProviderNotFound))},
  };
  for (const Case& c : cases) {
    const Error e = ErrorOf([&] { Open(c.connectionString); });
    EXPECT_EQ(e.Number(), c.number) << c.connectionString;
    EXPECT_EQ(e.Source(), c.source) << c.connectionString;
    EXPECT_EQ(e.Description(), c.description);
  }
}

TEST_F(TextProviderTest, ReadFaultsBecomeDriverErrorsNamingTheFile) {
  WriteEngineFiles(folder_);
  Ref<Connection> cn = Open(folder_.TextConnectionString());
  // The k-th file operation of the statement fails: each one ends in a driver
  // error that names the file (or, for the folder's listing, the folder).
  for (long k = 1;; ++k) {
    fs::faults::Arm(k);
    const Error e = ErrorOf([&] { Query(cn, "SELECT * FROM TEMP4711.txt"); });
    const bool fired = fs::faults::Fired();
    const fs::faults::Operation failed = fs::faults::FiredOperation();
    fs::faults::Disarm();
    if (!fired) {
      EXPECT_EQ(e.Number(), 0);
      break;
    }
    EXPECT_EQ(e.Source(), kDriverSource) << k;
    const std::string named =
        failed.name == "ListFolder" ? failed.path : std::filesystem::path(failed.path).filename().string();
    EXPECT_NE(e.Description().find("'" + named + "'"), std::string::npos) << failed.name << ": " << e.Description();
  }
  EXPECT_EQ(Query(cn, "SELECT * FROM TEMP4711.txt")->RecordCount(), 3);
}

}  // namespace
}  // namespace vendrel::driver

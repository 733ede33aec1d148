// A whole text table read straight into a result (adCmdTableDirect) gives
// what a SELECT of the whole table gives: the same fields, types, values and
// errors, for guessed and declared columns alike.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "table_fixtures.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/driver/driver.h"

namespace vendrel::driver {
namespace {

using testing::FixtureFolder;

struct Outcome {
  Ref<Recordset> rows;
  std::string error;  // the description, when it failed
};

Outcome Read(const std::string& folder, const std::string& properties, const std::string& source, int options) {
  Outcome out;
  try {
    Ref<Connection> cn = Connection::Create();
    cn->SetCursorLocation(adUseClient);
    cn->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder + ";Extended Properties=\"text;" + properties +
             "\"");
    out.rows = Recordset::Create();
    out.rows->Open(Variant(source), Variant(cn), adOpenStatic, adLockReadOnly, options);
  } catch (const Error& e) {
    out.rows.reset();
    out.error = e.Description() + " (" + std::to_string(e.Number()) + ", " + e.Source() + ")";
  }
  return out;
}

// Equal values of one type; a NaN equals a NaN, and -0 differs from 0.
bool SameValue(const Variant& a, const Variant& b) {
  if (a.Type() != b.Type()) return false;
  if (a.Type() == VarType::Double || a.Type() == VarType::Single) {
    const double x = a.Type() == VarType::Double ? a.AsDouble() : a.AsSingle();
    const double y = b.Type() == VarType::Double ? b.AsDouble() : b.AsSingle();
    if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
    return x == y && std::signbit(x) == std::signbit(y);
  }
  return a == b;
}

void ExpectSameRows(const Outcome& direct, const Outcome& selected) {
  ASSERT_EQ(selected.error, direct.error);
  if (!selected.rows) return;
  const RowStore& a = *direct.rows->Rows();
  const RowStore& b = *selected.rows->Rows();
  ASSERT_EQ(b.FieldCount(), a.FieldCount());
  for (size_t c = 0; c < a.FieldCount(); ++c) {
    SCOPED_TRACE(b.Fields()[c].name);
    EXPECT_EQ(b.Fields()[c].name, a.Fields()[c].name);
    EXPECT_EQ(b.Fields()[c].type, a.Fields()[c].type);
    EXPECT_EQ(b.Fields()[c].definedSize, a.Fields()[c].definedSize);
    EXPECT_EQ(b.Fields()[c].attributes, a.Fields()[c].attributes);
    EXPECT_EQ(b.Fields()[c].precision, a.Fields()[c].precision);
  }
  ASSERT_EQ(b.RowCount(), a.RowCount());
  for (size_t r = 0; r < a.RowCount(); ++r)
    for (size_t c = 0; c < a.FieldCount(); ++c)
      EXPECT_TRUE(SameValue(a.At(r, c), b.At(r, c))) << "row " << r << ", column " << b.Fields()[c].name;
}

struct FileCase {
  const char* name;
  std::string properties;  // of the connection
  std::string data;
  std::string schema;  // schema.ini, or none
};

TEST(TextDirectReadTest, GivesTheFieldsValuesAndErrorsOfASelectOfTheWholeTable) {
  RegisterProviders();
  std::string longText(300, 'x');
  const FileCase cases[] = {
      {"guessed", "HDR=Yes;FMT=CSVDelimited;",
       "Id,Big,Amount,Day,Paid,Code,Mixed,Note,Blank\n1,7,2.5,2003-01-02,True,007,12,\"a, b\",\n"
       "2,,-0.125,2003-01-02 13:04:05,False,010,x,,  \n3,12345678901,1000,,True,,4,,\n",
       ""},
      {"quoted", "HDR=Yes;FMT=CSVDelimited;",
       "A,B,C\n\"x \"\"y\"\"\",\"two\nlines\",1\n  ,\"\",\"\"\n\"z\"tail,w,2\n", ""},
      {"long text", "HDR=Yes;FMT=CSVDelimited;", "T\nshort\n" + longText + "\n", ""},
      {"no header", "HDR=No;FMT=CSVDelimited;", "1,2\n3,4,5\n,,,True\n", ""},
      {"tab crlf", "HDR=Yes;FMT=TabDelimited;", "A\tB\r\n1\tone\r\n2\ttwo\nstill two\r\n", ""},
      {"empty", "HDR=Yes;FMT=CSVDelimited;", "", ""},
      {"header only", "HDR=Yes;FMT=CSVDelimited;", "A,B\n", ""},
      {"declared", "HDR=Yes;FMT=CSVDelimited;",
       "L,W,C,S,B,Sh,D,T,M,Y,G\n1,5,1.5,0.1,7,3,02.01.2003,abc,memo,Yes,x\n"
       "3000000000,2.5,$2.00,1e39,255,-4,31.12.1999,,,No,y\n9,6,1e30,0.1,0,5,,d,,,\n",
       "[declared]\nColNameHeader=True\nFormat=CSVDelimited\nDateTimeFormat=dd.mm.yyyy\nCol1=L Long\nCol2=W Long\n"
       "Col3=C Currency\nCol4=S Single\nCol5=B Byte\nCol6=Sh Short\nCol7=D DateTime\nCol8=T Text Width 5\n"
       "Col9=M Memo\nCol10=Y Bit\nCol11=G OLE\n"},
      {"day first", "HDR=Yes;FMT=CSVDelimited;", "D,E\n13/01/2024,01/02/2024\n02/03/2024,13/13/2024\n", ""},
      {"exact values", "HDR=Yes;FMT=TabDelimited;",
       "B\tE\tS\tR\tN\tT\r\n0x4142\t0x\t3.4028235E+38\t-0\t-0\t12/30/1899 01:00:00.5\r\n"
       "00FF\t\t1e39\tNaN\t7\t1/2/2003 13:04:05\r\n\t0x00\t0.1\t-Infinity\t1.5\t\r\n",
       "[exact values]\nColNameHeader=True\nFormat=TabDelimited\nCol1=B OLE\nCol2=E OLE\nCol3=S Single\n"
       "Col4=R Double\nCol5=N Long\nCol6=T DateTime\n"},
      {"code page", "HDR=Yes;FMT=CSVDelimited;", "N\ncaf\xE9\n",
       "[code page]\nColNameHeader=True\nFormat=CSVDelimited\nCharacterSet=1252\n"},
      {"unterminated", "HDR=Yes;FMT=CSVDelimited;", "A,B\n1,\"open\n2,3\n", ""},
      {"too many values", "HDR=Yes;FMT=CSVDelimited;", "A,B\n1,2\n3,4,5\n", ""},
      {"bad declared", "HDR=Yes;FMT=CSVDelimited;", "A\n1\nx\n",
       "[bad declared]\nColNameHeader=True\nFormat=CSVDelimited\nCol1=A Long\n"},
      {"fixed length", "HDR=Yes;FMT=CSVDelimited;", "A\n1\n", "[fixed length]\nFormat=FixedLength\nCol1=A Long Width 1\n"},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name);
    FixtureFolder folder;
    folder.Write(c.name, c.data);
    if (!c.schema.empty()) folder.Write("schema.ini", c.schema);
    const Outcome direct = Read(folder.Path(), c.properties, c.name, adCmdTableDirect);
    const Outcome selected = Read(folder.Path(), c.properties, std::string("SELECT * FROM [") + c.name + "]", adCmdText);
    ExpectSameRows(direct, selected);
  }
  // A table that is not there: the statement's error.
  FixtureFolder folder;
  const Outcome direct = Read(folder.Path(), "HDR=Yes;", "nothing.csv", adCmdTableDirect);
  EXPECT_EQ(Read(folder.Path(), "HDR=Yes;", "SELECT * FROM [nothing.csv]", adCmdText).error, direct.error);
  EXPECT_NE("", direct.error);
}

TEST(TextDirectReadTest, AnObserverOfThisThreadHearsBothPassesAndNothingOnceRemoved) {
  RegisterProviders();
  FixtureFolder folder;
  std::string data = "N,T\n";
  for (int i = 0; i < 20000; ++i) data += std::to_string(i) + ",row " + std::to_string(i) + "\n";
  folder.Write("many.csv", data);
  std::vector<TextReadProgress> heard;
  ObserveTextReads([&](const TextReadProgress& p) { heard.push_back(p); });
  const Outcome read = Read(folder.Path(), "HDR=Yes;FMT=CSVDelimited;", "many.csv", adCmdTableDirect);
  ObserveTextReads(nullptr);
  ASSERT_EQ("", read.error);
  EXPECT_EQ(20000u, read.rows->Rows()->RowCount());
  ASSERT_GE(heard.size(), 2u);
  EXPECT_EQ(1, heard.front().pass);
  EXPECT_EQ(2, heard.back().pass);
  for (size_t i = 1; i < heard.size(); ++i) {
    EXPECT_LE(heard[i].bytesRead, heard[i].totalBytes);
    if (heard[i].pass == heard[i - 1].pass) {
      EXPECT_GT(heard[i].rows, heard[i - 1].rows);
    }
  }
  EXPECT_EQ(data.size(), heard.back().totalBytes);
  const size_t before = heard.size();
  Read(folder.Path(), "HDR=Yes;FMT=CSVDelimited;", "many.csv", adCmdTableDirect);
  EXPECT_EQ(before, heard.size());
}

// A file shortened to nothing or rewritten shorter while it loads, in either
// pass: the rows it had when the load began, never a signal (a mapping of the
// file faulted on the pages it lost).
TEST(TextDirectReadTest, AFileShortenedWhileItLoadsGivesTheRowsItHadWhenTheLoadBegan) {
  RegisterProviders();
  std::string data = "N,T\n";
  for (int i = 0; i < 40000; ++i) data += std::to_string(i) + ",row " + std::to_string(i) + "\n";
  for (int pass : {1, 2}) {
    for (const std::string shorter : {"", "N,T\n1,x\n"}) {
      SCOPED_TRACE("pass " + std::to_string(pass) + ", shortened to " + std::to_string(shorter.size()) + " bytes");
      FixtureFolder folder;
      folder.Write("many.csv", data);
      bool shortened = false;
      ObserveTextReads([&](const TextReadProgress& p) {
        if (p.pass != pass || shortened) return;
        shortened = true;
        ASSERT_EQ(::truncate(folder.PathOf("many.csv").c_str(), 0), 0);
        fs::OutputFile(folder.PathOf("many.csv"), fs::OutputFile::Mode::Append).Write(shorter);
      });
      const Outcome read = Read(folder.Path(), "HDR=Yes;FMT=CSVDelimited;", "many.csv", adCmdTableDirect);
      ObserveTextReads(nullptr);
      EXPECT_TRUE(shortened);
      ASSERT_EQ("", read.error);
      const RowStore& rows = *read.rows->Rows();
      ASSERT_EQ(40000u, rows.RowCount());
      EXPECT_EQ(Variant::Long(39999), rows.At(39999, 0));
      EXPECT_EQ(Variant("row 39999"), rows.At(39999, 1));
    }
  }
}

// The file system finds a file changed while it was read: the driver's error names it.
TEST(TextDirectReadTest, AFileThatChangedWhileItWasReadIsAnErrorNamingIt) {
  RegisterProviders();
  FixtureFolder folder;
  folder.Write("many.csv", "N,T\n1,x\n");
  for (int options : {adCmdTableDirect, adCmdText}) {
    const std::string source = options == adCmdText ? "SELECT * FROM [many.csv]" : "many.csv";
    // Which operation reads the file, then that one failing.
    fs::faults::Arm(1000000);
    Read(folder.Path(), "HDR=Yes;FMT=CSVDelimited;", source, options);
    const std::vector<fs::faults::Operation> operations = fs::faults::OperationsRunSinceArm();
    fs::faults::Disarm();
    const auto reading = std::find_if(operations.begin(), operations.end(), [&](const fs::faults::Operation& o) {
      return o.name == "ReadFile" && o.path == folder.PathOf("many.csv");
    });
    ASSERT_NE(reading, operations.end());
    fs::faults::Arm(reading - operations.begin() + 1, err::kFileChanged);
    const Outcome read = Read(folder.Path(), "HDR=Yes;FMT=CSVDelimited;", source, options);
    fs::faults::Disarm();
    EXPECT_EQ("The file 'many.csv' changed while it was read. (-2147467259, " + std::string(kDriverSource) + ")",
              read.error);
  }
}

// One line of 32 MB, a value line and a header line without a line end: each
// loads in well under a second, as no step of the reading looks at a line
// more than a few times; a step quadratic in the line's length would not
// end for days. No value is guessed as a date or a number from a text this
// long.
TEST(TextDirectReadTest, ALineOfManyMegabytesLoadsInTimeLinearInItsLength) {
  RegisterProviders();
  constexpr size_t kLength = 32 * 1024 * 1024;
  FixtureFolder folder;
  std::string line(kLength, 'x');
  line[kLength / 2] = ' ';  // a text with a space, as a date's words have
  folder.Write("value.csv", "A\n" + line + "\n");
  folder.Write("header.csv", line);
  for (int options : {adCmdTableDirect, adCmdText}) {
    const Outcome value = Read(folder.Path(), "HDR=Yes;FMT=CSVDelimited;",
                               options == adCmdText ? "SELECT * FROM [value.csv]" : "value.csv", options);
    ASSERT_EQ("", value.error);
    ASSERT_EQ(1u, value.rows->Rows()->RowCount());
    EXPECT_EQ(adLongVarWChar, value.rows->Rows()->Fields()[0].type);
    EXPECT_TRUE(value.rows->Rows()->At(0, 0) == Variant(line));
  }
  const Outcome header = Read(folder.Path(), "HDR=Yes;FMT=CSVDelimited;", "header.csv", adCmdTableDirect);
  ASSERT_EQ("", header.error);
  EXPECT_EQ(0u, header.rows->Rows()->RowCount());
  EXPECT_EQ(line, header.rows->Rows()->Fields()[0].name);
}

}  // namespace
}  // namespace vendrel::driver

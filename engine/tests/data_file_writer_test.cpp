#include "data_file_writer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine_test_support.h"
#include "vendrel/dataaccess/convert.h"

namespace vendrel::engine {
namespace {

using testing::FieldSpec;
using testing::MakeRecordset;

Variant DateOf(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) { return Variant(*MakeDate(y, mo, d, h, mi, s)); }
Variant DateMs(int y, int mo, int d, int h, int mi, int s, int ms) {
  return Variant::Date(static_cast<double>(DaysFromCivil(y, mo, d)) + (h * 3600 + mi * 60 + s + ms / 1000.0) / 86400);
}

class DataFileTest : public testing::TempRootTest {
 protected:
  std::string Written(Recordset& rs, const DataFileStyle& style = {}) {
    const std::string path = fs::JoinPath(Root(), "data.txt");
    fs::OutputFile file(path, fs::OutputFile::Mode::Create);
    WriteDataFile(rs, file, style);
    file.Close();
    return testing::ReadAll(path);
  }
};

TEST_F(DataFileTest, HeaderRowsTabsAndLineEndsAsTheDriverReadsThem) {
  // A text with a TAB is quoted, so that it comes back with its TAB.
  auto rs = MakeRecordset({{"OrderID", adInteger, 0, adFldMayBeNull},
                           {"rs1.PRODUCT", adVarWChar, 50, adFldMayBeNull},
                           {"Added", adDate, 0, adFldMayBeNull}},
                          {{Variant::Long(1), Variant("Alloy\tWheels"), DateOf(2003, 1, 2)},
                           {Variant::Long(2), Variant::Null(), DateOf(2003, 1, 3, 13, 4, 5)}});
  EXPECT_EQ(Written(*rs),
            "OrderID\tPRODUCT\tAdded\r\n"
            "1\t\"Alloy\tWheels\"\t1/2/2003 00:00:00\r\n"
            "2\t\t1/3/2003 13:04:05\r\n");
}

TEST_F(DataFileTest, HeaderNamesLoseTheirQualifierInInputFilesOnly) {
  auto rs = MakeRecordset({{"rs1.SUPPLIER"}, {"x. Unit Price "}, {"a.b.c"}, {"Unit Price"}, {".lead"}});
  // "x. Unit Price " keeps its whole name: the rule would make it the name of the fourth field.
  EXPECT_EQ(Written(*rs), "SUPPLIER\tx. Unit Price \tb.c\tUnit Price\tlead\r\n");
  EXPECT_EQ(Written(*rs, {true, {}}), "rs1.SUPPLIER\tx. Unit Price \ta.b.c\tUnit Price\t.lead\r\n");
}

TEST_F(DataFileTest, HeaderNamesThatWouldSplitTheLineOrOpenAQuoteAreQuotedAndLoseLineBreaks) {
  auto rs = MakeRecordset({{"a\tb"}, {"c\r\nd"}, {"\"q"}, {"say \"hi\""}});
  EXPECT_EQ(Written(*rs), "\"a\tb\"\tcd\t\"\"\"q\"\tsay \"hi\"\r\n");
}

TEST_F(DataFileTest, EveryRowIsWrittenAndTheRecordsetIsLeftOnItsFirstRow) {
  auto rs = MakeRecordset({{"A"}}, {{Variant("x")}, {Variant("y")}, {Variant("z")}});
  rs->MoveNext();
  rs->MoveNext();
  EXPECT_EQ(Written(*rs), "A\r\nx\r\ny\r\nz\r\n");
  EXPECT_EQ(rs->AbsolutePosition(), 1);
}

TEST_F(DataFileTest, ARowStillBeingAddedIsWritten) {
  auto rs = MakeRecordset({{"A"}}, {{Variant("x")}, {Variant("pending")}}, testing::LastRow::Pending);
  EXPECT_EQ(Written(*rs), "A\r\nx\r\npending\r\n");
}

TEST_F(DataFileTest, RecordsetsWithoutRowsOrWithoutFields) {
  auto noRows = MakeRecordset({{"A"}, {"B"}});
  EXPECT_EQ(Written(*noRows), "A\tB\r\n");
  EXPECT_EQ(noRows->RecordCount(), 0);

  auto noFields = MakeRecordset({});
  noFields->AddNew();
  noFields->AddNew();
  noFields->Update();
  EXPECT_EQ(Written(*noFields), "\r\n\r\n\r\n");

  auto nullsOnly = MakeRecordset({{"A"}, {"B"}, {"C"}}, {{Variant::Null(), Variant::Null(), Variant::Null()}});
  EXPECT_EQ(Written(*nullsOnly), "A\tB\tC\r\n\t\t\r\n");
}

TEST_F(DataFileTest, AClosedRecordsetRaisesThePlatformsClosedError) {
  Ref<Recordset> closed = Recordset::Create();
  closed->Fields().Append("A", adInteger);
  EXPECT_EQ(testing::CatchError([&] { Written(*closed); }).number, err::kObjectClosed);
}

TEST(DataFileValues, ADateNoTextCanShowIsRefusedNotWritten) {
  // A field refuses such a date; one that reaches a data file another way gives Overflow.
  for (double serial : {std::nan(""), HUGE_VAL, 2958466.5, -1e300})
    EXPECT_EQ(testing::CatchError([&] { CellText(Variant::Date(serial), adDate, {}); }).number, err::kOverflow);
}

struct CellCase {
  const char* what;
  Variant value;
  int type;
  DataFileStyle style;
  std::string text;
};

void PrintTo(const CellCase& c, std::ostream* os) { *os << c.what; }

class CellTextCases : public ::testing::TestWithParam<CellCase> {};

TEST_P(CellTextCases, Renders) {
  const CellCase& c = GetParam();
  EXPECT_EQ(CellText(c.value, c.type, c.style), c.text);
}

const DataFileStyle kInput{false, {}};
const DataFileStyle kKept{true, {}};

INSTANTIATE_TEST_SUITE_P(
    InputFiles, CellTextCases,
    ::testing::Values(
        CellCase{"tab and cr lf in quotes", Variant("a\tb\r\nc"), adVarChar, kInput, "\"a\tb\r\nc\""},
        CellCase{"lone lf and lone cr in quotes", Variant("a\nb\rc"), adVarWChar, kInput, "\"a\nb\rc\""},
        CellCase{"quotes doubled inside quotes", Variant("say \"hi\""), adChar, kInput, "\"say \"\"hi\"\"\""},
        CellCase{"text that looks quoted", Variant("\"a\""), adVarChar, kInput, "\"\"\"a\"\"\""},
        CellCase{"spaces as they are", Variant("  a  "), adVarChar, kInput, "  a  "},
        // Texts longer than eight bytes, with what needs quotes at each place of a word.
        CellCase{"tab as the ninth byte", Variant("abcdefgh\tij"), adVarChar, kInput, "\"abcdefgh\tij\""},
        CellCase{"quote after sixteen letters", Variant("abcdefghijklmnop\"q"), adVarChar, kInput,
                 "\"abcdefghijklmnop\"\"q\""},
        CellCase{"lf as the last of sixteen bytes", Variant("abcdefghijklmno\n"), adVarChar, kInput,
                 "\"abcdefghijklmno\n\""},
        CellCase{"quote as the last of eleven bytes", Variant("abcdefghij\""), adVarChar, kInput,
                 "\"abcdefghij\"\"\""},
        CellCase{"eleven letters as they are", Variant("abcdefghijk"), adVarChar, kInput, "abcdefghijk"},
        CellCase{"cr as the eighth byte", Variant("abcdefg\rhijklmnop"), adVarChar, kInput,
                 "\"abcdefg\rhijklmnop\""},
        CellCase{"long text with spaces and characters beyond ASCII", Variant("Ærø-Straße 12, Zürich #3!"), adVarWChar,
                 kInput, "Ærø-Straße 12, Zürich #3!"},
        CellCase{"quote replaced by the alt quote mark", Variant("say \"hi\""), adWChar, {false, "'"}, "say 'hi'"},
        CellCase{"alt quote mark holding a tab gives a quoted cell", Variant("a\"b"), adBSTR, {false, "\t"},
                 "\"a\tb\""},
        CellCase{"alt quote mark that is a quote gives a quoted cell", Variant("say \"hi\""), adVariant,
                 {false, "\""}, "\"say \"\"hi\"\"\""},
        CellCase{"empty text in quotes", Variant(""), adVarChar, kInput, "\"\""},
        CellCase{"bytes in hexadecimal", Variant::FromBytes({0x00, 0xFF, 0x41}), adLongVarBinary, kInput, "0x00FF41"},
        CellCase{"no bytes", Variant::FromBytes({}), adVarBinary, kInput, "0x"},
        CellCase{"null bytes are empty", Variant::Null(), adBinary, kInput, ""},
        CellCase{"minus zero keeps its sign", Variant::Double(-0.0), adDouble, kInput, "-0"},
        CellCase{"single minus zero keeps its sign", Variant::Single(-0.0f), adSingle, kInput, "-0"},
        CellCase{"nan", Variant::Double(std::nan("")), adDouble, kInput, "NaN"},
        CellCase{"minus infinity", Variant::Single(-HUGE_VALF), adSingle, kInput, "-Infinity"},
        CellCase{"date with half a second", Variant::Date(3600.5 / 86400), adDate, kInput, "12/30/1899 01:00:00.5"},
        CellCase{"date with a millisecond", DateMs(2003, 1, 2, 13, 4, 5, 1), adDate, kInput, "1/2/2003 13:04:05.001"},
        CellCase{"null is empty", Variant::Null(), adInteger, kInput, ""},
        CellCase{"date with time", DateOf(2003, 1, 2, 13, 4, 5), adDate, kInput, "1/2/2003 13:04:05"},
        CellCase{"date at midnight", DateOf(2003, 1, 2), adDBDate, kInput, "1/2/2003 00:00:00"},
        CellCase{"time without date", Variant::Date(0.5), adDBTime, kInput, "12/30/1899 12:00:00"},
        CellCase{"timestamp", DateOf(1999, 12, 31, 23, 59, 59), adDBTimeStamp, kInput, "12/31/1999 23:59:59"},
        CellCase{"file time", DateOf(2024, 2, 29, 1, 2, 3), adDBFileTime, kInput, "2/29/2024 01:02:03"},
        CellCase{"whole number", Variant::Long(-42), adInteger, kInput, "-42"},
        CellCase{"big whole number", Variant::BigInt(9007199254740993LL), adBigInt, kInput, "9007199254740993"},
        CellCase{"ordinary double", Variant::Double(3.5), adDouble, kInput, "3.5"},
        CellCase{"double beyond fifteen digits keeps every digit", Variant::Double(0.1 + 0.2), adDouble, kInput,
                 "0.30000000000000004"},
        CellCase{"single keeps every digit", Variant::Single(5592405.5f), adSingle, kInput, "5592405.5"},
        CellCase{"double held by a variant field", Variant::Double(1.0 / 3.0), adVariant, kInput,
                 "0.3333333333333333"},
        CellCase{"currency", Variant(Currency{-15000}), adCurrency, kInput, "-1.5"},
        CellCase{"boolean", Variant::Boolean(true), adBoolean, kInput, "True"},
        CellCase{"text in a guid field with a tab is quoted", Variant("{a\tb}"), adGUID, kInput, "\"{a\tb}\""}),
    testing::NameFromWhat());

INSTANTIATE_TEST_SUITE_P(
    KeptResults, CellTextCases,
    ::testing::Values(
        CellCase{"plain text as it is", Variant("Alloy Wheels"), adVarWChar, kKept, "Alloy Wheels"},
        CellCase{"text with a tab is quoted", Variant("a\tb"), adVarWChar, kKept, "\"a\tb\""},
        CellCase{"text with cr lf is quoted", Variant("a\r\nb"), adLongVarWChar, kKept, "\"a\r\nb\""},
        CellCase{"text with a lone lf is quoted", Variant("a\nb"), adVarChar, kKept, "\"a\nb\""},
        CellCase{"empty text in quotes", Variant(""), adLongVarWChar, kKept, "\"\""},
        CellCase{"the alt quote mark does not apply", Variant("a\"b"), adVarChar, {true, "'"}, "\"a\"\"b\""},
        CellCase{"inner quotes are doubled", Variant("say \"hi\""), adVarChar, kKept, "\"say \"\"hi\"\"\""},
        CellCase{"dates as in input files", DateOf(2003, 1, 2, 13, 4, 5), adDate, kKept, "1/2/2003 13:04:05"},
        CellCase{"double keeps every digit", Variant::Double(2.0 / 3.0), adDouble, kKept, "0.6666666666666666"}),
    testing::NameFromWhat());

}  // namespace
}  // namespace vendrel::engine

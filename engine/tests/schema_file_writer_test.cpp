#include "schema_file_writer.h"

#include <gtest/gtest.h>

#include "engine_test_support.h"

namespace vendrel::engine {
namespace {

using testing::MakeRecordset;

TEST(SchemaFile, SectionLinesAsTheDriverReadsThem) {
  auto rs = MakeRecordset({{"OrderID", adInteger, 0},
                           {"rs1.PRODUCT", adVarWChar, 50},
                           {"UnitPrice", adCurrency, 0},
                           {"Added", adDate, 0},
                           {"Notes", adLongVarWChar, 0}});
  EXPECT_EQ(SchemaSection("TEMP4711", *rs),
            "[TEMP4711.txt]\r\n"
            "ColNameHeader = True\r\n"
            "CharacterSet = Ansi\r\n"
            "Format = TABDelimited\r\n"
            "Col1=OrderID Integer\r\n"
            "Col2=PRODUCT Char Width 50\r\n"
            "Col3=UnitPrice Currency\r\n"
            "Col4=Added Date\r\n"
            "Col5=Notes LongChar\r\n");
}

TEST(SchemaFile, WithoutSectionsDropsEachNamedFilesSectionsAsTheDriverMatchesThem) {
  const std::string a = "[a.txt]\r\nColNameHeader = True\r\nCol1=T Char Width 10\r\n";
  const std::string b = "[b.txt]\r\nCol1=N Integer\r\n";
  const std::string c = "[c.txt]\nCol1=N Integer";  // LF only, no end at the last line
  const struct {
    std::string text;
    std::vector<std::string> names;
    std::string kept;
  } cases[] = {
      {a + b + c, {"b.txt"}, a + c},
      {a + b + a + c, {"a.txt"}, b + c},                        // every section of the name
      {a + b + c, {"A.TXT", "c.txt"}, b},                        // without regard to case
      {"; a comment\r\n" + a + b, {"a.txt"}, "; a comment\r\n" + b},  // lines before the first section stay
      {"  [ a.txt ]  \r\nCol1=X Integer\r\n" + b, {"a.txt"}, b},  // spaces around the name and the line
      {"[a.txt\r\nCol1=X Integer\r\n" + b, {"a.txt"}, b},      // no closing bracket, as the driver reads it
      {a + b, {"x.txt"}, a + b},
      {"", {"a.txt"}, ""},
      {a, {}, a},
  };
  for (const auto& c : cases) EXPECT_EQ(WithoutSections(c.text, c.names), c.kept) << c.text;
}

TEST(SchemaFile, ARecordsetWithoutFieldsGetsTheFixedLinesOnly) {
  auto rs = MakeRecordset({});
  EXPECT_EQ(SchemaSection("TEMP1", *rs),
            "[TEMP1.txt]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n");
}

TEST(SchemaFile, ColumnNamesLoseTheirQualifierAndQuoteSpaces) {
  auto rs = MakeRecordset({{"rs1.PRODUCT"}, {"rs1. Unit Price "}, {"TEMP12.SUPPLIER"}});
  EXPECT_EQ(SchemaSection("T", *rs), "[T.txt]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n"
                                     "Col1=PRODUCT Char Width 50\r\nCol2=\"Unit Price\" Char Width 50\r\n"
                                     "Col3=SUPPLIER Char Width 50\r\n");
  EXPECT_EQ(SchemaColumnName("Unit Price"), "\"Unit Price\"");
}

TEST(SchemaFile, ColumnNamesStayApartAndAreNeverEmpty) {
  // The names of the data file's header: equal after the dot rule, or empty, they keep their whole name.
  auto rs = MakeRecordset({{"rs1.A", adInteger, 0}, {"rs2.A", adInteger, 0}, {"F2", adInteger, 0}, {"", adInteger, 0},
                           {"x.", adInteger, 0}});
  EXPECT_EQ(SchemaSection("T", *rs), "[T.txt]\r\nColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n"
                                     "Col1=A Integer\r\nCol2=rs2.A Integer\r\nCol3=F2 Integer\r\nCol4=F4 Integer\r\n"
                                     "Col5=x. Integer\r\n");
}

TEST(SchemaFile, ColumnNamesTheDriverWouldMisreadAreQuotedAndLoseLineBreaks) {
  EXPECT_EQ(SchemaColumnName("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(SchemaColumnName("it\"s"), "it\"s");
  EXPECT_EQ(SchemaColumnName("\"q"), "\"\"\"q\"");
  EXPECT_EQ(SchemaColumnName("[x]"), "\"[x]\"");
  EXPECT_EQ(SchemaColumnName("a]b"), "a]b");
  EXPECT_EQ(SchemaColumnName("a\tb"), "\"a\tb\"");
  EXPECT_EQ(SchemaColumnName("c\r\nd\ne"), "cde");
}

struct TypeCase {
  int type;
  long definedSize;
  const char* text;
};

void PrintTo(const TypeCase& c, std::ostream* os) { *os << "type " << c.type << " size " << c.definedSize; }

class SchemaTypeCases : public ::testing::TestWithParam<TypeCase> {};

TEST_P(SchemaTypeCases, TypeText) {
  EXPECT_EQ(SchemaTypeText(GetParam().type, GetParam().definedSize), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFieldType, SchemaTypeCases,
    ::testing::Values(TypeCase{adSmallInt, 0, "Short"}, TypeCase{adTinyInt, 0, "Short"},
                      TypeCase{adSingle, 0, "Single"}, TypeCase{adDouble, 0, "Double"},
                      TypeCase{adDecimal, 0, "Double"}, TypeCase{adCurrency, 0, "Currency"},
                      TypeCase{adDate, 0, "Date"}, TypeCase{adDBDate, 0, "Date"}, TypeCase{adDBTime, 0, "Date"},
                      TypeCase{adDBTimeStamp, 0, "Date"}, TypeCase{adDBFileTime, 0, "Date"},
                      TypeCase{adBSTR, 10, "Char Width 10"}, TypeCase{adVariant, 0, "Char Width 0"},
                      TypeCase{adChar, 1, "Char Width 1"}, TypeCase{adWChar, 2, "Char Width 2"},
                      TypeCase{adVarChar, 255, "Char Width 255"}, TypeCase{adVarChar, 256, "LongChar"},
                      TypeCase{adVarWChar, 50, "Char Width 50"}, TypeCase{adVarBinary, 300, "OLE"},
                      TypeCase{adVarBinary, 10, "OLE"},
                      TypeCase{adLongVarChar, 10, "LongChar"}, TypeCase{adLongVarWChar, 0, "LongChar"},
                      TypeCase{adBoolean, 0, "Bit"}, TypeCase{adGUID, 0, "Char Width 16"},
                      TypeCase{adBinary, 0, "OLE"}, TypeCase{adLongVarBinary, 0, "OLE"},
                      TypeCase{adInteger, 0, "Integer"}, TypeCase{adUnsignedTinyInt, 0, "Integer"},
                      TypeCase{adUnsignedSmallInt, 0, "Integer"}, TypeCase{adUnsignedInt, 0, "Integer"},
                      TypeCase{adBigInt, 0, "Integer"}, TypeCase{adNumeric, 0, "Integer"}));

}  // namespace
}  // namespace vendrel::engine

// Statements over small tables: rows, field names and field types.

#include "sql_fixture.h"

namespace vendrel::driver::testing {
namespace {

class SelectTest : public SqlTest {
 protected:
  SelectTest() {
    Catalog().Add("TEMP1234.txt",
                  {{"PRODUCT", JetType::Text, 50}, {"SUPPLIER", JetType::Text, 50}, {"PRICE", JetType::Currency}},
                  {{"Wheels", "WHL", Currency{125000}},
                   {"Battery", "BTR", Currency{455000}},
                   {"Seats", "SES", Variant::Null()}});
    Catalog().Add("TEMP5678.txt", {{"SUPPLIER", JetType::Text, 50}, {"COUNTRY", JetType::Text, 50}},
                  {{"whl", "Spain"}, {"BTR", "Canada"}});
  }
};

TEST_F(SelectTest, PlainColumnsKeepTheirNamesTypesAndWidths) {
  const Result r = Run("SELECT PRODUCT, PRICE FROM TEMP1234.txt");
  EXPECT_EQ(r.Names(), Texts({"PRODUCT", "PRICE"}));
  EXPECT_EQ(r.columns[0].type, JetType::Text);
  EXPECT_EQ(r.columns[0].width, 50);
  EXPECT_EQ(r.columns[1].type, JetType::Currency);
  EXPECT_EQ(r.Lines(), Texts({"Wheels|12.5", "Battery|45.5", "Seats|Null"}));
}

TEST_F(SelectTest, LeftJoinMatchesTextWithoutRegardToCase) {
  const Result r = Run(
      "SELECT TEMP1234.PRODUCT, TEMP5678.COUNTRY FROM TEMP1234.txt TEMP1234 LEFT OUTER JOIN TEMP5678.txt TEMP5678 "
      "ON TEMP1234.SUPPLIER=TEMP5678.SUPPLIER ");
  EXPECT_EQ(r.Lines(), Texts({"Wheels|Spain", "Battery|Canada", "Seats|Null"}));
}

}  // namespace
}  // namespace vendrel::driver::testing

#include "vendrel/dataaccess/recordset.h"

#include <gtest/gtest.h>

#include "vendrel/testing/errors.h"

#include <functional>

#include "vendrel/dataaccess/error.h"

namespace vendrel {
namespace {

using vendrel::testing::ErrorNumberOf;

Ref<Recordset> ProductsInMemory() {
  Ref<Recordset> rs = Recordset::Create();
  rs->Fields().Append("PRODUCT", adVarChar, 50, adFldMayBeNull);
  rs->Fields().Append("SUPPLIER", adVarChar, 50, adFldMayBeNull);
  rs->Open({}, {}, adOpenDynamic, adLockOptimistic);
  return rs;
}

std::vector<std::string> WalkProducts(Recordset& rs) {
  std::vector<std::string> seen;
  if (rs.RecordCount() != 0) rs.MoveFirst();
  while (!rs.Eof()) {
    const Variant& v = rs.Fields().Item(Variant("PRODUCT")).Value();
    seen.push_back(v.IsNull() ? "<null>" : v.AsString());
    rs.MoveNext();
  }
  return seen;
}

TEST(Recordset, ARowStillBeingAddedIsVisibleToAWalk) {
  Ref<Recordset> rs = ProductsInMemory();
  for (const char* p : {"Wheels", "Battery", "Alloy Wheels"}) {
    rs->AddNew();
    rs->Fields().Item(Variant("PRODUCT")).SetValue(Variant(p));
  }
  EXPECT_EQ(rs->EditMode(), adEditAdd);  // the last row was never updated
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(WalkProducts(*rs), (std::vector<std::string>{"Wheels", "Battery", "Alloy Wheels"}));
  EXPECT_TRUE(rs->Fields().Item(Variant("SUPPLIER")).Info().MayBeNull());
}

TEST(Recordset, CloneSharesRowsAndOutlivesTheOriginalsClose) {
  Ref<Recordset> rs = ProductsInMemory();
  rs->AddNew();
  rs->Fields()[0].SetValue(Variant("Radio"));
  rs->AddNew();
  rs->Fields()[0].SetValue(Variant("Tyres"));
  rs->MoveLast();
  Ref<Recordset> clone = rs->Clone();
  EXPECT_EQ(clone->AbsolutePosition(), 1);  // a clone starts on the first row
  EXPECT_EQ(clone->LockType(), adLockOptimistic);
  rs->Close();
  rs.reset();
  EXPECT_EQ(WalkProducts(*clone), (std::vector<std::string>{"Radio", "Tyres"}));
}

TEST(Recordset, CancelUpdateDropsTheAddedRowAndRestoresAnEdit) {
  Ref<Recordset> rs = ProductsInMemory();
  rs->AddNew();
  rs->Fields()[0].SetValue(Variant("Seats"));
  rs->Update();
  rs->AddNew();
  rs->CancelUpdate();
  EXPECT_EQ(rs->RecordCount(), 1);
  rs->MoveFirst();
  rs->Fields()[0].SetValue(Variant("Carpet"));
  rs->CancelUpdate();
  EXPECT_EQ(rs->Fields()[0].Value().AsString(), "Seats");
}

TEST(Recordset, PlatformErrors) {
  Ref<Recordset> closed = Recordset::Create();
  Ref<Recordset> readOnly = Recordset::Create();
  readOnly->Fields().Append("A", adInteger, 0, 0);
  readOnly->Open();
  Ref<Recordset> strict = Recordset::Create();
  strict->Fields().Append("A", adInteger, 0, 0);  // may not hold Null
  strict->Fields().Append("T", adVarChar, 3, adFldMayBeNull);
  strict->Open({}, {}, adOpenStatic, adLockOptimistic);
  strict->AddNew();
  struct Case {
    const char* what;
    std::function<void()> call;
    long error;
  } cases[] = {
      {"RecordCount when closed", [&] { closed->RecordCount(); }, err::kObjectClosed},
      {"MoveFirst when closed", [&] { closed->MoveFirst(); }, err::kObjectClosed},
      {"Close when closed", [&] { closed->Close(); }, err::kObjectClosed},
      {"Clone when closed", [&] { closed->Clone(); }, err::kObjectClosed},
      {"MoveFirst on no rows", [&] { readOnly->MoveFirst(); }, err::kNoCurrentRecord},
      {"Value at EOF", [&] { readOnly->Fields()[0].Value(); }, err::kNoCurrentRecord},
      {"MoveNext at EOF", [&] { readOnly->MoveNext(); }, err::kNoCurrentRecord},
      {"AddNew when read-only", [&] { readOnly->AddNew(); }, err::kNotCapable},
      {"unknown field", [&] { readOnly->Fields().Item(Variant("B")); }, err::kItemNotFound},
      {"field past the end", [&] { readOnly->Fields().Item(Variant::Long(1)); }, err::kItemNotFound},
      {"Append while open", [&] { readOnly->Fields().Append("B", adInteger); }, err::kNotAllowedInContext},
      {"Null into a field that may not hold it", [&] { strict->Fields()[0].SetValue(Variant::Null()); },
       err::kMultipleStep},
      {"text longer than the field", [&] { strict->Fields()[1].SetValue(Variant("abcd")); }, err::kMultipleStep},
      {"text into a number field", [&] { strict->Fields()[0].SetValue(Variant("x")); }, err::kMultipleStep},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorNumberOf(c.call), c.error) << c.what;
}

TEST(Recordset, ValuesAreConvertedToTheFieldsType) {
  Ref<Recordset> rs = Recordset::Create();
  rs->Fields().Append("N", adInteger);
  rs->Fields().Append("C", adCurrency);
  rs->Fields().Append("D", adDate);
  rs->Open({}, {}, adOpenStatic, adLockOptimistic);
  rs->AddNew();
  rs->Fields()[0].SetValue(Variant("42"));
  rs->Fields()[1].SetValue(Variant::Double(1.23456));
  rs->Fields()[2].SetValue(Variant("1/2/2003 13:04:05"));
  EXPECT_EQ(rs->Fields()[0].Value(), Variant::Long(42));
  EXPECT_EQ(rs->Fields()[1].Value(), Variant(Currency{12346}));
  EXPECT_EQ(rs->Fields()[2].Value().Type(), VarType::Date);
}

}  // namespace
}  // namespace vendrel

// The rows of a recordset keep every value exactly: of each type, in columns
// of one type and of several, across many rows, when set again and when the
// last row goes.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "vendrel/testing/same_value.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel {
namespace {

Ref<RowStore> OneColumn() { return MakeRef<RowStore>(std::vector<FieldInfo>{{"V", adVariant}}); }

using ::vendrel::testing::SameValue;

std::vector<Variant> ValuesOfEachType() {
  return {Variant::Integer(INT16_MIN),
          Variant::Long(INT32_MIN),
          Variant::BigInt(INT64_MAX),
          Variant::Byte(255),
          Variant::Single(-0.0f),
          Variant::Double(std::numeric_limits<double>::quiet_NaN()),
          Variant::Double(-0.0),
          Variant(Currency{INT64_MIN}),
          Variant::Date(-657434.5),
          Variant::Boolean(true),
          Variant::Boolean(false),
          Variant(""),
          Variant(std::string(100, 'x')),
          Variant(std::string(3 << 20, 'y')),  // larger than a block of texts
          Variant::FromBytes({0, 1, 255}),
          Variant(),
          Variant::Nothing()};
}

TEST(RowStore, EachTypeComesBackAsItWasInAColumnOfItsOwnAndAmongOthers) {
  const std::vector<Variant> values = ValuesOfEachType();
  Ref<RowStore> mixed = OneColumn();
  for (const Variant& v : values) {
    Ref<RowStore> own = OneColumn();
    own->AppendRow(std::vector<Variant>{Variant::Null()});
    own->AppendRow(std::vector<Variant>{v});
    own->AppendRow(std::vector<Variant>{v});
    EXPECT_TRUE(own->At(0, 0).IsNull());
    EXPECT_TRUE(SameValue(own->At(1, 0), v)) << static_cast<int>(v.Type());
    EXPECT_TRUE(SameValue(own->At(2, 0), v)) << static_cast<int>(v.Type());
    mixed->AppendRow(std::vector<Variant>{v});
  }
  for (size_t i = 0; i < values.size(); ++i) EXPECT_TRUE(SameValue(mixed->At(i, 0), values[i])) << i;
}

// A value as a typed row gives it: its number or bytes, or its variant for
// a value no cell holds.
RowStore::View ViewOf(const Variant& v) {
  RowStore::View view;
  view.type = v.Type();
  switch (v.Type()) {
    case VarType::Null: break;
    case VarType::Integer: view.whole = v.AsInteger(); break;
    case VarType::Long: view.whole = v.AsLong(); break;
    case VarType::BigInt: view.whole = v.AsBigInt(); break;
    case VarType::Byte: view.whole = v.AsByte(); break;
    case VarType::Currency: view.whole = v.AsCurrency().scaled; break;
    case VarType::Boolean: view.whole = v.AsBoolean() ? 1 : 0; break;
    case VarType::Single: view.real = v.AsSingle(); break;
    case VarType::Double: view.real = v.AsDouble(); break;
    case VarType::Date: view.real = v.AsDate().serial; break;
    case VarType::String: view.bytes = v.AsString(); break;
    case VarType::Bytes:
      view.bytes = {reinterpret_cast<const char*>(v.AsBytes().data()), v.AsBytes().size()};
      break;
    default: view.variant = &v; break;
  }
  return view;
}

TEST(RowStore, TypedRowsAreTheRowsOfTheSameValuesAsVariants) {
  const std::vector<Variant> values = ValuesOfEachType();
  const Variant null = Variant::Null();
  Ref<RowStore> mixed = OneColumn();
  for (const Variant& v : values) {
    Ref<RowStore> own = OneColumn();
    for (const Variant* x : {&null, &v, &v, &null, &v})
      own->AppendTypedRow(std::vector<RowStore::View>{ViewOf(*x)});
    ASSERT_EQ(own->RowCount(), 5u);
    for (size_t row : {0u, 3u}) EXPECT_TRUE(own->At(row, 0).IsNull()) << static_cast<int>(v.Type());
    for (size_t row : {1u, 2u, 4u}) EXPECT_TRUE(SameValue(own->At(row, 0), v)) << static_cast<int>(v.Type()) << " " << row;
    // Kept as typed cells when a value of the type is kept in cells: a view
    // of it shows no variant.
    EXPECT_EQ(own->ViewAt(1, 0).variant == nullptr, ViewOf(v).variant == nullptr) << static_cast<int>(v.Type());
    mixed->AppendTypedRow(std::vector<RowStore::View>{ViewOf(v)});
  }
  for (size_t i = 0; i < values.size(); ++i) EXPECT_TRUE(SameValue(mixed->At(i, 0), values[i])) << i;
}

TEST(RowStore, ATypedRowTakesAVariantBeforeTheNumberBesideItAndRefusesACellOfNoType) {
  Ref<RowStore> rows = MakeRef<RowStore>(std::vector<FieldInfo>{{"N", adInteger}, {"T", adVarWChar}});
  const Variant text("held");
  RowStore::View number;
  number.type = VarType::Long;
  number.whole = 5;
  RowStore::View byVariant = number;
  byVariant.variant = &text;
  rows->AppendTypedRow(std::vector<RowStore::View>{number, byVariant});

  RowStore::View noType;
  noType.type = VarType::Empty;
  for (const std::vector<RowStore::View>& bad :
       {std::vector<RowStore::View>{number, noType}, std::vector<RowStore::View>{number}}) {
    try {
      rows->AppendTypedRow(bad);
      ADD_FAILURE() << "appended";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), 3001);
    }
  }
  rows->AppendTypedRow(std::vector<RowStore::View>{number, number});
  ASSERT_EQ(rows->RowCount(), 2u);
  EXPECT_EQ(rows->At(0, 0), Variant::Long(5));
  EXPECT_EQ(rows->At(0, 1), text);
  EXPECT_EQ(rows->At(1, 0), Variant::Long(5));
  EXPECT_EQ(rows->At(1, 1), Variant::Long(5));
}

TEST(RowStore, AViewShowsTheValueAsItIsKept) {
  Ref<RowStore> rows = MakeRef<RowStore>(
      std::vector<FieldInfo>{{"N", adInteger}, {"C", adCurrency}, {"D", adDate}, {"T", adVarWChar}, {"V", adVariant}});
  rows->AppendRow(std::vector<Variant>{Variant::Long(-7), Variant(Currency{-15000}), Variant::Date(37623.5),
                                       Variant("text"), Variant::Long(1)});
  rows->AppendRow(std::vector<Variant>{Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(), Variant("two")});
  const RowStore::View n = rows->ViewAt(0, 0), c = rows->ViewAt(0, 1), d = rows->ViewAt(0, 2), t = rows->ViewAt(0, 3);
  EXPECT_EQ(n.type, VarType::Long);
  EXPECT_EQ(n.whole, -7);
  EXPECT_EQ(c.type, VarType::Currency);
  EXPECT_EQ(c.whole, -15000);
  EXPECT_EQ(d.type, VarType::Date);
  EXPECT_EQ(d.real, 37623.5);
  EXPECT_EQ(t.type, VarType::String);
  EXPECT_EQ(t.bytes, "text");
  for (size_t column = 0; column < 4; ++column) EXPECT_EQ(rows->ViewAt(1, column).type, VarType::Null) << column;
  // A column of several types shows its values as the variants they are.
  const RowStore::View v = rows->ViewAt(1, 4);
  ASSERT_NE(v.variant, nullptr);
  EXPECT_EQ(*v.variant, Variant("two"));
}

TEST(RowStore, ATextLongerThanItsLengthFieldKeepsEveryByte) {
  std::string huge(17 << 20, 'a');
  huge.back() = 'z';
  Ref<RowStore> rows = OneColumn();
  rows->AppendRow(std::vector<Variant>{Variant("before")});
  rows->AppendRow(std::vector<Variant>{Variant(huge)});
  rows->AppendRow(std::vector<Variant>{Variant("after")});
  EXPECT_EQ(rows->At(1, 0).AsString(), huge);
  EXPECT_EQ(rows->At(0, 0).AsString(), "before");
  EXPECT_EQ(rows->At(2, 0).AsString(), "after");
}

// An empty text after a block filled to its end, or after a text of a block
// of its own, still refers to a place inside a block.
TEST(RowStore, AnEmptyTextAfterAFullBlockReadsBackEmpty) {
  for (const size_t before : {size_t{1} << 20, size_t{3} << 20, size_t{2} << 20 | 5}) {
    Ref<RowStore> rows = MakeRef<RowStore>(std::vector<FieldInfo>{{"V", adVarWChar}});
    // Texts of 256 bytes fill the blocks, which double up to 1 MiB, to their ends.
    size_t filled = 0;
    while (filled + 256 <= before) {
      rows->AppendRow(std::vector<Variant>{Variant(std::string(256, 'f'))});
      filled += 256;
    }
    rows->AppendRow(std::vector<Variant>{Variant(std::string(before - filled + (2 << 20), 'x'))});
    rows->AppendRow(std::vector<Variant>{Variant(std::string())});
    rows->AppendRow(std::vector<Variant>{Variant("after")});
    const size_t last = rows->RowCount() - 1;
    EXPECT_EQ(rows->At(last - 1, 0).AsString(), "") << before;
    EXPECT_EQ(rows->At(last, 0).AsString(), "after") << before;
    EXPECT_EQ(rows->At(last - 2, 0).AsString().size(), before - filled + (2 << 20)) << before;
  }
  Ref<RowStore> rows = MakeRef<RowStore>(std::vector<FieldInfo>{{"V", adVarWChar}});
  for (int i = 0; i < 4096 * 3; ++i) rows->AppendRow(std::vector<Variant>{Variant(std::string(256, 'f'))});
  rows->AppendRow(std::vector<Variant>{Variant(std::string())});
  EXPECT_EQ(rows->At(rows->RowCount() - 1, 0).AsString(), "");
}

TEST(RowStore, ManyRowsSetAgainAndTheLastRemovedKeepTheOthersIntact) {
  Ref<RowStore> rows = MakeRef<RowStore>(std::vector<FieldInfo>{{"N", adInteger}, {"T", adVarWChar}});
  constexpr int kRows = 10000;  // more than a chunk of cells
  for (int i = 0; i < kRows; ++i)
    rows->AppendRow(std::vector<Variant>{Variant::Long(i), i % 7 == 0 ? Variant::Null() : Variant(std::to_string(i))});
  rows->Set(5000, 0, Variant::Null());
  rows->Set(5001, 1, Variant("changed and longer than it was"));
  rows->Set(7, 1, Variant("seven"));
  // A value of another type turns the column into one of variants, the values kept.
  rows->Set(9000, 0, Variant("nine thousand"));
  rows->RemoveLastRow();
  rows->AppendRow();
  ASSERT_EQ(rows->RowCount(), static_cast<size_t>(kRows));
  for (int i = 0; i < kRows - 1; ++i) {
    const Variant n = rows->At(static_cast<size_t>(i), 0);
    const Variant t = rows->At(static_cast<size_t>(i), 1);
    if (i == 5000)
      EXPECT_TRUE(n.IsNull());
    else if (i == 9000)
      EXPECT_EQ(n, Variant("nine thousand"));
    else
      EXPECT_EQ(n, Variant::Long(i)) << i;
    if (i == 5001)
      EXPECT_EQ(t, Variant("changed and longer than it was"));
    else if (i == 7)
      EXPECT_EQ(t, Variant("seven"));
    else if (i % 7 == 0)
      EXPECT_TRUE(t.IsNull()) << i;
    else
      EXPECT_EQ(t, Variant(std::to_string(i))) << i;
  }
  EXPECT_TRUE(rows->At(kRows - 1, 0).IsNull());
  EXPECT_TRUE(rows->At(kRows - 1, 1).IsNull());
}

TEST(RowStore, ReadingIntoAValueReplacesWhatItHeld) {
  Ref<RowStore> rows = MakeRef<RowStore>(std::vector<FieldInfo>{{"T", adVarWChar}, {"N", adInteger}});
  rows->AppendRow(std::vector<Variant>{Variant(std::string(40, 'q')), Variant::Long(1)});
  rows->AppendRow(std::vector<Variant>{Variant("short"), Variant::Null()});
  Variant v;
  rows->Read(0, 0, v);
  EXPECT_EQ(v, Variant(std::string(40, 'q')));
  rows->Read(1, 0, v);
  EXPECT_EQ(v, Variant("short"));
  rows->Read(0, 1, v);
  EXPECT_EQ(v, Variant::Long(1));
  rows->Read(1, 1, v);
  EXPECT_TRUE(v.IsNull());
}

}  // namespace
}  // namespace vendrel

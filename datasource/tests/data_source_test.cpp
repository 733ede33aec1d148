#include <gtest/gtest.h>

#include "vendrel/testing/errors.h"

#include <functional>

#include "vendrel/dataaccess/error.h"
#include "vendrel/datasource/query_data_source.h"

namespace vendrel {
namespace {

using vendrel::testing::ErrorNumberOf;

Ref<Recordset> Open() {
  Ref<Recordset> rs = Recordset::Create();
  rs->Fields().Append("A", adInteger);
  rs->Open();
  return rs;
}

TEST(RecordsetCollection, PlainAndOptimizedEntriesInTheThreeLists) {
  Ref<RecordsetCollection> c = RecordsetCollection::Create();
  Ref<Recordset> rsA = Open(), rsB = Open();
  c->Add(rsA, "rs1");
  c->Add(rsB, "rs2", true);
  Ref<Collection> entries = c->CollectionRecordset();
  Ref<Collection> names = c->rsNameCollection();
  EXPECT_EQ(entries->Item(1).AsObject().get(), rsA.get());
  EXPECT_EQ(entries->Item(2), Variant("rs2"));  // the name itself marks an optimized entry
  EXPECT_EQ(names->Item(1), Variant("rs1"));
  EXPECT_EQ(names->Item(2), Variant("rs2"));
  EXPECT_EQ(c->Item(Variant::Long(2)).get(), rsB.get());  // by position, from the object list
  EXPECT_EQ(c->Item(Variant::Long(1)).get(), rsA.get());
  EXPECT_EQ(c->Item(Variant("RS1")).get(), rsA.get());
  EXPECT_EQ(ErrorNumberOf([&] { c->Item(Variant("rs2")); }), err::kInvalidProcedureCall);
  EXPECT_EQ(rsA->RefCount(), 3);  // shared by the test and two lists, never copied
}

TEST(RecordsetCollection, OnlyMinusOneMarksAnOptimizedEntry) {
  Ref<RecordsetCollection> c = RecordsetCollection::Create();
  Ref<Recordset> rs = Open();
  c->Add(rs, "rs1", VariantBool::FromRaw(1));
  EXPECT_TRUE(c->CollectionRecordset()->Item(1).IsObject());
}

TEST(RecordsetCollection, ErrorsPassThroughAndChangeNothing) {
  Ref<RecordsetCollection> c = RecordsetCollection::Create();
  c->Add(Open(), "rs1");
  struct Case {
    const char* what;
    std::function<void()> call;
    long error;
  } cases[] = {
      {"Add with a name in another case", [&] { c->Add(Open(), "RS1"); }, err::kKeyAlreadyAssociated},
      {"Item(0)", [&] { c->Item(Variant::Long(0)); }, err::kSubscriptOutOfRange},
      {"Item(2)", [&] { c->Item(Variant::Long(2)); }, err::kSubscriptOutOfRange},
      {"Item of an unknown name", [&] { c->Item(Variant("rs9")); }, err::kInvalidProcedureCall},
      {"Remove(0)", [&] { c->Remove(Variant::Long(0)); }, err::kSubscriptOutOfRange},
      {"Remove of an unknown name", [&] { c->Remove(Variant("rs9")); }, err::kInvalidProcedureCall},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(ErrorNumberOf(k.call), k.error) << k.what;
    EXPECT_EQ(c->Count(), 1) << k.what;
    EXPECT_EQ(c->rsNameCollection()->Count(), 1) << k.what;
  }
}

TEST(RecordsetCollection, RemoveTakesTheSameEntryFromAllLists) {
  for (const Variant& index : {Variant::Long(1), Variant("RS1")}) {
    Ref<RecordsetCollection> c = RecordsetCollection::Create();
    Ref<Recordset> first = Open(), second = Open();
    c->Add(first, "rs1");
    c->Add(second, "rs2");
    c->Remove(index);
    EXPECT_EQ(c->Count(), 1);
    EXPECT_EQ(c->Item(Variant::Long(1)).get(), second.get());
    EXPECT_EQ(c->rsNameCollection()->Item(1), Variant("rs2"));
    EXPECT_EQ(c->Item(Variant("rs2")).get(), second.get());
  }
}

TEST(RecordsetCollection, NewCollectionIsEmpty) {
  Ref<RecordsetCollection> c = RecordsetCollection::Create();
  EXPECT_EQ(c->Count(), 0);
  EXPECT_EQ(c->CollectionRecordset()->Count(), 0);
  EXPECT_EQ(c->rsNameCollection()->Count(), 0);
  EXPECT_EQ(c->CollectionRecordset().get(), c->CollectionRecordset().get());
}

TEST(QueryDataSource, OneCollectionForItsLifetime) {
  Ref<QueryDataSource> ds = QueryDataSource::Create();
  EXPECT_EQ(ds->RecordsetCollection()->Count(), 0);
  ds->EmptyRecordsetCollection();  // nothing to do
  ds->RecordsetCollection()->Add(Open(), "rs1");
  EXPECT_EQ(ds->RecordsetCollection()->Count(), 1);
  EXPECT_EQ(ds->RecordsetCollection().get(), ds->RecordsetCollection().get());
}

TEST(QueryDataSource, EmptyingFromTheFrontEmptiesTheListsTheEngineHolds) {
  Ref<QueryDataSource> ds = QueryDataSource::Create();
  Ref<Recordset> a = Open(), b = Open(), c = Open();
  ds->RecordsetCollection()->Add(a, "rs1");
  ds->RecordsetCollection()->Add(b, "rs2");
  ds->RecordsetCollection()->Add(c, "rs3");
  Ref<Collection> entries = ds->GetCollectionRecordset();
  Ref<Collection> names = ds->GetNameCollection();
  ds->RecordsetCollection()->Remove(Variant::Long(1));
  EXPECT_EQ(ds->RecordsetCollection()->Item(Variant::Long(1)).get(), b.get());
  ds->EmptyRecordsetCollection();
  EXPECT_EQ(ds->RecordsetCollection()->Count(), 0);
  EXPECT_EQ(entries.get(), ds->GetCollectionRecordset().get());
  EXPECT_EQ(entries->Count(), 0);
  EXPECT_EQ(names->Count(), 0);
  EXPECT_EQ(a->RefCount(), 1);  // entries released their recordsets
}

TEST(QueryDataSource, AccessorsRefuseAnotherImplementation) {
  Ref<Object> foreign = Collection::Create();
  EXPECT_EQ(ErrorNumberOf([&] { GetCollectionRecordset(foreign); }), err::kNotInstanceOfDefiningClass);
  EXPECT_EQ(ErrorNumberOf([&] { GetNameCollection(foreign); }), err::kNotInstanceOfDefiningClass);
  EXPECT_EQ(ErrorNumberOf([&] { GetNameCollection(nullptr); }), err::kObjectNotSet);
  Ref<Object> own = QueryDataSource::Create();
  EXPECT_EQ(GetNameCollection(own)->Count(), 0);
}

}  // namespace
}  // namespace vendrel

#include "vendrel/dataaccess/collection.h"

#include <gtest/gtest.h>

#include "vendrel/testing/errors.h"

#include <functional>

#include "vendrel/dataaccess/error.h"

namespace vendrel {
namespace {

using vendrel::testing::ErrorNumberOf;

TEST(Collection, OneBasedAppendAndKeysWithoutRegardToCase) {
  Ref<Collection> c = Collection::Create();
  c->Add(Variant("a"), "First");
  c->Add(Variant("b"));
  c->Add(Variant("c"), "third");
  EXPECT_EQ(c->Count(), 3);
  EXPECT_EQ(c->Item(1).AsString(), "a");
  EXPECT_EQ(c->Item(Variant("FIRST")).AsString(), "a");
  EXPECT_EQ(c->Item(Variant::Double(2.0)).AsString(), "b");
  EXPECT_EQ(c->Item(Variant("Third")).AsString(), "c");
  c->Remove(Variant("first"));
  EXPECT_EQ(c->Item(1).AsString(), "b");
  c->Remove(Variant::Long(2));
  EXPECT_EQ(c->Count(), 1);
}

TEST(Collection, KeysFoldUnicodeCaseNotJustAscii) {
  Ref<Collection> c = Collection::Create();
  c->Add(Variant("x"), "Straße");
  c->Add(Variant("y"), "ΣΟΦΙΑ");
  EXPECT_EQ(c->Item(Variant("STRASSE")).AsString(), "x");
  EXPECT_EQ(c->Item(Variant("σοφια")).AsString(), "y");
  EXPECT_EQ(ErrorNumberOf([&] { c->Add(Variant("z"), "strasse"); }), err::kKeyAlreadyAssociated);
}

TEST(Collection, ErrorsLeaveTheListUnchanged) {
  Ref<Collection> c = Collection::Create();
  c->Add(Variant("a"), "k");
  struct Case {
    const char* what;
    std::function<void()> call;
    long error;
  } cases[] = {
      {"duplicate key", [&] { c->Add(Variant("b"), "K"); }, err::kKeyAlreadyAssociated},
      {"position 0", [&] { c->Item(Variant::Long(0)); }, err::kSubscriptOutOfRange},
      {"position past the end", [&] { c->Item(Variant::Long(2)); }, err::kSubscriptOutOfRange},
      {"unknown key", [&] { c->Item(Variant("nope")); }, err::kInvalidProcedureCall},
      {"remove 0", [&] { c->Remove(Variant::Long(0)); }, err::kSubscriptOutOfRange},
      {"remove unknown key", [&] { c->Remove(Variant("nope")); }, err::kInvalidProcedureCall},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(ErrorNumberOf(k.call), k.error) << k.what;
    EXPECT_EQ(c->Count(), 1) << k.what;
  }
}

TEST(Collection, ItemsMayBeObjectsOrNothing) {
  Ref<Collection> inner = Collection::Create();
  Ref<Collection> c = Collection::Create();
  c->Add(Variant(inner));
  c->Add(Variant::Nothing());
  EXPECT_EQ(c->Item(1).AsObject().get(), inner.get());
  EXPECT_TRUE(c->Item(2).IsObject());
  EXPECT_FALSE(c->Item(2).AsObject());
  EXPECT_EQ(inner->RefCount(), 2);  // shared, not copied
}

}  // namespace
}  // namespace vendrel

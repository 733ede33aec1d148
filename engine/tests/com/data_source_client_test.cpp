// The data source classes as a client of the component sees them: creation
// through the registry, calls through the vtable and through Invoke, errors
// as HRESULTs with error information, apartments and unloading.

#include <dlfcn.h>

#include <thread>

#include "client_fixture.h"
#include "vendrel/dataaccess/com/registry.h"
#include "vendrel/dataaccess/error.h"

namespace vendrel::testing {
namespace {

using com::HRESULT;
using vendrel12::_QueryDataSource;
using vendrel12::_RecordsetCollection;
using vendrel12::QueryDataSourcePtr;
using vendrel12::RecordsetCollectionPtr;

class DataSourceClientTest : public ComClientTest {};

TEST_F(DataSourceClientTest, CreatesQueryDataSourceByClassIdAndByProgId) {
  Ref<_QueryDataSource> byClassId;
  ASSERT_EQ(com::S_OK, com::CreateInstance(vendrel12::kQueryDataSourceClassId, &byClassId));
  Ref<_QueryDataSource> byProgId;
  ASSERT_EQ(com::S_OK, com::CreateInstance("vendrel12.querydatasource", &byProgId));
  ASSERT_TRUE(byClassId);
  ASSERT_TRUE(byProgId);
  EXPECT_NE(byClassId.get(), byProgId.get());

  // Each is a data source of its own.
  QueryDataSourcePtr(byClassId).RecordsetCollection().Add(Recordset::Create(), "rs1");
  EXPECT_EQ(1, QueryDataSourcePtr(byClassId).RecordsetCollection().Count());
  EXPECT_EQ(0, QueryDataSourcePtr(byProgId).RecordsetCollection().Count());
}

TEST_F(DataSourceClientTest, RegistersOnlyTheCreatableClasses) {
  std::vector<com::ClassEntry> classes;
  ASSERT_EQ(com::S_OK, com::ListClasses(&classes));
  ASSERT_EQ(2u, classes.size());
  for (const auto& c : classes) {
    EXPECT_EQ("Apartment", c.threadingModel);
    EXPECT_EQ(std::filesystem::absolute(VDL_SERVER_LIBRARY).lexically_normal().string(), c.library);
  }
  Ref<com::IUnknown> object;
  EXPECT_EQ(com::REGDB_E_CLASSNOTREG,
            com::CreateInstance(vendrel12::kRecordsetCollectionClassId, com::IUnknown::Iid, &object));
}

TEST_F(DataSourceClientTest, FillsTheDataSourceThroughTheVtable) {
  auto ds = QueryDataSourcePtr::CreateInstance();
  auto rs1 = TextRecordset({"PRODUCT"}, {{"Wheels"}});
  auto rs2 = TextRecordset({"SUPPLIER"}, {{"WHL"}});
  const long before = rs1->RefCount();

  ds.RecordsetCollection().Add(rs1, "rs1");
  ds.RecordsetCollection().Add(rs2, "rs2", true);

  RecordsetCollectionPtr collection = ds.RecordsetCollection();
  EXPECT_EQ(collection.Interface().get(), ds.RecordsetCollection().Interface().get());
  EXPECT_EQ(2, collection.Count());
  EXPECT_EQ(rs1.get(), collection.Item("RS1").get());
  EXPECT_EQ(rs2.get(), collection.Item(Variant::Long(2)).get());
  // The collection's lists hold the caller's recordset, not a copy.
  EXPECT_EQ(before + 2, rs1->RefCount());

  Ref<Collection> entries = collection.CollectionRecordset();
  Ref<Collection> names = collection.rsNameCollection();
  ASSERT_EQ(2, entries->Count());
  EXPECT_EQ(Variant(rs1), entries->Item(1));
  EXPECT_EQ(Variant("rs2"), entries->Item(2));  // an optimized entry is its name
  EXPECT_EQ(Variant("rs1"), names->Item(1));

  ds.EmptyRecordsetCollection();
  EXPECT_EQ(0, collection.Count());
  EXPECT_EQ(0, entries->Count());  // the same list objects, emptied
  EXPECT_EQ(before, rs1->RefCount());
}

TEST_F(DataSourceClientTest, RawFlagOtherThanMinusOneMakesAPlainEntry) {
  auto ds = QueryDataSourcePtr::CreateInstance();
  auto rs = TextRecordset({"A"}, {});
  Ref<Recordset> given = rs;
  std::string name = "rs1";
  com::VARIANT_BOOL one = 1;
  ASSERT_EQ(com::S_OK, ds.RecordsetCollection()->Add(&given, &name, &one));
  EXPECT_EQ(Variant(rs), ds.RecordsetCollection().CollectionRecordset()->Item(1));
  // Left out through the vtable: False.
  name = "rs2";
  ASSERT_EQ(com::S_OK, ds.RecordsetCollection()->Add(&given, &name, nullptr));
  EXPECT_EQ(Variant(rs), ds.RecordsetCollection().CollectionRecordset()->Item(2));
}

struct CollectionFailure {
  const char* name;
  HRESULT hr;
  long number;
};

TEST_F(DataSourceClientTest, CollectionErrorsReachTheClientAsTheirHResults) {
  auto ds = QueryDataSourcePtr::CreateInstance();
  RecordsetCollectionPtr collection = ds.RecordsetCollection();
  collection.Add(TextRecordset({"A"}, {}), "rs1");
  collection.Add(TextRecordset({"A"}, {}), "rs2", true);
  Ref<_RecordsetCollection> raw = collection.Interface();

  auto add = [&](const char* name) {
    Ref<Recordset> rs = Recordset::Create();
    std::string text = name;
    com::VARIANT_BOOL flag = com::VARIANT_FALSE;
    return raw->Add(&rs, &text, &flag);
  };
  auto item = [&](Variant index) {
    Ref<Recordset> out;
    return raw->Item(&index, &out);
  };
  auto remove = [&](Variant index) { return raw->Remove(&index); };

  const std::pair<CollectionFailure, HRESULT> cases[] = {
      {{"Add under a name present in another case", com::MakeHResult(0x800A01C9), 457}, add("RS1")},
      {{"Item(0)", com::MakeHResult(0x800A0009), 9}, item(Variant::Long(0))},
      {{"Item(3)", com::MakeHResult(0x800A0009), 9}, item(Variant::Long(3))},
      {{"Item of an unknown name", com::MakeHResult(0x800A0005), 5}, item("rs9")},
      {{"Item by name of an optimized entry", com::MakeHResult(0x800A0005), 5}, item("rs2")},
      {{"Remove(0)", com::MakeHResult(0x800A0009), 9}, remove(Variant::Long(0))},
  };
  for (const auto& [expected, hr] : cases) {
    SCOPED_TRACE(expected.name);
    EXPECT_EQ(expected.hr, hr);
    EXPECT_EQ(expected.number, com::ErrorNumberFromHResult(hr));
  }
  EXPECT_EQ(2, collection.Count());

  // The wrappers raise the plain number with the collection's description.
  try {
    collection.Add(Recordset::Create(), "Rs2");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(457, e.Number());
    EXPECT_EQ(PlatformErrorText(457), e.Description());
    EXPECT_FALSE(e.Source().empty());
  }
}

// ---------------------------------------------------------------- late binding

Ref<com::IDispatch> Dispatch(const Ref<Object>& object) { return com::QueryInterface<com::IDispatch>(object); }

Variant Invoke(com::IDispatch& object, com::DispId id, uint16_t flags, std::vector<Variant*> args = {},
               HRESULT expected = com::S_OK) {
  Variant result;
  EXPECT_EQ(expected, object.Invoke(id, flags, args, &result)) << std::hex << id;
  return result;
}

TEST_F(DataSourceClientTest, FindsMembersByNameWithoutRegardToCase) {
  Ref<com::IDispatch> ds;
  ASSERT_EQ(com::S_OK, com::CreateInstance(vendrel12::kQueryDataSourceClassId, &ds));
  const std::pair<std::string, com::DispId> names[] = {
      {"RecordsetCollection", 0x68030002},
      {"recordsetcollection", 0x68030002},
      {"EMPTYRECORDSETCOLLECTION", 0x60030004},
  };
  for (const auto& [name, id] : names) {
    com::DispId found = 0;
    EXPECT_EQ(com::S_OK, ds->GetIDsOfNames({&name, 1}, {&found, 1})) << name;
    EXPECT_EQ(id, found) << name;
  }
  const std::string unknown = "Execute";
  com::DispId found = 0;
  EXPECT_EQ(com::DISP_E_UNKNOWNNAME, ds->GetIDsOfNames({&unknown, 1}, {&found, 1}));
  EXPECT_EQ(com::DISPID_UNKNOWN, found);

  Variant collection = Invoke(*ds, 0x68030002, com::DISPATCH_PROPERTYGET);
  Ref<com::IDispatch> rc = Dispatch(collection.AsObject());
  ASSERT_TRUE(rc);
  const std::string addAndParameter[] = {"add", "optimizedrecordset"};
  com::DispId ids[2] = {};
  EXPECT_EQ(com::S_OK, rc->GetIDsOfNames(addAndParameter, ids));
  EXPECT_EQ(0x60030003, ids[0]);
  EXPECT_EQ(2, ids[1]);

  const com::InterfaceInfo* info = nullptr;
  ASSERT_EQ(com::S_OK, rc->GetTypeInfo(0, &info));
  EXPECT_EQ("_RecordsetCollection", info->name);
}

TEST_F(DataSourceClientTest, InvokesEveryMemberByDispatchIdentifier) {
  Ref<com::IDispatch> ds;
  ASSERT_EQ(com::S_OK, com::CreateInstance("Vendrel12.QueryDataSource", &ds));
  Variant collection = Invoke(*ds, 0x68030002, com::DISPATCH_METHOD | com::DISPATCH_PROPERTYGET);
  Ref<com::IDispatch> rc = Dispatch(collection.AsObject());
  ASSERT_TRUE(rc);
  // The same object as through the vtable.
  EXPECT_EQ(collection.AsObject(), Invoke(*ds, 0x68030002, com::DISPATCH_PROPERTYGET).AsObject());

  auto rs1 = TextRecordset({"A"}, {});
  auto rs2 = TextRecordset({"A"}, {});
  Variant rsArg(rs1), nameArg("rs1");
  Invoke(*rc, 0x60030003, com::DISPATCH_METHOD, {&rsArg, &nameArg});  // OptimizedRecordset left out
  Variant rsArg2(rs2), nameArg2("rs2"), flag = Variant::Boolean(true);
  Invoke(*rc, 0x60030003, com::DISPATCH_METHOD, {&rsArg2, &nameArg2, &flag});
  Variant rsArg3(rs2), nameArg3("rs3"), one = Variant::Long(1);
  Invoke(*rc, 0x60030003, com::DISPATCH_METHOD, {&rsArg3, &nameArg3, &one});  // only -1 is True
  // Arguments are the caller's variables, read and left as they were.
  EXPECT_EQ(Variant("rs1"), nameArg);
  EXPECT_EQ(Variant(rs1), rsArg);

  EXPECT_EQ(Variant::Long(3), Invoke(*rc, 0x68030002, com::DISPATCH_PROPERTYGET));
  Variant position = Variant::Long(1);
  EXPECT_EQ(Variant(rs1), Invoke(*rc, 0x60030005, com::DISPATCH_METHOD, {&position}));
  Variant entries = Invoke(*rc, 0x68030001, com::DISPATCH_PROPERTYGET);  // hidden, still callable
  Ref<Collection> list = RefCast<Collection>(entries.AsObject());
  ASSERT_TRUE(list);
  EXPECT_EQ(Variant(rs1), list->Item(1));
  EXPECT_EQ(Variant("rs2"), list->Item(2));
  EXPECT_EQ(Variant(rs2), list->Item(3));
  Variant names = Invoke(*rc, 0x68030000, com::DISPATCH_PROPERTYGET);
  EXPECT_EQ(Variant("rs3"), RefCast<Collection>(names.AsObject())->Item(3));

  Variant name = "rs1";
  Invoke(*rc, 0x60030004, com::DISPATCH_METHOD, {&name});
  EXPECT_EQ(Variant::Long(2), Invoke(*rc, 0x68030002, com::DISPATCH_PROPERTYGET));
  Invoke(*ds, 0x60030004, com::DISPATCH_METHOD);
  EXPECT_EQ(Variant::Long(0), Invoke(*rc, 0x68030002, com::DISPATCH_PROPERTYGET));
}

TEST_F(DataSourceClientTest, InvokeRefusesCallsThatDoNotFitTheMember) {
  Ref<com::IDispatch> ds;
  ASSERT_EQ(com::S_OK, com::CreateInstance(vendrel12::kQueryDataSourceClassId, &ds));
  Ref<com::IDispatch> rc = Dispatch(Invoke(*ds, 0x68030002, com::DISPATCH_PROPERTYGET).AsObject());
  ASSERT_TRUE(rc);
  Variant rs(Recordset::Create()), name("rs1"), flag = Variant::Boolean(false), extra = Variant::Long(1);
  Variant text("not a recordset");
  Variant result;
  struct Case {
    const char* what;
    com::DispId id;
    uint16_t flags;
    std::vector<Variant*> args;
    HRESULT expected;
  };
  const Case cases[] = {
      {"unknown identifier", 0x60030099, com::DISPATCH_METHOD, {}, com::DISP_E_MEMBERNOTFOUND},
      {"method called as property", 0x60030003, com::DISPATCH_PROPERTYGET, {&rs, &name}, com::DISP_E_MEMBERNOTFOUND},
      {"property called as method", 0x68030002, com::DISPATCH_METHOD, {}, com::DISP_E_MEMBERNOTFOUND},
      {"too many arguments", 0x60030003, com::DISPATCH_METHOD, {&rs, &name, &flag, &extra},
       com::DISP_E_BADPARAMCOUNT},
      {"required argument left out", 0x60030003, com::DISPATCH_METHOD, {&rs}, com::DISP_E_PARAMNOTOPTIONAL},
      {"required argument given as null", 0x60030003, com::DISPATCH_METHOD, {nullptr, &name},
       com::DISP_E_PARAMNOTOPTIONAL},
      {"text for a recordset", 0x60030003, com::DISPATCH_METHOD, {&text, &name}, com::DISP_E_TYPEMISMATCH},
      {"recordset for a text", 0x60030003, com::DISPATCH_METHOD, {&rs, &rs}, com::DISP_E_TYPEMISMATCH},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.expected, rc->Invoke(c.id, c.flags, c.args, &result));
  }
  EXPECT_EQ(Variant::Long(0), Invoke(*rc, 0x68030002, com::DISPATCH_PROPERTYGET));

  // A member's own failure comes back as from the vtable, with error information.
  Variant zero = Variant::Long(0);
  EXPECT_EQ(com::MakeHResult(0x800A0009), rc->Invoke(0x60030005, com::DISPATCH_METHOD, {{&zero}}, &result));
  auto info = com::GetErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(PlatformErrorText(9), info->description);
}

// ---------------------------------------------------------------- apartments, registration, unloading

TEST_F(DataSourceClientTest, CallFromAnotherThreadFailsWithoutTouchingTheObject) {
  auto ds = QueryDataSourcePtr::CreateInstance();
  RecordsetCollectionPtr collection = ds.RecordsetCollection();
  auto rs = TextRecordset({"A"}, {});
  collection.Add(rs, "rs1");
  const long refs = rs->RefCount();

  std::vector<HRESULT> results;
  std::thread other([&] {
    Ref<Recordset> given = rs;
    std::string name = "rs2";
    com::VARIANT_BOOL flag = com::VARIANT_FALSE;
    results.push_back(collection->Add(&given, &name, &flag));
    int32_t count = -1;
    results.push_back(collection->get_Count(&count));
    results.push_back(ds->EmptyRecordsetCollection());
    Variant out;
    results.push_back(ds->Invoke(0x60030004, com::DISPATCH_METHOD, {}, &out));
    Ref<com::IUnknown> unknown;
    results.push_back(ds->QueryInterface(com::IDispatch::Iid, &unknown));
  });
  other.join();
  for (HRESULT hr : results) EXPECT_EQ(com::RPC_E_WRONG_THREAD, hr);
  EXPECT_EQ(1, collection.Count());
  EXPECT_EQ(refs, rs->RefCount());
}

TEST_F(DataSourceClientTest, AfterUnregisteringCreationFailsAsClassNotRegistered) {
  { auto ds = QueryDataSourcePtr::CreateInstance(); }
  Unregister();
  Ref<_QueryDataSource> ds;
  EXPECT_EQ(com::REGDB_E_CLASSNOTREG, com::CreateInstance(vendrel12::kQueryDataSourceClassId, &ds));
  EXPECT_EQ(com::REGDB_E_CLASSNOTREG, com::CreateInstance(vendrel12::kQueryDataSourceProgId, &ds));
  EXPECT_FALSE(ds);
  try {
    QueryDataSourcePtr::CreateInstance();
    FAIL() << "created";
  } catch (const Error& e) {
    EXPECT_EQ(-2147221164, e.Number());
    EXPECT_EQ("Class not registered", e.Description());
  }
}

bool LoadedInProcess(const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle) ::dlclose(handle);
  return handle != nullptr;
}

TEST_F(DataSourceClientTest, LibraryIsUnloadedOnceNothingHoldsIt) {
  const std::string path = std::filesystem::absolute(VDL_SERVER_LIBRARY).lexically_normal().string();
  auto ds = QueryDataSourcePtr::CreateInstance();
  RecordsetCollectionPtr collection = ds.RecordsetCollection();
  ds = {};
  ASSERT_EQ(std::vector<std::string>{path}, com::LoadedLibraries());

  com::FreeUnusedLibraries();  // the collection still lives
  EXPECT_EQ(1u, com::LoadedLibraries().size());
  EXPECT_EQ(0, collection.Count());

  auto lockServer = [](bool lock) {
    Ref<com::IUnknown> factory;
    ASSERT_EQ(com::S_OK, com::GetClassObject(vendrel12::kQueryDataSourceClassId, com::IClassFactory::Iid, &factory));
    EXPECT_EQ(com::S_OK, static_cast<com::IClassFactory*>(factory.get())->LockServer(lock));
  };
  lockServer(true);
  collection = {};
  com::FreeUnusedLibraries();  // locked, with no object alive
  EXPECT_EQ(1u, com::LoadedLibraries().size());
  lockServer(false);

  com::FreeUnusedLibraries();
  EXPECT_TRUE(com::LoadedLibraries().empty());
  EXPECT_FALSE(LoadedInProcess(path));

  // Loaded again on the next creation.
  auto again = QueryDataSourcePtr::CreateInstance();
  EXPECT_EQ(0, again.RecordsetCollection().Count());
}

}  // namespace
}  // namespace vendrel::testing

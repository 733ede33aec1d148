// The query class as a client of the component sees it: creation through the
// registry, Execute through the vtable and through Invoke, errors as the
// component's HRESULTs with error information, and release.

#include <algorithm>
#include <atomic>
#include <thread>

#include "client_fixture.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"

namespace vendrel::testing {
namespace {

using com::HRESULT;
using vendrel12::_QueryDataSource;
using vendrel12::_Vendrel;
using vendrel12::QueryDataSourcePtr;
using vendrel12::VendrelPtr;

constexpr const char* kExample1Sql =
    "SELECT rs1.PRODUCT, rs2.SUPPLIER, rs2.COUNTRY FROM rs1 LEFT OUTER JOIN rs2 ON rs1.SUPPLIER=rs2.SUPPLIER";

// The two recordsets of the first demonstration example, their last rows
// still being added.
void FillExample1(const vendrel12::RecordsetCollectionPtr& collection) {
  collection.Add(TextRecordset({"PRODUCT", "SUPPLIER"}, {{"Wheels", "WHL"},
                                                         {"Battery", "BTR"},
                                                         {"Seats", "SES"},
                                                         {"SRS", "SES"},
                                                         {"Carpet", "CRT"},
                                                         {"Windshield", "CRT"},
                                                         {"Radio", "RDO"},
                                                         {"Tyres", "TRS"},
                                                         {"Alloy Wheels", "ALS"}}),
                 "rs1");
  collection.Add(TextRecordset({"SUPPLIER", "COUNTRY"}, {{"TRS", "Germany"},
                                                         {"CRT", "UK"},
                                                         {"RDO", "Holland"},
                                                         {"SES", "USA"},
                                                         {"BTR", "Canada"},
                                                         {"WHL", "Spain"}}),
                 "rs2");
}

std::string Cell(const Variant& v) { return v.IsNull() ? "(Null)" : ToText(v); }

// The rows of a result as text, sorted: the statement asks for no order.
std::vector<std::string> SortedRows(const Ref<Recordset>& rs) {
  std::vector<std::string> rows;
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
    std::string row;
    for (long i = 0; i < rs->Fields().Count(); ++i)
      row += (i ? "|" : "") + Cell(rs->Fields()[static_cast<size_t>(i)].Value());
    rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void ExpectExample1Result(const Ref<Recordset>& rs) {
  ASSERT_TRUE(rs);
  ASSERT_EQ(3, rs->Fields().Count());
  EXPECT_EQ("PRODUCT", rs->Fields()[0].Name());
  EXPECT_EQ("SUPPLIER", rs->Fields()[1].Name());
  EXPECT_EQ("COUNTRY", rs->Fields()[2].Name());
  const std::vector<std::string> expected = {
      "Alloy Wheels|(Null)|(Null)", "Battery|BTR|Canada", "Carpet|CRT|UK",   "Radio|RDO|Holland", "SRS|SES|USA",
      "Seats|SES|USA",              "Tyres|TRS|Germany",  "Wheels|WHL|Spain", "Windshield|CRT|UK",
  };
  EXPECT_EQ(expected, SortedRows(rs));
}

void ExpectVendrelError(HRESULT hr, long number, const std::string& descriptionStart) {
  EXPECT_EQ(com::HResultFromErrorNumber(number), hr);
  auto info = com::GetErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(_Vendrel::Iid, info->interfaceId);
  EXPECT_EQ("Vendrel", info->source);
  EXPECT_EQ(descriptionStart, info->description.substr(0, descriptionStart.size())) << info->description;
}

class VendrelClientTest : public ComClientTest {};

TEST_F(VendrelClientTest, CreatesVendrelByClassIdAndByProgIdAndReleaseRemovesItsFolder) {
  EXPECT_EQ(0u, FoldersInTemp());
  {
    Ref<_Vendrel> byClassId;
    ASSERT_EQ(com::S_OK, com::CreateInstance(vendrel12::kVendrelClassId, &byClassId));
    EXPECT_EQ(1u, FoldersInTemp());  // its OptimizedFolder
    VendrelPtr byProgId = VendrelPtr::CreateInstance(vendrel12::kVendrelProgId);
    EXPECT_EQ(2u, FoldersInTemp());
    byClassId = {};
    EXPECT_EQ(1u, FoldersInTemp());  // the last reference went: the release steps ran
  }
  EXPECT_EQ(0u, FoldersInTemp());
}

TEST_F(VendrelClientTest, RunsTheFirstExampleThroughTheVtable) {
  auto query = VendrelPtr::CreateInstance();
  auto source = QueryDataSourcePtr::CreateInstance(vendrel12::kQueryDataSourceProgId);
  FillExample1(source.RecordsetCollection());
  Ref<Recordset> result = query.Execute(source, kExample1Sql, adOpenStatic, adLockReadOnly);
  ExpectExample1Result(result);
  // The result is the caller's alone, and disconnected.
  EXPECT_EQ(1, result->RefCount());
  EXPECT_FALSE(result->ActiveConnection());
  source.EmptyRecordsetCollection();
  query = {};
  EXPECT_EQ(0u, FoldersInTemp());
  ExpectExample1Result(result);  // outlives the query object
}

TEST_F(VendrelClientTest, RunsTheFirstExampleThroughInvokeWithTheOptionalArgumentsLeftOut) {
  Ref<com::IDispatch> query;
  ASSERT_EQ(com::S_OK, com::CreateInstance(vendrel12::kVendrelClassId, &query));
  Ref<com::IDispatch> source;
  ASSERT_EQ(com::S_OK, com::CreateInstance(vendrel12::kQueryDataSourceClassId, &source));
  FillExample1(QueryDataSourcePtr(com::QueryInterface<_QueryDataSource>(source.get())).RecordsetCollection());

  const std::string name = "execute";
  com::DispId execute = 0;
  ASSERT_EQ(com::S_OK, query->GetIDsOfNames({&name, 1}, {&execute, 1}));
  ASSERT_EQ(0x60030002, execute);

  Variant dataSource = Variant::FromObject(Ref<Object>(dynamic_cast<Object*>(source.get())));
  Variant sql(kExample1Sql), cursorType = Variant::Long(3), lockType = Variant::Long(1);
  Variant* args[] = {&dataSource, &sql, &cursorType, &lockType};
  Variant result;
  ASSERT_EQ(com::S_OK, query->Invoke(execute, com::DISPATCH_METHOD, args, &result));
  ExpectExample1Result(RefCast<Recordset>(result.AsObject()));
  EXPECT_EQ(Variant(kExample1Sql), sql);  // the caller's variables are unchanged
  EXPECT_EQ(Variant::Long(3), cursorType);
}

TEST_F(VendrelClientTest, AFailingExecuteReturnsTheComponentErrorAsItsHResult) {
  auto query = VendrelPtr::CreateInstance();
  auto source = QueryDataSourcePtr::CreateInstance();
  FillExample1(source.RecordsetCollection());

  // Through the vtable: the component's 1007 for a statement the driver refuses.
  Ref<_QueryDataSource> ds = source.Interface();
  std::string sql = "SELECT rs1.PRODUCT FROM rs1 WHERE rs1.PRODUCT rs1.SUPPLIER";
  CursorTypeEnum cursorType = adOpenStatic;
  LockTypeEnum lockType = adLockReadOnly;
  Ref<Recordset> result;
  const HRESULT hr = query->Execute(&ds, &sql, &cursorType, &lockType, nullptr, nullptr, nullptr, nullptr, &result);
  EXPECT_EQ(com::MakeHResult(0x800403EF), hr);
  ExpectVendrelError(hr, -2147220497, "[Vendrel] SQL syntax error (missing Operator) in query expression.");
  EXPECT_FALSE(result);

  // Through the wrapper: the same as a vendrel::Error.
  try {
    query.Execute(source, "SELECT rs1.PRODUCT FROM rs1", adOpenStatic, adLockReadOnly, false, "", "/nonexistent");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(-2147220494, e.Number());  // 1010
    EXPECT_EQ("Vendrel", e.Source());
    EXPECT_EQ("[Vendrel] Unable to create temporary folder: /nonexistent/VDL",
              e.Description().substr(0, std::string("[Vendrel] Unable to create temporary folder: /nonexistent/VDL").size()));
  }
}

TEST_F(VendrelClientTest, AFailureBeforeTheDriverRunsReachesInvokeAsItsHResult) {
  Ref<com::IDispatch> query;
  ASSERT_EQ(com::S_OK, com::CreateInstance(vendrel12::kVendrelClassId, &query));
  auto source = QueryDataSourcePtr::CreateInstance();
  Variant dataSource = Variant::FromObject(Ref<Object>(dynamic_cast<Object*>(source.Interface().get())));
  Variant sql("SELECT rs1.A FROM rs1"), cursorType = Variant::Long(3), lockType = Variant::Long(1);
  Variant folder("/nonexistent");
  Variant* args[] = {&dataSource, &sql, &cursorType, &lockType, nullptr, nullptr, &folder};
  Variant result;
  const HRESULT hr = query->Invoke(_Vendrel::kExecute, com::DISPATCH_METHOD, args, &result);
  ExpectVendrelError(hr, -2147220494, "[Vendrel] Unable to create temporary folder: /nonexistent/VDL");
  EXPECT_TRUE(result.IsEmpty());
}

// A data source of another implementation, not an object of the library.
class ForeignDataSource final : public _QueryDataSource {
 public:
  com::HRESULT QueryInterface(const com::Guid& iid, Ref<com::IUnknown>* object) override {
    if (!com::InterfaceChainHas<_QueryDataSource>(iid)) return com::E_NOINTERFACE;
    *object = Ref<com::IUnknown>(this);
    return com::S_OK;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    const uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  com::HRESULT GetTypeInfoCount(uint32_t*) override { return com::E_NOTIMPL; }
  com::HRESULT GetTypeInfo(uint32_t, const com::InterfaceInfo**) override { return com::E_NOTIMPL; }
  com::HRESULT GetIDsOfNames(std::span<const std::string>, std::span<com::DispId>) override {
    return com::E_NOTIMPL;
  }
  com::HRESULT Invoke(com::DispId, uint16_t, std::span<Variant* const>, Variant*) override { return com::E_NOTIMPL; }
  com::HRESULT get_RecordsetCollection(Ref<vendrel12::_RecordsetCollection>*) override { return com::E_NOTIMPL; }
  com::HRESULT EmptyRecordsetCollection() override { return com::E_NOTIMPL; }

 private:
  ~ForeignDataSource() = default;
  std::atomic<uint32_t> refs_{0};
};

TEST_F(VendrelClientTest, ADataSourceOfAnotherImplementationIsRefusedAsTheGenericFailure) {
  auto query = VendrelPtr::CreateInstance();
  const std::string unknownCause =
      "An error has occured but the component is unable to establish the cause. Unable to continue.";
  Ref<_QueryDataSource> foreign(new ForeignDataSource);
  std::string sql = "SELECT rs1.A FROM rs1";
  CursorTypeEnum cursorType = adOpenStatic;
  LockTypeEnum lockType = adLockReadOnly;
  Ref<Recordset> result;
  HRESULT hr = query->Execute(&foreign, &sql, &cursorType, &lockType, nullptr, nullptr, nullptr, nullptr, &result);
  ExpectVendrelError(hr, -2147220502, unknownCause);

  // Nothing, and an object that is no data source at all, through Invoke.
  Ref<com::IDispatch> dispatch = com::QueryInterface<com::IDispatch>(query.Interface().get());
  Variant nothing = Variant::Nothing(), recordset(Recordset::Create());
  Variant text(sql), three = Variant::Long(3), one = Variant::Long(1);
  for (Variant* dataSource : {&nothing, &recordset}) {
    Variant* args[] = {dataSource, &text, &three, &one};
    Variant out;
    hr = dispatch->Invoke(_Vendrel::kExecute, com::DISPATCH_METHOD, args, &out);
    ExpectVendrelError(hr, -2147220502, unknownCause);
  }
}

TEST_F(VendrelClientTest, ExecuteFromAnotherThreadFailsWithoutTouchingTheObject) {
  auto query = VendrelPtr::CreateInstance();
  auto source = QueryDataSourcePtr::CreateInstance();
  const size_t folders = FoldersInTemp();
  HRESULT hr = com::S_OK;
  std::thread([&] {
    try {
      query.Execute(source, "SELECT rs1.A FROM rs1", adOpenStatic, adLockReadOnly);
    } catch (const Error& e) {
      hr = com::HResultFromErrorNumber(e.Number());
    }
  }).join();
  EXPECT_EQ(com::RPC_E_WRONG_THREAD, hr);
  EXPECT_EQ(folders, FoldersInTemp());  // no query folder was made
}

TEST_F(VendrelClientTest, AFailedCreationReportsTheQueryObjectsError) {
  ::setenv("TMPDIR", "/nonexistent/tmp", 1);
  try {
    VendrelPtr::CreateInstance();
    FAIL() << "created";
  } catch (const Error& e) {
    EXPECT_EQ(-2147220494, e.Number());  // 1010, raised as it was: no prefix
    EXPECT_EQ("Vendrel", e.Source());
    EXPECT_EQ("Unable to create temporary folder: ", e.Description().substr(0, 35));
  }
}

TEST_F(VendrelClientTest, ALibraryThatMadeAQueryObjectStaysLoaded) {
  VendrelPtr::CreateInstance();  // made and released at once
  com::FreeUnusedLibraries();
  EXPECT_EQ(1u, com::LoadedLibraries().size());
}

}  // namespace
}  // namespace vendrel::testing

// The query class as a client of the component sees it: creation through the
// registry, Execute through the vtable and through Invoke, errors as the
// component's HRESULTs with error information, and release.

#include <algorithm>
#include <atomic>
#include <thread>

#include "client_fixture.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"

namespace vendrel::testing {
namespace {

using com::HRESULT;
using vendrel12::_QueryDataSource;
using vendrel12::_Vendrel;
using vendrel12::QueryDataSourcePtr;
using vendrel12::VendrelPtr;

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

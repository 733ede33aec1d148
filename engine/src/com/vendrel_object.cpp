#include "com/vendrel_object.h"

#include "com/data_source_objects.h"
#include "com/type_library.h"

namespace vendrel::server {

namespace {

// A data source of another implementation that is no Object of ours: handed
// to the query object as it is, which refuses it like any foreign object.
class ForeignDataSource final : public Object {
 public:
  explicit ForeignDataSource(Ref<com::IUnknown> held) : held_(std::move(held)) {}

 private:
  Ref<com::IUnknown> held_;
};

// The query object takes this library's own data source; anything else goes
// to it unchanged, to be refused there.
Ref<Object> DataSourceForQuery(const Ref<Object>& given) {
  if (auto* own = dynamic_cast<QueryDataSourceObject*>(given.get())) return own->DataSource();
  return given;
}

Ref<Object> DataSourceForQuery(const Ref<vendrel12::_QueryDataSource>& given) {
  if (!given) return {};
  if (auto* object = dynamic_cast<Object*>(given.get())) return DataSourceForQuery(Ref<Object>(object));
  return MakeRef<ForeignDataSource>(Ref<com::IUnknown>(given.get()));
}

template <class T>
const T& Required(const T* pointer) {
  if (!pointer) throw com::DispatchFailure{com::E_POINTER};
  return *pointer;
}

template <class T>
T Optional(const T* pointer) {
  return pointer ? *pointer : T();
}

}  // namespace

Ref<VendrelObject> VendrelObject::Create(com::ServerModule& module) {
  auto object = MakeRef<VendrelObject>(module, vendrel::Vendrel::Create());
  // A query object registers the driver's providers with the data-access
  // layer, which outlives this library and would keep pointers into the
  // unloaded driver: from now on the library stays loaded.
  module.KeepLoaded();
  return object;
}

VendrelObject::VendrelObject(com::ServerModule& module, Ref<vendrel::Vendrel> query)
    : DispatchObject(module, kVendrelInterface), query_(std::move(query)) {}

com::HRESULT VendrelObject::Execute(Ref<vendrel12::_QueryDataSource>* DataSource, std::string* SQL,
                                    CursorTypeEnum* CursorType, LockTypeEnum* LockType,
                                    com::VARIANT_BOOL* OptimizeRecordset, std::string* RecordsetName,
                                    std::string* TempFileFolder, std::string* AltQuoteMark, Ref<Recordset>* result) {
  return Call([&] {
    Required(result);
    *result = query_->Execute(DataSourceForQuery(Required(DataSource)), Required(SQL), Required(CursorType),
                              Required(LockType), VariantBool::FromRaw(Optional(OptimizeRecordset)),
                              Optional(RecordsetName), Optional(TempFileFolder), Optional(AltQuoteMark));
  });
}

com::HRESULT VendrelObject::Invoke(com::DispId member, uint16_t flags, std::span<Variant* const> arguments,
                                   Variant* result) {
  return Call([&] {
    const com::InvokeArguments args(Info(), member, flags, arguments);
    // Execute is the interface's one member.
    Ref<Recordset> recordset =
        query_->Execute(DataSourceForQuery(args.ObjectValue(0)), args.Text(1), args.Long(2), args.Long(3),
                        VariantBool::FromRaw(args.Flag(4)), args.Text(5), args.Text(6), args.Text(7));
    if (result) *result = Variant(recordset);
  });
}

}  // namespace vendrel::server

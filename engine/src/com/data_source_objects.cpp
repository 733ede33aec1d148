#include "com/data_source_objects.h"

#include "com/type_library.h"

namespace vendrel::server {

namespace {

template <class T>
void Require(T* pointer) {
  if (!pointer) throw com::DispatchFailure{com::E_POINTER};
}

template <class T>
void SetResult(Variant* result, T value) {
  if (result) *result = Variant(std::move(value));
}

}  // namespace

// ---------------------------------------------------------------- RecordsetCollection

RecordsetCollectionObject::RecordsetCollectionObject(com::ServerModule& module,
                                                     Ref<vendrel::RecordsetCollection> collection)
    : DispatchObject(module, kRecordsetCollectionInterface), collection_(std::move(collection)) {}

HRESULT RecordsetCollectionObject::Add(Ref<Recordset>* ValidRecordset, std::string* RecordsetName,
                                       VARIANT_BOOL* OptimizedRecordset) {
  return Call([&] {
    Require(ValidRecordset);
    Require(RecordsetName);
    const auto optimized = VariantBool::FromRaw(OptimizedRecordset ? *OptimizedRecordset : com::VARIANT_FALSE);
    collection_->Add(*ValidRecordset, *RecordsetName, optimized);
  });
}

HRESULT RecordsetCollectionObject::Remove(Variant* Index) {
  return Call([&] {
    Require(Index);
    collection_->Remove(*Index);
  });
}

HRESULT RecordsetCollectionObject::Item(Variant* Index, Ref<Recordset>* result) {
  return Call([&] {
    Require(Index);
    Require(result);
    *result = collection_->Item(*Index);
  });
}

HRESULT RecordsetCollectionObject::get_Count(int32_t* result) {
  return Call([&] {
    Require(result);
    *result = static_cast<int32_t>(collection_->Count());
  });
}

HRESULT RecordsetCollectionObject::get_CollectionRecordset(Ref<vendrel::Collection>* result) {
  return Call([&] {
    Require(result);
    *result = collection_->CollectionRecordset();
  });
}

HRESULT RecordsetCollectionObject::get_rsNameCollection(Ref<vendrel::Collection>* result) {
  return Call([&] {
    Require(result);
    *result = collection_->rsNameCollection();
  });
}

HRESULT RecordsetCollectionObject::Invoke(DispId member, uint16_t flags, std::span<Variant* const> arguments,
                                          Variant* result) {
  using I = vendrel12::_RecordsetCollection;
  return Call([&] {
    const com::InvokeArguments args(Info(), member, flags, arguments);
    switch (member) {
      case I::kAdd: {
        Ref<Recordset> recordset = RefCast<Recordset>(args.ObjectValue(0));
        if (!recordset && args.ObjectValue(0)) throw com::DispatchFailure{com::DISP_E_TYPEMISMATCH};
        collection_->Add(recordset, args.Text(1), VariantBool::FromRaw(args.Flag(2)));
        break;
      }
      case I::kRemove: collection_->Remove(args.Value(0)); break;
      case I::kItem: SetResult(result, collection_->Item(args.Value(0))); break;
      case I::kCount: SetResult(result, Variant::Long(static_cast<int32_t>(collection_->Count()))); break;
      case I::kCollectionRecordset: SetResult(result, collection_->CollectionRecordset()); break;
      case I::kRsNameCollection: SetResult(result, collection_->rsNameCollection()); break;
    }
  });
}

// ---------------------------------------------------------------- QueryDataSource

Ref<QueryDataSourceObject> QueryDataSourceObject::Create(com::ServerModule& module) {
  return MakeRef<QueryDataSourceObject>(module);
}

QueryDataSourceObject::QueryDataSourceObject(com::ServerModule& module)
    : DispatchObject(module, kQueryDataSourceInterface) {}

const Ref<RecordsetCollectionObject>& QueryDataSourceObject::Collection() {
  if (!collection_) collection_ = MakeRef<RecordsetCollectionObject>(Module(), dataSource_->RecordsetCollection());
  return collection_;
}

HRESULT QueryDataSourceObject::get_RecordsetCollection(Ref<vendrel12::_RecordsetCollection>* result) {
  return Call([&] {
    Require(result);
    *result = Collection();
  });
}

HRESULT QueryDataSourceObject::EmptyRecordsetCollection() {
  return Call([&] { dataSource_->EmptyRecordsetCollection(); });
}

HRESULT QueryDataSourceObject::Invoke(DispId member, uint16_t flags, std::span<Variant* const> arguments,
                                      Variant* result) {
  using I = vendrel12::_QueryDataSource;
  return Call([&] {
    const com::InvokeArguments args(Info(), member, flags, arguments);
    switch (member) {
      case I::kRecordsetCollection: SetResult(result, Collection()); break;
      case I::kEmptyRecordsetCollection: dataSource_->EmptyRecordsetCollection(); break;
    }
  });
}

}  // namespace vendrel::server

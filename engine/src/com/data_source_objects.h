#pragma once
// The component classes QueryDataSource and RecordsetCollection: the data
// source objects of the library behind their default interfaces. They add no
// error handling of their own; the collection's errors 5, 9 and 457 reach the
// client as their HRESULTs.

#include "vendrel/dataaccess/com/server.h"
#include "vendrel/datasource/query_data_source.h"
#include "vendrel/datasource/recordset_collection.h"
#include "vendrel/engine/vendrel12.h"

namespace vendrel::server {

using com::DispId;
using com::HRESULT;
using com::VARIANT_BOOL;

class RecordsetCollectionObject final : public com::DispatchObject<vendrel12::_RecordsetCollection> {
 public:
  RecordsetCollectionObject(com::ServerModule& module, Ref<vendrel::RecordsetCollection> collection);

  HRESULT Add(Ref<Recordset>* ValidRecordset, std::string* RecordsetName, VARIANT_BOOL* OptimizedRecordset) override;
  HRESULT Remove(Variant* Index) override;
  HRESULT Item(Variant* Index, Ref<Recordset>* result) override;
  HRESULT get_Count(int32_t* result) override;
  HRESULT get_CollectionRecordset(Ref<Collection>* result) override;
  HRESULT get_rsNameCollection(Ref<Collection>* result) override;
  HRESULT Invoke(DispId member, uint16_t flags, std::span<Variant* const> arguments, Variant* result) override;

 private:
  Ref<vendrel::RecordsetCollection> collection_;
};

class QueryDataSourceObject final : public com::DispatchObject<vendrel12::_QueryDataSource> {
 public:
  static Ref<QueryDataSourceObject> Create(com::ServerModule& module);
  explicit QueryDataSourceObject(com::ServerModule& module);

  HRESULT get_RecordsetCollection(Ref<vendrel12::_RecordsetCollection>* result) override;
  HRESULT EmptyRecordsetCollection() override;
  HRESULT Invoke(DispId member, uint16_t flags, std::span<Variant* const> arguments, Variant* result) override;

  // The data source itself, as the query engine takes it.
  const Ref<vendrel::QueryDataSource>& DataSource() const noexcept { return dataSource_; }

 private:
  // One component object for the data source's one collection, made at first use.
  const Ref<RecordsetCollectionObject>& Collection();

  Ref<vendrel::QueryDataSource> dataSource_ = vendrel::QueryDataSource::Create();
  Ref<RecordsetCollectionObject> collection_;
};

}  // namespace vendrel::server

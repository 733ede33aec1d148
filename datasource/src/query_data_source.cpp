#include "vendrel/datasource/query_data_source.h"

#include "vendrel/dataaccess/error.h"

namespace vendrel {

vendrel::RecordsetCollection& QueryDataSource::Recordsets() {
  if (!recordsets_) recordsets_ = vendrel::RecordsetCollection::Create();
  return *recordsets_;
}

Ref<vendrel::RecordsetCollection> QueryDataSource::RecordsetCollection() {
  Recordsets();
  return recordsets_;
}

void QueryDataSource::EmptyRecordsetCollection() {
  while (Recordsets().Count() > 0) Recordsets().Remove(Variant::Long(1));
}

Ref<Collection> QueryDataSource::GetCollectionRecordset() { return Recordsets().CollectionRecordset(); }
Ref<Collection> QueryDataSource::GetNameCollection() { return Recordsets().rsNameCollection(); }

namespace {
QueryDataSource& OwnDataSource(const Ref<Object>& dataSource) {
  if (!dataSource) RaisePlatform(err::kObjectNotSet, source::kRuntime);
  auto* own = dynamic_cast<QueryDataSource*>(dataSource.get());
  if (!own) RaisePlatform(err::kNotInstanceOfDefiningClass, source::kRuntime);
  return *own;
}
}  // namespace

Ref<Collection> GetCollectionRecordset(const Ref<Object>& dataSource) {
  return OwnDataSource(dataSource).GetCollectionRecordset();
}

Ref<Collection> GetNameCollection(const Ref<Object>& dataSource) {
  return OwnDataSource(dataSource).GetNameCollection();
}

}  // namespace vendrel

#pragma once
// What a caller fills with named recordsets and hands to a query.

#include "vendrel/dataaccess/collection.h"
#include "vendrel/dataaccess/object.h"
#include "vendrel/datasource/recordset_collection.h"

namespace vendrel {

class QueryDataSource : public Object {
 public:
  static Ref<QueryDataSource> Create() { return MakeRef<QueryDataSource>(); }

  // The same collection on every call; made at the first use of any member.
  Ref<vendrel::RecordsetCollection> RecordsetCollection();
  // Removes every entry, from the front.
  void EmptyRecordsetCollection();

  // For the query engine: the entry list and the name list of the
  // collection, the list objects themselves.
  Ref<Collection> GetCollectionRecordset();
  Ref<Collection> GetNameCollection();

 private:
  vendrel::RecordsetCollection& Recordsets();

  Ref<vendrel::RecordsetCollection> recordsets_;
};

// The accessors above, for a data source given as any object: an object that
// is not this library's QueryDataSource is refused with error 97, and
// nothing with error 91.
Ref<Collection> GetCollectionRecordset(const Ref<Object>& dataSource);
Ref<Collection> GetNameCollection(const Ref<Object>& dataSource);

}  // namespace vendrel

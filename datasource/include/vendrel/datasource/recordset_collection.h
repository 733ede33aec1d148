#pragma once
// The named list of input recordsets over which one query runs.

#include <string>

#include "vendrel/dataaccess/collection.h"
#include "vendrel/dataaccess/object.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/dataaccess/variant.h"
#include "vendrel/datasource/variant_bool.h"

namespace vendrel {

// Three parallel lists, position i denoting the same entry in each:
// CollectionRecordset (keyed by name; the recordset, or for an optimized
// entry the name itself), rsObjectCollection (the recordset) and
// rsNameCollection (the name). Errors are the lists' own: 457, 9 and 5.
class RecordsetCollection : public Object {
 public:
  static Ref<RecordsetCollection> Create() { return MakeRef<RecordsetCollection>(); }

  void Add(const Ref<Recordset>& validRecordset, const std::string& recordsetName,
           VariantBool optimizedRecordset = false);
  // Index is a position 1..Count or a recordset name.
  void Remove(const Variant& index);
  Ref<Recordset> Item(const Variant& index);
  long Count();
  // The lists themselves, shared: the query engine keeps them between queries.
  Ref<Collection> CollectionRecordset();
  Ref<Collection> rsNameCollection();

 private:
  Collection& Entries();
  Collection& Objects();
  Collection& Names();

  Ref<Collection> collectionRecordset_;
  Ref<Collection> rsObjectCollection_;
  Ref<Collection> rsNameCollection_;
};

}  // namespace vendrel

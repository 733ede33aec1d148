#include "vendrel/datasource/recordset_collection.h"

#include "vendrel/dataaccess/error.h"

namespace vendrel {

namespace {
Collection& EnsureList(Ref<Collection>& list) {
  if (!list) list = Collection::Create();
  return *list;
}
}  // namespace

Collection& RecordsetCollection::Entries() { return EnsureList(collectionRecordset_); }
Collection& RecordsetCollection::Objects() { return EnsureList(rsObjectCollection_); }
Collection& RecordsetCollection::Names() { return EnsureList(rsNameCollection_); }

void RecordsetCollection::Add(const Ref<Recordset>& validRecordset, const std::string& recordsetName,
                              VariantBool optimizedRecordset) {
  // The keyed list fails first on a name already present, so a failed Add changes nothing.
  if (optimizedRecordset.IsTrue())
    Entries().Add(Variant(recordsetName), recordsetName);
  else
    Entries().Add(Variant(validRecordset), recordsetName);
  Objects().Add(Variant(validRecordset));
  Names().Add(Variant(recordsetName));
}

void RecordsetCollection::Remove(const Variant& index) {
  // A name is resolved on the keyed list; the other two lists are positional.
  const Variant position =
      index.IsString() ? Variant::Long(static_cast<int32_t>(Entries().PositionOf(index.AsString()))) : index;
  if (index.IsString() && position.AsLong() == 0) RaisePlatform(err::kInvalidProcedureCall, source::kRuntime);
  Entries().Remove(position);
  Objects().Remove(position);
  Names().Remove(position);
}

Ref<Recordset> RecordsetCollection::Item(const Variant& index) {
  auto asRecordset = [](const Variant& item) {
    if (!item.IsObject()) RaisePlatform(err::kTypeMismatch, source::kRuntime);
    Ref<Recordset> rs = RefCast<Recordset>(item.AsObject());
    if (item.AsObject() && !rs) RaisePlatform(err::kTypeMismatch, source::kRuntime);
    return rs;
  };
  try {
    const Variant& entry = Entries().Item(index);
    if (entry.IsObject()) return asRecordset(entry);
  } catch (const Error&) {
    // falls back to the positional list below
  }
  return asRecordset(Objects().Item(index));
}

long RecordsetCollection::Count() { return Entries().Count(); }

Ref<Collection> RecordsetCollection::CollectionRecordset() {
  Entries();
  return collectionRecordset_;
}

Ref<Collection> RecordsetCollection::rsNameCollection() {
  Names();
  return rsNameCollection_;
}

}  // namespace vendrel

#pragma once
// Client wrappers over the interfaces of Vendrel12: smart pointers whose
// methods take plain values, fill in left-out optional arguments and turn a
// failing HRESULT into a vendrel::Error with the error's number, source and
// description. An error number that travels as an HRESULT of the control
// facility (0x800A0000 + n) comes back as n, so the collection's errors are
// 5, 9 and 457 here as they are inside the library; the component's own
// errors keep their negative numbers (-2147221504 + n).

#include <string>
#include <utility>

#include "vendrel/dataaccess/com/error_info.h"
#include "vendrel/dataaccess/com/runtime.h"
#include "vendrel/engine/vendrel12.h"

namespace vendrel::vendrel12 {

namespace detail {

template <class I>
Ref<I> Create(const com::Guid& clsid) {
  Ref<I> p;
  com::CheckResult(com::CreateInstance(clsid, &p));
  return p;
}

template <class I>
Ref<I> Create(std::string_view progId) {
  Ref<I> p;
  com::CheckResult(com::CreateInstance(progId, &p));
  return p;
}

inline VARIANT_BOOL Flag(bool b) { return b ? com::VARIANT_TRUE : com::VARIANT_FALSE; }

// What every wrapper is: a shared reference to one interface. Calling
// through a wrapper over nothing fails with E_POINTER.
template <class I>
class InterfacePtr {
 public:
  InterfacePtr() = default;
  explicit InterfacePtr(Ref<I> p) : p_(std::move(p)) {}

  I* operator->() const noexcept { return p_.get(); }
  const Ref<I>& Interface() const noexcept { return p_; }
  explicit operator bool() const noexcept { return static_cast<bool>(p_); }

 protected:
  I& Raw() const {
    if (!p_) throw com::ErrorFromHResult(com::E_POINTER, I::Iid);
    return *p_;
  }
  static void Check(HRESULT hr) { com::CheckResult(hr, I::Iid); }

 private:
  Ref<I> p_;
};

}  // namespace detail

class RecordsetCollectionPtr : public detail::InterfacePtr<_RecordsetCollection> {
 public:
  using InterfacePtr::InterfacePtr;

  void Add(Ref<Recordset> ValidRecordset, std::string RecordsetName, bool OptimizedRecordset = false) const {
    VARIANT_BOOL flag = detail::Flag(OptimizedRecordset);
    Check(Raw().Add(&ValidRecordset, &RecordsetName, &flag));
  }
  void Remove(Variant Index) const { Check(Raw().Remove(&Index)); }
  Ref<Recordset> Item(Variant Index) const {
    Ref<Recordset> result;
    Check(Raw().Item(&Index, &result));
    return result;
  }
  long Count() const {
    int32_t result = 0;
    Check(Raw().get_Count(&result));
    return result;
  }
  Ref<Collection> CollectionRecordset() const {
    Ref<Collection> result;
    Check(Raw().get_CollectionRecordset(&result));
    return result;
  }
  Ref<Collection> rsNameCollection() const {
    Ref<Collection> result;
    Check(Raw().get_rsNameCollection(&result));
    return result;
  }
};

class QueryDataSourcePtr : public detail::InterfacePtr<_QueryDataSource> {
 public:
  using InterfacePtr::InterfacePtr;
  static QueryDataSourcePtr CreateInstance() {
    return QueryDataSourcePtr(detail::Create<_QueryDataSource>(kQueryDataSourceClassId));
  }
  static QueryDataSourcePtr CreateInstance(std::string_view progId) {
    return QueryDataSourcePtr(detail::Create<_QueryDataSource>(progId));
  }

  RecordsetCollectionPtr RecordsetCollection() const {
    Ref<_RecordsetCollection> result;
    Check(Raw().get_RecordsetCollection(&result));
    return RecordsetCollectionPtr(std::move(result));
  }
  void EmptyRecordsetCollection() const { Check(Raw().EmptyRecordsetCollection()); }
};

class VendrelPtr : public detail::InterfacePtr<_Vendrel> {
 public:
  using InterfacePtr::InterfacePtr;
  static VendrelPtr CreateInstance() { return VendrelPtr(detail::Create<_Vendrel>(kVendrelClassId)); }
  static VendrelPtr CreateInstance(std::string_view progId) { return VendrelPtr(detail::Create<_Vendrel>(progId)); }

  Ref<Recordset> Execute(const QueryDataSourcePtr& DataSource, std::string SQL, CursorTypeEnum CursorType,
                         LockTypeEnum LockType, bool OptimizeRecordset = false, std::string RecordsetName = "",
                         std::string TempFileFolder = "", std::string AltQuoteMark = "") const {
    Ref<_QueryDataSource> source = DataSource.Interface();
    VARIANT_BOOL optimize = detail::Flag(OptimizeRecordset);
    Ref<Recordset> result;
    Check(Raw().Execute(&source, &SQL, &CursorType, &LockType, &optimize, &RecordsetName, &TempFileFolder,
                        &AltQuoteMark, &result));
    return result;
  }
};

}  // namespace vendrel::vendrel12

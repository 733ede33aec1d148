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

// The interface behind a wrapper; a wrapper over nothing fails with E_POINTER.
template <class I>
I& Require(const Ref<I>& p) {
  if (!p) throw com::ErrorFromHResult(com::E_POINTER, I::Iid);
  return *p;
}

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

}  // namespace detail

class RecordsetCollectionPtr {
 public:
  RecordsetCollectionPtr() = default;
  explicit RecordsetCollectionPtr(Ref<_RecordsetCollection> p) : p_(std::move(p)) {}

  void Add(Ref<Recordset> ValidRecordset, std::string RecordsetName, bool OptimizedRecordset = false) const {
    VARIANT_BOOL flag = detail::Flag(OptimizedRecordset);
    Check(detail::Require(p_).Add(&ValidRecordset, &RecordsetName, &flag));
  }
  void Remove(Variant Index) const { Check(detail::Require(p_).Remove(&Index)); }
  Ref<Recordset> Item(Variant Index) const {
    Ref<Recordset> result;
    Check(detail::Require(p_).Item(&Index, &result));
    return result;
  }
  long Count() const {
    int32_t result = 0;
    Check(detail::Require(p_).get_Count(&result));
    return result;
  }
  Ref<Collection> CollectionRecordset() const {
    Ref<Collection> result;
    Check(detail::Require(p_).get_CollectionRecordset(&result));
    return result;
  }
  Ref<Collection> rsNameCollection() const {
    Ref<Collection> result;
    Check(detail::Require(p_).get_rsNameCollection(&result));
    return result;
  }

  _RecordsetCollection* operator->() const noexcept { return p_.get(); }
  const Ref<_RecordsetCollection>& Interface() const noexcept { return p_; }
  explicit operator bool() const noexcept { return static_cast<bool>(p_); }

 private:
  static void Check(HRESULT hr) { com::CheckResult(hr, _RecordsetCollection::Iid); }
  Ref<_RecordsetCollection> p_;
};

class QueryDataSourcePtr {
 public:
  QueryDataSourcePtr() = default;
  explicit QueryDataSourcePtr(Ref<_QueryDataSource> p) : p_(std::move(p)) {}
  static QueryDataSourcePtr CreateInstance() {
    return QueryDataSourcePtr(detail::Create<_QueryDataSource>(kQueryDataSourceClassId));
  }
  static QueryDataSourcePtr CreateInstance(std::string_view progId) {
    return QueryDataSourcePtr(detail::Create<_QueryDataSource>(progId));
  }

  RecordsetCollectionPtr RecordsetCollection() const {
    Ref<_RecordsetCollection> result;
    Check(detail::Require(p_).get_RecordsetCollection(&result));
    return RecordsetCollectionPtr(std::move(result));
  }
  void EmptyRecordsetCollection() const { Check(detail::Require(p_).EmptyRecordsetCollection()); }

  _QueryDataSource* operator->() const noexcept { return p_.get(); }
  const Ref<_QueryDataSource>& Interface() const noexcept { return p_; }
  explicit operator bool() const noexcept { return static_cast<bool>(p_); }

 private:
  static void Check(HRESULT hr) { com::CheckResult(hr, _QueryDataSource::Iid); }
  Ref<_QueryDataSource> p_;
};

class VendrelPtr {
 public:
  VendrelPtr() = default;
  explicit VendrelPtr(Ref<_Vendrel> p) : p_(std::move(p)) {}
  static VendrelPtr CreateInstance() { return VendrelPtr(detail::Create<_Vendrel>(kVendrelClassId)); }
  static VendrelPtr CreateInstance(std::string_view progId) { return VendrelPtr(detail::Create<_Vendrel>(progId)); }

  Ref<Recordset> Execute(const QueryDataSourcePtr& DataSource, std::string SQL, CursorTypeEnum CursorType,
                         LockTypeEnum LockType, bool OptimizeRecordset = false, std::string RecordsetName = "",
                         std::string TempFileFolder = "", std::string AltQuoteMark = "") const {
    Ref<_QueryDataSource> source = DataSource.Interface();
    VARIANT_BOOL optimize = detail::Flag(OptimizeRecordset);
    Ref<Recordset> result;
    Check(detail::Require(p_).Execute(&source, &SQL, &CursorType, &LockType, &optimize, &RecordsetName,
                                      &TempFileFolder, &AltQuoteMark, &result));
    return result;
  }

  _Vendrel* operator->() const noexcept { return p_.get(); }
  const Ref<_Vendrel>& Interface() const noexcept { return p_; }
  explicit operator bool() const noexcept { return static_cast<bool>(p_); }

 private:
  static void Check(HRESULT hr) { com::CheckResult(hr, _Vendrel::Iid); }
  Ref<_Vendrel> p_;
};

}  // namespace vendrel::vendrel12

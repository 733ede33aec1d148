#pragma once
// The base of every component interface: identity by interface identifier
// and reference counting, and the class factory that creates objects.
//
// Interfaces are abstract classes whose slots come in declaration order.
// Each names its identifier (Iid) and the interface it extends (Base), so a
// QueryInterface can answer for the whole chain. Objects that the component
// hands out are also vendrel::Object, so they fit into a Variant.

#include <cstdint>
#include <type_traits>

#include "vendrel/dataaccess/com/guid.h"
#include "vendrel/dataaccess/com/hresult.h"
#include "vendrel/dataaccess/object.h"

namespace vendrel::com {

// A flag as it crosses an interface: True is -1, and only -1 counts as True.
using VARIANT_BOOL = int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

class IUnknown {
 public:
  static constexpr Guid Iid = MakeGuid("{00000000-0000-0000-C000-000000000046}");

  // On success *object holds the interface asked for (as its IUnknown base);
  // E_NOINTERFACE otherwise, with *object nothing.
  virtual HRESULT QueryInterface(const Guid& iid, Ref<IUnknown>* object) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
 public:
  using Base = IUnknown;
  static constexpr Guid Iid = MakeGuid("{00000001-0000-0000-C000-000000000046}");

  // No aggregation: a non-null outer fails with CLASS_E_NOAGGREGATION.
  virtual HRESULT CreateInstance(IUnknown* outer, const Guid& iid, Ref<IUnknown>* object) = 0;
  // Keeps the library loaded while locked, whether or not objects live.
  virtual HRESULT LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// Whether an interface is I or one that I extends.
template <class I>
constexpr bool InterfaceChainHas(const Guid& iid) {
  if (iid == I::Iid) return true;
  if constexpr (std::is_same_v<I, IUnknown>)
    return false;
  else
    return InterfaceChainHas<typename I::Base>(iid);
}

// Typed QueryInterface; nothing when the object lacks the interface.
template <class I>
HRESULT QueryInterface(IUnknown* from, Ref<I>* out) {
  if (!out) return E_POINTER;
  out->reset();
  if (!from) return E_POINTER;
  Ref<IUnknown> unknown;
  const HRESULT hr = from->QueryInterface(I::Iid, &unknown);
  if (Failed(hr)) return hr;
  // The object answered with the IUnknown base of an I.
  *out = Ref<I>(static_cast<I*>(unknown.get()));
  return S_OK;
}

template <class I>
Ref<I> QueryInterface(IUnknown* from) {
  Ref<I> out;
  QueryInterface(from, &out);
  return out;
}

// The interface of an object held by a Variant (nothing when it has none).
template <class I>
Ref<I> QueryInterface(const Ref<Object>& object) {
  return QueryInterface<I>(dynamic_cast<IUnknown*>(object.get()));
}

}  // namespace vendrel::com

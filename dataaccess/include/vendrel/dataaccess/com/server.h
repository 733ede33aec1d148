#pragma once
// Building blocks of an in-process component server: the count that decides
// whether the library may be unloaded, apartment-threaded objects that refuse
// calls from other threads, the guard that turns raised errors into HRESULTs
// and error information, class factories, argument conversion for Invoke and
// self-registration.

#include <atomic>
#include <new>
#include <span>
#include <string>
#include <thread>
#include <utility>

#include "vendrel/dataaccess/com/dispatch.h"
#include "vendrel/dataaccess/com/error_info.h"
#include "vendrel/dataaccess/com/unknown.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/object.h"

namespace vendrel::com {

// The entry points that a server library exports with C linkage.
using DllGetClassObjectFunction = HRESULT (*)(const Guid& clsid, const Guid& iid, Ref<IUnknown>* object);
using DllCanUnloadNowFunction = HRESULT (*)();
using DllRegisterServerFunction = HRESULT (*)();
using DllUnregisterServerFunction = HRESULT (*)();
// Not one of the platform's four: the library's type description, for tools.
using DllGetTypeLibraryFunction = HRESULT (*)(const TypeLibraryInfo** library);

// Living objects and server locks of one library; each server has its own.
class ServerModule {
 public:
  void Lock() noexcept { count_.fetch_add(1, std::memory_order_acq_rel); }
  void Unlock() noexcept { count_.fetch_sub(1, std::memory_order_acq_rel); }
  // For a library that has left pointers to its code with others that
  // outlive it: it stays loaded for the rest of the process.
  void KeepLoaded() noexcept { keepLoaded_.store(true, std::memory_order_release); }
  // S_OK when nothing is alive, nothing locked and nothing keeps it, else S_FALSE.
  HRESULT CanUnloadNow() const noexcept {
    return count_.load(std::memory_order_acquire) == 0 && !keepLoaded_.load(std::memory_order_acquire) ? S_OK
                                                                                                       : S_FALSE;
  }

 private:
  std::atomic<long> count_{0};
  std::atomic<bool> keepLoaded_{false};
};

// A failure found while converting the arguments of an Invoke.
struct DispatchFailure {
  HRESULT hr;
};

// Runs the body of one interface call: a raised vendrel::Error becomes its
// HRESULT with its source and description as error information; other
// failures become E_OUTOFMEMORY or E_FAIL. Error information of an earlier
// call is cleared first, so what the caller reads belongs to this call.
template <class Body>
HRESULT GuardCall(const Guid& iid, Body&& body) noexcept {
  ClearErrorInfo();
  try {
    body();
    return S_OK;
  } catch (const Error& e) {
    return ReportError(e, iid);
  } catch (const DispatchFailure& f) {
    return f.hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    return ReportFailure(E_FAIL, e.what());
  } catch (...) {
    return E_FAIL;
  }
}

// An apartment-threaded object with one interface (and the ones it extends).
// It belongs to the thread that created it; every call from another thread
// returns RPC_E_WRONG_THREAD without touching the object. AddRef and
// Release are the Object's own count and work from any thread.
template <class I>
class ComObject : public Object, public I {
 public:
  explicit ComObject(ServerModule& module) : module_(module) { module_.Lock(); }
  ~ComObject() override { module_.Unlock(); }

  HRESULT QueryInterface(const Guid& iid, Ref<IUnknown>* object) override {
    if (!object) return E_POINTER;
    object->reset();
    if (!OnOwnerThread()) return RPC_E_WRONG_THREAD;
    if (!InterfaceChainHas<I>(iid)) return E_NOINTERFACE;
    *object = Ref<IUnknown>(static_cast<I*>(this));
    return S_OK;
  }
  uint32_t AddRef() override {
    Object::AddRef();
    return static_cast<uint32_t>(RefCount());
  }
  uint32_t Release() override {
    const auto left = static_cast<uint32_t>(RefCount() - 1);
    Object::Release();
    return left;
  }

 protected:
  bool OnOwnerThread() const noexcept { return std::this_thread::get_id() == owner_; }
  ServerModule& Module() const noexcept { return module_; }

  // One call of a member of I: the thread test, then the guarded body.
  template <class Body>
  HRESULT Call(Body&& body) noexcept {
    if (!OnOwnerThread()) return RPC_E_WRONG_THREAD;
    return GuardCall(I::Iid, std::forward<Body>(body));
  }

 private:
  ServerModule& module_;
  const std::thread::id owner_ = std::this_thread::get_id();
};

// The IDispatch members that a description answers; Invoke stays with the object.
template <class I>
class DispatchObject : public ComObject<I> {
 public:
  DispatchObject(ServerModule& module, const InterfaceInfo& info) : ComObject<I>(module), info_(info) {}

  HRESULT GetTypeInfoCount(uint32_t* count) override {
    if (!count) return E_POINTER;
    if (!this->OnOwnerThread()) return RPC_E_WRONG_THREAD;
    *count = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(uint32_t index, const InterfaceInfo** info) override {
    if (!info) return E_POINTER;
    if (!this->OnOwnerThread()) return RPC_E_WRONG_THREAD;
    if (index != 0) return DISP_E_BADINDEX;
    *info = &info_;
    return S_OK;
  }
  HRESULT GetIDsOfNames(std::span<const std::string> names, std::span<DispId> ids) override {
    if (!this->OnOwnerThread()) return RPC_E_WRONG_THREAD;
    return com::GetIDsOfNames(info_, names, ids);
  }

 protected:
  const InterfaceInfo& Info() const noexcept { return info_; }

 private:
  const InterfaceInfo& info_;
};

// The arguments of one Invoke, checked against the member called: the flags
// must fit its kind, there may not be more arguments than parameters, and
// every required one must be there (DISP_E_MEMBERNOTFOUND,
// DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTOPTIONAL). The readers convert a
// value to the parameter's type and raise DISP_E_TYPEMISMATCH when it cannot
// be; an optional parameter left out reads as empty text, False or nothing.
class InvokeArguments {
 public:
  // DISP_E_MEMBERNOTFOUND for an identifier the interface does not have.
  InvokeArguments(const InterfaceInfo& info, DispId member, uint16_t flags, std::span<Variant* const> arguments);

  DispId Member() const noexcept { return member_->id; }
  bool Given(size_t i) const noexcept { return i < arguments_.size() && arguments_[i] != nullptr; }
  // The caller's variable itself; only for a given argument.
  const Variant& Value(size_t i) const;
  std::string Text(size_t i) const;
  int32_t Long(size_t i) const;
  // A Boolean as it is; a whole number as the flag's raw value (only -1 is True).
  VARIANT_BOOL Flag(size_t i) const;
  // An object or nothing; anything else is a type mismatch.
  Ref<Object> ObjectValue(size_t i) const;

 private:
  [[noreturn]] static void Mismatch();

  const MemberInfo* member_;
  std::span<Variant* const> arguments_;
};

// Creates objects of one class for clients. Create(ServerModule&) makes the
// object (raising vendrel::Error when it cannot).
template <class T>
class ClassFactory : public ComObject<IClassFactory> {
 public:
  explicit ClassFactory(ServerModule& module) : ComObject<IClassFactory>(module) {}

  HRESULT CreateInstance(IUnknown* outer, const Guid& iid, Ref<IUnknown>* object) override {
    if (!object) return E_POINTER;
    object->reset();
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!OnOwnerThread()) return RPC_E_WRONG_THREAD;
    HRESULT hr = S_OK;
    const HRESULT created = GuardCall(kNullGuid, [&] {
      Ref<T> instance = T::Create(Module());
      hr = instance->QueryInterface(iid, object);
    });
    return Failed(created) ? created : hr;
  }
  HRESULT LockServer(bool lock) override {
    if (lock)
      Module().Lock();
    else
      Module().Unlock();
    return S_OK;
  }
};

// The class object of the class clsid of a library's description, from a
// factory made by make(); CLASS_E_CLASSNOTAVAILABLE for a class that the
// library does not have or that is not creatable.
template <class MakeFactory>
HRESULT GetClassObject(const Guid& clsid, const Guid& iid, Ref<IUnknown>* object, MakeFactory&& make) {
  if (!object) return E_POINTER;
  object->reset();
  Ref<IUnknown> factory = make(clsid);
  if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
  return factory->QueryInterface(iid, object);
}

// The full path of the library that holds the given address (a function of
// the server itself).
std::string ModulePath(const void* addressInModule);

// Writes the registry entries of every creatable class of the description
// for the library at that address; removes them again.
HRESULT RegisterServerClasses(const TypeLibraryInfo& library, const void* addressInModule);
HRESULT UnregisterServerClasses(const TypeLibraryInfo& library);

}  // namespace vendrel::com

#pragma once
// The client's side of the component runtime: creating objects of registered
// classes, which loads their libraries on first use, and unloading libraries
// that no longer serve anything.

#include <string>
#include <string_view>
#include <vector>

#include "vendrel/dataaccess/com/dispatch.h"
#include "vendrel/dataaccess/com/error_info.h"
#include "vendrel/dataaccess/com/unknown.h"

namespace vendrel::com {

// The class object (normally IClassFactory) of a registered class: looks the
// class up, loads its library and asks its DllGetClassObject.
// REGDB_E_CLASSNOTREG for a class that is not registered; E_MODULE_NOT_FOUND
// or CO_E_ERRORINDLL, with error information naming the library, when the
// library cannot be loaded or lacks its entry points.
HRESULT GetClassObject(const Guid& clsid, const Guid& iid, Ref<IUnknown>* object);

// A new object of a registered class, through its class factory.
HRESULT CreateInstance(const Guid& clsid, const Guid& iid, Ref<IUnknown>* object);
// The same by ProgID; an unknown ProgID is REGDB_E_CLASSNOTREG too.
HRESULT CreateInstance(std::string_view progId, const Guid& iid, Ref<IUnknown>* object);

template <class I>
HRESULT CreateInstance(const Guid& clsid, Ref<I>* object) {
  Ref<IUnknown> unknown;
  const HRESULT hr = CreateInstance(clsid, I::Iid, &unknown);
  *object = Ref<I>(static_cast<I*>(unknown.get()));
  return hr;
}
template <class I>
HRESULT CreateInstance(std::string_view progId, Ref<I>* object) {
  Ref<IUnknown> unknown;
  const HRESULT hr = CreateInstance(progId, I::Iid, &unknown);
  *object = Ref<I>(static_cast<I*>(unknown.get()));
  return hr;
}

// CO_E_CLASSSTRING when no class has that ProgID.
HRESULT ClassIdFromProgId(std::string_view progId, Guid* clsid);

// Unloads every loaded library whose DllCanUnloadNow answers S_OK: no
// object of it alive, no lock on it.
void FreeUnusedLibraries();
// Paths of the libraries the runtime has loaded and not unloaded.
std::vector<std::string> LoadedLibraries();

// One server library opened by path, for registration and for reading its
// description; closed when this goes.
class ServerLibrary {
 public:
  ServerLibrary() = default;
  ServerLibrary(ServerLibrary&& other) noexcept;
  ServerLibrary& operator=(ServerLibrary&& other) noexcept;
  ServerLibrary(const ServerLibrary&) = delete;
  ServerLibrary& operator=(const ServerLibrary&) = delete;
  ~ServerLibrary();

  // E_MODULE_NOT_FOUND with error information naming the path and the
  // loader's reason.
  HRESULT Open(const std::string& path);
  const std::string& Path() const noexcept { return path_; }

  // E_PROCEDURE_NOT_FOUND when the library lacks the entry point.
  HRESULT RegisterServer();
  HRESULT UnregisterServer();
  // The description stays valid while this library is open.
  HRESULT GetTypeLibrary(const TypeLibraryInfo** library);

 private:
  void* Symbol(const char* name);

  std::string path_;
  void* handle_ = nullptr;
};

}  // namespace vendrel::com

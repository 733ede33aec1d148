#include "vendrel/dataaccess/com/runtime.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <utility>

#include "vendrel/dataaccess/com/registry.h"
#include "vendrel/dataaccess/com/server.h"

namespace vendrel::com {

namespace {

std::string LoaderError() {
  const char* text = ::dlerror();
  return text ? text : "unknown reason";
}

// A bare file name is left to the loader's search, as the platform does.
std::string AbsolutePath(const std::string& path) {
  if (path.find('/') == std::string::npos) return path;
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? path : full.lexically_normal().string();
}

template <class Function>
Function Lookup(void* handle, const char* name) {
  return reinterpret_cast<Function>(::dlsym(handle, name));
}

// A library the runtime loaded for creating objects. The handle is given back
// only by FreeUnusedLibraries: at process exit objects may still be alive.
struct LoadedLibrary {
  std::string path;
  void* handle = nullptr;
  DllGetClassObjectFunction getClassObject = nullptr;
  DllCanUnloadNowFunction canUnloadNow = nullptr;
};

// Held while a library is loaded, asked or unloaded; recursive because a
// server may create objects of other classes while it is asked for one.
std::recursive_mutex librariesMutex;

std::vector<LoadedLibrary>& Libraries() {
  static std::vector<LoadedLibrary> libraries;
  return libraries;
}

HRESULT Load(const std::string& path, const LoadedLibrary** loaded) {
  for (const LoadedLibrary& l : Libraries())
    if (l.path == path) {
      *loaded = &l;
      return S_OK;
    }
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return ReportFailure(E_MODULE_NOT_FOUND, "Unable to load the component library " + path + ": " + LoaderError());
  LoadedLibrary library{path, handle, Lookup<DllGetClassObjectFunction>(handle, "DllGetClassObject"),
                        Lookup<DllCanUnloadNowFunction>(handle, "DllCanUnloadNow")};
  if (!library.getClassObject || !library.canUnloadNow) {
    ::dlclose(handle);
    return ReportFailure(CO_E_ERRORINDLL,
                         "The component library " + path + " lacks DllGetClassObject or DllCanUnloadNow");
  }
  Libraries().push_back(std::move(library));
  *loaded = &Libraries().back();
  return S_OK;
}

}  // namespace

HRESULT GetClassObject(const Guid& clsid, const Guid& iid, Ref<IUnknown>* object) {
  if (!object) return E_POINTER;
  object->reset();
  ClearErrorInfo();
  ClassEntry entry;
  if (HRESULT hr = FindClass(clsid, &entry); Failed(hr)) return hr;
  std::lock_guard guard(librariesMutex);
  const LoadedLibrary* library = nullptr;
  if (HRESULT hr = Load(entry.library, &library); Failed(hr)) return hr;
  return library->getClassObject(clsid, iid, object);
}

HRESULT CreateInstance(const Guid& clsid, const Guid& iid, Ref<IUnknown>* object) {
  if (!object) return E_POINTER;
  Ref<IUnknown> factory;
  if (HRESULT hr = GetClassObject(clsid, IClassFactory::Iid, &factory); Failed(hr)) return hr;
  return static_cast<IClassFactory*>(factory.get())->CreateInstance(nullptr, iid, object);
}

HRESULT CreateInstance(std::string_view progId, const Guid& iid, Ref<IUnknown>* object) {
  if (!object) return E_POINTER;
  object->reset();
  Guid clsid;
  if (HRESULT hr = ClassIdFromProgId(progId, &clsid); Failed(hr)) return hr == CO_E_CLASSSTRING ? REGDB_E_CLASSNOTREG : hr;
  return CreateInstance(clsid, iid, object);
}

HRESULT ClassIdFromProgId(std::string_view progId, Guid* clsid) {
  if (!clsid) return E_POINTER;
  ClearErrorInfo();
  ClassEntry entry;
  if (HRESULT hr = FindClassByProgId(progId, &entry); Failed(hr)) return hr;
  *clsid = entry.classId;
  return S_OK;
}

void FreeUnusedLibraries() {
  std::lock_guard guard(librariesMutex);
  std::erase_if(Libraries(), [](const LoadedLibrary& l) {
    if (l.canUnloadNow() != S_OK) return false;
    ::dlclose(l.handle);
    return true;
  });
}

std::vector<std::string> LoadedLibraries() {
  std::lock_guard guard(librariesMutex);
  std::vector<std::string> paths;
  for (const LoadedLibrary& l : Libraries()) paths.push_back(l.path);
  return paths;
}

// ---------------------------------------------------------------- ServerLibrary

ServerLibrary::ServerLibrary(ServerLibrary&& other) noexcept
    : path_(std::move(other.path_)), handle_(std::exchange(other.handle_, nullptr)) {}

ServerLibrary& ServerLibrary::operator=(ServerLibrary&& other) noexcept {
  if (this != &other) {
    if (handle_) ::dlclose(handle_);
    path_ = std::move(other.path_);
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

ServerLibrary::~ServerLibrary() {
  if (handle_) ::dlclose(handle_);
}

HRESULT ServerLibrary::Open(const std::string& path) {
  ClearErrorInfo();
  if (handle_) ::dlclose(std::exchange(handle_, nullptr));
  path_ = AbsolutePath(path);
  handle_ = ::dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) return ReportFailure(E_MODULE_NOT_FOUND, "Unable to load the component library " + path_ + ": " + LoaderError());
  return S_OK;
}

void* ServerLibrary::Symbol(const char* name) { return handle_ ? ::dlsym(handle_, name) : nullptr; }

HRESULT ServerLibrary::RegisterServer() {
  ClearErrorInfo();
  auto entry = reinterpret_cast<DllRegisterServerFunction>(Symbol("DllRegisterServer"));
  if (!entry) return ReportFailure(E_PROCEDURE_NOT_FOUND, "The library " + path_ + " has no DllRegisterServer");
  return entry();
}

HRESULT ServerLibrary::UnregisterServer() {
  ClearErrorInfo();
  auto entry = reinterpret_cast<DllUnregisterServerFunction>(Symbol("DllUnregisterServer"));
  if (!entry) return ReportFailure(E_PROCEDURE_NOT_FOUND, "The library " + path_ + " has no DllUnregisterServer");
  return entry();
}

HRESULT ServerLibrary::GetTypeLibrary(const TypeLibraryInfo** library) {
  if (!library) return E_POINTER;
  ClearErrorInfo();
  auto entry = reinterpret_cast<DllGetTypeLibraryFunction>(Symbol("DllGetTypeLibrary"));
  if (!entry) return ReportFailure(E_PROCEDURE_NOT_FOUND, "The library " + path_ + " has no type description");
  return entry(library);
}

}  // namespace vendrel::com

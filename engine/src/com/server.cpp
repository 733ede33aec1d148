// The entry points of the in-process server: self-registration, class
// objects for the creatable classes, and whether the library may go.

#include "com/data_source_objects.h"
#include "com/type_library.h"
#include "com/vendrel_object.h"
#include "vendrel/dataaccess/com/server.h"
#include "vendrel/engine/vendrel12.h"

namespace vendrel::server {
namespace {

com::ServerModule module;

Ref<com::IUnknown> MakeFactory(const com::Guid& clsid) {
  if (clsid == vendrel12::kVendrelClassId)
    return Ref<com::IUnknown>(MakeRef<com::ClassFactory<VendrelObject>>(module).get());
  if (clsid == vendrel12::kQueryDataSourceClassId)
    return Ref<com::IUnknown>(MakeRef<com::ClassFactory<QueryDataSourceObject>>(module).get());
  return {};
}

}  // namespace
}  // namespace vendrel::server

using vendrel::Ref;
using vendrel::com::Guid;
using vendrel::com::HRESULT;
using vendrel::com::IUnknown;

extern "C" {

HRESULT DllRegisterServer() {
  return vendrel::com::RegisterServerClasses(vendrel::server::TypeLibrary(),
                                             reinterpret_cast<const void*>(&DllRegisterServer));
}

HRESULT DllUnregisterServer() { return vendrel::com::UnregisterServerClasses(vendrel::server::TypeLibrary()); }

HRESULT DllGetClassObject(const Guid& clsid, const Guid& iid, Ref<IUnknown>* object) {
  return vendrel::com::GetClassObject(clsid, iid, object, vendrel::server::MakeFactory);
}

HRESULT DllCanUnloadNow() { return vendrel::server::module.CanUnloadNow(); }

HRESULT DllGetTypeLibrary(const vendrel::com::TypeLibraryInfo** library) {
  if (!library) return vendrel::com::E_POINTER;
  *library = &vendrel::server::TypeLibrary();
  return vendrel::com::S_OK;
}

}  // extern "C"

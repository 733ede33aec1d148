#include "components.h"

#include "vendrel/dataaccess/com/registry.h"
#include "vendrel/dataaccess/com/runtime.h"
#include "vendrel/dataaccess/filesystem.h"

namespace vendrel::demo {

namespace {

void EnsureRegistered(const com::Guid& classId, const std::string& serverLibrary) {
  com::ClassEntry entry;
  const com::HRESULT found = com::FindClass(classId, &entry);
  const bool usable = found == com::S_OK && fs::FileExists(entry.library);
  // A registry that cannot be read is reported by the creation that follows.
  if (usable || (found != com::S_OK && found != com::REGDB_E_CLASSNOTREG)) return;
  com::ServerLibrary library;
  com::CheckResult(library.Open(serverLibrary));
  com::CheckResult(library.RegisterServer());
}

}  // namespace

vendrel12::VendrelPtr CreateVendrel(const std::string& serverLibrary) {
  EnsureRegistered(vendrel12::kVendrelClassId, serverLibrary);
  return vendrel12::VendrelPtr::CreateInstance();
}

vendrel12::QueryDataSourcePtr CreateQueryDataSource(const std::string& serverLibrary) {
  EnsureRegistered(vendrel12::kQueryDataSourceClassId, serverLibrary);
  return vendrel12::QueryDataSourcePtr::CreateInstance();
}

}  // namespace vendrel::demo

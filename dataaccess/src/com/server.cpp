#include "vendrel/dataaccess/com/server.h"

#include <dlfcn.h>

#include <filesystem>
#include <vector>

#include "vendrel/dataaccess/com/registry.h"

namespace vendrel::com {

std::string ModulePath(const void* addressInModule) {
  Dl_info info{};
  if (::dladdr(addressInModule, &info) == 0 || !info.dli_fname) return "";
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(info.dli_fname, ec);
  if (ec) return info.dli_fname;
  return path.lexically_normal().string();
}

HRESULT RegisterServerClasses(const TypeLibraryInfo& library, const void* addressInModule) {
  const std::string path = ModulePath(addressInModule);
  if (path.empty()) return ReportFailure(SELFREG_E_CLASS, "Unable to find the path of the library " + std::string(library.name));
  std::vector<ClassEntry> entries;
  for (const ClassInfo& c : library.classes)
    if (c.creatable) entries.push_back({c.clsid, std::string(c.progId), std::string(c.threadingModel), path});
  return RegisterClasses(entries);
}

HRESULT UnregisterServerClasses(const TypeLibraryInfo& library) {
  std::vector<Guid> ids;
  for (const ClassInfo& c : library.classes)
    if (c.creatable) ids.push_back(c.clsid);
  return UnregisterClasses(ids);
}

}  // namespace vendrel::com

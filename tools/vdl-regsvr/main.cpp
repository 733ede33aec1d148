// vdl-regsvr: registers the classes of a component library for this user,
// removes them again, or lists the library's type description.
//
//   vdl-regsvr LIBRARY          register (DllRegisterServer)
//   vdl-regsvr -u LIBRARY       unregister (DllUnregisterServer)
//   vdl-regsvr --list LIBRARY   print classes, interfaces and members

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "listing.h"
#include "vendrel/dataaccess/com/error_info.h"
#include "vendrel/dataaccess/com/registry.h"
#include "vendrel/dataaccess/com/runtime.h"

namespace {

using vendrel::com::HRESULT;

constexpr int kUsageError = 2;

constexpr const char* kUsage =
    "usage: vdl-regsvr [-u] LIBRARY\n"
    "       vdl-regsvr --list LIBRARY\n"
    "       vdl-regsvr --version | --help\n";

int Usage() {
  std::cerr << kUsage;
  return kUsageError;
}

int Failure(std::string_view what, const std::string& path, HRESULT hr) {
  const vendrel::Error error = vendrel::com::ErrorFromHResult(hr);
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
  std::cerr << "vdl-regsvr: " << what << " in " << path << " failed (" << code << "): " << error.Description()
            << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  enum class Action { Register, Unregister, List } action = Action::Register;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--version" || arg == "--help") {
      std::cout << (arg == "--version" ? VDL_VERSION_LINE "\n" : kUsage);
      return 0;
    }
    if (arg == "-u" && action == Action::Register)
      action = Action::Unregister;
    else if (arg == "--list" && action == Action::Register)
      action = Action::List;
    else if (!arg.empty() && arg[0] != '-' && path.empty())
      path = arg;
    else
      return Usage();
  }
  if (path.empty()) return Usage();

  vendrel::com::ServerLibrary library;
  if (HRESULT hr = library.Open(path); vendrel::com::Failed(hr)) return Failure("loading", path, hr);

  auto selfRegister = [&library](const char* entryPoint, HRESULT hr) {
    if (vendrel::com::Failed(hr)) return Failure(entryPoint, library.Path(), hr);
    std::cout << entryPoint << " in " << library.Path() << " succeeded (" << vendrel::com::RegistryPath() << ").\n";
    return 0;
  };
  switch (action) {
    case Action::Register: return selfRegister("DllRegisterServer", library.RegisterServer());
    case Action::Unregister: return selfRegister("DllUnregisterServer", library.UnregisterServer());
    case Action::List: {
      const vendrel::com::TypeLibraryInfo* description = nullptr;
      if (HRESULT hr = library.GetTypeLibrary(&description); vendrel::com::Failed(hr))
        return Failure("DllGetTypeLibrary", library.Path(), hr);
      std::cout << vendrel::regsvr::ListTypeLibrary(*description);
      return 0;
    }
  }
  return 1;
}

#pragma once
// The per-user class registry: for each registered class its class
// identifier, ProgID, threading model and library. One text file,
// $XDG_DATA_HOME/vendrel/classes.ini (else ~/.local/share/vendrel/classes.ini),
// with one section per class:
//
//   [{7C1E1B2A-...}]
//   ProgID=Vendrel12.Vendrel
//   ThreadingModel=Apartment
//   Library=/usr/lib/libVendrel12.so.1
//
// Registration replaces a class's own section and leaves every other line of
// the file as it was; unregistration removes exactly the sections of the
// classes named. Failures set error information that names the file.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vendrel/dataaccess/com/guid.h"
#include "vendrel/dataaccess/com/hresult.h"

namespace vendrel::com {

struct ClassEntry {
  Guid classId;
  std::string progId;
  std::string threadingModel;
  std::string library;  // full path
};

// Where the registry file lies for this user, as the environment says now.
std::string RegistryPath();

// Adds or replaces the entries of these classes. A ProgID that another class
// held moves to the class registered now. REGDB_E_WRITEREGDB when the file
// cannot be written.
HRESULT RegisterClasses(std::span<const ClassEntry> classes);
// Removes the entries of these classes and nothing else; classes that are not
// registered are no error.
HRESULT UnregisterClasses(std::span<const Guid> classIds);

// REGDB_E_CLASSNOTREG when the class is not registered, REGDB_E_READREGDB
// when the file cannot be read.
HRESULT FindClass(const Guid& classId, ClassEntry* entry);
// CO_E_CLASSSTRING when no class has that ProgID (compared without regard to case).
HRESULT FindClassByProgId(std::string_view progId, ClassEntry* entry);
HRESULT ListClasses(std::vector<ClassEntry>* entries);

}  // namespace vendrel::com

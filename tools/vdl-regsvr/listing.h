#pragma once

#include <string>

#include "vendrel/dataaccess/com/dispatch.h"

namespace vendrel::regsvr {

// The type description as text: the library, each class, each interface and
// every member with its slot, kind, dispatch identifier, parameters, hidden
// flag and help string (quoted, so trailing spaces show).
std::string ListTypeLibrary(const com::TypeLibraryInfo& library);

}  // namespace vendrel::regsvr

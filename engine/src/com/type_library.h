#pragma once
// The description of the type library Vendrel12: what GetIDsOfNames, Invoke
// and GetTypeInfo answer from, what registration writes and what tools list.

#include "vendrel/dataaccess/com/dispatch.h"

namespace vendrel::server {

extern const com::InterfaceInfo kRecordsetCollectionInterface;
extern const com::InterfaceInfo kQueryDataSourceInterface;
extern const com::InterfaceInfo kVendrelInterface;

const com::TypeLibraryInfo& TypeLibrary();

}  // namespace vendrel::server

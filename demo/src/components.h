#pragma once
// Creating the classes of Vendrel12 through the component runtime, by class
// identifier, registering the library first when the class is not
// registered yet (or its registration names a library that is gone).

#include <string>

#include "vendrel/engine/vendrel12_client.h"

namespace vendrel::demo {

vendrel12::VendrelPtr CreateVendrel(const std::string& serverLibrary);
vendrel12::QueryDataSourcePtr CreateQueryDataSource(const std::string& serverLibrary);

}  // namespace vendrel::demo

#pragma once
// The driver's three providers, chosen by the connection string:
//   Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<folder>;Extended Properties="text;HDR=Yes;FMT=Delimited;"
//   Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<database file>
//   Driver={Microsoft Text Driver (*.txt; *.csv)};Dbq=<folder>;Extensions=asc,csv,tab,txt;HDR=YES

#include <memory>

#include "vendrel/dataaccess/connection.h"

namespace vendrel::driver {

std::shared_ptr<Provider> MakeTextFolderProvider();
std::shared_ptr<Provider> MakeDatabaseFileProvider();
std::shared_ptr<Provider> MakeOdbcTextProvider();

}  // namespace vendrel::driver

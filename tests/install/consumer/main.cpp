// Builds against an installed tree only.
#include <vendrel/datasource/query_data_source.h>

#include <iostream>

int main() {
  auto ds = vendrel::QueryDataSource::Create();
  auto rs = vendrel::Recordset::Create();
  rs->Fields().Append("A", vendrel::adInteger);
  rs->Open();
  ds->RecordsetCollection()->Add(rs, "rs1");
  std::cout << ds->RecordsetCollection()->Count() << "\n";
  return ds->RecordsetCollection()->Count() == 1 ? 0 : 1;
}

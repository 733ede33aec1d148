// Builds against an installed tree only.
#include <vendrel/engine/vendrel.h>

#include <filesystem>
#include <iostream>

int main() {
  auto ds = vendrel::QueryDataSource::Create();
  auto rs = vendrel::Recordset::Create();
  rs->Fields().Append("A", vendrel::adInteger);
  rs->Open();
  ds->RecordsetCollection()->Add(rs, "rs1");
  std::cout << ds->RecordsetCollection()->Count() << "\n";
  if (ds->RecordsetCollection()->Count() != 1) return 1;

  std::string folder;
  {
    auto query = vendrel::Vendrel::Create();
    folder = query->OptimizedFolder();
    if (!std::filesystem::is_directory(folder)) return 2;
  }
  // Releasing the query object takes its folder away.
  return std::filesystem::exists(folder) ? 3 : 0;
}

// The example of the README's "Using the component from C++", as written
// there, with the rows it prints checked.

#include <gtest/gtest.h>

#include <sstream>

#include "engine_test_support.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel {
namespace {

using ReadmeExample = testing::TempRootTest;

TEST_F(ReadmeExample, UsingTheComponentFromCppPrintsEveryProduct) {
  std::ostringstream out;
  auto& cout = out;  // the example writes to std::cout
  // --- as in the README, with the suppliers recordset that it leaves out filled in
  auto products = vendrel::Recordset::Create();
  products->Fields().Append("PRODUCT", vendrel::adVarChar, 50, vendrel::adFldMayBeNull);
  products->Fields().Append("SUPPLIER", vendrel::adVarChar, 50, vendrel::adFldMayBeNull);
  products->Open({}, {}, vendrel::adOpenStatic, vendrel::adLockOptimistic);
  products->AddNew();
  products->Fields().Item("PRODUCT").SetValue("Wheels");
  products->Fields().Item("SUPPLIER").SetValue("WHL");
  auto suppliers = vendrel::Recordset::Create();
  suppliers->Fields().Append("SUPPLIER", vendrel::adVarChar, 50, vendrel::adFldMayBeNull);
  suppliers->Fields().Append("COUNTRY", vendrel::adVarChar, 50, vendrel::adFldMayBeNull);
  suppliers->Open({}, {}, vendrel::adOpenStatic, vendrel::adLockOptimistic);
  suppliers->AddNew();
  suppliers->Fields().Item("SUPPLIER").SetValue("WHL");
  suppliers->Fields().Item("COUNTRY").SetValue("Spain");

  auto source = vendrel::QueryDataSource::Create();
  source->RecordsetCollection()->Add(products, "rs1");
  source->RecordsetCollection()->Add(suppliers, "rs2");

  auto query = vendrel::Vendrel::Create();
  vendrel::Ref<vendrel::Recordset> result = query->Execute(
      source, "SELECT rs1.PRODUCT, rs2.COUNTRY FROM rs1 LEFT OUTER JOIN rs2 ON rs1.SUPPLIER=rs2.SUPPLIER",
      vendrel::adOpenStatic, vendrel::adLockReadOnly);
  for (; !result->Eof(); result->MoveNext())
    cout << vendrel::ToText(result->Fields()[0].Value()) << "\n";
  // ---
  EXPECT_EQ(out.str(), "Wheels\n");
  EXPECT_EQ(result->Fields()[1].Name(), "COUNTRY");
}

}  // namespace
}  // namespace vendrel

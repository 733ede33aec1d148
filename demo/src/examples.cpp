#include "examples.h"

#include <array>
#include <utility>

#include "frm_vd.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/filesystem.h"

namespace vendrel::demo {

std::string Statement1() {
  return std::string("SELECT rs1.PRODUCT, rs2.SUPPLIER, rs2.COUNTRY ") + "FROM rs1 LEFT OUTER JOIN rs2 ON rs1.SUPPLIER=" +
         "rs2.SUPPLIER";
}

std::string Statement2() {
  return std::string("SELECT rs1.OrderID, rs2.ProductID, SUM(rs2.UnitPrice)") + " AS SUM_OF_UnitPrice " +
         "FROM rs1 INNER JOIN rs2 ON rs1.OrderID=" + "rs2.OrderID " + "WHERE rs1.OrderID BETWEEN 10248 AND 10265 " +
         "GROUP BY rs1.OrderID, rs2.ProductID " + "ORDER BY rs1.OrderID, SUM(rs2.UnitPrice) DESC";
}

std::string Statement3() {
  return std::string("SELECT rs1.PaymentStatus, rs2.* ") + "FROM rs1 RIGHT OUTER JOIN rs2 ON rs1.OrderID=rs2.OrderID " +
         "ORDER BY rs2.CustomerID ASC, rs2.OrderID ASC";
}

std::string Statement4() {
  return std::string("SELECT rs2.OrderID as OrderNumber, rs2.ProductID as ProductNumber, ") +
         "rs2.UnitPrice as UnitCost, rs2.Quantity as Qty, rs1.ProcessedBy, " + "rs1.Comments " +
         "FROM rs1 RIGHT OUTER JOIN rs2 ON rs1.OrderID=rs2.OrderID " +
         "WHERE rs2.OrderID >=10248 AND rs2.OrderID <=10302";
}

std::string Caption1() { return "Example 1.  Returned ADO Recordset Query Results [Static Cursor Type]"; }
std::string Caption2() { return "Example 2.  Returned ADO Recordset Query Results [Static Cursor Type]"; }
std::string Caption3() { return "Example 3.  Returned ADO Recordset Query Results [Static Cursor Type]"; }
std::string Caption4() { return "Example 4.  Returned ADO Recordset Query Results [Dynamic Cursor Type]"; }

std::string DatabaseConnectionString(const std::string& sampleFolder) {
  return std::string("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;") + "Data Source=" +
         fs::JoinPath(sampleFolder, "NWIND.mdb");
}

std::string TextConnectionString(const std::string& sampleFolder) {
  return "Driver={Microsoft Text Driver (*.txt; *.csv)};Dbq=" + sampleFolder + ";Extensions=asc,csv,tab,txt;HDR=YES";
}

namespace {

using Row = std::pair<const char*, const char*>;

constexpr std::array<Row, 9> kProducts = {{{"Wheels", "WHL"},
                                           {"Battery", "BTR"},
                                           {"Seats", "SES"},
                                           {"SRS", "SES"},
                                           {"Carpet", "CRT"},
                                           {"Windshield", "CRT"},
                                           {"Radio", "RDO"},
                                           {"Tyres", "TRS"},
                                           {"Alloy Wheels", "ALS"}}};

constexpr std::array<Row, 6> kSuppliers = {{{"TRS", "Germany"},
                                            {"CRT", "UK"},
                                            {"RDO", "Holland"},
                                            {"SES", "USA"},
                                            {"BTR", "Canada"},
                                            {"WHL", "Spain"}}};

// Rows are added and never saved: the last one is still being added when the
// recordset goes to the query.
template <size_t N>
void AddRows(Recordset& recordset, const char* first, const char* second, const std::array<Row, N>& rows) {
  for (const Row& row : rows) {
    recordset.AddNew();
    recordset.Fields().Item(first).SetValue(row.first);
    recordset.Fields().Item(second).SetValue(row.second);
  }
}

}  // namespace

void FrmVD::AddInput(const Ref<Recordset>& recordset, const char* name) {
  DataSourceObject().RecordsetCollection().Add(recordset, name, false);
}

std::string FrmVD::Example1() {
  rsInput1 = Recordset::Create();
  rsInput1->Fields().Append("PRODUCT", adVarChar, 50, adFldMayBeNull);
  rsInput1->Fields().Append("SUPPLIER", adVarChar, 50, adFldMayBeNull);
  rsInput1->Open({}, {}, adOpenDynamic, adLockOptimistic);
  AddRows(*rsInput1, "PRODUCT", "SUPPLIER", kProducts);

  rsInput2 = Recordset::Create();
  rsInput2->Fields().Append("SUPPLIER", adVarChar, 50, adFldMayBeNull);
  rsInput2->Fields().Append("COUNTRY", adVarChar, 50, adFldMayBeNull);
  rsInput2->Open({}, {}, adOpenDynamic, adLockOptimistic);
  AddRows(*rsInput2, "SUPPLIER", "COUNTRY", kSuppliers);

  AddInput(rsInput1, "rs1");
  AddInput(rsInput2, "rs2");
  rsResult = QueryObject().Execute(DataSourceObject(), Statement1(), adOpenStatic, adLockReadOnly, false);
  return Caption1();
}

std::string FrmVD::Example2() {
  // Each member takes its new object before the object is used, so a
  // failure leaves it in the member, as far as it got.
  cnPrimary = Connection::Create();
  cnPrimary->SetConnectionString(DatabaseConnectionString(setup_.sampleFolder));
  cnPrimary->Open();
  rsInput1 = Recordset::Create();
  rsInput1->Open("SELECT * FROM ORDERS", cnPrimary);
  rsInput2 = Recordset::Create();
  rsInput2->Open("SELECT * FROM [ORDER DETAILS]", cnPrimary);

  AddInput(rsInput1, "rs1");
  AddInput(rsInput2, "rs2");
  rsResult = QueryObject().Execute(DataSourceObject(), Statement2(), adOpenStatic, adLockReadOnly, false);
  return Caption2();
}

std::string FrmVD::Example3() {
  cnPrimary = Connection::Create();
  cnPrimary->SetConnectionString(TextConnectionString(setup_.sampleFolder));
  cnPrimary->SetCursorLocation(adUseClient);
  cnPrimary->Open();
  rsInput1 = Recordset::Create();
  rsInput1->Open("SELECT * FROM OrdersPaymentStatus.txt", cnPrimary);
  cnSecondary = Connection::Create();
  cnSecondary->SetConnectionString(DatabaseConnectionString(setup_.sampleFolder));
  cnSecondary->Open();
  rsInput2 = Recordset::Create();
  rsInput2->Open("SELECT * FROM ORDERS", cnSecondary);

  AddInput(rsInput1, "rs1");
  AddInput(rsInput2, "rs2");
  rsResult = QueryObject().Execute(DataSourceObject(), Statement3(), adOpenStatic, adLockReadOnly, false);
  return Caption3();
}

std::string FrmVD::Example4() {
  cnPrimary = Connection::Create();
  cnPrimary->SetConnectionString(DatabaseConnectionString(setup_.sampleFolder));
  cnPrimary->Open();
  rsInput1 = Recordset::Create();
  rsInput1->Fields().Append("OrderID", adInteger);
  rsInput1->Fields().Append("ProcessedBy", adVarChar, 15, adFldUnspecified);
  rsInput1->Fields().Append("Comments", adVarChar, 100, adFldUnspecified);
  rsInput1->Open();
  rsInput2 = Recordset::Create();
  rsInput2->Open("SELECT * FROM [ORDER DETAILS]", cnPrimary);

  AddInput(rsInput2, "rs2");
  AddInput(rsInput1, "rs1");
  rsResult = QueryObject().Execute(DataSourceObject(), Statement4(), adOpenDynamic, adLockOptimistic, false);
  return Caption4();
}

}  // namespace vendrel::demo

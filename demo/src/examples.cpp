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

// Two text fields, rows added and never saved: the last row is still being
// added when the recordset goes to the query.
template <size_t N>
void BuildNewRecordset(Ref<Recordset>& member, const char* first, const char* second, const std::array<Row, N>& rows) {
  member = Recordset::Create();
  member->Fields().Append(first, adVarChar, 50, adFldMayBeNull);
  member->Fields().Append(second, adVarChar, 50, adFldMayBeNull);
  member->Open({}, {}, adOpenDynamic, adLockOptimistic);
  for (const Row& row : rows) {
    member->AddNew();
    member->Fields().Item(first).SetValue(row.first);
    member->Fields().Item(second).SetValue(row.second);
  }
}

// A new object goes into its member before it is used, so a failure leaves
// it there, as far as it got.
void OpenNewConnection(Ref<Connection>& member, const std::string& connectionString, int cursorLocation = 0) {
  member = Connection::Create();
  member->SetConnectionString(connectionString);
  if (cursorLocation) member->SetCursorLocation(cursorLocation);
  member->Open();
}

void OpenNewRecordset(Ref<Recordset>& member, const char* statement, const Ref<Connection>& connection) {
  member = Recordset::Create();
  member->Open(statement, connection);
}

}  // namespace

void FrmVD::AddInput(const Ref<Recordset>& recordset, const char* name) {
  DataSourceObject().RecordsetCollection().Add(recordset, name, false);
}

std::string FrmVD::Example1() {
  BuildNewRecordset(rsInput1, "PRODUCT", "SUPPLIER", kProducts);
  BuildNewRecordset(rsInput2, "SUPPLIER", "COUNTRY", kSuppliers);

  AddInput(rsInput1, "rs1");
  AddInput(rsInput2, "rs2");
  rsResult = QueryObject().Execute(DataSourceObject(), Statement1(), adOpenStatic, adLockReadOnly, false);
  return Caption1();
}

std::string FrmVD::Example2() {
  OpenNewConnection(cnPrimary, DatabaseConnectionString(setup_.sampleFolder));
  OpenNewRecordset(rsInput1, "SELECT * FROM ORDERS", cnPrimary);
  OpenNewRecordset(rsInput2, "SELECT * FROM [ORDER DETAILS]", cnPrimary);

  AddInput(rsInput1, "rs1");
  AddInput(rsInput2, "rs2");
  rsResult = QueryObject().Execute(DataSourceObject(), Statement2(), adOpenStatic, adLockReadOnly, false);
  return Caption2();
}

std::string FrmVD::Example3() {
  OpenNewConnection(cnPrimary, TextConnectionString(setup_.sampleFolder), adUseClient);
  OpenNewRecordset(rsInput1, "SELECT * FROM OrdersPaymentStatus.txt", cnPrimary);
  OpenNewConnection(cnSecondary, DatabaseConnectionString(setup_.sampleFolder));
  OpenNewRecordset(rsInput2, "SELECT * FROM ORDERS", cnSecondary);

  AddInput(rsInput1, "rs1");
  AddInput(rsInput2, "rs2");
  rsResult = QueryObject().Execute(DataSourceObject(), Statement3(), adOpenStatic, adLockReadOnly, false);
  return Caption3();
}

std::string FrmVD::Example4() {
  OpenNewConnection(cnPrimary, DatabaseConnectionString(setup_.sampleFolder));
  rsInput1 = Recordset::Create();
  rsInput1->Fields().Append("OrderID", adInteger);
  rsInput1->Fields().Append("ProcessedBy", adVarChar, 15, adFldUnspecified);
  rsInput1->Fields().Append("Comments", adVarChar, 100, adFldUnspecified);
  rsInput1->Open();
  OpenNewRecordset(rsInput2, "SELECT * FROM [ORDER DETAILS]", cnPrimary);

  AddInput(rsInput2, "rs2");
  AddInput(rsInput1, "rs1");
  rsResult = QueryObject().Execute(DataSourceObject(), Statement4(), adOpenDynamic, adLockOptimistic, false);
  return Caption4();
}

}  // namespace vendrel::demo

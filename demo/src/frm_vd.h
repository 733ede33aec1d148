#pragma once
// frmVD, the demonstration's one window: a data grid, the frame of four
// example buttons and the tip label. A click runs one example through the
// click sequence (busy pointer, grid unbound, the example, grid bound and
// captioned, data source emptied, pointer restored), and any failure is shown
// in the error message box before the data source is emptied.

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/engine/vendrel12_client.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace vendrel::demo {

class DataGrid;

inline constexpr const char* kWindowTitle = " Orvikor   Vendrel Version 1.2  [Demo Application]";
inline constexpr const char* kStartCaption = "Returned ADO Recordset Query Results";
inline constexpr const char* kFrameCaption = "Examples";
inline constexpr const char* kMessageTitle = "VDL Demo";
std::string TipText();
std::string ButtonCaption(int index);

// Message box styles and mouse pointers, with the platform's numbers.
inline constexpr int kCriticalOkOnly = 16;
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerBusy = 11;

// The three lines of the error report, joined by CR LF.
std::string ErrorReportText(const Error& error);

class FrmVD : public QWidget {
 public:
  struct Setup {
    std::string sampleFolder;   // where NWIND.mdb and OrdersPaymentStatus.txt lie
    std::string serverLibrary;  // registered when the classes are not registered yet
  };
  // Shows a message and returns when the user has closed it.
  using MessageBox = std::function<void(const QString& prompt, int style, const QString& title)>;

  explicit FrmVD(Setup setup, QWidget* parent = nullptr);
  ~FrmVD() override;

  // The seam for the message box; by default a modal box on this window.
  void SetMessageBox(MessageBox messageBox) { messageBox_ = std::move(messageBox); }

  // A click on cmdChoice with its index.
  void cmdChoice_Click(int16_t Index);

  DataGrid* dgrVD;
  QGroupBox* fraChoices;
  std::array<QPushButton*, 4> cmdChoice;
  QLabel* lblTip;

  // The members, read-only for observers.
  const vendrel12::VendrelPtr& Query() const noexcept { return objQuery; }
  const vendrel12::QueryDataSourcePtr& DataSource() const noexcept { return objDataSource; }
  const Ref<Recordset>& InputRecordset1() const noexcept { return rsInput1; }
  const Ref<Recordset>& InputRecordset2() const noexcept { return rsInput2; }
  const Ref<Recordset>& ResultRecordset() const noexcept { return rsResult; }
  const Ref<Connection>& PrimaryConnection() const noexcept { return cnPrimary; }
  const Ref<Connection>& SecondaryConnection() const noexcept { return cnSecondary; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // The examples; each returns its caption for the grid.
  std::string Example1();
  std::string Example2();
  std::string Example3();
  std::string Example4();
  void AddInput(const Ref<Recordset>& recordset, const char* name);

  // Created on first use.
  const vendrel12::VendrelPtr& QueryObject();
  const vendrel12::QueryDataSourcePtr& DataSourceObject();

  void SetMousePointer(int pointer);
  void ReportError(const Error& error);
  void ExitBlock();
  void Form_Unload();

  Setup setup_;
  MessageBox messageBox_;
  bool unloaded_ = false;

  vendrel12::VendrelPtr objQuery;
  vendrel12::QueryDataSourcePtr objDataSource;
  Ref<Recordset> rsInput1;
  Ref<Recordset> rsInput2;
  Ref<Recordset> rsResult;
  Ref<Connection> cnPrimary;
  Ref<Connection> cnSecondary;
};

}  // namespace vendrel::demo

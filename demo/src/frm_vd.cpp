#include "frm_vd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <new>

#include "components.h"
#include "data_grid.h"
#include "window_icon.h"
#include "wrapping_button.h"

namespace vendrel::demo {

namespace {

// Positions in pixels: the window's twips at 15 twips per pixel.
constexpr QSize kClientArea(761, 414);
constexpr QRect kGridArea(6, 4, 515, 343);
constexpr QRect kFrameArea(526, 4, 227, 404);
constexpr std::array<QRect, 4> kButtonAreas = {QRect(6, 24, 215, 89), QRect(6, 116, 215, 89),
                                               QRect(6, 210, 215, 89), QRect(6, 304, 215, 89)};
constexpr QRect kTipArea(8, 349, 513, 59);

QFont Arial(double points, bool bold = false) {
  QFont font("Arial");
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

// The error of the exception in flight, in the report's terms. Failures that
// are not errors of the platform or the component are shown the way the
// platform's runtime shows them, under the program's name.
Error CurrentError() {
  try {
    throw;
  } catch (const Error& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return Error(7, "VDL12Demo", "Out of memory");
  } catch (const std::exception& e) {
    return Error(51, "VDL12Demo", e.what());
  } catch (...) {
    return Error(51, "VDL12Demo", "Internal error");
  }
}

void ShowMessageBox(QWidget* owner, const QString& prompt, int style, const QString& title) {
  QString text = prompt;
  text.replace("\r\n", "\n");
  const auto icon = (style & 0x70) == kCriticalOkOnly ? QMessageBox::Critical : QMessageBox::NoIcon;
  QMessageBox box(icon, title, text, QMessageBox::Ok, owner);
  box.exec();
}

// The unload has no error report: a close that fails still lets it finish.
template <class T>
void CloseIfOpen(const Ref<T>& object) noexcept {
  try {
    if (object && object->State() == adStateOpen) object->Close();
  } catch (...) {
  }
}

}  // namespace

std::string TipText() {
  return std::string(" IMPORTANT - ") + "\"" + "New feature added to Version 1.2" + "\"" +
         ".  Optimize the performance of queries performed on" + std::string(6, ' ') +
         "returned Recordsets. If you have a requirement to perform further queries on returned Recordsets this" +
         std::string(6, ' ') + "new feature will dramatically improve your query performance." +
         std::string(70, ' ') + "Please refer to the VDL 1.2 Help file for more details.";
}

std::string ButtonCaption(int index) {
  static constexpr std::array<const char*, 4> kCaptions = {
      "1.  Create a Left OuterJoin between 2 application created ADO recordsets, query the results and show "
      "the returned ADO recordset in the data grid.",
      "2.  Create an InnerJoin between 2 ADO recordsets bound to 2 Access tables, query the results and show "
      "the returned ADO recordset in the data grid.",
      "3.  Create a Right Outer Join between 1 ADO recordset bound to an Access table and 1 ADO recordset "
      "bound to a text file, query the results and show the returned ADO recordset in the data grid.",
      "4.  Create a Left OuterJoin between 1 recordset bound to an Access table to 1 empty application "
      "created ADO recordset, query the results and show the returned ADO recordset in the data grid.",
  };
  return kCaptions.at(static_cast<size_t>(index));
}

std::string ErrorReportText(const Error& error) {
  return "Error Description: " + error.Description() + "\r\n" + "Error Number: " +
         std::to_string(error.Number()) + "\r\n" + "Error Source: " + error.Source();
}

FrmVD::FrmVD(Setup setup, QWidget* parent) : QWidget(parent), setup_(std::move(setup)) {
  setObjectName("frmVD");
  setWindowTitle(kWindowTitle);
  setWindowIcon(WindowIcon());
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(kClientArea);
  setFont(Arial(8.25));
  messageBox_ = [this](const QString& prompt, int style, const QString& title) {
    ShowMessageBox(this, prompt, style, title);
  };

  dgrVD = new DataGrid(this);
  dgrVD->setObjectName("dgrVD");
  dgrVD->setGeometry(kGridArea);
  dgrVD->SetFonts(Arial(8.25, true), Arial(8.25));
  dgrVD->SetCaption(kStartCaption);

  fraChoices = new QGroupBox(kFrameCaption, this);
  fraChoices->setObjectName("fraChoices");
  fraChoices->setGeometry(kFrameArea);
  fraChoices->setFont(Arial(9, true));

  for (int i = 0; i < 4; ++i) {
    auto* button = new WrappingButton(QString::fromStdString(ButtonCaption(i)), fraChoices);
    button->setObjectName("cmdChoice");
    button->setProperty("Index", i);
    button->setGeometry(kButtonAreas[static_cast<size_t>(i)]);
    button->setFont(Arial(8.25));
    connect(button, &QPushButton::clicked, this, [this, i] { cmdChoice_Click(static_cast<int16_t>(i)); });
    cmdChoice[static_cast<size_t>(i)] = button;
  }

  lblTip = new QLabel(QString::fromStdString(TipText()), this);
  lblTip->setObjectName("lblTip");
  lblTip->setGeometry(kTipArea);
  lblTip->setFont(Arial(8.25));
  lblTip->setTextFormat(Qt::PlainText);
  lblTip->setWordWrap(true);
  lblTip->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblTip->setAutoFillBackground(true);
  lblTip->setBackgroundRole(QPalette::Base);  // the system's window background
  lblTip->setForegroundRole(QPalette::Text);  // and window text

  QWidget::setTabOrder(dgrVD->Table(), cmdChoice[0]);
  for (size_t i = 1; i < cmdChoice.size(); ++i) QWidget::setTabOrder(cmdChoice[i - 1], cmdChoice[i]);
}

FrmVD::~FrmVD() { Form_Unload(); }

const vendrel12::VendrelPtr& FrmVD::QueryObject() {
  if (!objQuery) objQuery = CreateVendrel(setup_.serverLibrary);
  return objQuery;
}

const vendrel12::QueryDataSourcePtr& FrmVD::DataSourceObject() {
  if (!objDataSource) objDataSource = CreateQueryDataSource(setup_.serverLibrary);
  return objDataSource;
}

void FrmVD::cmdChoice_Click(int16_t Index) {
  try {
    if (Index >= 0 && Index <= 3) {
      SetMousePointer(kPointerBusy);
      dgrVD->SetDataSource(nullptr);
      std::string caption;
      switch (Index) {
        case 0: caption = Example1(); break;
        case 1: caption = Example2(); break;
        case 2: caption = Example3(); break;
        case 3: caption = Example4(); break;
      }
      dgrVD->SetDataSource(rsResult);
      dgrVD->SetCaption(QString::fromStdString(caption));
    }
    ExitBlock();
  } catch (...) {
    ReportError(CurrentError());
    try {
      ExitBlock();
    } catch (...) {
      // The user has seen the first error; a second one from the exit block
      // (the classes cannot be created at all) would only repeat it.
      SetMousePointer(kPointerDefault);
    }
  }
}

void FrmVD::ExitBlock() {
  DataSourceObject().EmptyRecordsetCollection();
  SetMousePointer(kPointerDefault);
}

void FrmVD::ReportError(const Error& error) {
  messageBox_(QString::fromStdString(ErrorReportText(error)), kCriticalOkOnly, kMessageTitle);
}

// The pointer is one setting for the whole application, not a stack of them.
void FrmVD::SetMousePointer(int pointer) {
  if (pointer == kPointerBusy) {
    if (QApplication::overrideCursor())
      QApplication::changeOverrideCursor(Qt::WaitCursor);
    else
      QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  }
}

void FrmVD::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

// Members that are set but not open (an example failed between creating and
// opening them) are skipped: closing them would only fail.
void FrmVD::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  dgrVD->SetDataSource(nullptr);
  CloseIfOpen(rsInput1);
  CloseIfOpen(rsInput2);
  CloseIfOpen(rsResult);
  CloseIfOpen(cnPrimary);
  CloseIfOpen(cnSecondary);
  rsInput1.reset();
  rsInput2.reset();
  rsResult.reset();
  cnPrimary.reset();
  cnSecondary.reset();
  objDataSource = {};
  objQuery = {};
}

}  // namespace vendrel::demo

// The window: its controls, texts and layout, and the click and unload
// sequences around the examples (pointer, grid, data source, error report).

#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include "demo_test_support.h"
#include "vendrel/dataaccess/com/registry.h"
#include "vendrel/dataaccess/connection.h"
#include "examples.h"

namespace vendrel::demo::testing {
namespace {

using WindowTest = DemoTest;

TEST_F(WindowTest, TitleFrameButtonsAndTipCarryTheirTextsExactly) {
  auto window = MakeWindow();
  EXPECT_EQ(window->objectName(), "frmVD");
  EXPECT_EQ(window->windowTitle().toStdString(), " Orvikor   Vendrel Version 1.2  [Demo Application]");
  EXPECT_FALSE(window->windowIcon().isNull());
  EXPECT_EQ(window->fraChoices->title(), "Examples");
  EXPECT_EQ(window->dgrVD->Caption(), "Returned ADO Recordset Query Results");

  const std::string tip = window->lblTip->text().toStdString();
  EXPECT_EQ(tip.size(), 397u);
  EXPECT_EQ(tip,
            " IMPORTANT - \"New feature added to Version 1.2\".  Optimize the performance of queries performed on"
            "      returned Recordsets. If you have a requirement to perform further queries on returned Recordsets"
            " this      new feature will dramatically improve your query performance." +
                std::string(70, ' ') + "Please refer to the VDL 1.2 Help file for more details.");

  const char* captions[] = {
      "1.  Create a Left OuterJoin between 2 application created ADO recordsets, query the results and show the "
      "returned ADO recordset in the data grid.",
      "2.  Create an InnerJoin between 2 ADO recordsets bound to 2 Access tables, query the results and show the "
      "returned ADO recordset in the data grid.",
      "3.  Create a Right Outer Join between 1 ADO recordset bound to an Access table and 1 ADO recordset bound "
      "to a text file, query the results and show the returned ADO recordset in the data grid.",
      "4.  Create a Left OuterJoin between 1 recordset bound to an Access table to 1 empty application created "
      "ADO recordset, query the results and show the returned ADO recordset in the data grid.",
  };
  for (int i = 0; i < 4; ++i) {
    const QPushButton* button = window->cmdChoice[static_cast<size_t>(i)];
    EXPECT_EQ(button->objectName(), "cmdChoice");
    EXPECT_EQ(button->property("Index").toInt(), i);
    EXPECT_EQ(button->text().toStdString(), captions[i]);
    EXPECT_EQ(button->parentWidget(), window->fraChoices);
  }
}

TEST_F(WindowTest, ControlsLieAtTheirTwipPositionsAtFifteenTwipsPerPixel) {
  auto window = MakeWindow();
  auto pixels = [](int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
  };
  EXPECT_EQ(window->size(), QSize(11415 / 15, 6210 / 15));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());  // nothing resizes
  EXPECT_EQ(window->dgrVD->geometry(), pixels(90, 60, 7725, 5145));
  EXPECT_EQ(window->fraChoices->geometry(), pixels(7890, 60, 3405, 6060));
  EXPECT_EQ(window->lblTip->geometry(), pixels(120, 5235, 7695, 885));
  const int tops[] = {360, 1740, 3150, 4560};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(window->cmdChoice[i]->geometry(), pixels(90, tops[i], 3225, 1335)) << i;
  EXPECT_EQ(window->findChild<DataGrid*>("dgrVD"), window->dgrVD);
  EXPECT_EQ(window->findChild<QGroupBox*>("fraChoices"), window->fraChoices);
  EXPECT_EQ(window->findChild<QLabel*>("lblTip"), window->lblTip);
}

TEST_F(WindowTest, FontsAreArialAtTheirSizes) {
  auto window = MakeWindow();
  auto expectFont = [](const QFont& font, double points, bool bold, const char* what) {
    EXPECT_EQ(font.family(), "Arial") << what;
    EXPECT_DOUBLE_EQ(font.pointSizeF(), points) << what;
    EXPECT_EQ(font.bold(), bold) << what;
  };
  expectFont(window->fraChoices->font(), 9, true, "frame");
  for (const QPushButton* button : window->cmdChoice) expectFont(button->font(), 8.25, false, "button");
  expectFont(window->lblTip->font(), 8.25, false, "tip");
  expectFont(window->dgrVD->Table()->font(), 8.25, false, "cells");
  expectFont(window->dgrVD->Table()->horizontalHeader()->font(), 8.25, true, "headings");
  // Arial, or the face with its metrics that fonts-liberation brings.
  const QString face = QFontInfo(window->lblTip->font()).family();
  EXPECT_TRUE(face == "Arial" || face == "Liberation Sans") << face.toStdString();
}

TEST_F(WindowTest, TabOrderRunsFromTheGridThroughTheButtonsInIndexOrder) {
  auto window = MakeWindow();
  QWidget* next = window->dgrVD->Table()->nextInFocusChain();
  for (QPushButton* button : window->cmdChoice) {
    while (next && next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
    EXPECT_EQ(next, button);
    next = button->nextInFocusChain();
  }
}

TEST_F(WindowTest, ErrorReportIsThreeLinesWithTheNumberAsSignedDecimal) {
  EXPECT_EQ(ErrorReportText(Error(-2147220502, "Vendrel", "[Vendrel] An error.")),
            "Error Description: [Vendrel] An error.\r\nError Number: -2147220502\r\nError Source: Vendrel");
  EXPECT_EQ(ErrorReportText(Error(3706, "DataAccess.Connection", "x")),
            "Error Description: x\r\nError Number: 3706\r\nError Source: DataAccess.Connection");
}

TEST_F(WindowTest, AtStartNothingIsCreatedAndTheGridIsUnbound) {
  auto window = MakeWindow();
  EXPECT_FALSE(window->Query());
  EXPECT_FALSE(window->DataSource());
  EXPECT_FALSE(window->dgrVD->DataSource());
  EXPECT_EQ(window->dgrVD->Model().rowCount(), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, AnIndexOutsideTheButtonsRunsOnlyTheExitBlock) {
  auto window = MakeWindow();
  window->cmdChoice_Click(4);
  window->cmdChoice_Click(-1);
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(window->DataSource());  // the exit block created it to empty it
  EXPECT_FALSE(window->Query());
  EXPECT_EQ(window->dgrVD->Caption(), "Returned ADO Recordset Query Results");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, ClosingBeforeAnyClickReleasesOnlyEmptyMembers) {
  auto window = MakeWindow();
  window->show();
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->Query());
  EXPECT_FALSE(window->DataSource());
  EXPECT_FALSE(window->ResultRecordset());
}

TEST_F(WindowTest, TheFirstClickRegistersTheLibraryItWasBuiltWith) {
  com::ClassEntry entry;
  ASSERT_EQ(com::FindClass(vendrel12::kVendrelClassId, &entry), com::REGDB_E_CLASSNOTREG);
  auto window = MakeWindow();
  Click(*window, 0);
  ASSERT_TRUE(messages.empty()) << messages.front().prompt;
  ASSERT_EQ(com::FindClass(vendrel12::kVendrelClassId, &entry), com::S_OK);
  EXPECT_EQ(entry.library, VDL_SERVER_LIBRARY);
  ASSERT_EQ(com::FindClass(vendrel12::kQueryDataSourceClassId, &entry), com::S_OK);
  EXPECT_EQ(entry.library, VDL_SERVER_LIBRARY);
}

TEST_F(WindowTest, LaterClicksReuseTheQueryObjectAndTheDataSource) {
  auto window = MakeWindow();
  Click(*window, 0);
  ASSERT_TRUE(window->Query());
  const auto* query = window->Query().Interface().get();
  const auto* source = window->DataSource().Interface().get();
  Click(*window, 0);
  Click(*window, 3);
  ASSERT_TRUE(messages.empty()) << messages.front().prompt;
  EXPECT_EQ(window->Query().Interface().get(), query);
  EXPECT_EQ(window->DataSource().Interface().get(), source);
  EXPECT_EQ(window->DataSource().RecordsetCollection().Count(), 0);
}

TEST_F(WindowTest, AMissingSampleFolderIsReportedAndTheNextClickWorks) {
  const std::string missing = Scratch() + "/no such folder";
  auto window = MakeWindow(missing);
  Click(*window, 0);
  ASSERT_TRUE(messages.empty()) << messages.front().prompt;
  const std::string caption = window->dgrVD->Caption().toStdString();

  // What the platform says about the missing database, unchanged.
  Error expected(0, "", "");
  try {
    auto probe = Connection::Create();
    probe->Open(DatabaseConnectionString(missing));
    FAIL() << "the database opened";
  } catch (const Error& e) {
    expected = e;
  }

  for (int example : {1, 2, 3}) {
    messages.clear();
    Click(*window, example);
    ASSERT_EQ(messages.size(), 1u) << example;
    const ShownMessage& shown = messages.front();
    EXPECT_EQ(shown.title, "VDL Demo");
    EXPECT_EQ(shown.style, 16);
    EXPECT_TRUE(shown.pointerBusy);
    if (example != 2) {  // Example 3 opens the text folder first
      EXPECT_EQ(shown.prompt, ErrorReportText(expected));
    }
    EXPECT_EQ(shown.prompt.rfind("Error Description: ", 0), 0u);
    EXPECT_NE(shown.prompt.find("\r\nError Number: -"), std::string::npos);
    EXPECT_NE(shown.prompt.find("\r\nError Source: "), std::string::npos);

    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << example;
    EXPECT_FALSE(window->dgrVD->DataSource()) << example;
    EXPECT_EQ(window->dgrVD->Caption().toStdString(), caption) << example;
    EXPECT_EQ(window->DataSource().RecordsetCollection().Count(), 0) << example;
  }

  messages.clear();
  Click(*window, 0);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(window->dgrVD->Model().rowCount(), 9);
}

TEST_F(WindowTest, ALibraryThatCannotBeLoadedIsReportedAndTheWindowStaysUsable) {
  auto window = MakeWindow(VDL_SAMPLE_FOLDER, Scratch() + "/libMissing.so");
  Click(*window, 0);
  ASSERT_EQ(messages.size(), 1u);  // the exit block's second failure is not shown again
  EXPECT_EQ(messages.front().prompt.rfind("Error Description: ", 0), 0u);
  EXPECT_NE(messages.front().prompt.find("libMissing.so"), std::string::npos) << messages.front().prompt;
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(window->DataSource());
  EXPECT_EQ(window->dgrVD->Caption(), "Returned ADO Recordset Query Results");

  messages.clear();
  Click(*window, 1);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, UnloadClosesEveryOpenMemberAndReleasesThem) {
  auto window = MakeWindow();
  window->show();
  Click(*window, 2);
  ASSERT_TRUE(messages.empty()) << messages.front().prompt;
  const Ref<Recordset> inputs[] = {window->InputRecordset1(), window->InputRecordset2(), window->ResultRecordset()};
  const Ref<Connection> connections[] = {window->PrimaryConnection(), window->SecondaryConnection()};
  for (const auto& rs : inputs) ASSERT_TRUE(rs && rs->State() == adStateOpen);
  for (const auto& cn : connections) ASSERT_TRUE(cn && cn->State() == adStateOpen);

  EXPECT_TRUE(window->close());
  for (const auto& rs : inputs) EXPECT_EQ(rs->State(), adStateClosed);
  for (const auto& cn : connections) EXPECT_EQ(cn->State(), adStateClosed);
  EXPECT_FALSE(window->dgrVD->DataSource());
  EXPECT_FALSE(window->InputRecordset1());
  EXPECT_FALSE(window->SecondaryConnection());
  EXPECT_FALSE(window->DataSource());
  EXPECT_FALSE(window->Query());
}

TEST_F(WindowTest, UnloadAfterAFailedOpenSkipsTheMemberThatNeverOpened) {
  auto window = MakeWindow(Scratch() + "/no such folder");
  Click(*window, 1);
  ASSERT_EQ(messages.size(), 1u);
  ASSERT_TRUE(window->PrimaryConnection());
  EXPECT_EQ(window->PrimaryConnection()->State(), adStateClosed);
  window->show();
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->PrimaryConnection());
}

}  // namespace
}  // namespace vendrel::demo::testing

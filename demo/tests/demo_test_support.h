#pragma once
// What the demonstration's tests share: one application on Qt's offscreen
// platform, a registry and temporary folder of their own for each test, and
// a window whose message box records instead of blocking.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "data_grid.h"
#include "frm_vd.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/driver/driver.h"

namespace vendrel::demo::testing {

struct ShownMessage {
  std::string prompt;
  int style = 0;
  std::string title;
  bool pointerBusy = false;  // the pointer while the box was up
};

class DemoTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A window on the built sample data and library, or on the folder and
  // library given.
  std::unique_ptr<FrmVD> MakeWindow(std::string sampleFolder = VDL_SAMPLE_FOLDER,
                                    std::string serverLibrary = VDL_SERVER_LIBRARY);
  void Click(FrmVD& window, int index);

  const std::string& Scratch() const { return scratch_; }
  std::vector<ShownMessage> messages;

 private:
  std::string scratch_;
};

// The grid's columns, and its rows as the cells' texts.
std::vector<std::string> GridColumns(const DataGrid& grid);
std::vector<std::vector<std::string>> GridRows(const DataGrid& grid);
bool PointerIsBusy();

}  // namespace vendrel::demo::testing

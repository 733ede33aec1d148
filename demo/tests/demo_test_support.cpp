#include "demo_test_support.h"

#include <QPushButton>
#include <QTest>

#include "vendrel/dataaccess/com/runtime.h"

namespace vendrel::demo::testing {

namespace {

// The application lives from the first test to the end of the program.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    app_ = std::make_unique<QApplication>(argc_, argv_);
    driver::RegisterProviders();
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "demo_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

void DemoTest::SetUp() {
  ASSERT_NE(QApplication::instance(), nullptr);
  std::string pattern = fs::TemporaryFolder() + "/vdl-demo-test-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  scratch_ = pattern;
  ::setenv("XDG_DATA_HOME", (scratch_ + "/data").c_str(), 1);
  ::setenv("TMPDIR", fs::CreateFolder(scratch_ + "/tmp").c_str(), 1);
}

void DemoTest::TearDown() {
  com::FreeUnusedLibraries();
  ::unsetenv("XDG_DATA_HOME");
  ::unsetenv("TMPDIR");
  fs::DeleteFolder(scratch_);
}

std::unique_ptr<FrmVD> DemoTest::MakeWindow(std::string sampleFolder, std::string serverLibrary) {
  auto window = std::make_unique<FrmVD>(FrmVD::Setup{std::move(sampleFolder), std::move(serverLibrary)});
  window->SetMessageBox([this](const QString& prompt, int style, const QString& title) {
    messages.push_back({prompt.toStdString(), style, title.toStdString(), PointerIsBusy()});
  });
  return window;
}

void DemoTest::Click(FrmVD& window, int index) {
  QTest::mouseClick(window.cmdChoice.at(static_cast<size_t>(index)), Qt::LeftButton);
}

std::vector<std::string> GridColumns(const DataGrid& grid) {
  std::vector<std::string> names;
  const auto& model = grid.Model();
  for (int c = 0; c < model.columnCount(); ++c)
    names.push_back(model.headerData(c, Qt::Horizontal).toString().toStdString());
  return names;
}

std::vector<std::vector<std::string>> GridRows(const DataGrid& grid) {
  std::vector<std::vector<std::string>> rows;
  const auto& model = grid.Model();
  for (int r = 0; r < model.rowCount(); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < model.columnCount(); ++c)
      row.push_back(model.data(model.index(r, c)).toString().toStdString());
    rows.push_back(std::move(row));
  }
  return rows;
}

bool PointerIsBusy() {
  const QCursor* cursor = QApplication::overrideCursor();
  return cursor && cursor->shape() == Qt::WaitCursor;
}

}  // namespace vendrel::demo::testing

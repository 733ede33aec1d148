// VDL12Demo: the demonstration window, or, without a window,
//   VDL12Demo --example N [--tsv]               runs example N and prints the result
//   VDL12Demo --example N --rows K              prints its statement, first K rows and row count
//   VDL12Demo --screenshot FILE.png [--example N] saves a picture of the window

#include <QApplication>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "data_grid.h"
#include "examples.h"
#include "frm_vd.h"
#include "install_paths.h"
#include "result_text.h"
#include "vendrel/driver/driver.h"

namespace {

struct Options {
  std::optional<int> example;
  bool tsv = false;
  std::optional<int> rows;
  std::optional<std::string> screenshot;
  bool version = false;
  bool help = false;
};

constexpr const char* kUsage =
    "usage: VDL12Demo                                  open the window\n"
    "       VDL12Demo --example N [--tsv]              run example N (1 to 4) and print its result\n"
    "       VDL12Demo --example N --rows K             print its statement, first K rows and row count\n"
    "       VDL12Demo --screenshot FILE.png [--example N]  save a picture of the window\n"
    "       VDL12Demo --version | --help\n";

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--example" && i + 1 < argc) {
      const std::string n = argv[++i];
      if (n.size() != 1 || n[0] < '1' || n[0] > '4') return std::nullopt;
      options.example = n[0] - '0';
    } else if (arg == "--rows" && i + 1 < argc) {
      const std::string k = argv[++i];
      if (k.empty() || k.size() > 6 || k.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
      options.rows = std::stoi(k);
    } else if (arg == "--tsv") {
      options.tsv = true;
    } else if (arg == "--version" || arg == "--help") {
      (arg == "--version" ? options.version : options.help) = true;
    } else if (arg == "--screenshot" && i + 1 < argc) {
      options.screenshot = argv[++i];
    } else {
      return std::nullopt;
    }
  }
  if (options.tsv && (!options.example || options.screenshot)) return std::nullopt;
  if (options.rows && (!options.example || options.screenshot || options.tsv)) return std::nullopt;
  return options;
}

std::string StatementOf(int example) {
  switch (example) {
    case 1: return vendrel::demo::Statement1();
    case 2: return vendrel::demo::Statement2();
    case 3: return vendrel::demo::Statement3();
    default: return vendrel::demo::Statement4();
  }
}

// The example's caption and statement, its first rows and how many there are.
std::string Summary(const vendrel::demo::RecordsetModel& model, const std::string& caption, int example, int rows) {
  const int count = model.rowCount();
  std::string out = caption + "\nSQL: " + StatementOf(example) + "\n\n" + vendrel::demo::AlignedTable(model, rows);
  out += std::to_string(count) + (count == 1 ? " row" : " rows");
  if (rows < count) out += ", the first " + std::to_string(rows) + " shown";
  return out + "\n";
}

std::string Lines(const QString& prompt) { return QString(prompt).replace("\r\n", "\n").toStdString(); }

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage;
    return 2;
  }
  if (options->version || options->help) {
    std::cout << (options->version ? VDL_VERSION_LINE "\n" : kUsage);
    return 0;
  }
  const bool headless = options->example || options->screenshot;
  if (headless) qputenv("QT_QPA_PLATFORM", "offscreen");

  QApplication app(argc, argv);
  vendrel::driver::RegisterProviders();
  const vendrel::demo::InstallPaths paths =
      vendrel::demo::InstallPathsFor(QCoreApplication::applicationDirPath().toStdString());
  vendrel::demo::FrmVD window({paths.sampleFolder, paths.serverLibrary});
  if (!headless) {
    window.show();
    return app.exec();
  }

  std::optional<std::string> failure;
  window.SetMessageBox([&](const QString& prompt, int, const QString&) { failure = Lines(prompt); });
  if (options->screenshot) window.show();
  if (options->example) window.cmdChoice[static_cast<size_t>(*options->example - 1)]->click();

  int status = 0;
  if (failure) {
    std::cerr << *failure << "\n";
    status = 1;
  }
  if (options->screenshot) {
    QApplication::processEvents();
    if (!window.grab().save(QString::fromStdString(*options->screenshot), "PNG")) {
      std::cerr << "VDL12Demo: cannot write " << *options->screenshot << "\n";
      return 1;
    }
  } else if (!failure) {
    const auto& model = window.dgrVD->Model();
    const std::string caption = window.dgrVD->Caption().toStdString();
    if (options->rows)
      std::cout << Summary(model, caption, *options->example, *options->rows);
    else
      std::cout << caption << "\n"
                << (options->tsv ? vendrel::demo::TabSeparated(model) : vendrel::demo::AlignedTable(model));
  }
  return status;
}

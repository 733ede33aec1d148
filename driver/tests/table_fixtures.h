#pragma once
// Fixture folders for the driver's tests: written by the test, removed when it ends.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/driver/driver.h"

namespace vendrel::driver::testing {

class FixtureFolder {
 public:
  FixtureFolder() {
    static int counter = 0;
    path_ = fs::CreateFolder(fs::JoinPath(fs::TemporaryFolder(), "vdl-driver-test-" + std::to_string(::getpid()) +
                                                                     "-" + std::to_string(++counter)));
  }
  ~FixtureFolder() {
    try {
      fs::DeleteFolder(path_);
    } catch (...) {
    }
  }
  FixtureFolder(const FixtureFolder&) = delete;
  FixtureFolder& operator=(const FixtureFolder&) = delete;

  const std::string& Path() const noexcept { return path_; }
  std::string PathOf(std::string_view name) const { return fs::JoinPath(path_, name); }

  // Writes the bytes exactly as given (CR LF, TAB and all).
  void Write(std::string_view name, std::string_view bytes) const {
    fs::OutputFile file(PathOf(name), fs::OutputFile::Mode::Create);
    file.Write(bytes);
    file.Close();
  }

  // The connection string the engine builds for a query folder.
  std::string TextConnectionString() const {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_ + ";Extended Properties=\"text;HDR=Yes;FMT=Delimited;\";";
  }
  std::string OdbcConnectionString() const {
    return "Driver={Microsoft Text Driver (*.txt; *.csv)};Dbq=" + path_ + ";Extensions=asc,csv,tab,txt;HDR=YES";
  }

 private:
  std::string path_;
};

// The error a call raises; number 0 when it raises none.
template <class F>
Error ErrorOf(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e;
  }
  return Error(0, "", "");
}

}  // namespace vendrel::driver::testing

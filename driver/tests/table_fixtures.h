#pragma once
// Fixture folders for the driver's tests: written by the test, removed when it ends.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/recordset.h"
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

// One input recordset as the engine writes it: its schema.ini section and its
// data file TEMP4711.txt (CR LF, TAB, "Char Width 50", dates "1/2/2003 13:04:05",
// a lone LF and CR inside a value, a row of Nulls).
inline constexpr std::string_view kEngineSchema =
    "[TEMP4711.txt]\r\n"
    "ColNameHeader = True\r\n"
    "CharacterSet = Ansi\r\n"
    "Format = TABDelimited\r\n"
    "Col1=OrderID Integer\r\n"
    "Col2=PRODUCT Char Width 50\r\n"
    "Col3=\"Unit Price\" Currency\r\n"
    "Col4=Added Date\r\n"
    "Col5=Notes LongChar\r\n"
    "Col6=Paid Bit\r\n"
    "Col7=Weight Double\r\n";
inline constexpr std::string_view kEngineData =
    "OrderID\tPRODUCT\tUnit Price\tAdded\tNotes\tPaid\tWeight\r\n"
    "10248\tAlloyWheels\t14.5\t1/2/2003 00:00:00\tfirst\nsecond\rthird\tTrue\t0.1\r\n"
    "70000\t\t922337203685477.5807\t1/3/2003 13:04:05\t\tFalse\t-1.5E-07\r\n"
    "\t\t\t\t\t\t\r\n";

// Every row of a recordset from its first, each value as its text ("Null" for Null).
inline std::vector<std::vector<std::string>> RowTexts(const Ref<Recordset>& rs) {
  std::vector<std::vector<std::string>> rows;
  if (rs->RecordCount() > 0) rs->MoveFirst();
  for (; !rs->Eof(); rs->MoveNext()) {
    std::vector<std::string> row;
    for (long i = 0; i < rs->Fields().Count(); ++i) {
      const Variant& v = rs->Fields()[static_cast<size_t>(i)].Value();
      row.push_back(v.IsNull() ? "Null" : ToText(v));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

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

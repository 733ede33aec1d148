#pragma once
// Shared by the engine's tests: a private temporary folder, recordsets built
// in memory, and checks of the component's errors.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/dataaccess/variant.h"
#include "vendrel/datasource/query_data_source.h"
#include "vendrel/testing/case_name.h"

namespace vendrel::testing {

// A fresh folder that stands in for the user's temporary folder (TMPDIR) for
// the length of one test.
class TempRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    root_ = std::filesystem::temp_directory_path() /
            ("vdl-engine-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    const char* old = std::getenv("TMPDIR");
    hadTmpdir_ = old != nullptr;
    if (old) oldTmpdir_ = old;
    ::setenv("TMPDIR", root_.c_str(), 1);
  }
  void TearDown() override {
    fs::faults::Disarm();
    if (hadTmpdir_)
      ::setenv("TMPDIR", oldTmpdir_.c_str(), 1);
    else
      ::unsetenv("TMPDIR");
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root_, ec);
  }

  std::string Root() const { return root_.string(); }
  // Names of everything directly in a folder (the root when empty).
  std::set<std::string> Entries(const std::string& folder = "") const {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder.empty() ? root_ : std::filesystem::path(folder)))
      names.insert(e.path().filename().string());
    return names;
  }
  // Everything below the root, as paths relative to it.
  std::set<std::string> Tree() const {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root_))
      names.insert(std::filesystem::relative(e.path(), root_).string());
    return names;
  }

 private:
  std::filesystem::path root_;
  bool hadTmpdir_ = false;
  std::string oldTmpdir_;
};

struct FieldSpec {
  std::string name;
  int type = adVarChar;
  long definedSize = 50;
  int attributes = adFldMayBeNull;
};

enum class LastRow { Saved, Pending };

// An open in-memory recordset with these fields and rows, left on its first
// row; or, with LastRow::Pending, with its last row still being added.
inline Ref<Recordset> MakeRecordset(const std::vector<FieldSpec>& fields,
                                    const std::vector<std::vector<Variant>>& rows = {},
                                    LastRow last = LastRow::Saved) {
  Ref<Recordset> rs = Recordset::Create();
  for (const FieldSpec& f : fields) rs->Fields().Append(f.name, f.type, f.definedSize, f.attributes);
  rs->Open({}, {}, adOpenDynamic, adLockOptimistic);
  for (const auto& row : rows) {
    rs->AddNew();
    for (size_t i = 0; i < row.size(); ++i)
      if (!row[i].IsNull()) rs->Fields()[i].SetValue(row[i]);
  }
  if (last == LastRow::Pending) return rs;
  if (!rows.empty()) rs->Update();
  if (rs->RecordCount() > 0) rs->MoveFirst();
  return rs;
}

// The two recordsets of the first demonstration example, built as the demo
// builds them: the last row of each is still being added.
inline Ref<Recordset> Example1Products() {
  return MakeRecordset({{"PRODUCT", adVarChar, 50, adFldMayBeNull}, {"SUPPLIER", adVarChar, 50, adFldMayBeNull}},
                       {{Variant("Wheels"), Variant("WHL")},
                        {Variant("Battery"), Variant("BTR")},
                        {Variant("Seats"), Variant("SES")},
                        {Variant("SRS"), Variant("SES")},
                        {Variant("Carpet"), Variant("CRT")},
                        {Variant("Windshield"), Variant("CRT")},
                        {Variant("Radio"), Variant("RDO")},
                        {Variant("Tyres"), Variant("TRS")},
                        {Variant("Alloy Wheels"), Variant("ALS")}},
                       LastRow::Pending);
}
inline Ref<Recordset> Example1Suppliers() {
  return MakeRecordset({{"SUPPLIER", adVarChar, 50, adFldMayBeNull}, {"COUNTRY", adVarChar, 50, adFldMayBeNull}},
                       {{Variant("TRS"), Variant("Germany")},
                        {Variant("CRT"), Variant("UK")},
                        {Variant("RDO"), Variant("Holland")},
                        {Variant("SES"), Variant("USA")},
                        {Variant("BTR"), Variant("Canada")},
                        {Variant("WHL"), Variant("Spain")}},
                       LastRow::Pending);
}
// A data source with the two recordsets of the first demonstration example as rs1 and rs2.
inline Ref<QueryDataSource> Example1Source() {
  Ref<QueryDataSource> source = QueryDataSource::Create();
  source->RecordsetCollection()->Add(Example1Products(), "rs1");
  source->RecordsetCollection()->Add(Example1Suppliers(), "rs2");
  return source;
}
inline constexpr const char* kExample1Sql =
    "SELECT rs1.PRODUCT, rs2.SUPPLIER, rs2.COUNTRY FROM rs1 LEFT OUTER JOIN rs2 ON rs1.SUPPLIER=rs2.SUPPLIER";

inline std::string CellOf(const Variant& v) { return v.IsNull() ? "<null>" : ToText(v); }

// Every row of a result, each as its cells joined by "|", in result order.
inline std::vector<std::string> RowsOf(const Ref<Recordset>& rs) {
  std::vector<std::string> rows;
  if (rs->Bof() && rs->Eof()) return rows;
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
    std::string row;
    for (long i = 0; i < rs->Fields().Count(); ++i) row += (i ? "|" : "") + CellOf(rs->Fields()[i].Value());
    rows.push_back(row);
  }
  rs->MoveFirst();
  return rows;
}

inline std::vector<std::string> Sorted(std::vector<std::string> rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

// The rows of the first demonstration example's result, sorted.
inline const std::vector<std::string> kExample1Rows = Sorted(
    {"Wheels|WHL|Spain", "Battery|BTR|Canada", "Seats|SES|USA", "SRS|SES|USA", "Carpet|CRT|UK", "Windshield|CRT|UK",
     "Radio|RDO|Holland", "Tyres|TRS|Germany", "Alloy Wheels|<null>|<null>"});

// The description of the errors whose cause the component cannot name.
inline const std::string kUnknownCause =
    "An error has occured but the component is unable to establish the cause. Unable to continue.";

struct CaughtError {
  bool thrown = false;
  long number = 0;
  std::string source;
  std::string description;
};

template <class F>
CaughtError CatchError(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return {true, e.Number(), e.Source(), e.Description()};
  }
  return {};
}

#define EXPECT_COMPONENT_ERROR(caught, expectedNumber, expectedDescription) \
  do {                                                                    \
    const ::vendrel::testing::CaughtError& c_ = (caught);                 \
    EXPECT_TRUE(c_.thrown);                                               \
    EXPECT_EQ(c_.number, (expectedNumber));                               \
    EXPECT_EQ(c_.source, "Vendrel");                                      \
    EXPECT_EQ(c_.description, (expectedDescription));                     \
  } while (0)

// For INSTANTIATE_TEST_SUITE_P over cases that have a `what`.
struct NameFromWhat {
  template <class P>
  std::string operator()(const ::testing::TestParamInfo<P>& info) const {
    return CaseName(info.param.what);
  }
};

inline std::string ReadAll(const std::string& path) { return fs::ReadFile(path); }

}  // namespace vendrel::testing

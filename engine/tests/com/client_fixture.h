#pragma once
// A client of the built component library with a registry and a temporary
// folder of its own: the library is registered there and reached only through
// the component runtime.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "vendrel/dataaccess/com/runtime.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/engine/vendrel12_client.h"

namespace vendrel::testing {

inline std::string MakeScratchFolder() {
  std::string pattern = fs::TemporaryFolder() + "/vdl-client-XXXXXX";
  if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "cannot make a scratch folder";
  return pattern;
}

class ComClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = MakeScratchFolder();
    ::setenv("XDG_DATA_HOME", (scratch_ + "/data").c_str(), 1);
    temp_ = fs::CreateFolder(scratch_ + "/tmp");
    ::setenv("TMPDIR", temp_.c_str(), 1);
    // Registered and closed again: from here on only the runtime loads it.
    com::ServerLibrary library;
    ASSERT_EQ(com::S_OK, library.Open(VDL_SERVER_LIBRARY));
    ASSERT_EQ(com::S_OK, library.RegisterServer());
  }
  void TearDown() override {
    com::FreeUnusedLibraries();
    fs::DeleteFolder(scratch_);
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("TMPDIR");
  }

  void Unregister() {
    com::ServerLibrary library;
    ASSERT_EQ(com::S_OK, library.Open(VDL_SERVER_LIBRARY));
    ASSERT_EQ(com::S_OK, library.UnregisterServer());
  }
  const std::string& TempFolder() const { return temp_; }
  // The folders in the temporary folder (the objects' own and their queries').
  size_t FoldersInTemp() const;


 private:
  std::string scratch_;
  std::string temp_;
};

inline size_t ComClientTest::FoldersInTemp() const {
  size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(temp_))
    if (entry.is_directory()) ++n;
  return n;
}

// A recordset in memory with text fields, filled with rows of texts.
inline Ref<Recordset> TextRecordset(std::initializer_list<const char*> fields,
                                    std::initializer_list<std::initializer_list<const char*>> rows) {
  auto rs = Recordset::Create();
  for (const char* f : fields) rs->Fields().Append(f, adVarChar, 50, adFldMayBeNull);
  rs->Open({}, {}, adOpenDynamic, adLockOptimistic);
  for (const auto& row : rows) {
    rs->AddNew();
    long i = 0;
    for (const char* value : row) rs->Fields().Item(Variant::Long(i++)).SetValue(value);
  }
  return rs;
}

}  // namespace vendrel::testing

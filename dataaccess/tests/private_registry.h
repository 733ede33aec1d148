#pragma once
// A class registry of the test's own: XDG_DATA_HOME points below a scratch
// folder that goes with the test.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "vendrel/dataaccess/filesystem.h"

namespace vendrel::com {

class PrivateRegistryTest : public ::testing::Test {
 protected:
  // The data folder lies this far below the scratch folder ("" for the folder itself).
  explicit PrivateRegistryTest(std::string below = "") : below_(std::move(below)) {}

  void SetUp() override {
    std::string pattern = fs::TemporaryFolder() + "/vdl-registry-XXXXXX";
    ASSERT_TRUE(::mkdtemp(pattern.data()));
    scratch_ = pattern;
    ::setenv("XDG_DATA_HOME", (below_.empty() ? scratch_ : scratch_ + "/" + below_).c_str(), 1);
  }
  void TearDown() override {
    fs::faults::Disarm();
    fs::DeleteFolder(scratch_);
    ::unsetenv("XDG_DATA_HOME");
  }

 private:
  std::string below_;
  std::string scratch_;
};

}  // namespace vendrel::com

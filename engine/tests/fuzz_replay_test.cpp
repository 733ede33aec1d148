// The RewriteSql fuzz target's check over its seed corpus and over every
// input that once broke a promise, so that the suite keeps what fuzzing found fixed.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "rewrite_sql_check.h"
#include "vendrel/dataaccess/filesystem.h"

namespace vendrel::engine::fuzz {
namespace {

size_t ReplayFolder(const std::string& kind) {
  const std::filesystem::path folder = std::filesystem::path(VDL_FUZZ_FOLDER) / kind / "rewrite_sql";
  size_t count = 0;
  if (!std::filesystem::exists(folder)) return count;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    EXPECT_NO_THROW(CheckRewrite(fs::ReadFile(entry.path().string()))) << entry.path();
    ++count;
  }
  return count;
}

TEST(FuzzReplay, RewritingTheSeedsAndRegressionsKeepsItsPromises) {
  EXPECT_GT(ReplayFolder("corpus"), 10u);
  ReplayFolder("regressions");
}

}  // namespace
}  // namespace vendrel::engine::fuzz

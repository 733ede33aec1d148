// The fuzz targets' checks over their seed corpora and over every input that
// once broke a promise, so that the suite keeps what fuzzing found fixed.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "fuzz_checks.h"
#include "vendrel/dataaccess/filesystem.h"

namespace vendrel::driver::fuzz {
namespace {

// Runs the check on every file of driver/fuzz/<kind>/<target>/; the number of files it ran.
size_t ReplayFolder(const std::string& kind, const std::string& target,
                    const std::function<void(std::string_view)>& check) {
  const std::filesystem::path folder = std::filesystem::path(VDL_FUZZ_FOLDER) / kind / target;
  size_t count = 0;
  if (!std::filesystem::exists(folder)) return count;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string input = fs::ReadFile(entry.path().string());
    EXPECT_NO_THROW(check(input)) << entry.path();
    ++count;
  }
  return count;
}

TEST(FuzzReplay, EveryStatementOfTheSeedsAndRegressionsGivesRowsOrADriverError) {
  EXPECT_GT(ReplayFolder("corpus", "sql_front_end", CheckStatement), 100u);
  ReplayFolder("regressions", "sql_front_end", CheckStatement);
}

TEST(FuzzReplay, EveryTextTableOfTheSeedsAndRegressionsReadsWholeOrGivesADriverError) {
  EXPECT_GT(ReplayFolder("corpus", "text_table", CheckTextTable), 10u);
  ReplayFolder("regressions", "text_table", CheckTextTable);
}

}  // namespace
}  // namespace vendrel::driver::fuzz

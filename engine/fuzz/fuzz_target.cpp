// libFuzzer target: RewriteSql over any statement and recordset names.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "rewrite_sql_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    vendrel::engine::fuzz::CheckRewrite(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const vendrel::engine::fuzz::Finding& finding) {
    std::fprintf(stderr, "finding: %s\n", finding.what());
    std::abort();
  }
  return 0;
}

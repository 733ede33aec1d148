// The libFuzzer entry of the driver's fuzz targets; VDL_FUZZ_CHECK names the
// check of fuzz_checks.h that the target runs on every input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    vendrel::driver::fuzz::VDL_FUZZ_CHECK(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const vendrel::driver::fuzz::Finding& finding) {
    std::fprintf(stderr, "finding: %s\n", finding.what());
    std::abort();
  }
  return 0;
}

#include "measure.h"

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>

namespace vendrel::bench {

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void ReleaseFreeMemory() { ::malloc_trim(0); }

void ResetPeakResident() {
  // Writing 5 resets the peak resident size to the current one.
  std::ofstream("/proc/self/clear_refs") << "5";
}

namespace {
double StatusMb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size())) / 1024.0;  // the line counts kB
  }
  return 0;
}
}  // namespace

double PeakResidentMb() { return StatusMb("VmHWM:"); }
double ResidentMb() { return StatusMb("VmRSS:"); }

}  // namespace vendrel::bench

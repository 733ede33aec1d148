#pragma once
// One workload at one size: both sides, checked against each other, then timed.

#include <cstddef>
#include <string>

namespace vendrel::bench {

struct Figures {
  double executeMs = 0;   // median, through Execute with a full walk of the result
  double baselineMs = 0;  // median, through plain SQLite
  // The first run of each side in the process, before anything is warm.
  double firstExecuteMs = 0;
  double firstBaselineMs = 0;
  // Memory while Execute ran: the process's largest resident size, and the
  // largest growth over the resident size at the start of one run (what
  // Execute itself needed besides the inputs and the process).
  double peakRssMb = 0;
  double peakGrowthMb = 0;
  double inputTextMb = 0;  // the data files' bytes that the inputs make
  // W4: the ten queries over the kept result alone, and ten plain Executes
  // that export the result each time.
  double keptMs = 0;
  double plainMs = 0;
};

struct RunOptions {
  size_t rows = 0;
  int runs = 5;  // timed runs after the warm-up
  unsigned long long seed = 20240601;
};

// Runs the workload; a result that differs between the sides raises
// std::runtime_error naming the difference.
Figures RunWorkload(const std::string& workload, const RunOptions& options);

}  // namespace vendrel::bench

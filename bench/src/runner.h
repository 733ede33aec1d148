#pragma once
// One workload at one size: both sides, checked against each other, then timed.

#include <cstddef>
#include <string>

namespace vendrel::bench {

struct Figures {
  // Medians of the timed runs, each over inputs of a seed of its own (new
  // data: nothing of them was read before): through Execute with a full walk
  // of the result, and through plain SQLite.
  double executeMs = 0;
  double baselineMs = 0;
  // Median of Executes of one query object over the first inputs again,
  // unchanged: the driver finds their tables parsed before.
  double unchangedExecuteMs = 0;
  // The first run of each side in the process, before anything is warm.
  double firstExecuteMs = 0;
  double firstBaselineMs = 0;
  // Memory while Execute ran: the process's largest resident size, and the
  // largest growth over the resident size at the start of one run (what
  // Execute itself needed besides the inputs and the process).
  double peakRssMb = 0;
  double peakGrowthMb = 0;
  double inputTextMb = 0;  // the data files' bytes that the inputs make
  // The resident size once every query object, result and input is
  // released, over the size before the inputs were made.
  double retainedMb = 0;
  // W4: the ten queries over the kept result alone, and ten plain Executes
  // that export the result each time.
  double keptMs = 0;
  double plainMs = 0;
};

struct RunOptions {
  size_t rows = 0;
  int runs = 5;  // timed runs after the warm-up
  // The first inputs' seed; timed run k gets seed + k.
  unsigned long long seed = 20240601;
};

// Runs the workload; a result that differs between the sides raises
// std::runtime_error naming the difference.
Figures RunWorkload(const std::string& workload, const RunOptions& options);

}  // namespace vendrel::bench

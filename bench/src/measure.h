#pragma once
// Clocks, medians and the process's resident memory.

#include <vector>

namespace vendrel::bench {

// Milliseconds on a steady clock.
double NowMs();
double Median(std::vector<double> values);

// Returns memory that the allocator holds but no longer uses to the system,
// so that one side's freed memory does not count against the other.
void ReleaseFreeMemory();
// Starts a new peak: from now on PeakResidentMb() reports the largest
// resident size since this call (at least the current one).
void ResetPeakResident();
// The largest resident size, in MiB, since the last reset (or the start).
double PeakResidentMb();
double ResidentMb();

}  // namespace vendrel::bench

#pragma once
// A small generator with a fixed seed, so every run sees the same data.

#include <cstdint>

namespace vendrel::bench {

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t x = (state_ += 0x9E3779B97F4A7C15ULL);
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
  }
  // Uniform in [0, bound); bound > 0.
  uint64_t Below(uint64_t bound) { return Next() % bound; }
  int64_t Between(int64_t low, int64_t high) { return low + static_cast<int64_t>(Below(static_cast<uint64_t>(high - low + 1))); }

 private:
  uint64_t state_;
};

}  // namespace vendrel::bench

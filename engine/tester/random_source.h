#pragma once
// The tester's one source of chance: every draw comes from the seed, so a
// seed names a run and gives it again.

#include <cstdint>
#include <initializer_list>
#include <random>
#include <span>
#include <vector>

namespace vendrel::tester {

class Random {
 public:
  explicit Random(uint64_t seed) : engine_(seed) {}

  // True one time in `n`.
  bool OneIn(int n) { return Below(n) == 0; }
  // True `percent` times in a hundred.
  bool Percent(int percent) { return Below(100) < percent; }
  // 0 <= result < n.
  int Below(int n) { return n <= 1 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(engine_); }
  int Between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine_); }
  template <class T>
  const T& Pick(std::span<const T> items) {
    return items[static_cast<size_t>(Below(static_cast<int>(items.size())))];
  }
  template <class T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<size_t>(Below(static_cast<int>(items.size())))];
  }
  template <class T>
  T Pick(std::initializer_list<T> items) {
    return *(items.begin() + Below(static_cast<int>(items.size())));
  }
  uint64_t Next() { return engine_(); }

 private:
  std::mt19937_64 engine_;
};

}  // namespace vendrel::tester

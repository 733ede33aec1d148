#pragma once
// The progress of a long load, on a terminal.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace vendrel::vdlquery {

// While one lives and standard error is a terminal, a load that takes more
// than two seconds shows one line there, redrawn a few times a second: the
// input, the driver's pass over it, the bytes and rows read so far and the
// time; Finish replaces it with the rows read. Nothing at all when standard
// error is not a terminal.
class LoadProgress {
 public:
  LoadProgress(std::string shown, int64_t bytes);
  ~LoadProgress();
  LoadProgress(const LoadProgress&) = delete;
  LoadProgress& operator=(const LoadProgress&) = delete;

  void Finish(size_t rows);

 private:
  void Show();
  void Stop();

  std::string shown_;
  std::atomic<int64_t> bytes_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  bool drawn_ = false;
  // From the driver, on the loading thread.
  std::atomic<int> pass_{0};
  std::atomic<uint64_t> bytesRead_{0};
  std::atomic<uint64_t> rowsRead_{0};
  std::thread thread_;
};

// "12,345,678"
std::string WithThousands(uint64_t n);

}  // namespace vendrel::vdlquery

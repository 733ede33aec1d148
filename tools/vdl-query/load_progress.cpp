#include "load_progress.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "vendrel/driver/driver.h"

namespace vendrel::vdlquery {

namespace {

constexpr auto kQuietTime = std::chrono::seconds(2);
constexpr auto kRedraw = std::chrono::milliseconds(250);

std::string Megabytes(int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

std::string Seconds(std::chrono::steady_clock::duration d) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(d).count());
  return text;
}

void WriteToTerminal(const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

std::string WithThousands(uint64_t n) {
  std::string digits = std::to_string(n);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
  return digits;
}

LoadProgress::LoadProgress(std::string shown, int64_t bytes)
    : shown_(std::move(shown)), bytes_(bytes), start_(std::chrono::steady_clock::now()) {
  if (!::isatty(STDERR_FILENO)) return;
  driver::ObserveTextReads([this](const driver::TextReadProgress& p) {
    pass_ = p.pass;
    bytesRead_ = p.bytesRead;
    rowsRead_ = p.rows;
    if (p.totalBytes > 0) bytes_ = static_cast<int64_t>(p.totalBytes);
  });
  // Interrupts go to the main thread, whose blocking calls they end.
  sigset_t all, previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, &previous);
  thread_ = std::thread([this] { Show(); });
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

LoadProgress::~LoadProgress() {
  Stop();
  if (drawn_) WriteToTerminal("\r\x1b[K");
}

void LoadProgress::Show() {
  std::unique_lock lock(mutex_);
  if (wake_.wait_for(lock, kQuietTime, [this] { return done_; })) return;
  while (!done_) {
    std::string line = "\rvdl-query: reading " + shown_ + " (" + Megabytes(bytes_.load()) + ")";
    if (const int pass = pass_)
      line += ": pass " + std::to_string(pass) + " of 2 (" + (pass == 1 ? "types" : "rows") + "), " +
              Megabytes(static_cast<int64_t>(bytesRead_.load())) + " and " + WithThousands(rowsRead_) + " rows read";
    WriteToTerminal(line + ", " + Seconds(std::chrono::steady_clock::now() - start_) + "\x1b[K");
    drawn_ = true;
    wake_.wait_for(lock, kRedraw, [this] { return done_; });
  }
}

void LoadProgress::Stop() {
  if (!thread_.joinable()) return;
  driver::ObserveTextReads(nullptr);
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void LoadProgress::Finish(size_t rows) {
  Stop();
  if (!drawn_) return;
  drawn_ = false;
  WriteToTerminal("\rvdl-query: read " + shown_ + ": " + WithThousands(rows) + " rows, " + Megabytes(bytes_.load()) +
                  " in " + Seconds(std::chrono::steady_clock::now() - start_) + "\x1b[K\n");
}

}  // namespace vendrel::vdlquery

#include "interrupt.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "options.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel::vdlquery {

namespace {

volatile std::sig_atomic_t pendingSignal = 0;
volatile std::sig_atomic_t inStatement = 0;
volatile std::sig_atomic_t interruptsInStatement = 0;
volatile std::sig_atomic_t keepAfterCtrlC = 0;
// What an interrupt cancels; set only while a statement runs on the main
// thread, which the handler interrupts.
std::atomic<Vendrel*> runningQuery{nullptr};
std::atomic<Connection*> runningConnection{nullptr};
static_assert(std::atomic<Vendrel*>::is_always_lock_free && std::atomic<Connection*>::is_always_lock_free);

// The work folders, for the handler: fixed storage, written before a slot
// is marked used.
constexpr int kSlots = 4;
constexpr size_t kPathMax = 4096;
char workFolders[kSlots][kPathMax];
volatile std::sig_atomic_t slotUsed[kSlots] = {};

// Directory entries as the kernel hands them out.
struct KernelDirent {
  uint64_t inode;
  int64_t offset;
  unsigned short length;
  unsigned char type;
  char name[];
};

// Removes `name` under the folder `parentFd` with all it holds, with calls
// that are safe in a signal handler (no allocation, no locks).
void RemoveTreeAt(int parentFd, const char* name, int depth) {
  if (::unlinkat(parentFd, name, 0) == 0 || (errno != EISDIR && errno != EPERM)) return;
  const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  alignas(8) char buffer[4096];
  // Entries are removed while the folder is listed, so it is listed again
  // from its start until nothing is removed.
  for (bool removed = true; removed;) {
    removed = false;
    if (::lseek(fd, 0, SEEK_SET) < 0) break;
    for (;;) {
      const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
      if (n <= 0) break;
      for (long at = 0; at < n;) {
        const auto* entry = reinterpret_cast<const KernelDirent*>(buffer + at);
        at += entry->length;
        if (std::strcmp(entry->name, ".") == 0 || std::strcmp(entry->name, "..") == 0) continue;
        if (entry->type == DT_DIR && depth < 16)
          RemoveTreeAt(fd, entry->name, depth + 1);
        else
          ::unlinkat(fd, entry->name, 0);
        removed = true;
      }
    }
  }
  ::close(fd);
  ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

void RemoveWorkFolders() {
  for (int i = 0; i < kSlots; ++i)
    if (slotUsed[i]) RemoveTreeAt(AT_FDCWD, workFolders[i], 0);
}

void OnInterrupt(int signal) {
  if (inStatement) {
    const int allowed = keepAfterCtrlC && signal == SIGINT ? 3 : 2;
    interruptsInStatement = interruptsInStatement + 1;
    if (interruptsInStatement >= allowed) {
      const int savedErrno = errno;
      RemoveWorkFolders();
      errno = savedErrno;
      ::signal(signal, SIG_DFL);
      ::raise(signal);
      return;
    }
    // Both only store to a lock-free atomic.
    if (Vendrel* query = runningQuery.load()) query->Cancel();
    if (Connection* connection = runningConnection.load()) connection->Cancel();
  }
  // A signal that ends the program is not replaced by a Ctrl-C that would not.
  if (!(pendingSignal && pendingSignal != SIGINT && signal == SIGINT)) pendingSignal = signal;
}

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // One handler at a time: a second signal waits until the first is handled.
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
  action.sa_flags = 0;  // no restart: a blocked read returns, so the input loop sees the interrupt
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
  // A reader that goes away (| head) makes writes fail instead of ending the
  // program before the query object has removed its files.
  ::signal(SIGPIPE, SIG_IGN);
}

int TakeInterrupt() {
  const int signal = pendingSignal;
  pendingSignal = 0;
  return signal;
}

int PendingInterrupt() { return pendingSignal; }

void KeepRunningAfterCtrlC(bool keep) { keepAfterCtrlC = keep ? 1 : 0; }

StatementInProgress::StatementInProgress(Vendrel& query) {
  runningQuery = &query;
  interruptsInStatement = 0;
  inStatement = 1;
}

StatementInProgress::StatementInProgress(Connection& connection) {
  runningConnection = &connection;
  interruptsInStatement = 0;
  inStatement = 1;
}

StatementInProgress::~StatementInProgress() {
  inStatement = 0;
  runningQuery = nullptr;
  runningConnection = nullptr;
}

WorkFolder::WorkFolder(const std::string& parent) {
  std::string pattern = fs::JoinPath(parent, "vdl-query-XXXXXX");
  if (!::mkdtemp(pattern.data()))
    throw ToolError("cannot make a work folder in '" + parent + "': " + std::strerror(errno));
  char* absolute = ::realpath(pattern.c_str(), nullptr);
  path_ = absolute ? absolute : pattern;
  std::free(absolute);
  for (int i = 0; i < kSlots; ++i) {
    if (slotUsed[i] || path_.size() >= kPathMax) continue;
    std::memcpy(workFolders[i], path_.c_str(), path_.size() + 1);
    slotUsed[i] = 1;
    slot_ = i;
    break;
  }
}

WorkFolder::~WorkFolder() {
  if (slot_ >= 0) slotUsed[slot_] = 0;
  try {
    fs::DeleteFolder(path_);
  } catch (...) {
  }
}

}  // namespace vendrel::vdlquery

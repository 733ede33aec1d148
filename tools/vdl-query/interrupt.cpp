#include "interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <initializer_list>

namespace vendrel::vdlquery {

namespace {

volatile std::sig_atomic_t pendingSignal = 0;
volatile std::sig_atomic_t inStatement = 0;

void OnInterrupt(int signal) {
  if (inStatement && pendingSignal) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  pendingSignal = signal;
  if (inStatement) {
    static const char kNote[] =
        "\nvdl-query: interrupted; the statement runs to its end first (interrupt again to stop at once)\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kNote, sizeof kNote - 1);
  }
}

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
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

StatementInProgress::StatementInProgress() { inStatement = 1; }
StatementInProgress::~StatementInProgress() { inStatement = 0; }

}  // namespace vendrel::vdlquery

#pragma once
// Interrupts (SIGINT, SIGTERM, SIGHUP) that let the query object clean up.
// A statement cannot be stopped half-way, so the first interrupt is only
// remembered: the program ends, or the shell drops the statement's result,
// once the statement is done and the query object's files are gone. A
// second interrupt during a statement ends the program at once.

namespace vendrel::vdlquery {

void InstallInterruptHandlers();

// The signal received since the last call, or 0; clears it.
int TakeInterrupt();
// The same without clearing it.
int PendingInterrupt();

// While one lives, an interrupt says on standard error that the statement
// runs to its end first.
class StatementInProgress {
 public:
  StatementInProgress();
  ~StatementInProgress();
  StatementInProgress(const StatementInProgress&) = delete;
  StatementInProgress& operator=(const StatementInProgress&) = delete;
};

}  // namespace vendrel::vdlquery

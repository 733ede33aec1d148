#pragma once
// Interrupts (SIGINT, SIGTERM, SIGHUP) that stop the running statement and
// let the query object clean up. During a statement or a load the first one
// cancels it: the query object (or the input's connection) stops within a
// second and removes its files, and the program ends, or the shell goes on
// at its prompt. Another interrupt during the same statement ends the
// program at once, after removing the work folders registered here; in an
// interactive shell, whose Ctrl-C only stops the statement, two more are needed.

#include <string>

namespace vendrel {
class Connection;
class Vendrel;
}  // namespace vendrel

namespace vendrel::vdlquery {

void InstallInterruptHandlers();

// The signal received since the last call, or 0; clears it.
int TakeInterrupt();
// The same without clearing it.
int PendingInterrupt();

// Set by an interactive shell: its Ctrl-C stops a statement but not the program.
void KeepRunningAfterCtrlC(bool keep);

// While one lives, an interrupt cancels what it names; the object must
// outlive it.
class StatementInProgress {
 public:
  explicit StatementInProgress(Vendrel& query);
  explicit StatementInProgress(Connection& connection);
  ~StatementInProgress();
  StatementInProgress(const StatementInProgress&) = delete;
  StatementInProgress& operator=(const StatementInProgress&) = delete;
};

// A folder made for this run (mkdtemp under `parent`, named vdl-query-...)
// that goes with all it holds when the object goes, and also when an
// interrupt ends the program at once. Everything the tool and its query
// object write lives in folders of this kind.
class WorkFolder {
 public:
  // Raises ToolError naming the parent when the folder cannot be made.
  explicit WorkFolder(const std::string& parent);
  ~WorkFolder();
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  const std::string& Path() const noexcept { return path_; }

 private:
  std::string path_;
  int slot_ = -1;
};

}  // namespace vendrel::vdlquery

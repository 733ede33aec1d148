#pragma once
// Interrupts (SIGINT, SIGTERM, SIGHUP) that let the query object clean up.
// A statement cannot be stopped half-way, so the first interrupt is only
// remembered: the program ends, or the shell drops the statement's result,
// once the statement is done and the query object's files are gone. A
// second interrupt during a statement ends the program at once, after
// removing the work folders registered here.

#include <string>

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

#include "core/cancel.h"

#include "core/errors.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/error.h"

namespace vendrel::driver {

namespace {

thread_local const CancelRequest* watched = nullptr;

// About a few thousand calls a second of a busy statement: each one loads an atomic.
constexpr int kInstructionsPerLook = 10000;

int StopStepping(void* request) { return static_cast<const CancelRequest*>(request)->Requested() ? 1 : 0; }

}  // namespace

CancelWatch::CancelWatch(sqlite3* db, const CancelRequest& request) : db_(db), saved_(watched) {
  watched = &request;
  // The handler reads the request on the thread that steps; nothing here
  // relies on SQLite's own interrupt, which is not documented as safe in a
  // signal handler.
  if (db_) sqlite3_progress_handler(db_, kInstructionsPerLook, &StopStepping, const_cast<CancelRequest*>(&request));
}

CancelWatch::~CancelWatch() {
  watched = saved_;
  if (db_) sqlite3_progress_handler(db_, 0, nullptr, nullptr);
}

bool CancelRequested() noexcept { return watched && watched->Requested(); }

void RaiseCancelled() {
  RaiseDriverError(hr::kCancelled, std::string(PlatformErrorText(err::kOperationCancelled)));
}

}  // namespace vendrel::driver

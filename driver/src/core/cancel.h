#pragma once
// The cancel request of the statement that runs on this thread. A session
// watches its connection's request while it runs a statement; the long loops
// below it (a text table read, SQLite stepping) look at the request and stop
// with the driver's error for a cancelled statement.

#include <sqlite3.h>

namespace vendrel {
class CancelRequest;
}

namespace vendrel::driver {

// While one lives, `request` is this thread's and SQLite stops stepping on
// `db` once it is made. The thread's earlier request holds again afterwards.
class CancelWatch {
 public:
  CancelWatch(sqlite3* db, const CancelRequest& request);
  ~CancelWatch();
  CancelWatch(const CancelWatch&) = delete;
  CancelWatch& operator=(const CancelWatch&) = delete;

 private:
  sqlite3* db_;
  const CancelRequest* saved_;
};

// Whether this thread's statement is to stop.
bool CancelRequested() noexcept;
[[noreturn]] void RaiseCancelled();
inline void RaiseIfCancelled() {
  if (CancelRequested()) RaiseCancelled();
}

}  // namespace vendrel::driver

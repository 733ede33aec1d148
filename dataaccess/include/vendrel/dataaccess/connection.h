#pragma once
// Connection, its connection string, and the seam through which providers
// (the SQL drivers) plug in without this library knowing them.

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/object.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel {

// "Key=Value;Key2=Value2" with keys compared without regard to case; a value
// may be quoted with ' or " (the quote doubled inside) or enclosed in braces.
class ConnectionString {
 public:
  static ConnectionString Parse(std::string_view text);
  std::optional<std::string> Get(std::string_view key) const;
  const std::vector<std::pair<std::string, std::string>>& Pairs() const noexcept { return pairs_; }

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

// A request to stop the work that runs: set from anywhere, watched by the
// work itself. Request() only stores to a lock-free atomic, so it may be
// called from any thread and from a signal handler.
class CancelRequest {
 public:
  void Request() noexcept { requested_.store(true, std::memory_order_relaxed); }
  bool Requested() const noexcept { return requested_.load(std::memory_order_relaxed); }
  void Clear() noexcept { requested_.store(false, std::memory_order_relaxed); }

 private:
  static_assert(std::atomic<bool>::is_always_lock_free);
  std::atomic<bool> requested_{false};
};

// One open link of a provider to its data.
class ProviderSession : public Object {
 public:
  // Runs a command; the rows come back whole. A provider that can stop
  // half-way watches `cancel` while it works and, once it is requested,
  // raises err::kOperationCancelled or an error of its own that says so.
  virtual Ref<RowStore> Execute(const std::string& commandText, int options, const CancelRequest& cancel) = 0;
  virtual void Close() noexcept {}
};

class Provider {
 public:
  virtual ~Provider() = default;
  virtual bool Accepts(const ConnectionString& cs) const = 0;
  virtual Ref<ProviderSession> Open(const ConnectionString& cs) = 0;
};

// Providers registered later are asked first. Registration is thread-safe.
void RegisterProvider(std::shared_ptr<Provider> provider);
void UnregisterProvider(const Provider* provider);

class Connection : public Object {
 public:
  static Ref<Connection> Create() { return MakeRef<Connection>(); }
  ~Connection() override;

  const std::string& ConnectionString() const noexcept { return connectionString_; }
  void SetConnectionString(std::string text);
  int CursorLocation() const noexcept { return cursorLocation_; }
  void SetCursorLocation(int location);

  // Empty arguments use the connection string set before; no provider for it raises 3706.
  void Open(const std::string& connectionString = "", const std::string& userId = "",
            const std::string& password = "", int options = adConnectUnspecified);
  // Raises 3704 on a connection that is closed or was never opened.
  void Close();
  int State() const noexcept { return session_ ? adStateOpen : adStateClosed; }

  // The open session; 3709 when closed.
  const Ref<ProviderSession>& Session() const;

  // Runs a command on the open session (3709 when closed): what a
  // recordset's Open does with its source.
  Ref<RowStore> ExecuteCommand(const std::string& commandText, int options);

  // Stops the command that runs on this connection now: it fails with the
  // provider's error for a cancelled command (the text driver's says
  // "Operation has been cancelled by the user."). Safe from any thread and
  // from a signal handler, as long as the connection itself lives; a call
  // while no command runs is forgotten when the next one begins. A provider
  // that cannot stop half-way finishes the command.
  void Cancel() noexcept { cancel_->Request(); }

  // Lets a request of the caller's stop this connection's commands: the
  // caller then owns it, so it is no longer cleared when a command begins.
  // A query object shares one with every connection it opens.
  void ShareCancelRequest(std::shared_ptr<CancelRequest> request);

 private:
  std::string connectionString_;
  int cursorLocation_ = adUseServer;
  Ref<ProviderSession> session_;
  std::shared_ptr<CancelRequest> cancel_ = std::make_shared<CancelRequest>();
  bool ownsCancel_ = true;
};

}  // namespace vendrel

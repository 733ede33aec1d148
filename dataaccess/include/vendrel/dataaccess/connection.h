#pragma once
// Connection, its connection string, and the seam through which providers
// (the SQL drivers) plug in without this library knowing them.

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

// One open link of a provider to its data.
class ProviderSession : public Object {
 public:
  // Runs a command; the rows come back whole.
  virtual Ref<RowStore> Execute(const std::string& commandText, int options) = 0;
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

 private:
  std::string connectionString_;
  int cursorLocation_ = adUseServer;
  Ref<ProviderSession> session_;
};

}  // namespace vendrel

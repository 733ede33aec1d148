#pragma once
// A provider for tests that stands where the text driver stands: it takes
// the connections the engine opens on folders below one root, records what
// the engine hands it (the folder's files and the statement), and answers
// as the test says, an error included. It lets a test see the data files
// while the query runs and provoke driver failures at will.

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/driver/driver.h"

namespace vendrel::testing {

struct ScriptedCall {
  std::string folder;
  std::string command;
  std::map<std::string, std::string> files;  // name -> bytes, as they were when the statement came
  std::map<std::string, unsigned> modes;     // name -> permission bits, the folder's under ""
};

class ScriptedProvider : public Provider, public std::enable_shared_from_this<ScriptedProvider> {
 public:
  explicit ScriptedProvider(std::string root) : root_(std::move(root)) {}

  // Called with the number of the open (1, 2, ...); may throw to make it fail.
  std::function<void(int)> onOpen;
  // Answers a statement; by default one row with one column A = 1.
  std::function<Ref<RowStore>(const ScriptedCall&)> onExecute;

  std::vector<std::string> connectionStrings;  // Data Source of every open
  std::vector<ScriptedCall> calls;
  int opens = 0;

  bool Accepts(const ConnectionString& cs) const override {
    const auto provider = cs.Get("Provider");
    const auto folder = cs.Get("Data Source");
    return provider && *provider == "Microsoft.Jet.OLEDB.4.0" && folder && folder->starts_with(root_ + "/");
  }

  Ref<ProviderSession> Open(const ConnectionString& cs) override;

 private:
  std::string root_;
};

class ScriptedSession : public ProviderSession {
 public:
  static unsigned ModeOf(const std::string& path) {
    return static_cast<unsigned>(std::filesystem::status(path).permissions()) & 0777;
  }

  ScriptedSession(std::shared_ptr<ScriptedProvider> provider, std::string folder)
      : provider_(std::move(provider)), folder_(std::move(folder)) {}

  Ref<RowStore> Execute(const std::string& commandText, int, const CancelRequest&) override {
    ScriptedCall call{folder_, commandText, {}, {}};
    call.modes[""] = ModeOf(folder_);
    for (const auto& e : std::filesystem::directory_iterator(folder_)) {
      call.files[e.path().filename().string()] = fs::ReadFile(e.path().string());
      call.modes[e.path().filename().string()] = ModeOf(e.path().string());
    }
    provider_->calls.push_back(call);
    if (provider_->onExecute) return provider_->onExecute(call);
    auto rows = MakeRef<RowStore>(std::vector<FieldInfo>{{"A", adInteger}});
    rows->AppendRow({Variant::Long(1)});
    return rows;
  }

 private:
  std::shared_ptr<ScriptedProvider> provider_;
  std::string folder_;
};

inline Ref<ProviderSession> ScriptedProvider::Open(const ConnectionString& cs) {
  ++opens;
  connectionStrings.push_back(*cs.Get("Data Source"));
  if (onOpen) onOpen(opens);
  return MakeRef<ScriptedSession>(shared_from_this(), *cs.Get("Data Source"));
}

// Registers the provider ahead of the text driver for one test.
class ScriptedProviderScope {
 public:
  explicit ScriptedProviderScope(const std::string& root) : provider_(std::make_shared<ScriptedProvider>(root)) {
    driver::RegisterProviders();  // so that this provider is asked first
    RegisterProvider(provider_);
  }
  ~ScriptedProviderScope() { UnregisterProvider(provider_.get()); }
  ScriptedProvider& operator*() const { return *provider_; }
  ScriptedProvider* operator->() const { return provider_.get(); }

 private:
  std::shared_ptr<ScriptedProvider> provider_;
};

}  // namespace vendrel::testing

#include "vendrel/dataaccess/connection.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel {

// ---------------------------------------------------------------- ConnectionString

namespace {
std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}
}  // namespace

ConnectionString ConnectionString::Parse(std::string_view text) {
  ConnectionString cs;
  size_t i = 0;
  while (i < text.size()) {
    const size_t eq = text.find_first_of("=;", i);
    if (eq == std::string_view::npos || text[eq] == ';') {  // a segment without "=" is skipped
      const std::string_view key = TrimSpaces(text.substr(i, eq == std::string_view::npos ? eq : eq - i));
      if (!key.empty()) cs.pairs_.emplace_back(std::string(key), std::string());
      if (eq == std::string_view::npos) break;
      i = eq + 1;
      continue;
    }
    const std::string key(TrimSpaces(text.substr(i, eq - i)));
    size_t j = eq + 1;
    while (j < text.size() && text[j] == ' ') ++j;
    std::string value;
    if (j < text.size() && (text[j] == '"' || text[j] == '\'')) {
      const char quote = text[j++];
      bool closed = false;
      while (j < text.size()) {
        if (text[j] == quote) {
          if (j + 1 < text.size() && text[j + 1] == quote) {
            value += quote;
            j += 2;
            continue;
          }
          ++j;
          closed = true;
          break;
        }
        value += text[j++];
      }
      if (!closed) RaisePlatform(err::kArgumentsWrongType, source::kConnection);
      while (j < text.size() && text[j] != ';') ++j;
    } else if (j < text.size() && text[j] == '{') {
      const size_t close = text.find('}', j);
      if (close == std::string_view::npos) RaisePlatform(err::kArgumentsWrongType, source::kConnection);
      value = std::string(text.substr(j + 1, close - j - 1));
      j = close + 1;
      while (j < text.size() && text[j] != ';') ++j;
    } else {
      const size_t end = text.find(';', j);
      value = std::string(TrimSpaces(text.substr(j, end == std::string_view::npos ? end : end - j)));
      j = end == std::string_view::npos ? text.size() : end;
    }
    if (!key.empty()) cs.pairs_.emplace_back(key, std::move(value));
    i = j + 1;
  }
  return cs;
}

std::optional<std::string> ConnectionString::Get(std::string_view key) const {
  // The last occurrence of a key holds.
  for (auto it = pairs_.rbegin(); it != pairs_.rend(); ++it)
    if (EqualsNoCase(it->first, key)) return it->second;
  return std::nullopt;
}

// ---------------------------------------------------------------- provider registry

namespace {
struct Registry {
  std::mutex mutex;
  std::vector<std::shared_ptr<Provider>> providers;
};
Registry& TheRegistry() {
  static Registry registry;
  return registry;
}
}  // namespace

void RegisterProvider(std::shared_ptr<Provider> provider) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.providers.push_back(std::move(provider));
}

void UnregisterProvider(const Provider* provider) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  std::erase_if(r.providers, [&](const auto& p) { return p.get() == provider; });
}

namespace {
std::shared_ptr<Provider> FindProvider(const ConnectionString& cs) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  for (auto it = r.providers.rbegin(); it != r.providers.rend(); ++it)
    if ((*it)->Accepts(cs)) return *it;
  return nullptr;
}
}  // namespace

// ---------------------------------------------------------------- Connection

Connection::~Connection() {
  if (session_) session_->Close();
}

void Connection::SetConnectionString(std::string text) {
  if (session_) RaisePlatform(err::kObjectOpen, source::kConnection);
  connectionString_ = std::move(text);
}

void Connection::SetCursorLocation(int location) {
  if (location != adUseClient && location != adUseServer)
    RaisePlatform(err::kArgumentsWrongType, source::kConnection);
  cursorLocation_ = location;
}

void Connection::Open(const std::string& connectionString, const std::string& /*userId*/,
                      const std::string& /*password*/, int /*options*/) {
  if (session_) RaisePlatform(err::kObjectOpen, source::kConnection);
  if (!connectionString.empty()) connectionString_ = connectionString;
  const vendrel::ConnectionString parsed = vendrel::ConnectionString::Parse(connectionString_);
  std::shared_ptr<Provider> provider = FindProvider(parsed);
  if (!provider) RaisePlatform(err::kProviderNotFound, source::kConnection);
  session_ = provider->Open(parsed);
  if (!session_) RaisePlatform(err::kProviderNotFound, source::kConnection);
}

void Connection::Close() {
  if (!session_) RaisePlatform(err::kObjectClosed, source::kConnection);
  Ref<ProviderSession> session = std::move(session_);
  session_.reset();
  session->Close();
}

const Ref<ProviderSession>& Connection::Session() const {
  if (!session_) RaisePlatform(err::kConnectionClosed, source::kConnection);
  return session_;
}

Ref<RowStore> Connection::ExecuteCommand(const std::string& commandText, int options) {
  const Ref<ProviderSession> session = Session();
  if (ownsCancel_) cancel_->Clear();
  // The request is held for the command: one shared with another connection stays alive meanwhile.
  const std::shared_ptr<CancelRequest> cancel = cancel_;
  return session->Execute(commandText, options, *cancel);
}

void Connection::ShareCancelRequest(std::shared_ptr<CancelRequest> request) {
  if (!request) return;
  cancel_ = std::move(request);
  ownsCancel_ = false;
}

}  // namespace vendrel

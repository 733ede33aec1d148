#include "providers/providers.h"

#include <memory>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "providers/database_catalog.h"
#include "providers/session.h"
#include "text/encoding.h"
#include "text/schema_ini.h"
#include "text/table_cache.h"
#include "text/text_catalog.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver {

namespace {

constexpr std::string_view kJetProvider = "Microsoft.Jet.OLEDB.4.0";
constexpr std::string_view kOdbcTextDriver = "Microsoft Text Driver (*.txt; *.csv)";
constexpr std::string_view kOdbcDefaultExtensions = "txt,csv,tab,asc";

bool IsJet(const ConnectionString& cs) {
  const auto provider = cs.Get("Provider");
  return provider && EqualsNoCase(*provider, kJetProvider);
}

// The settings of "Extended Properties" ("text;HDR=Yes;FMT=Delimited(;);"): the
// first word names the kind of file, the rest are Key=Value pairs. A ";"
// between parentheses belongs to the value.
class Properties {
 public:
  explicit Properties(std::string_view text) {
    std::string part;
    int depth = 0;
    auto flush = [&] {
      const size_t eq = part.find('=');
      std::string key = Trim(part.substr(0, eq));
      std::string value = eq == std::string::npos ? std::string() : Trim(part.substr(eq + 1));
      if (!key.empty()) pairs_.emplace_back(std::move(key), std::move(value));
      part.clear();
    };
    for (char c : text) {
      if (c == '(') ++depth;
      if (c == ')' && depth > 0) --depth;
      if (c == ';' && depth == 0)
        flush();
      else
        part += c;
    }
    flush();
  }

  bool Empty() const noexcept { return pairs_.empty(); }
  bool IsText() const { return !pairs_.empty() && EqualsNoCase(pairs_.front().first, "text"); }
  std::optional<std::string> Get(std::string_view key) const {
    for (auto it = pairs_.rbegin(); it != pairs_.rend(); ++it)
      if (EqualsNoCase(it->first, key)) return it->second;
    return std::nullopt;
  }

 private:
  static std::string Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return std::string(s);
  }
  std::vector<std::pair<std::string, std::string>> pairs_;
};

Properties ExtendedProperties(const ConnectionString& cs) { return Properties(cs.Get("Extended Properties").value_or("")); }

bool IsNo(const std::optional<std::string>& value) {
  return value && (EqualsNoCase(*value, "No") || EqualsNoCase(*value, "False") || *value == "0");
}

[[noreturn]] void RaiseInvalidPath(const std::string& folder) {
  RaiseDriverError(hr::kFileError, "'" + folder +
                                       "' is not a valid path.  Make sure that the path name is spelled correctly "
                                       "and that you are connected to the server on which the file resides.");
}

// The defaults of a connection for files that schema.ini does not describe.
template <class Settings>
text::TextFormat DefaultFormat(const Settings& settings, std::string_view headerKey) {
  text::TextFormat format;
  format.header = !IsNo(settings.Get(headerKey));
  if (auto fmt = settings.Get("FMT")) text::ApplyFormatName(*fmt, format);
  if (auto set = settings.Get("CharacterSet"))
    if (auto parsed = text::CharacterSetFromName(*set)) format.characterSet = *parsed;
  return format;
}

Ref<ProviderSession> OpenTextSession(text::TextFolderOptions options) {
  if (!fs::FolderExists(options.folder)) RaiseInvalidPath(options.folder);
  // The cache's use goes with the catalog maker when the session closes.
  return MakeRef<SqlSession>([options = std::move(options), use = std::make_shared<text::TableCacheUse>()](
                                 sqlite3* db) -> std::unique_ptr<SessionCatalog> {
    return std::make_unique<text::TextFolderCatalog>(db, options);
  });
}

class TextFolderProvider final : public Provider {
 public:
  bool Accepts(const ConnectionString& cs) const override { return IsJet(cs) && ExtendedProperties(cs).IsText(); }

  Ref<ProviderSession> Open(const ConnectionString& cs) override {
    text::TextFolderOptions options;
    options.folder = cs.Get("Data Source").value_or("");
    options.defaults = DefaultFormat(ExtendedProperties(cs), "HDR");
    return OpenTextSession(std::move(options));
  }
};

class DatabaseFileProvider final : public Provider {
 public:
  bool Accepts(const ConnectionString& cs) const override { return IsJet(cs) && !ExtendedProperties(cs).IsText(); }

  Ref<ProviderSession> Open(const ConnectionString& cs) override {
    if (!ExtendedProperties(cs).Empty()) RaiseDriverError(hr::kFileError, "Could not find installable ISAM.");
    SqliteHandle db = OpenSessionDatabase();
    auto catalog = std::make_unique<DatabaseFileCatalog>(db.get(), cs.Get("Data Source").value_or(""));
    return MakeRef<SqlSession>(std::move(db), std::move(catalog));
  }
};

class OdbcTextProvider final : public Provider {
 public:
  bool Accepts(const ConnectionString& cs) const override {
    const auto driver = cs.Get("Driver");
    const auto provider = cs.Get("Provider");
    return driver && EqualsNoCase(*driver, kOdbcTextDriver) && (!provider || EqualsNoCase(*provider, "MSDASQL"));
  }

  Ref<ProviderSession> Open(const ConnectionString& cs) override {
    text::TextFolderOptions options;
    options.folder = cs.Get("Dbq").value_or(cs.Get("DefaultDir").value_or(""));
    options.defaults = DefaultFormat(cs, cs.Get("HDR") ? "HDR" : "ColNameHeader");
    std::stringstream list(cs.Get("Extensions").value_or(std::string(kOdbcDefaultExtensions)));
    for (std::string ext; std::getline(list, ext, ',');) {
      const size_t start = ext.find_first_not_of(" *.");
      const size_t end = ext.find_last_not_of(' ');
      if (start != std::string::npos) options.extensions.push_back(FoldCase(ext.substr(start, end - start + 1)));
    }
    return OpenTextSession(std::move(options));
  }
};

}  // namespace

std::shared_ptr<Provider> MakeTextFolderProvider() { return std::make_shared<TextFolderProvider>(); }
std::shared_ptr<Provider> MakeDatabaseFileProvider() { return std::make_shared<DatabaseFileProvider>(); }
std::shared_ptr<Provider> MakeOdbcTextProvider() { return std::make_shared<OdbcTextProvider>(); }

}  // namespace vendrel::driver

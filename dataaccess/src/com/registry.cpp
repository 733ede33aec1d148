#include "vendrel/dataaccess/com/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>

#include "vendrel/dataaccess/com/error_info.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::com {

namespace {

constexpr std::string_view kProgIdKey = "ProgID";
constexpr std::string_view kThreadingModelKey = "ThreadingModel";
constexpr std::string_view kLibraryKey = "Library";

// The file as lines, grouped by section, so that a rewrite keeps every line
// it has no business with.
struct Section {
  std::string header;
  std::optional<Guid> classId;
  std::vector<std::string> lines;
};

struct RegistryText {
  std::vector<std::string> preamble;
  std::vector<Section> sections;
};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

RegistryText Parse(std::string_view text) {
  RegistryText out;
  std::vector<std::string>* target = &out.preamble;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view trimmed = Trim(line);
    if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
      out.sections.push_back({std::string(line), ParseGuid(Trim(trimmed.substr(1, trimmed.size() - 2))), {}});
      target = &out.sections.back().lines;
    } else {
      target->emplace_back(line);
    }
  }
  return out;
}

std::string Render(const RegistryText& registry) {
  std::string out;
  auto put = [&out](const std::string& line) {
    out += line;
    out += '\n';
  };
  for (const auto& line : registry.preamble) put(line);
  for (const auto& section : registry.sections) {
    put(section.header);
    for (const auto& line : section.lines) put(line);
  }
  return out;
}

std::optional<std::string> KeyOf(std::string_view line, std::string_view* value) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  *value = Trim(line.substr(eq + 1));
  return std::string(Trim(line.substr(0, eq)));
}

std::string ValueOf(const Section& section, std::string_view key) {
  for (const auto& line : section.lines) {
    std::string_view value;
    if (auto k = KeyOf(line, &value); k && EqualsNoCase(*k, key)) return std::string(value);
  }
  return "";
}

ClassEntry EntryOf(const Section& section) {
  return {*section.classId, ValueOf(section, kProgIdKey), ValueOf(section, kThreadingModelKey),
          ValueOf(section, kLibraryKey)};
}

std::vector<std::string> LinesOf(const ClassEntry& entry) {
  return {std::string(kProgIdKey) + "=" + entry.progId,
          std::string(kThreadingModelKey) + "=" + entry.threadingModel,
          std::string(kLibraryKey) + "=" + entry.library, ""};
}

std::string ParentOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

// Makes the folder and any parents it lacks, private to the user.
void MakeFolders(const std::string& path) {
  if (path.empty() || fs::FolderExists(path)) return;
  MakeFolders(ParentOf(path));
  try {
    fs::CreateFolder(path, 0700);
  } catch (const Error&) {
    if (!fs::FolderExists(path)) throw;  // made by someone else meanwhile is fine
  }
}

std::string ReadRegistry(const std::string& path) {
  if (!fs::PathExists(path)) return "";
  return fs::ReadFile(path);
}

// Serialises rewrites of the file between processes; held while it lives.
// The lock is on the registry's folder, so no lock file is left behind.
class RegistryLock {
 public:
  explicit RegistryLock(const std::string& folder) {
    fs::faults::Check("LockFolder");
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) RaisePlatform(err::kPermissionDenied, source::kFileSystem);
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;
  ~RegistryLock() { ::close(fd_); }

 private:
  int fd_ = -1;
};

// Reads, changes and writes back the file under the lock; the new text
// replaces the old one in one step, so a failure leaves the old file whole.
template <class Change>
HRESULT Rewrite(Change&& change) {
  const std::string path = RegistryPath();
  std::string temporary;
  try {
    MakeFolders(ParentOf(path));
    RegistryLock lock(ParentOf(path));
    RegistryText registry = Parse(ReadRegistry(path));
    change(registry);
    temporary = path + ".new";
    fs::OutputFile file(temporary, fs::OutputFile::Mode::Create, 0600);
    file.Write(Render(registry));
    file.Close();
    fs::ReplaceFile(temporary, path);
    return S_OK;
  } catch (const Error& e) {
    if (!temporary.empty()) {
      try {
        if (fs::PathExists(temporary)) fs::DeleteFile(temporary);
      } catch (const Error&) {
        // the failure reported is the write's
      }
    }
    return ReportFailure(REGDB_E_WRITEREGDB, "Unable to write the class registry " + path + ": " + e.Description());
  }
}

HRESULT Read(RegistryText* registry) {
  const std::string path = RegistryPath();
  try {
    *registry = Parse(ReadRegistry(path));
    return S_OK;
  } catch (const Error& e) {
    return ReportFailure(REGDB_E_READREGDB, "Unable to read the class registry " + path + ": " + e.Description());
  }
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::string RegistryPath() {
  std::string base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') {
    base = data;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* user = ::getpwuid(::getuid());
      home = user ? user->pw_dir : "/";
    }
    base = fs::JoinPath(home, ".local/share");
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return fs::JoinPath(base, "vendrel/classes.ini");
}

HRESULT RegisterClasses(std::span<const ClassEntry> classes) {
  for (const ClassEntry& c : classes)
    if (HasLineBreak(c.progId) || HasLineBreak(c.threadingModel) || HasLineBreak(c.library) || c.library.empty())
      return ReportFailure(E_INVALIDARG, "Invalid registry entry for class " + ToString(c.classId));
  return Rewrite([&](RegistryText& registry) {
    for (const ClassEntry& c : classes) {
      // The ProgID names one class: whoever held it before loses it.
      if (!c.progId.empty()) {
        for (Section& s : registry.sections) {
          if (s.classId == c.classId) continue;
          std::erase_if(s.lines, [&](const std::string& line) {
            std::string_view value;
            auto key = KeyOf(line, &value);
            return key && EqualsNoCase(*key, kProgIdKey) && EqualsNoCase(value, c.progId);
          });
        }
      }
      Section* own = nullptr;
      for (Section& s : registry.sections)
        if (s.classId == c.classId) own = &s;
      if (!own) {
        registry.sections.push_back({"[" + ToString(c.classId) + "]", c.classId, {}});
        own = &registry.sections.back();
      }
      own->lines = LinesOf(c);
    }
  });
}

HRESULT UnregisterClasses(std::span<const Guid> classIds) {
  return Rewrite([&](RegistryText& registry) {
    std::erase_if(registry.sections, [&](const Section& s) {
      for (const Guid& id : classIds)
        if (s.classId == id) return true;
      return false;
    });
  });
}

HRESULT FindClass(const Guid& classId, ClassEntry* entry) {
  if (!entry) return E_POINTER;
  RegistryText registry;
  if (HRESULT hr = Read(&registry); Failed(hr)) return hr;
  for (const Section& s : registry.sections)
    if (s.classId == classId) {
      *entry = EntryOf(s);
      return S_OK;
    }
  return REGDB_E_CLASSNOTREG;
}

HRESULT FindClassByProgId(std::string_view progId, ClassEntry* entry) {
  if (!entry) return E_POINTER;
  RegistryText registry;
  if (HRESULT hr = Read(&registry); Failed(hr)) return hr;
  for (const Section& s : registry.sections)
    if (s.classId && !progId.empty() && EqualsNoCase(ValueOf(s, kProgIdKey), progId)) {
      *entry = EntryOf(s);
      return S_OK;
    }
  return CO_E_CLASSSTRING;
}

HRESULT ListClasses(std::vector<ClassEntry>* entries) {
  if (!entries) return E_POINTER;
  entries->clear();
  RegistryText registry;
  if (HRESULT hr = Read(&registry); Failed(hr)) return hr;
  for (const Section& s : registry.sections)
    if (s.classId) entries->push_back(EntryOf(s));
  return S_OK;
}

}  // namespace vendrel::com

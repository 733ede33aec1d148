#include "workspace.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "component_error.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel::engine {

namespace {

constexpr uint32_t kNameNumberRange = 536789124;

bool NameTaken(const std::vector<std::string>& names, std::string_view candidate) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return EqualsNoCase(n, candidate); });
}

}  // namespace

uint32_t NameNumberFromUnit(double u) {
  const double scaled = u * kNameNumberRange;
  if (!(scaled >= 0)) return 0;
  // u just below 1 can round up to the range itself.
  return std::min(static_cast<uint32_t>(scaled), kNameNumberRange - 1);
}

uint32_t DrawRandomNumber() {
  uint64_t bits = 0;
  for (size_t got = 0; got < sizeof bits;) {
    const ssize_t n = ::getrandom(reinterpret_cast<char*>(&bits) + got, sizeof bits - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw std::system_error(errno, std::generic_category(), "getrandom");
    got += static_cast<size_t>(n);
  }
  return NameNumberFromUnit(static_cast<double>(bits >> 11) * 0x1.0p-53);
}

namespace {
DrawNumber& CurrentNameDraw() {
  static DrawNumber draw = DrawRandomNumber;
  return draw;
}
}  // namespace

const DrawNumber& NameDraw() { return CurrentNameDraw(); }

ScopedNameDraw::ScopedNameDraw(DrawNumber draw) : previous_(std::exchange(CurrentNameDraw(), std::move(draw))) {}

ScopedNameDraw::~ScopedNameDraw() { CurrentNameDraw() = std::move(previous_); }

std::string MakeTempFolder(const std::string& parent, const DrawNumber& draw) {
  std::string candidate;
  try {
    for (int drawn = 1;; ++drawn) {
      candidate = "VDL" + std::to_string(draw());
      try {
        return fs::CreateFolder(fs::JoinPath(parent, candidate), kFolderMode);
      } catch (const Error& e) {
        if (e.Number() != err::kFileAlreadyExists || drawn == kMostDraws) throw;
      }
    }
  } catch (...) {
    RaiseComponent(errors::kFolderNotCreated, "Unable to create temporary folder: " + fs::JoinPath(parent, candidate) +
                                                  "\r\nCheck that the user has permission to create this folder.");
  }
}

void DeleteFolderIfPresent(const std::string& path) {
  if (fs::FolderExists(path) || fs::FileExists(path)) fs::DeleteFolder(path, true);
}

std::vector<std::string> DrawFileNames(const Collection& entries, const std::string& queryFolder,
                                       const DrawNumber& draw, std::vector<std::string>& optimizedNames) {
  const long count = entries.Count();
  // Names of optimized entries first, so that no drawn name can equal one of them.
  std::vector<std::string> names(static_cast<size_t>(count));
  std::vector<std::string> taken;
  for (long i = 1; i <= count; ++i) {
    const Variant& entry = entries.Item(i);
    if (entry.IsObject()) continue;
    names[static_cast<size_t>(i - 1)] = OptimizedResultFileName(ToText(entry));
    taken.push_back(names[static_cast<size_t>(i - 1)]);
  }
  for (long i = 1; i <= count; ++i) {
    std::string& name = names[static_cast<size_t>(i - 1)];
    if (!entries.Item(i).IsObject()) {
      optimizedNames.push_back(name);
      continue;
    }
    int drawn = 0;
    do {
      if (++drawn > kMostDraws) RaisePlatform(err::kFileAlreadyExists, source::kFileSystem);
      name = "TEMP" + std::to_string(draw());
    } while (NameTaken(taken, name) || fs::PathExists(fs::JoinPath(queryFolder, name + ".txt")));
    taken.push_back(name);
  }
  return names;
}

std::string OptimizedResultFileName(std::string_view recordsetName) { return FoldCase(recordsetName); }

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == '[' || c == ']') return false;
    // U+0080 to U+009F, the second block of control characters, in UTF-8.
    if (c == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) <= 0x9F) return false;
  }
  return true;
}

bool IsKeptResultName(std::string_view name) {
  constexpr size_t kLongestFileName = 255;
  return IsPlainFileName(name) && !name.starts_with(' ') &&
         OptimizedResultFileName(name).size() + std::string_view(".txt").size() <= kLongestFileName;
}

void DeleteListedDataFiles(const std::string& folder, std::vector<std::string>& names) noexcept {
  for (const std::string& name : names) {
    if (!IsPlainFileName(name)) continue;
    try {
      fs::DeleteFile(fs::JoinPath(folder, name + ".txt"));
    } catch (...) {
      // a file already gone or in use does not stop the others
    }
  }
  names.clear();
}

}  // namespace vendrel::engine

namespace vendrel {

std::string Vendrel::GetTempRoot() const { return fs::TemporaryFolder(); }

std::string Vendrel::CreateTempFolder(const std::string& parent) const {
  return engine::MakeTempFolder(parent, engine::NameDraw());
}

void Vendrel::DeleteTempFolder(const std::string& path) {
  try {
    engine::DeleteFolderIfPresent(path);
  } catch (...) {
    CloseQueryConnection();
    DeleteDataFiles();
    engine::RaiseComponent(errors::kFolderNotDeleted,
                           "Unable to delete temporary folder: " + path +
                               "\r\nCheck that the user has permission to Delete this folder.");
  }
}

std::vector<std::string> Vendrel::AssignFileNames(const Ref<Collection>& entries) {
  try {
    if (!entries) RaisePlatform(err::kObjectNotSet, source::kRuntime);
    std::vector<std::string> names =
        engine::DrawFileNames(*entries, queryFolder_, engine::NameDraw(), optimizedNames_);
    dataFileNames_.insert(dataFileNames_.end(), names.begin(), names.end());
    return names;
  } catch (...) {
    engine::RaiseComponent(errors::kFileNamesNotAssigned, std::string(engine::kUnknownCauseText));
  }
}

void Vendrel::DeleteDataFiles() noexcept { engine::DeleteListedDataFiles(queryFolder_, dataFileNames_); }

void Vendrel::DeleteOptimizedFiles() noexcept { engine::DeleteListedDataFiles(optimizedFolder_, optimizedNames_); }

}  // namespace vendrel

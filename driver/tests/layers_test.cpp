// The driver's layers as the sources hold them: every include goes down
// (core, then text and sql side by side, then providers), and the map in
// docs/driver-map.md names every source file and no file that is not there.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace vendrel::driver {
namespace {

namespace stdfs = std::filesystem;

const stdfs::path kSources = stdfs::path(VDL_DRIVER_FOLDER) / "src";

std::string ReadText(const stdfs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// For each layer, the layers its files may include.
const std::map<std::string, std::set<std::string>> kMayInclude = {
    {"core", {"core"}},
    {"text", {"core", "text"}},
    {"sql", {"core", "sql"}},
    {"providers", {"core", "text", "sql", "providers"}},
};

// Source files by layer, as paths relative to src/ ("text/folder.h").
std::map<std::string, std::set<std::string>> SourcesByLayer() {
  std::map<std::string, std::set<std::string>> out;
  for (const auto& entry : stdfs::recursive_directory_iterator(kSources)) {
    if (!entry.is_regular_file()) continue;
    const stdfs::path relative = stdfs::relative(entry.path(), kSources);
    const std::string layer = relative.begin()->string();
    out[relative == relative.filename() ? "" : layer].insert(relative.generic_string());
  }
  return out;
}

TEST(DriverLayers, EverySourceFileIsInALayer) {
  const auto sources = SourcesByLayer();
  for (const auto& [layer, files] : sources) {
    EXPECT_TRUE(kMayInclude.contains(layer)) << "not in a layer: " << *files.begin();
  }
}

TEST(DriverLayers, EveryIncludeGoesDown) {
  const std::regex include(R"re(#include\s+"([a-z_]+)/([^"]+)")re");
  for (const auto& [layer, files] : SourcesByLayer()) {
    const auto allowed = kMayInclude.find(layer);
    if (allowed == kMayInclude.end()) continue;
    for (const std::string& file : files) {
      const std::string text = ReadText(kSources / file);
      for (std::sregex_iterator it(text.begin(), text.end(), include), end; it != end; ++it) {
        const std::string target = (*it)[1];
        if (target == "vendrel") continue;  // the public headers
        EXPECT_TRUE(allowed->second.contains(target)) << file << " includes " << it->str();
        // The providers see the front end only through its interface.
        if (layer == "providers" && target == "sql") {
          EXPECT_EQ((*it)[2], "compile.h") << file;
        }
      }
    }
  }
}

// The file names a cell of the map spells: `types.h/.cpp` is two files,
// `builtin*.h/.cpp` all files of the pattern.
std::vector<std::regex> NamesOfCell(const std::string& cell) {
  std::vector<std::regex> out;
  const std::regex quoted("`([^`]+)`");
  for (std::sregex_iterator it(cell.begin(), cell.end(), quoted), end; it != end; ++it) {
    std::string name = (*it)[1];
    std::vector<std::string> names;
    const size_t slash = name.find("/.");
    if (slash == std::string::npos) {
      names.push_back(name);
    } else {
      const std::string stem = name.substr(0, name.rfind('.', slash));
      names.push_back(name.substr(0, slash));
      names.push_back(stem + name.substr(slash + 1));
    }
    for (const std::string& n : names) {
      std::string pattern;
      for (char c : n) pattern += c == '*' ? std::string("[a-z_]*") : c == '.' ? std::string("\\.") : std::string(1, c);
      out.emplace_back(pattern);
    }
  }
  return out;
}

TEST(DriverLayers, TheMapNamesEveryFileThatIsThere) {
  const std::string map = ReadText(stdfs::path(VDL_DOCS_FOLDER) / "driver-map.md");
  ASSERT_FALSE(map.empty());
  const auto sources = SourcesByLayer();
  std::set<std::string> named;
  const std::regex row(R"(\| ([a-z]+) \| ([^|]+) \|)");
  for (std::sregex_iterator it(map.begin(), map.end(), row), end; it != end; ++it) {
    const std::string layer = (*it)[1];
    if (!kMayInclude.contains(layer)) continue;
    const auto files = sources.find(layer);
    for (const std::regex& name : NamesOfCell((*it)[2])) {
      bool found = false;
      if (files != sources.end())
        for (const std::string& file : files->second)
          if (std::regex_match(stdfs::path(file).filename().string(), name)) {
            named.insert(file);
            found = true;
          }
      EXPECT_TRUE(found) << "the map names a file that is not in " << layer << "/: " << (*it)[2];
    }
  }
  for (const auto& [layer, files] : sources)
    for (const std::string& file : files) EXPECT_TRUE(named.contains(file)) << "the map does not name " << file;
}

}  // namespace
}  // namespace vendrel::driver

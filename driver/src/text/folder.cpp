#include "text/folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"

namespace vendrel::driver::text {

FileStamp StampOf(const std::string& path) {
  fs::faults::Check("FileInfo", path);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return FileStamp{true, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                   static_cast<int64_t>(st.st_size),
                   static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::vector<std::string> ListFiles(const std::string& folder) {
  fs::faults::Check("ListFolder", folder);
  struct DirCloser {
    void operator()(DIR* d) const noexcept { ::closedir(d); }
  };
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) RaisePlatform(errno == ENOENT || errno == ENOTDIR ? err::kPathNotFound : err::kPermissionDenied,
                          source::kFileSystem);
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (entry->d_type == DT_REG) {
      names.push_back(name);
    } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat st;
      const std::string path = fs::JoinPath(folder, name);
      if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace vendrel::driver::text

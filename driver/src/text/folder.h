#pragma once
// What the text catalog asks of a folder: its files, and whether one changed.

#include <cstdint>
#include <string>
#include <vector>

namespace vendrel::driver::text {

// Enough to tell whether a file is still the one that was read.
struct FileStamp {
  bool exists = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modifiedNs = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp StampOf(const std::string& path);

// The names of the regular files in a folder, sorted; raises the file
// system's error when the folder cannot be listed.
std::vector<std::string> ListFiles(const std::string& folder);

}  // namespace vendrel::driver::text

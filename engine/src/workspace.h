#pragma once
// The temporary workspace: uniquely named folders, data file names for the
// entries of a query, and deleting the files again.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "vendrel/dataaccess/collection.h"

namespace vendrel::engine {

// Draws one number for a folder or file name, re-seeding first; numbers lie
// from 0 to 536789123.
using DrawNumber = std::function<uint32_t()>;

// The whole part of u * 536789124 for 0 <= u < 1.
uint32_t NameNumberFromUnit(double u);
// A fresh seed from the clock on every call (two calls in a row never get
// the same seed), then one draw.
uint32_t DrawClockSeededNumber();

// Folders and files this process makes hold the caller's data: owner only.
inline constexpr unsigned kFolderMode = 0700;
inline constexpr unsigned kFileMode = 0600;

// Makes parent/"VDL"+digits, drawing again while an ordinary file has that
// name, and returns the folder's full path. Any failure raises 1010.
std::string MakeTempFolder(const std::string& parent, const DrawNumber& draw);

// Deletes the folder at the path with all its contents; nothing there is no
// error. The file system's own error goes up unchanged.
void DeleteFolderIfPresent(const std::string& path);

// One name per entry, in entry order: "TEMP"+digits for a recordset (drawn
// again while queryFolder holds that data file or the name was drawn for an
// earlier entry), the optimized result's file name for an optimized one, which
// is also appended to optimizedNames. Platform errors go up unchanged.
std::vector<std::string> DrawFileNames(const Collection& entries, const std::string& queryFolder,
                                       const DrawNumber& draw, std::vector<std::string>& optimizedNames);

// The file name of a result optimized under a name: the name's case folding, as
// the collection compares keys, so that spellings that differ only in case
// share one data file and one schema section.
std::string OptimizedResultFileName(std::string_view recordsetName);

// A name that can stand for one file inside a folder: not empty, not "." or
// "..", and free of "/", "\", control characters, "[" and "]".
bool IsPlainFileName(std::string_view name);

// Deletes folder/name.txt for every name that is a plain file name, ignoring
// every failure, and empties the list.
void DeleteListedDataFiles(const std::string& folder, std::vector<std::string>& names) noexcept;

}  // namespace vendrel::engine

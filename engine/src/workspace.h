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

// Draws one number for a folder or file name; numbers lie from 0 to 536789123.
using DrawNumber = std::function<uint32_t()>;

// The whole part of u * 536789124 for 0 <= u < 1.
uint32_t NameNumberFromUnit(double u);
// A number from the system's random source, which no other user can
// foresee (a clock and a process number can be).
uint32_t DrawRandomNumber();

// The draw of every query object: DrawRandomNumber, or the one a test puts
// in its place while a ScopedNameDraw lives.
const DrawNumber& NameDraw();
class ScopedNameDraw {
 public:
  explicit ScopedNameDraw(DrawNumber draw);
  ~ScopedNameDraw();
  ScopedNameDraw(const ScopedNameDraw&) = delete;
  ScopedNameDraw& operator=(const ScopedNameDraw&) = delete;

 private:
  DrawNumber previous_;
};

// How many names a folder or a data file draws before it gives up: anything
// at a drawn name (a file, a folder, a link, a link that leads nowhere)
// takes it, so that a name planted ahead can only make it draw again.
inline constexpr int kMostDraws = 100;

// Folders and files this process makes hold the caller's data: owner only.
inline constexpr unsigned kFolderMode = 0700;
inline constexpr unsigned kFileMode = 0600;

// Makes parent/"VDL"+digits where nothing has that name yet (made as a new
// folder, never through a link), drawing again while something has, and
// returns the folder's full path. Any failure, and kMostDraws names taken,
// raise 1010 naming the last one.
std::string MakeTempFolder(const std::string& parent, const DrawNumber& draw);

// Deletes the folder at the path with all its contents; nothing there is no
// error. The file system's own error goes up unchanged.
void DeleteFolderIfPresent(const std::string& path);

// One name per entry, in entry order: "TEMP"+digits for a recordset (drawn
// again while anything in queryFolder has that data file's name or the name
// was drawn for an earlier entry, at most kMostDraws times), the optimized
// result's file name for an optimized one, which is also appended to
// optimizedNames. Platform errors go up unchanged.
std::vector<std::string> DrawFileNames(const Collection& entries, const std::string& queryFolder,
                                       const DrawNumber& draw, std::vector<std::string>& optimizedNames);

// The file name of a result optimized under a name: the name's case folding, as
// the collection compares keys, so that spellings that differ only in case
// share one data file and one schema section.
std::string OptimizedResultFileName(std::string_view recordsetName);

// A name that can stand for one file inside a folder: not empty, not "." or
// "..", and free of "/", "\", control characters, "[" and "]".
bool IsPlainFileName(std::string_view name);

// A name a result can be kept under: a plain file name that the file system
// can hold as a data file (its case folding and ".txt" in at most 255 bytes)
// and that reads back from its schema.ini section as written, which a name
// beginning with a space would not (the driver reads the name between the
// brackets without the spaces around it).
bool IsKeptResultName(std::string_view name);

// Deletes folder/name.txt for every name that is a plain file name, ignoring
// every failure, and empties the list.
void DeleteListedDataFiles(const std::string& folder, std::vector<std::string>& names) noexcept;

}  // namespace vendrel::engine

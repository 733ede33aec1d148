#pragma once
// Parsed text tables kept for the sessions of the process, found again by the
// bytes of their file and the layout they were read under. A file that comes
// back unchanged (a kept result copied into a new query folder, a recordset
// exported again as it was) costs a comparison instead of a parse; a file
// whose bytes or layout differ in any way is parsed anew, so a table is only
// ever served for the very bytes it was parsed from.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "text/indexed_table.h"
#include "text/text_layout.h"

namespace vendrel::driver::text {

// Reads the file and returns its table: the one parsed before from the same
// bytes under the same layout, or a new one. `size` is what the file's size
// was seen to be; only a table of that size is looked for. Errors as
// ReadTextTable.
std::shared_ptr<const IndexedTable> ReadSharedTextTable(const std::string& path, std::string_view fileName,
                                                        const TableLayout& layout, size_t size);

// Tables that no session holds stay while together they take at most this
// much, and only while some text session is open.
inline constexpr size_t kIdleTablesMemory = size_t{256} << 20;

// Keeps a table made without reading its file (handed over by the file's
// writer) for the sessions that read the file: found, as a parsed one is, only
// for a file of the very bytes it holds (FilePieces) under the same layout.
// While no text session is open it is not kept.
void OfferTable(std::shared_ptr<const IndexedTable> table, const TableLayout& layout);

// Drops the tables that only the cache holds.
void DropIdleTables();

// Held by every open text session. While one is held, tables that no session
// holds stay for the next sessions (a query object keeps its last connection
// open, so its next query finds them); when the last one goes, the cache lets
// go of every table, and nothing of the files read stays in the process.
class TableCacheUse {
 public:
  TableCacheUse();
  ~TableCacheUse();
  TableCacheUse(const TableCacheUse&) = delete;
  TableCacheUse& operator=(const TableCacheUse&) = delete;
};

// How many tables the cache holds (for tests).
size_t CachedTableCount();

}  // namespace vendrel::driver::text

#pragma once
// The SQL text driver: providers for folders of delimited text files and for
// database files, reached through Connection by their connection strings.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace vendrel::driver {

// Source of every error the driver raises.
inline constexpr std::string_view kDriverSource = "Microsoft JET Database Engine";

// Registers the driver's providers with the data-access layer; calling it
// again does nothing.
void RegisterProviders();

// Drops the parsed text tables that no open connection uses. The driver
// keeps them so that a file read again unchanged costs no new parse; a
// program that reads each file once gives their memory back with this.
void ReleaseIdleTextTables();

// How far a whole-table read (adCmdTableDirect of a text folder) has come.
// It reads the file twice: pass 1 settles the columns' types, pass 2 makes
// the rows.
struct TextReadProgress {
  int pass = 1;
  uint64_t bytesRead = 0;   // of this pass
  uint64_t totalBytes = 0;  // of the file (as text)
  uint64_t rows = 0;        // read in this pass
};

// Calls `observer` on this thread every few thousand rows of each
// whole-table read that this thread makes, until it is replaced; an empty
// one stops the calls. For progress displays: it must not raise.
void ObserveTextReads(std::function<void(const TextReadProgress&)> observer);

// How many parsed text tables the process keeps for its connections: none
// once no connection to a text folder is open.
size_t ParsedTextTableCount();

}  // namespace vendrel::driver

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

// Why a column of a text file that schema.ini does not describe got the
// type it has: the driver reads every value and takes the first type of its
// order (Boolean, Long, BigInt, Double, DateTime, Text, Memo) that reads them
// all, and a date column one day-month order.
struct GuessedColumn {
  std::string_view file;
  std::string_view column;
  std::string_view type;  // the driver's name of it: "Text", "Long", "DateTime", ...
  bool dayFirst = false;  // DateTime: its dates read with the day first
  // "number" or "date" when nearly all of a Text or Memo column's values are
  // of that kind (a date in the order nearlyDayFirst says), or when a
  // DateTime column is read day first ("date", month first: the order it
  // could not take); empty otherwise. The counts and the first value that is
  // not of that kind, with its line in the file, say why.
  std::string_view nearly;
  bool nearlyDayFirst = false;
  bool bothOrders = false;  // every value is a date, but some read only month first and some only day first
  size_t values = 0;        // that are not blank
  size_t misfits = 0;
  std::string_view firstMisfit;
  int firstMisfitLine = 0;
  // "number": some misfits are numbers beyond a Double's range (1e400), which
  // keep the column Text however few they are; whether the first one is.
  bool beyondDouble = false;
  bool firstBeyondDouble = false;
};

// Calls `observer` on this thread for every guessed column that a read on
// this thread settles, until it is replaced; an empty one stops the calls.
// The texts live for the call only. It must not raise.
void ObserveTypeGuesses(std::function<void(const GuessedColumn&)> observer);

// How many parsed text tables the process keeps for its connections: none
// once no connection to a text folder is open.
size_t ParsedTextTableCount();

}  // namespace vendrel::driver

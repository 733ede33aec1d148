#pragma once
// A parsed text table as the sessions that read it share it: immutable, with
// an equality index per column that the first lookup on the column builds.

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/parsed_table.h"

namespace vendrel::driver::text {

// A value looked up in a column. Texts are equal when their case foldings
// are (the collation's equality); numbers when they are numerically equal.
class LookupKey {
 public:
  static LookupKey Whole(int64_t n);
  static LookupKey Real(double d);
  static LookupKey Text(std::string_view text);
  // Makes this key the text's, keeping the room of its last text.
  void SetText(std::string_view text);

  uint64_t Hash() const noexcept { return hash_; }
  bool Matches(const ColumnValues& values, size_t row) const;

 private:
  StorageKind kind_ = StorageKind::Whole;
  int64_t whole_ = 0;
  double real_ = 0;
  std::string text_;  // folded, once for every row it is compared with; its own copy
  uint64_t hash_ = 0;
};

// A lookup of one key in a ColumnIndex: the slots from the key's own on, up
// to the first empty one, and the rest of a group of rows found on the way.
struct IndexProbe {
  size_t slot = 0;
  uint32_t check = 0;  // the key's hash bits that a slot keeps beside its rows
  const uint32_t* group = nullptr;
  uint32_t groupLeft = 0;
};

// The rows of a column by the hash of their values, Null rows left out: an
// open-addressed table with a slot for each distinct hash, holding more bits
// of the hash and its row, or for a hash of several rows the place of its
// rows (in row order) in a second array. A lookup usually reads one cache
// line of the slots, one of the group for a key of several rows, and the
// value of a row only when its bits agree with the key's.
class ColumnIndex {
 public:
  explicit ColumnIndex(const ColumnValues& values);

  IndexProbe Start(const LookupKey& key) const noexcept;
  // The next row that may hold the probe's key, in row order; false when
  // there is none. Those that do hold it are the ones the key Matches.
  bool NextCandidate(IndexProbe& probe, uint32_t& row) const noexcept {
    if (probe.groupLeft > 0) {
      --probe.groupLeft;
      row = *probe.group++;
      return true;
    }
    for (;;) {
      const Slot slot = slots_[probe.slot];
      if (slot.rows == kEmpty) return false;
      probe.slot = NextSlot(probe.slot, slots_.size());
      if (slot.check != probe.check) continue;
      if ((slot.rows & kGroup) == 0) {
        row = slot.rows;
        return true;
      }
      // A group: its size, then its rows.
      const uint32_t* group = groups_.data() + (slot.rows & ~kGroup);
      probe.groupLeft = group[0] - 1;
      probe.group = group + 2;
      row = group[1];
      return true;
    }
  }
  // Asks memory for what a lookup of the hash reads, one step at a time,
  // each reading only what the step before brought into the cache: 0 the
  // key's slot; 1 its row's value, or its group's rows; 2 the values of the
  // group's first rows, or the bytes of the row's text. A hint that changes
  // nothing; the caller spaces the steps so that each finds the last done.
  void Prefetch(uint64_t hash, int step, const ColumnValues& values) const noexcept;
  // The rows of a group whose values a step asks for at once.
  static constexpr uint32_t kPrefetchedRows = 16;

  size_t MemoryBytes() const noexcept {
    return slots_.capacity() * sizeof(Slot) + groups_.capacity() * sizeof(uint32_t);
  }
  // Tables of more rows than this are not indexed: a slot keeps a row or a
  // place in the groups (which hold up to half again as many numbers as
  // rows) in 31 bits.
  static constexpr size_t kMaxRows = size_t{1} << 30;

  // The hash a value of the column has, consistent with LookupKey.
  static uint64_t HashOf(const ColumnValues& values, size_t row);

 private:
  static constexpr uint32_t kEmpty = UINT32_MAX;
  static constexpr uint32_t kGroup = uint32_t{1} << 31;  // `rows` is a place in groups_
  struct Slot {
    uint32_t rows = kEmpty;  // a row, or kGroup and a place in groups_
    uint32_t check = 0;
  };
  // The slot after `at`, the first after the last: where a lookup and a
  // placing go on from a slot taken by another hash.
  static size_t NextSlot(size_t at, size_t slots) noexcept { return at + 1 == slots ? 0 : at + 1; }
  static size_t HomeOf(uint64_t hash, size_t slots) noexcept {
    return static_cast<size_t>((static_cast<uint64_t>(static_cast<uint32_t>(hash)) * slots) >> 32);
  }
  std::vector<Slot> slots_;
  std::vector<uint32_t> groups_;
};

// The non-Null rows of a numeric column in the order of their values.
class SortedIndex {
 public:
  explicit SortedIndex(const ColumnValues& values);

  // The rows whose values lie between the bounds, both included, in order of value.
  std::span<const uint32_t> Between(const ColumnValues& values, int64_t low, int64_t high) const;
  std::span<const uint32_t> Between(const ColumnValues& values, double low, double high) const;
  size_t MemoryBytes() const noexcept { return rows_.capacity() * sizeof(uint32_t); }

 private:
  std::vector<uint32_t> rows_;
};

class IndexedTable {
 public:
  explicit IndexedTable(ParsedTable table)
      : table_(std::move(table)), indexes_(table_.columns.size()), orders_(table_.columns.size()) {
    LayOutRows(table_);
  }

  const ParsedTable& Table() const noexcept { return table_; }
  // Whether lookups can use an index of the column (Binary columns compare
  // as bytes and tables beyond ColumnIndex::kMaxRows rows are not indexed).
  bool Indexable(size_t column) const;
  // The column's index, built on the first call; safe from several threads.
  const ColumnIndex& IndexOf(size_t column) const;
  // The order of a numeric column, built on the first call; safe from several threads.
  const SortedIndex& OrderOf(size_t column) const;
  size_t MemoryBytes() const;

 private:
  ParsedTable table_;
  mutable std::mutex mutex_;
  mutable std::vector<std::unique_ptr<const ColumnIndex>> indexes_;
  mutable std::vector<std::unique_ptr<const SortedIndex>> orders_;
};

}  // namespace vendrel::driver::text

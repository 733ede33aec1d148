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

  uint64_t Hash() const noexcept { return hash_; }
  bool Matches(const ColumnValues& values, size_t row) const;

 private:
  StorageKind kind_ = StorageKind::Whole;
  int64_t whole_ = 0;
  double real_ = 0;
  std::string text_;  // folded, once for every row it is compared with; its own copy
  uint64_t hash_ = 0;
};

// The rows of one bucket of a ColumnIndex, with a byte of each row's hash:
// a row whose byte differs from the key's cannot hold the key, which spares
// reading its value (in a large table, a cache miss or three).
struct Bucket {
  std::span<const uint32_t> rows;
  const uint8_t* tags = nullptr;  // one per row of `rows`
  uint8_t tag = 0;

  bool MayHold(size_t i) const noexcept { return tags[i] == tag; }
};

// The rows of a column grouped by the hash of their values; Null rows are left out.
class ColumnIndex {
 public:
  explicit ColumnIndex(const ColumnValues& values);

  // The rows that may hold the key, in row order; those that do are the ones
  // the key Matches.
  Bucket Candidates(const LookupKey& key) const;
  size_t MemoryBytes() const noexcept;

  // The hash a value of the column has, consistent with LookupKey.
  static uint64_t HashOf(const ColumnValues& values, size_t row);

 private:
  uint64_t mask_ = 0;
  std::vector<uint32_t> starts_;  // bucket b holds rows_[starts_[b], starts_[b + 1])
  std::vector<uint32_t> rows_;
  std::vector<uint8_t> tags_;  // TagOf the hash of each row of rows_
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
      : table_(std::move(table)), indexes_(table_.columns.size()), orders_(table_.columns.size()) {}

  const ParsedTable& Table() const noexcept { return table_; }
  // Whether lookups can use an index of the column (Binary columns compare
  // as bytes and tables beyond 32-bit row numbers are not indexed).
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

#include "text/indexed_table.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <string>

#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::text {

namespace {

uint64_t Mix(uint64_t x) {
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

uint64_t HashWhole(int64_t n) { return Mix(static_cast<uint64_t>(n)); }

uint64_t HashReal(double d) {
  if (d == 0) d = 0;  // -0 equals 0
  return Mix(std::bit_cast<uint64_t>(d) ^ 0x5851F42D4C957F2DULL);
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// FNV-1a over the text as its case folding spells it. For ASCII the folding
// only lowers A to Z, so those texts need no copy.
uint64_t HashFolded(std::string_view folded) {
  uint64_t h = 0xCBF29CE484222325ULL;
  for (unsigned char c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    h = (h ^ c) * 0x100000001B3ULL;
  }
  return Mix(h);
}

uint64_t HashText(std::string_view text) {
  if (IsAscii(text)) return HashFolded(text);
  return HashFolded(FoldCase(text));
}

// Whether the text's case folding is `folded`.
bool FoldsTo(std::string_view text, std::string_view folded) {
  if (!IsAscii(text)) return FoldCase(text) == folded;
  if (text.size() != folded.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != folded[i]) return false;
  }
  return true;
}

// The bits of the hash that the slot number does not use.
uint32_t CheckOf(uint64_t hash) { return static_cast<uint32_t>(hash >> 32); }

}  // namespace

// ---------------------------------------------------------------- LookupKey

LookupKey LookupKey::Whole(int64_t n) {
  LookupKey key;
  key.kind_ = StorageKind::Whole;
  key.whole_ = n;
  key.hash_ = HashWhole(n);
  return key;
}

LookupKey LookupKey::Real(double d) {
  LookupKey key;
  key.kind_ = StorageKind::Real;
  key.real_ = d;
  key.hash_ = HashReal(d);
  return key;
}

LookupKey LookupKey::Text(std::string_view text) {
  LookupKey key;
  key.kind_ = StorageKind::Text;
  if (IsAscii(text)) {
    key.text_.assign(text);
    for (char& c : key.text_)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  } else {
    key.text_ = FoldCase(text);
  }
  key.hash_ = HashFolded(key.text_);
  return key;
}

bool LookupKey::Matches(const ColumnValues& values, size_t row) const {
  if (values.Kind() != kind_ || values.IsNull(row)) return false;
  switch (kind_) {
    case StorageKind::Whole: return values.Whole(row) == whole_;
    case StorageKind::Real: return values.Real(row) == real_;
    case StorageKind::Text: return FoldsTo(values.Text(row), text_);
  }
  return false;
}

// ---------------------------------------------------------------- ColumnIndex

uint64_t ColumnIndex::HashOf(const ColumnValues& values, size_t row) {
  switch (values.Kind()) {
    case StorageKind::Whole: return HashWhole(values.Whole(row));
    case StorageKind::Real: return HashReal(values.Real(row));
    case StorageKind::Text: return HashText(values.Text(row));
  }
  return 0;
}

ColumnIndex::ColumnIndex(const ColumnValues& values) {
  const size_t n = values.size();
  // At most five rows in eight slots: a key absent from the column is found
  // absent after a few slots, mostly in the cache line of its own slot. One
  // slot at least stays empty, which ends every lookup.
  slots_.resize(n + n / 2 + n / 8 + 1);
  // Rows go in in row order, and each takes the first empty slot from its
  // home on, so the rows of one key follow each other in row order.
  for (size_t r = 0; r < n; ++r) {
    if (values.IsNull(r)) continue;
    const uint64_t hash = HashOf(values, r);
    size_t at = HomeOf(hash);
    while (slots_[at].row != kEmpty) at = at + 1 == slots_.size() ? 0 : at + 1;
    slots_[at] = {static_cast<uint32_t>(r), CheckOf(hash)};
  }
}

IndexProbe ColumnIndex::Start(const LookupKey& key) const noexcept { return {HomeOf(key.Hash()), CheckOf(key.Hash())}; }

// ---------------------------------------------------------------- SortedIndex

SortedIndex::SortedIndex(const ColumnValues& values) {
  const size_t n = values.size();
  rows_.reserve(n);
  for (size_t r = 0; r < n; ++r)
    if (!values.IsNull(r)) rows_.push_back(static_cast<uint32_t>(r));
  if (values.Kind() == StorageKind::Whole)
    std::stable_sort(rows_.begin(), rows_.end(),
                     [&](uint32_t a, uint32_t b) { return values.Whole(a) < values.Whole(b); });
  else
    std::stable_sort(rows_.begin(), rows_.end(),
                     [&](uint32_t a, uint32_t b) { return values.Real(a) < values.Real(b); });
}

std::span<const uint32_t> SortedIndex::Between(const ColumnValues& values, int64_t low, int64_t high) const {
  const auto first = std::partition_point(rows_.begin(), rows_.end(), [&](uint32_t r) { return values.Whole(r) < low; });
  const auto last = std::partition_point(first, rows_.end(), [&](uint32_t r) { return values.Whole(r) <= high; });
  return {first, last};
}

std::span<const uint32_t> SortedIndex::Between(const ColumnValues& values, double low, double high) const {
  const auto first = std::partition_point(rows_.begin(), rows_.end(), [&](uint32_t r) { return values.Real(r) < low; });
  const auto last = std::partition_point(first, rows_.end(), [&](uint32_t r) { return values.Real(r) <= high; });
  return {first, last};
}

// ---------------------------------------------------------------- IndexedTable

bool IndexedTable::Indexable(size_t column) const {
  return column < table_.columns.size() && table_.columns[column].def.type != JetType::Binary &&
         table_.rowCount < std::numeric_limits<uint32_t>::max();
}

const ColumnIndex& IndexedTable::IndexOf(size_t column) const {
  std::lock_guard lock(mutex_);
  std::unique_ptr<const ColumnIndex>& index = indexes_.at(column);
  if (!index) index = std::make_unique<const ColumnIndex>(table_.columns[column].values);
  return *index;
}

const SortedIndex& IndexedTable::OrderOf(size_t column) const {
  std::lock_guard lock(mutex_);
  std::unique_ptr<const SortedIndex>& order = orders_.at(column);
  if (!order) order = std::make_unique<const SortedIndex>(table_.columns[column].values);
  return *order;
}

size_t IndexedTable::MemoryBytes() const {
  size_t total = table_.MemoryBytes();
  std::lock_guard lock(mutex_);
  for (const auto& index : indexes_)
    if (index) total += index->MemoryBytes();
  for (const auto& order : orders_)
    if (order) total += order->MemoryBytes();
  return total;
}

}  // namespace vendrel::driver::text

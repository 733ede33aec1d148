#include "text/indexed_table.h"

#include <algorithm>
#include <cmath>
#include <array>
#include <bit>
#include <cstring>
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

constexpr uint64_t kHighBits = 0x8080808080808080ULL;

// Up to eight bytes of a text from `at` on, the rest of the word zero. A
// shorter end is read as two loads that overlap (the bytes they share are
// the same), not by a copy of a length known only when it runs.
uint64_t WordAt(std::string_view s, size_t at) {
  const char* p = s.data() + at;
  const size_t left = s.size() - at;
  if (left >= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
  }
  if (left >= 4) {
    uint32_t low, high;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, p + left - 4, 4);
    return low | static_cast<uint64_t>(high) << ((left - 4) * 8);
  }
  if (left == 0) return 0;
  const auto byte = [p](size_t i) { return static_cast<uint64_t>(static_cast<unsigned char>(p[i])) << (i * 8); };
  return byte(0) | byte(left / 2) | byte(left - 1);
}

// The eight bytes with their ASCII capitals lowered, all at once (a byte of
// 0x80 or above is left as it is).
uint64_t LowerAscii(uint64_t word) {
  const uint64_t low = word & 0x7F7F7F7F7F7F7F7FULL;
  const uint64_t fromA = low + 0x3F3F3F3F3F3F3F3FULL;  // top bit set where a byte is 'A' or above
  const uint64_t pastZ = low + 0x2525252525252525ULL;  // ... where it is above 'Z'
  return word | ((fromA & ~pastZ & ~word & kHighBits) >> 2);
}

bool IsAscii(std::string_view s) {
  for (size_t at = 0; at < s.size(); at += 8)
    if (WordAt(s, at) & kHighBits) return false;
  return true;
}

// A hash of the text as its case folding spells it, eight bytes at a time:
// the seed, a step for each word (its ASCII capitals lowered), and a mix.
constexpr uint64_t kTextSeed = 0x9E3779B97F4A7C15ULL;
uint64_t HashStep(uint64_t h, uint64_t loweredWord) {
  h = (h ^ loweredWord) * 0xBF58476D1CE4E5B9ULL;
  return h ^ (h >> 29);
}

uint64_t HashFolded(std::string_view folded) {
  uint64_t h = kTextSeed ^ folded.size();
  for (size_t at = 0; at < folded.size(); at += 8) h = HashStep(h, LowerAscii(WordAt(folded, at)));
  return Mix(h);
}

// HashFolded of an ASCII text's case folding, made as the text is read (for
// ASCII the folding only lowers A to Z), each lowered word handed on to
// `lowered(at, word)` on the way; false at the first byte beyond ASCII.
template <class Lowered>
bool HashAsciiFolding(std::string_view text, uint64_t& hash, Lowered lowered) {
  uint64_t h = kTextSeed ^ text.size();
  for (size_t at = 0; at < text.size(); at += 8) {
    const uint64_t word = WordAt(text, at);
    if (word & kHighBits) return false;
    const uint64_t low = LowerAscii(word);
    lowered(at, low);
    h = HashStep(h, low);
  }
  hash = Mix(h);
  return true;
}

// HashFolded of the text's case folding.
uint64_t HashText(std::string_view text) {
  uint64_t hash = 0;
  if (HashAsciiFolding(text, hash, [](size_t, uint64_t) {})) return hash;
  return HashFolded(FoldCase(text));
}

// Whether the text's case folding is `folded`.
bool FoldsTo(std::string_view text, std::string_view folded) {
  if (text.size() == folded.size()) {
    for (size_t at = 0; at < text.size(); at += 8) {
      const uint64_t word = WordAt(text, at);
      if (word & kHighBits) return FoldCase(text) == folded;
      if (LowerAscii(word) != WordAt(folded, at)) return false;
    }
    return true;
  }
  // Of another length: equal only by a folding that changes lengths.
  return !IsAscii(text) && FoldCase(text) == folded;
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
  key.SetText(text);
  return key;
}

void LookupKey::SetText(std::string_view text) {
  kind_ = StorageKind::Text;
  // An ASCII text folded, copied and hashed in one pass.
  text_.resize(text.size());
  const auto copy = [&](size_t at, uint64_t lowered) {
    std::memcpy(text_.data() + at, &lowered, std::min<size_t>(8, text.size() - at));
  };
  if (HashAsciiFolding(text, hash_, copy)) return;
  text_ = FoldCase(text);
  hash_ = HashFolded(text_);
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

namespace {

// At most five entries in eight slots: a key absent from the column is found
// absent after a few slots, mostly in the cache line of its own slot. One
// slot at least stays empty, which ends every lookup.
size_t SlotsFor(size_t entries) { return entries + entries / 2 + entries / 8 + 1; }

}  // namespace

ColumnIndex::ColumnIndex(const ColumnValues& values) {
  const size_t n = values.size();
  // First each row's distinct hash, numbered in the order first met, and
  // how many rows each has, in a table that grows with the hashes found (a
  // column of few values takes little while it is built).
  constexpr uint32_t kNull = UINT32_MAX;
  struct Building {
    uint64_t hash = 0;
    uint32_t first = kNull;  // the hash's first row; kNull while the entry is free
    uint32_t number = 0;     // of the hash, in the order first met
  };
  std::vector<Building> building(SlotsFor(std::min<size_t>(n, 1024)));
  std::vector<uint32_t> numberOf(n, kNull);  // each row's hash number; kNull for Null
  std::vector<uint32_t> rowsOf;              // by hash number
  auto place = [](std::vector<Building>& table, uint64_t hash) -> Building& {
    size_t at = HomeOf(hash, table.size());
    while (table[at].first != kNull && table[at].hash != hash) at = NextSlot(at, table.size());
    return table[at];
  };
  // Hashed a batch ahead, and the batch's slots asked of memory before they
  // are placed: a large column's rows land all over the table.
  constexpr size_t kBatch = 16;
  std::array<uint64_t, kBatch> hashes{};
  std::array<bool, kBatch> present{};
  for (size_t r = 0; r < n; ++r) {
    const size_t inBatch = r % kBatch;
    if (inBatch == 0) {
      for (size_t i = 0; i < kBatch && r + i < n; ++i) {
        present[i] = !values.IsNull(r + i);
        if (!present[i]) continue;
        hashes[i] = HashOf(values, r + i);
        __builtin_prefetch(&building[HomeOf(hashes[i], building.size())], 1);
      }
    }
    if (!present[inBatch]) continue;
    const uint64_t hash = hashes[inBatch];
    Building* b = &place(building, hash);
    if (b->first == kNull) {
      if (SlotsFor(rowsOf.size() + 1) > building.size()) {
        std::vector<Building> grown(SlotsFor(2 * (rowsOf.size() + 1)));
        for (const Building& old : building)
          if (old.first != kNull) place(grown, old.hash) = old;
        building = std::move(grown);
        b = &place(building, hash);
      }
      *b = {hash, static_cast<uint32_t>(r), static_cast<uint32_t>(rowsOf.size())};
      rowsOf.push_back(0);
    }
    numberOf[r] = b->number;
    ++rowsOf[b->number];
  }
  // Then the slots for the distinct hashes, each hash of several rows given
  // its place in the groups (its size, then its rows).
  std::vector<uint32_t> placeOf(rowsOf.size(), kNull);  // by hash number, for hashes of several rows
  size_t groupsSize = 0;
  slots_.resize(SlotsFor(rowsOf.size()));
  for (const Building& b : building) {
    if (b.first == kNull) continue;
    Slot slot{b.first, CheckOf(b.hash)};
    if (const uint32_t rows = rowsOf[b.number]; rows > 1) {
      placeOf[b.number] = static_cast<uint32_t>(groupsSize);
      slot.rows = kGroup | static_cast<uint32_t>(groupsSize);
      groupsSize += 1 + rows;
    }
    size_t at = HomeOf(b.hash, slots_.size());
    while (slots_[at].rows != kEmpty) at = NextSlot(at, slots_.size());
    slots_[at] = slot;
  }
  // And the groups' rows, placed in row order: each row's place is known
  // from its number, so no row waits on the one before it.
  groups_.resize(groupsSize);
  for (size_t number = 0; number < rowsOf.size(); ++number)
    if (placeOf[number] != kNull) groups_[placeOf[number]++] = rowsOf[number];
  for (size_t r = 0; r < n; ++r) {
    const uint32_t number = numberOf[r];
    if (number == kNull || placeOf[number] == kNull) continue;
    groups_[placeOf[number]++] = static_cast<uint32_t>(r);
  }
}

IndexProbe ColumnIndex::Start(const LookupKey& key) const noexcept {
  return {HomeOf(key.Hash(), slots_.size()), CheckOf(key.Hash())};
}

void ColumnIndex::Prefetch(uint64_t hash, int step, const ColumnValues& values) const noexcept {
  size_t at = HomeOf(hash, slots_.size());
  if (step == 0) {
    __builtin_prefetch(&slots_[at]);
    return;
  }
  // The slots after the home one are mostly in its cache line; a hint need
  // not follow a long run of them.
  const uint32_t check = CheckOf(hash);
  for (int walked = 0; walked < 4; ++walked, at = NextSlot(at, slots_.size())) {
    const Slot slot = slots_[at];
    if (slot.rows == kEmpty) return;
    if (slot.check != check) continue;
    if ((slot.rows & kGroup) == 0) {
      if (step == 1)
        values.Prefetch(slot.rows);
      else
        values.PrefetchText(slot.rows);
      return;
    }
    const size_t place = slot.rows & ~kGroup;
    const uint32_t* group = groups_.data() + place;
    if (step == 1) {
      __builtin_prefetch(group);
      if (place + kPrefetchedRows < groups_.size()) __builtin_prefetch(group + kPrefetchedRows);
      return;
    }
    const uint32_t rows = std::min(group[0], kPrefetchedRows);
    for (uint32_t i = 1; i <= rows; ++i) values.Prefetch(group[i]);
    return;
  }
}

// ---------------------------------------------------------------- SortedIndex

SortedIndex::SortedIndex(const ColumnValues& values) {
  const size_t n = values.size();
  rows_.reserve(n);
  // A NaN has no place among the numbers: it is left out like a Null (a
  // range with no upper bound is then not read from here).
  const bool real = values.Kind() == StorageKind::Real;
  for (size_t r = 0; r < n; ++r)
    if (!values.IsNull(r) && !(real && std::isnan(values.Real(r)))) rows_.push_back(static_cast<uint32_t>(r));
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
         table_.rowCount < ColumnIndex::kMaxRows;
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

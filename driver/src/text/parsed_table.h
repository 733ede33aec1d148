#pragma once
// A text table in memory: one typed column per field over the bytes of its
// file, as the reader leaves it and the virtual table serves it to SQLite.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "core/catalog.h"

namespace vendrel::driver::text {

// One value in the database's storage of its column's type (core/types.h):
// Null, a whole number (Boolean -1/0, Currency in ten-thousandths), a real
// (Date as serial days), or text and binary bytes.
using StoredValue = std::variant<std::monostate, int64_t, double, std::string_view>;

// How a column of the type is held: Whole and Real as 8-byte numbers, Text
// (also Memo, GUID and binary) as views of bytes the table keeps alive.
enum class StorageKind : uint8_t { Whole, Real, Text };
StorageKind StorageKindOf(JetType type);

#pragma pack(push, 4)
// A text value as a column holds it: a view of bytes the table keeps alive.
struct TextRef {
  const char* data;  // nullptr for Null
  uint32_t size;
};
#pragma pack(pop)
static_assert(sizeof(TextRef) == sizeof(const char*) + sizeof(uint32_t));
// A cell tells a text held in it by the top byte of `size`, which no text
// reaches (AddText refuses texts of 2 GiB or more).
static_assert(std::endian::native == std::endian::little);

// Memory of its own pages, handed back to the system as soon as it is
// freed: what the allocator frees it may keep, and a table that moves its
// values keeps them twice over while it does.
struct PageRelease {
  size_t bytes = 0;
  void operator()(void* p) const noexcept;
};
std::unique_ptr<std::byte[], PageRelease> MapPages(size_t bytes);

// A growing array that never copies to grow (beyond its first, small
// chunk) and lets go of its chunks one at a time.
template <typename T>
class ChunkedArray {
 public:
  static constexpr size_t kChunkShift = 15;
  static constexpr size_t kChunk = size_t{1} << kChunkShift;  // values a chunk

  size_t size() const noexcept { return size_; }
  const T& operator[](size_t i) const noexcept { return At(i); }
  T& operator[](size_t i) noexcept { return At(i); }

  void push_back(const T& value) {
    if ((size_ & (kChunk - 1)) == 0 || size_ == firstCapacity_) [[unlikely]]
      MakeRoom();
    At(size_++) = value;
  }
  // Frees one chunk; its values must not be read again.
  void ReleaseChunk(size_t chunk) noexcept { chunks_[chunk].reset(); }
  void clear() noexcept {
    chunks_.clear();
    size_ = firstCapacity_ = 0;
  }
  size_t MemoryBytes() const noexcept {
    size_t bytes = chunks_.capacity() * sizeof(chunks_[0]);
    for (size_t k = 0; k < chunks_.size(); ++k)
      if (chunks_[k]) bytes += (k == 0 ? firstCapacity_ : kChunk) * sizeof(T);
    return bytes;
  }

 private:
  T& At(size_t i) const noexcept {
    return reinterpret_cast<T*>(chunks_[i >> kChunkShift].get())[i & (kChunk - 1)];
  }
  // Room for one more value: a larger first chunk, or a chunk after the last.
  [[gnu::noinline]] void MakeRoom() {
    if (size_ >= kChunk) {
      if ((size_ & (kChunk - 1)) == 0) chunks_.push_back(MapPages(kChunk * sizeof(T)));
      return;
    }
    if (size_ == firstCapacity_) GrowFirstChunk();
  }
  void GrowFirstChunk() {
    const size_t capacity = std::min(kChunk, std::max<size_t>(16, firstCapacity_ * 2));
    auto grown = MapPages(capacity * sizeof(T));
    if (size_ > 0) std::memcpy(grown.get(), chunks_[0].get(), size_ * sizeof(T));
    if (chunks_.empty())
      chunks_.push_back(std::move(grown));
    else
      chunks_[0] = std::move(grown);
    firstCapacity_ = capacity;
  }

  static_assert(std::is_trivially_copyable_v<T>);
  std::vector<std::unique_ptr<std::byte[], PageRelease>> chunks_;
  size_t size_ = 0;
  size_t firstCapacity_ = 0;
};

// The values of one column, all of one storage kind, without a per-value
// allocation: numbers take 8 bytes (4 for whole numbers of 32 bits) and a
// bit, texts a pointer and a length side by side. Built a value at a time in
// chunks of the column's own; a finished table may move the values into
// cells laid out row by row with the other columns' (UseCells), so that
// reading a random row reads one or two cache lines, not one per column.
class ColumnValues {
 public:
  explicit ColumnValues(StorageKind kind = StorageKind::Text) : kind_(kind) {}

  StorageKind Kind() const noexcept { return kind_; }
  size_t size() const noexcept { return size_; }

  bool IsNull(size_t row) const noexcept {
    return kind_ == StorageKind::Text ? TextAt(row).data == nullptr : (nulls_[row / 64] >> (row % 64) & 1) != 0;
  }
  int64_t Whole(size_t row) const noexcept {
    if (cells_) return wide_ ? CellAt<int64_t>(row) : CellAt<int32_t>(row);
    return wide_ ? static_cast<int64_t>(numbers_[row]) : narrow_[row];
  }
  double Real(size_t row) const noexcept {
    return std::bit_cast<double>(cells_ ? CellAt<uint64_t>(row) : numbers_[row]);
  }
  // The smallest and the largest number of a Whole or Real column, as reals;
  // false when it holds no number.
  bool Range(double& smallest, double& largest) const noexcept;
  // Whether a Real column holds a NaN, which SQLite sees as the text "NaN":
  // greater than every number, so within every range that has no upper bound.
  bool HoldsNaN() const noexcept { return nan_; }
  std::string_view Text(size_t row) const noexcept {
    const TextRef text = TextAt(row);
    return {text.data, text.size};
  }
  StoredValue at(size_t row) const;
  // Asks memory for the row's value (and its Null bit), which a lookup is
  // about to read; a hint that changes nothing. Always inlined: GCC takes a
  // function that only prefetches for one without effects and drops its calls.
  [[gnu::always_inline]] void Prefetch(size_t row) const noexcept {
    if (cells_)
      __builtin_prefetch(cells_ + row * stride_);
    else if (kind_ == StorageKind::Text)
      __builtin_prefetch(&texts_[row]);
    if (kind_ != StorageKind::Text) __builtin_prefetch(&nulls_[row / 64]);
  }
  // Asks memory for the bytes of the row's text, once its cell was asked
  // for (a short text lies in the cell).
  [[gnu::always_inline]] void PrefetchText(size_t row) const noexcept {
    if (kind_ != StorageKind::Text) return;
    if (const TextRef text = TextAt(row); text.data) __builtin_prefetch(text.data);
  }

  void AddNull();
  void AddNulls(size_t count);
  // The appends of values, inline for the writers of whole tables.
  void AddWhole(int64_t n) {
    if (wide_ || n < INT32_MIN || n > INT32_MAX) return AddWideWhole(n);
    AddNullBit(false);
    narrow_.push_back(static_cast<int32_t>(n));
    Extend(static_cast<double>(n));
    ++size_;
  }
  void AddReal(double d) {
    AddNullBit(false);
    numbers_.push_back(std::bit_cast<uint64_t>(d));
    Extend(d);
    ++size_;
  }
  // The bytes must outlive the column (the table's file or its own strings).
  void AddText(std::string_view text) {
    if (text.size() >= kLongestText) RefuseText();
    texts_.push_back({text.data() ? text.data() : "", static_cast<uint32_t>(text.size())});
    ++size_;
  }
  // Whole numbers become reals divided by `divisor` (Currency by 10,000).
  void WholesToReals(double divisor);
  void Reserve(size_t rows);
  // The memory the values take, their texts' bytes not counted.
  size_t MemoryBytes() const noexcept;

  // The bytes a row's value takes in a cell.
  size_t CellBytes() const noexcept;
  static constexpr size_t kChunkRows = ChunkedArray<TextRef>::kChunk;
  // Writes the values of the rows of one chunk of the column's own, row r's
  // at `block + r * stride`, and frees the chunk.
  void MoveChunkToCells(size_t chunk, std::byte* block, size_t stride) noexcept;
  // Reads the values from the cells every chunk moved to, which must outlive
  // the column; the column takes no more values.
  void UseCells(const std::byte* cells, size_t stride) noexcept;

 private:
  template <typename T>
  T CellAt(size_t row) const noexcept {
    T value;
    std::memcpy(&value, cells_ + row * stride_, sizeof(T));
    return value;
  }
  TextRef TextAt(size_t row) const noexcept {
    if (!cells_) return texts_[row];
    // A short text lies in its cell itself (the cell's last byte says so and
    // gives its length), which spares a lookup reading its bytes elsewhere.
    const std::byte* cell = cells_ + row * stride_;
    const auto mark = static_cast<uint8_t>(cell[kInlineMark]);
    if (mark & kInline) return {reinterpret_cast<const char*>(cell), static_cast<uint32_t>(mark & ~kInline)};
    return CellAt<TextRef>(row);
  }
  static constexpr size_t kInlineMark = sizeof(TextRef) - 1;  // the top byte of `size`
  static constexpr uint8_t kInline = 0x80;
  static constexpr size_t kLongestText = size_t{1} << 31;
  void AddNullBit(bool null) {
    if (size_ % 64 == 0) nulls_.push_back(0);
    if (null) nulls_.back() |= uint64_t{1} << (size_ % 64);
  }
  void AddWideWhole(int64_t n);
  [[noreturn]] static void RefuseText();
  void Widen();
  // A NaN changes neither bound (it compares false), and is noted.
  void Extend(double d) noexcept {
    smallest_ = std::min(smallest_, d);
    largest_ = std::max(largest_, d);
    nan_ = nan_ || d != d;
  }

  StorageKind kind_;
  size_t size_ = 0;
  // Whole: 4 bytes a number while every one fits them, else 8.
  bool wide_ = false;
  ChunkedArray<int32_t> narrow_;
  ChunkedArray<uint64_t> numbers_;  // Whole when wide: the number; Real: the bits of the double
  // No number yet while smallest_ > largest_.
  double smallest_ = HUGE_VAL, largest_ = -HUGE_VAL;
  bool nan_ = false;  // a Real column holds a NaN
  std::vector<uint64_t> nulls_;    // Whole and Real: a bit per row, set for Null
  ChunkedArray<TextRef> texts_;  // Text
  const std::byte* cells_ = nullptr;  // once UseCells: row r's value at cells_ + r * stride_
  size_t stride_ = 0;
};

struct ParsedColumn {
  ColumnDef def;
  ColumnValues values;  // one per row
};

// A text table in memory. Text values point into the file's bytes or into
// `owned`, so the table keeps both alive; it can be moved but not copied.
struct ParsedTable {
  std::vector<ParsedColumn> columns;
  size_t rowCount = 0;
  std::unique_ptr<const std::string> bytes;  // the file as it was read
  std::unique_ptr<std::string> decoded;      // the file converted to UTF-8, when it was not
  std::deque<std::string> owned;             // quoted values that had doubled quotes
  // The file as its writer wrote it, in the pieces it wrote, when the writer
  // handed the table over (`bytes` is then empty).
  std::deque<std::string> written;
  // The columns' values row by row, once LayOutRows moved them here.
  std::unique_ptr<std::byte[], PageRelease> rowCells;

  // The file's bytes as the table was made from them, and their size.
  std::vector<std::string_view> FilePieces() const;
  size_t FileSize() const noexcept;
  // What the table takes in memory, its file's bytes included.
  size_t MemoryBytes() const noexcept;
};

// Moves the values of a finished table of several columns into cells laid
// out row by row (ColumnValues::UseCells); the values read the same.
void LayOutRows(ParsedTable& table);

}  // namespace vendrel::driver::text

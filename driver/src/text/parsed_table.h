#pragma once
// A text table in memory: one typed column per field over the bytes of its
// file, as the reader leaves it and the virtual table serves it to SQLite.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
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

// The values of one column, all of one storage kind, without a per-value
// allocation: numbers take 8 bytes (4 for whole numbers of 32 bits) and a
// bit, texts a pointer and a length side by side. Built a value at a time in
// vectors of the column's own; a finished table may move the values into
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
  std::string_view Text(size_t row) const noexcept {
    const TextRef text = TextAt(row);
    return {text.data, text.size};
  }
  StoredValue at(size_t row) const;

  void AddNull();
  void AddNulls(size_t count);
  void AddWhole(int64_t n);
  void AddReal(double d);
  // The bytes must outlive the column (the table's file or its own strings).
  void AddText(std::string_view text);
  // Whole numbers become reals divided by `divisor` (Currency by 10,000).
  void WholesToReals(double divisor);
  void Reserve(size_t rows);
  // The memory the values take, their texts' bytes not counted.
  size_t MemoryBytes() const noexcept;

  // The bytes a row's value takes in a cell.
  size_t CellBytes() const noexcept;
  // Writes row r's value at `block + r * stride`.
  void CopyCells(std::byte* block, size_t stride) const noexcept;
  // Reads the values from cells CopyCells wrote, which must outlive the
  // column, and lets go of its own; the column takes no more values.
  void UseCells(const std::byte* cells, size_t stride) noexcept;

 private:
  template <typename T>
  T CellAt(size_t row) const noexcept {
    T value;
    std::memcpy(&value, cells_ + row * stride_, sizeof(T));
    return value;
  }
  TextRef TextAt(size_t row) const noexcept { return cells_ ? CellAt<TextRef>(row) : texts_[row]; }
  void AddNullBit(bool null);
  void Widen();
  void Extend(double d) noexcept;

  StorageKind kind_;
  size_t size_ = 0;
  // Whole: 4 bytes a number while every one fits them, else 8.
  bool wide_ = false;
  std::vector<int32_t> narrow_;
  std::vector<uint64_t> numbers_;  // Whole when wide: the number; Real: the bits of the double
  bool ranged_ = false;
  double smallest_ = 0, largest_ = 0;
  std::vector<uint64_t> nulls_;    // Whole and Real: a bit per row, set for Null
  std::vector<TextRef> texts_;  // Text
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
  std::unique_ptr<std::byte[]> rowCells;
  size_t rowCellBytes = 0;

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

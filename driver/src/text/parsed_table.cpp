#include "text/parsed_table.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <new>

#include <sys/mman.h>

namespace vendrel::driver::text {

namespace {
// Smaller blocks come from the allocator: a table of a few rows takes a few
// bytes, not a page a column.
constexpr size_t kMappedFrom = 16 * 1024;
}

void PageRelease::operator()(void* p) const noexcept {
  if (bytes < kMappedFrom)
    ::operator delete(p);
  else
    ::munmap(p, bytes);
}

std::unique_ptr<std::byte[], PageRelease> MapPages(size_t bytes) {
  if (bytes < kMappedFrom) return {static_cast<std::byte*>(::operator new(bytes)), PageRelease{bytes}};
  void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  return {static_cast<std::byte*>(p), PageRelease{bytes}};
}

StorageKind StorageKindOf(JetType type) {
  switch (type) {
    case JetType::Single:
    case JetType::Double:
    case JetType::Date: return StorageKind::Real;
    case JetType::Text:
    case JetType::Memo:
    case JetType::Guid:
    case JetType::Binary:
    case JetType::Null: return StorageKind::Text;
    default: return StorageKind::Whole;
  }
}

StoredValue ColumnValues::at(size_t row) const {
  if (row >= size_) throw std::out_of_range("ColumnValues::at");
  if (IsNull(row)) return std::monostate{};
  switch (kind_) {
    case StorageKind::Whole: return Whole(row);
    case StorageKind::Real: return Real(row);
    case StorageKind::Text: return Text(row);
  }
  return std::monostate{};
}

void ColumnValues::AddNull() {
  if (kind_ == StorageKind::Text) {
    texts_.push_back({nullptr, 0});
  } else {
    AddNullBit(true);
    if (kind_ == StorageKind::Whole && !wide_)
      narrow_.push_back(0);
    else
      numbers_.push_back(0);
  }
  ++size_;
}

void ColumnValues::Widen() {
  for (size_t row = 0; row < narrow_.size(); ++row)
    numbers_.push_back(static_cast<uint64_t>(static_cast<int64_t>(narrow_[row])));
  narrow_.clear();
  wide_ = true;
}

bool ColumnValues::Range(double& smallest, double& largest) const noexcept {
  smallest = smallest_;
  largest = largest_;
  return smallest_ <= largest_;
}

void ColumnValues::AddNulls(size_t count) {
  for (size_t i = 0; i < count; ++i) AddNull();
}

void ColumnValues::AddWideWhole(int64_t n) {
  AddNullBit(false);
  if (!wide_) Widen();
  numbers_.push_back(static_cast<uint64_t>(n));
  Extend(static_cast<double>(n));
  ++size_;
}

void ColumnValues::RefuseText() { throw std::length_error("a text value of 2 GiB or more"); }

void ColumnValues::WholesToReals(double divisor) {
  if (kind_ != StorageKind::Whole) return;
  if (!wide_) Widen();
  smallest_ = HUGE_VAL;
  largest_ = -HUGE_VAL;
  for (size_t row = 0; row < numbers_.size(); ++row) {
    const double d = static_cast<double>(static_cast<int64_t>(numbers_[row])) / divisor;
    numbers_[row] = std::bit_cast<uint64_t>(d);
    if (!IsNull(row)) Extend(d);
  }
  kind_ = StorageKind::Real;
}

void ColumnValues::Reserve(size_t rows) {
  if (kind_ != StorageKind::Text) nulls_.reserve(rows / 64 + 1);
}

size_t ColumnValues::CellBytes() const noexcept {
  switch (kind_) {
    case StorageKind::Whole: return wide_ ? sizeof(int64_t) : sizeof(int32_t);
    case StorageKind::Real: return sizeof(uint64_t);
    case StorageKind::Text: return sizeof(TextRef);
  }
  return 0;
}

void ColumnValues::MoveChunkToCells(size_t chunk, std::byte* block, size_t stride) noexcept {
  const size_t first = chunk * kChunkRows;
  const size_t end = std::min(size_, first + kChunkRows);
  auto move = [&](auto& values) {
    for (size_t row = first; row < end; ++row) std::memcpy(block + row * stride, &values[row], sizeof(values[row]));
    values.ReleaseChunk(chunk);
  };
  if (kind_ != StorageKind::Text) {
    if (kind_ == StorageKind::Whole && !wide_)
      move(narrow_);
    else
      move(numbers_);
    return;
  }
  for (size_t row = first; row < end; ++row) {
    const TextRef text = texts_[row];
    std::byte* cell = block + row * stride;
    if (text.data && text.size <= kInlineMark) {
      std::memcpy(cell, text.data, text.size);
      cell[kInlineMark] = static_cast<std::byte>(kInline | text.size);
    } else {
      std::memcpy(cell, &text, sizeof(text));
    }
  }
  texts_.ReleaseChunk(chunk);
}

void ColumnValues::UseCells(const std::byte* cells, size_t stride) noexcept {
  cells_ = cells;
  stride_ = stride;
  narrow_.clear();
  numbers_.clear();
  texts_.clear();
}

size_t ColumnValues::MemoryBytes() const noexcept {
  return narrow_.MemoryBytes() + numbers_.MemoryBytes() + nulls_.capacity() * sizeof(uint64_t) + texts_.MemoryBytes();
}

std::vector<std::string_view> ParsedTable::FilePieces() const {
  std::vector<std::string_view> pieces;
  if (bytes) pieces.emplace_back(*bytes);
  for (const std::string& piece : written) pieces.emplace_back(piece);
  return pieces;
}

size_t ParsedTable::FileSize() const noexcept {
  size_t size = bytes ? bytes->size() : 0;
  for (const std::string& piece : written) size += piece.size();
  return size;
}

void LayOutRows(ParsedTable& table) {
  if (table.columns.size() < 2 || table.rowCount == 0 || table.rowCells) return;
  std::vector<size_t> offsets;  // of each column's cell in a row
  size_t stride = 0;
  for (const ParsedColumn& c : table.columns) {
    if (c.values.size() != table.rowCount) return;  // not a finished table
    offsets.push_back(stride);
    stride += c.values.CellBytes();
  }
  table.rowCells = MapPages(stride * table.rowCount);
  // A chunk of rows at a time, freeing the columns' own chunks as it goes:
  // the table never holds its values twice over.
  const size_t chunks = (table.rowCount + ColumnValues::kChunkRows - 1) / ColumnValues::kChunkRows;
  for (size_t chunk = 0; chunk < chunks; ++chunk)
    for (size_t i = 0; i < table.columns.size(); ++i)
      table.columns[i].values.MoveChunkToCells(chunk, table.rowCells.get() + offsets[i], stride);
  for (size_t i = 0; i < table.columns.size(); ++i)
    table.columns[i].values.UseCells(table.rowCells.get() + offsets[i], stride);
}

size_t ParsedTable::MemoryBytes() const noexcept {
  size_t total = sizeof(ParsedTable) + (rowCells ? rowCells.get_deleter().bytes : 0);
  for (const ParsedColumn& c : columns) total += sizeof(ParsedColumn) + c.values.MemoryBytes();
  if (bytes) total += bytes->capacity();
  if (decoded) total += decoded->capacity();
  for (const std::string& s : owned) total += sizeof(std::string) + s.capacity();
  for (const std::string& s : written) total += sizeof(std::string) + s.capacity();
  return total;
}

}  // namespace vendrel::driver::text

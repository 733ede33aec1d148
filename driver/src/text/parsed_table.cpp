#include "text/parsed_table.h"

#include <bit>
#include <stdexcept>

namespace vendrel::driver::text {

namespace {
constexpr const char* kEmptyText = "";
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

double ColumnValues::Real(size_t row) const noexcept { return std::bit_cast<double>(numbers_[row]); }

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

void ColumnValues::AddNullBit(bool null) {
  if (size_ % 64 == 0) nulls_.push_back(0);
  if (null) nulls_.back() |= uint64_t{1} << (size_ % 64);
}

void ColumnValues::AddNull() {
  if (kind_ == StorageKind::Text) {
    texts_.push_back(nullptr);
    lengths_.push_back(0);
  } else {
    AddNullBit(true);
    numbers_.push_back(0);
  }
  ++size_;
}

void ColumnValues::AddNulls(size_t count) {
  for (size_t i = 0; i < count; ++i) AddNull();
}

void ColumnValues::AddWhole(int64_t n) {
  AddNullBit(false);
  numbers_.push_back(static_cast<uint64_t>(n));
  ++size_;
}

void ColumnValues::AddReal(double d) {
  AddNullBit(false);
  numbers_.push_back(std::bit_cast<uint64_t>(d));
  ++size_;
}

void ColumnValues::AddText(std::string_view text) {
  texts_.push_back(text.data() ? text.data() : kEmptyText);
  lengths_.push_back(static_cast<uint32_t>(text.size()));
  ++size_;
}

void ColumnValues::WholesToReals(double divisor) {
  if (kind_ != StorageKind::Whole) return;
  for (uint64_t& n : numbers_) n = std::bit_cast<uint64_t>(static_cast<double>(static_cast<int64_t>(n)) / divisor);
  kind_ = StorageKind::Real;
}

void ColumnValues::Reserve(size_t rows) {
  if (kind_ == StorageKind::Text) {
    texts_.reserve(rows);
    lengths_.reserve(rows);
  } else {
    numbers_.reserve(rows);
    nulls_.reserve(rows / 64 + 1);
  }
}

size_t ColumnValues::MemoryBytes() const noexcept {
  return numbers_.capacity() * sizeof(uint64_t) + nulls_.capacity() * sizeof(uint64_t) +
         texts_.capacity() * sizeof(const char*) + lengths_.capacity() * sizeof(uint32_t);
}

size_t ParsedTable::MemoryBytes() const noexcept {
  size_t total = sizeof(ParsedTable);
  for (const ParsedColumn& c : columns) total += sizeof(ParsedColumn) + c.values.MemoryBytes();
  if (bytes) total += bytes->capacity();
  if (decoded) total += decoded->capacity();
  for (const std::string& s : owned) total += sizeof(std::string) + s.capacity();
  return total;
}

}  // namespace vendrel::driver::text

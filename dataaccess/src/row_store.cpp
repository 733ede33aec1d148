// The storage of a recordset's rows: one column at a time, 8 bytes a value.

#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <memory>
#include <new>

#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel {

namespace {

// Texts and byte strings in blocks that are never moved, each found by an
// 8-byte reference: the block (20 bits), the offset in it (20 bits) and the
// length (24 bits). A value too long for the length field, or for a block,
// gets a block of its own with its length in front.
class TextBlocks {
 public:
  uint64_t Add(std::string_view bytes) {
    // Most values: short, with room for them in the last block.
    if (bytes.size() < kLongMarker && used_ + bytes.size() <= capacity_ && used_ <= kOffsetMask && !blocks_.empty()) {
      if (!bytes.empty()) std::memcpy(blocks_.back().get() + used_, bytes.data(), bytes.size());
      const uint64_t reference =
          (static_cast<uint64_t>(blocks_.size() - 1) << 44) | (static_cast<uint64_t>(used_) << 24) | bytes.size();
      used_ += bytes.size();
      return reference;
    }
    return AddAnyValue(bytes);
  }

  std::string_view Get(uint64_t reference) const {
    const char* at = blocks_[reference >> 44].get() + ((reference >> 24) & kOffsetMask);
    uint64_t length = reference & kLongMarker;
    if (length == kLongMarker) {
      std::memcpy(&length, at, sizeof length);
      at += sizeof length;
    }
    return {at, static_cast<size_t>(length)};
  }

  // Gives the space of the value added last back.
  void RemoveIfLast(uint64_t reference) {
    if (blocks_.empty() || (reference >> 44) != blocks_.size() - 1) return;
    const size_t offset = (reference >> 24) & kOffsetMask;
    const std::string_view value = Get(reference);
    if (value.data() + value.size() == blocks_.back().get() + used_) used_ = offset;
  }

 private:
  static constexpr uint64_t kLongMarker = (uint64_t{1} << 24) - 1;
  static constexpr uint64_t kOffsetMask = (uint64_t{1} << 20) - 1;
  static constexpr size_t kLargestBlock = size_t{1} << 20;

  // Apart from Add, which is then small enough to be inlined.
  [[gnu::noinline]] uint64_t AddAnyValue(std::string_view bytes) {
    const bool longValue = bytes.size() >= kLongMarker;
    const size_t need = bytes.size() + (longValue ? sizeof(uint64_t) : 0);
    // A block filled to its end (or beyond the offsets a reference holds,
    // after a value of a block of its own) takes nothing more, not even an
    // empty text, whose offset would spill into the block's number.
    if (blocks_.empty() || used_ + need > capacity_ || used_ > kOffsetMask) NewBlock(need);
    char* at = blocks_.back().get() + used_;
    if (longValue) {
      const uint64_t length = bytes.size();
      std::memcpy(at, &length, sizeof length);
      at += sizeof length;
    }
    if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
    const uint64_t reference = (static_cast<uint64_t>(blocks_.size() - 1) << 44) | (static_cast<uint64_t>(used_) << 24) |
                               (longValue ? kLongMarker : bytes.size());
    used_ += need;
    return reference;
  }

  void NewBlock(size_t need) {
    // Small at first, so a few rows take little; doubling up to 1 MiB.
    size_t size = blocks_.empty() ? 256 : std::min(capacity_ * 2, kLargestBlock);
    if (size < need) size = need;  // a value larger than a block: at offset 0 of its own
    if (blocks_.size() >= (size_t{1} << 20)) throw std::bad_alloc();
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    capacity_ = size;
    used_ = 0;
  }

  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t capacity_ = 0;
  size_t used_ = 0;
};

// 8-byte cells in chunks of 4096, so growing never copies them.
class Cells {
 public:
  uint64_t operator[](size_t i) const { return chunks_[i >> kShift][i & kMask]; }
  uint64_t& operator[](size_t i) { return chunks_[i >> kShift][i & kMask]; }
  void PushBack(uint64_t value) {
    if (chunks_.empty() || chunks_.back().size() == chunks_.back().capacity() || chunks_.back().size() == kChunk) {
      Grow(value);
      return;
    }
    chunks_.back().push_back(value);
  }
  void PopBack() {
    chunks_.back().pop_back();
    if (chunks_.back().empty()) chunks_.pop_back();
  }
  void Clear() { chunks_.clear(); }
  void Reserve(size_t count) { chunks_.reserve(count / kChunk + 1); }

 private:
  static constexpr unsigned kShift = 12;
  static constexpr size_t kChunk = size_t{1} << kShift;
  static constexpr size_t kMask = kChunk - 1;

  // Apart from PushBack, which is then small enough to be inlined.
  void Grow(uint64_t value);

  std::vector<std::vector<uint64_t>> chunks_;
};

void Cells::Grow(uint64_t value) {
  if (chunks_.empty() || chunks_.back().size() == kChunk) {
    chunks_.emplace_back();
    // The first chunk grows as needed; the others hold a whole chunk at once.
    if (chunks_.size() > 1) chunks_.back().reserve(kChunk);
  }
  std::vector<uint64_t>& last = chunks_.back();
  if (last.size() == last.capacity()) last.reserve(std::min(kChunk, std::max<size_t>(1, last.capacity() * 2)));
  last.push_back(value);
}

// Numbers, dates, texts and bytes fit a cell; objects and Empty do not.
bool KeepsInCells(VarType type) {
  switch (type) {
    case VarType::Integer:
    case VarType::Long:
    case VarType::BigInt:
    case VarType::Byte:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date:
    case VarType::Boolean:
    case VarType::String:
    case VarType::Bytes: return true;
    default: return false;
  }
}

bool KeepsInCells(const Variant& value) { return KeepsInCells(value.Type()); }

// The value of a view that holds no variant: as the variant of its type
// would be made from its number or bytes.
Variant ValueOf(const RowStore::View& v) {
  switch (v.type) {
    case VarType::Integer: return Variant::Integer(static_cast<int16_t>(v.whole));
    case VarType::Long: return Variant::Long(static_cast<int32_t>(v.whole));
    case VarType::BigInt: return Variant::BigInt(v.whole);
    case VarType::Byte: return Variant::Byte(static_cast<uint8_t>(v.whole));
    case VarType::Single: return Variant::Single(static_cast<float>(v.real));
    case VarType::Double: return Variant::Double(v.real);
    case VarType::Currency: return Variant(Currency{v.whole});
    case VarType::Date: return Variant::Date(v.real);
    case VarType::Boolean: return Variant::Boolean(v.whole != 0);
    case VarType::String: return Variant::String(std::string(v.bytes));
    case VarType::Bytes: return Variant::FromBytes(Bytes(v.bytes.begin(), v.bytes.end()));
    default: return Variant::Null();
  }
}

}  // namespace

class RowStore::Column {
 public:
  void Read(size_t row, Variant& out) const {
    if (mixed_) {
      out = variants_[row];
      return;
    }
    if (!typed_ || IsNull(row)) {
      out = Variant::Null();
      return;
    }
    const uint64_t cell = cells_[row];
    switch (type_) {
      case VarType::Integer: out = Variant::Integer(static_cast<int16_t>(cell)); return;
      case VarType::Long: out = Variant::Long(static_cast<int32_t>(cell)); return;
      case VarType::BigInt: out = Variant::BigInt(static_cast<int64_t>(cell)); return;
      case VarType::Byte: out = Variant::Byte(static_cast<uint8_t>(cell)); return;
      case VarType::Single: out = Variant::Single(std::bit_cast<float>(static_cast<uint32_t>(cell))); return;
      case VarType::Double: out = Variant::Double(std::bit_cast<double>(cell)); return;
      case VarType::Currency: out = Variant(Currency{static_cast<int64_t>(cell)}); return;
      case VarType::Date: out = Variant::Date(std::bit_cast<double>(cell)); return;
      case VarType::Boolean: out = Variant::Boolean(cell != 0); return;
      case VarType::String: out.AssignString(texts_.Get(cell)); return;
      case VarType::Bytes: {
        const std::string_view bytes = texts_.Get(cell);
        out = Variant::FromBytes(Bytes(bytes.begin(), bytes.end()));
        return;
      }
      default: out = Variant::Null(); return;
    }
  }

  RowStore::View ViewAt(size_t row) const {
    RowStore::View v;
    if (mixed_) {
      v.variant = &variants_[row];
      v.type = v.variant->Type();
      return v;
    }
    if (!typed_ || IsNull(row)) return v;
    const uint64_t cell = cells_[row];
    v.type = type_;
    switch (type_) {
      case VarType::Integer:
      case VarType::Long:
      case VarType::BigInt:
      case VarType::Byte:
      case VarType::Currency:
      case VarType::Boolean: v.whole = static_cast<int64_t>(cell); break;
      case VarType::Single: v.real = std::bit_cast<float>(static_cast<uint32_t>(cell)); break;
      case VarType::Double:
      case VarType::Date: v.real = std::bit_cast<double>(cell); break;
      case VarType::String:
      case VarType::Bytes: v.bytes = texts_.Get(cell); break;
      default: break;
    }
    return v;
  }

  void PushBack(const Variant& value, size_t row) {
    if (mixed_) {
      variants_.push_back(value);
      return;
    }
    if (!value.IsNull() && !Accepts(value)) {
      MakeMixed(row);
      variants_.push_back(value);
      return;
    }
    cells_.PushBack(0);
    if (row % 64 == 0) nulls_.push_back(0);
    Store(row, value);
  }

  // The same cell as PushBack(ValueOf(cell)) makes, without the variant
  // where the column keeps cells of the view's type.
  void PushBack(const RowStore::View& cell, size_t row) {
    if (cell.variant) {
      PushBack(*cell.variant, row);
      return;
    }
    const bool null = cell.type == VarType::Null;
    if (mixed_ || (!null && typed_ && cell.type != type_)) {
      PushBack(ValueOf(cell), row);
      return;
    }
    uint64_t value = 0;
    if (!null) {
      value = CellOf(cell);
      if (!typed_) {
        typed_ = true;
        type_ = cell.type;
      }
    }
    cells_.PushBack(value);
    if (row % 64 == 0) nulls_.push_back(0);
    if (null) SetNull(row, true);
  }

  void Set(size_t row, const Variant& value, size_t rows) {
    if (!mixed_ && !value.IsNull() && !Accepts(value)) MakeMixed(rows);
    if (mixed_) {
      variants_[row] = value;
      return;
    }
    Store(row, value);
  }

  void PopBack(size_t row) {
    if (mixed_) {
      variants_.pop_back();
      return;
    }
    if (typed_ && !IsNull(row) && (type_ == VarType::String || type_ == VarType::Bytes)) texts_.RemoveIfLast(cells_[row]);
    cells_.PopBack();
    if (row % 64 == 0) nulls_.pop_back();
  }

  void Reserve(size_t rows) {
    cells_.Reserve(rows);
    nulls_.reserve(rows / 64 + 1);
  }

 private:
  bool IsNull(size_t row) const { return (nulls_[row / 64] >> (row % 64) & 1) != 0; }
  void SetNull(size_t row, bool null) {
    const uint64_t bit = uint64_t{1} << (row % 64);
    if (null)
      nulls_[row / 64] |= bit;
    else
      nulls_[row / 64] &= ~bit;
  }

  // Whether the value can join the cells: the column's one type, or the
  // first type the column sees.
  bool Accepts(const Variant& value) const {
    return typed_ ? value.Type() == type_ : KeepsInCells(value);
  }

  // Puts a Null or an accepted value into the cell of an existing row.
  void Store(size_t row, const Variant& value) {
    if (value.IsNull()) {
      SetNull(row, true);
      return;
    }
    if (!typed_) {
      typed_ = true;
      type_ = value.Type();
    }
    SetNull(row, false);
    uint64_t cell = 0;
    switch (type_) {
      case VarType::Integer: cell = static_cast<uint64_t>(static_cast<int64_t>(value.AsInteger())); break;
      case VarType::Long: cell = static_cast<uint64_t>(static_cast<int64_t>(value.AsLong())); break;
      case VarType::BigInt: cell = static_cast<uint64_t>(value.AsBigInt()); break;
      case VarType::Byte: cell = value.AsByte(); break;
      case VarType::Single: cell = std::bit_cast<uint32_t>(value.AsSingle()); break;
      case VarType::Double: cell = std::bit_cast<uint64_t>(value.AsDouble()); break;
      case VarType::Currency: cell = static_cast<uint64_t>(value.AsCurrency().scaled); break;
      case VarType::Date: cell = std::bit_cast<uint64_t>(value.AsDate().serial); break;
      case VarType::Boolean: cell = value.AsBoolean() ? 1 : 0; break;
      case VarType::String: cell = texts_.Add(value.AsString()); break;
      case VarType::Bytes: {
        const Bytes& bytes = value.AsBytes();
        cell = texts_.Add({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        break;
      }
      default: break;
    }
    cells_[row] = cell;
  }

  // The cell of a view of a type kept in cells, as Store makes it from the
  // view's variant.
  uint64_t CellOf(const RowStore::View& v) {
    switch (v.type) {
      case VarType::Integer: return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int16_t>(v.whole)));
      case VarType::Long: return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(v.whole)));
      case VarType::BigInt:
      case VarType::Currency: return static_cast<uint64_t>(v.whole);
      case VarType::Byte: return static_cast<uint8_t>(v.whole);
      case VarType::Single: return std::bit_cast<uint32_t>(static_cast<float>(v.real));
      case VarType::Double:
      case VarType::Date: return std::bit_cast<uint64_t>(v.real);
      case VarType::Boolean: return v.whole != 0 ? 1 : 0;
      case VarType::String:
      case VarType::Bytes: return texts_.Add(v.bytes);
      default: return 0;
    }
  }

  // From now on the column keeps its values as variants, those so far included.
  void MakeMixed(size_t rows) {
    std::deque<Variant> variants;
    for (size_t row = 0; row < rows; ++row) {
      Variant v;
      Read(row, v);
      variants.push_back(std::move(v));
    }
    variants_ = std::move(variants);
    mixed_ = true;
    cells_.Clear();
    nulls_.clear();
    nulls_.shrink_to_fit();
    texts_ = TextBlocks();
  }

  bool typed_ = false;  // some value has been stored: type_ holds
  bool mixed_ = false;  // values of several types: variants_ holds them all
  VarType type_ = VarType::Null;
  Cells cells_;
  std::vector<uint64_t> nulls_;  // a bit per row, set for Null
  TextBlocks texts_;
  std::deque<Variant> variants_;
};

RowStore::RowStore(std::vector<FieldInfo> fields) : fields_(std::move(fields)), columns_(fields_.size()) {}

RowStore::~RowStore() = default;

Variant RowStore::At(size_t row, size_t column) const {
  Variant value;
  Read(row, column, value);
  return value;
}

void RowStore::Read(size_t row, size_t column, Variant& out) const {
  if (row >= rows_ || column >= columns_.size()) RaisePlatform(err::kNoCurrentRecord, source::kRecordset);
  columns_[column].Read(row, out);
}

RowStore::View RowStore::ViewAt(size_t row, size_t column) const {
  if (row >= rows_ || column >= columns_.size()) RaisePlatform(err::kNoCurrentRecord, source::kRecordset);
  return columns_[column].ViewAt(row);
}

void RowStore::Set(size_t row, size_t column, const Variant& value) {
  if (row >= rows_ || column >= columns_.size()) RaisePlatform(err::kNoCurrentRecord, source::kRecordset);
  columns_[column].Set(row, value, rows_);
}

size_t RowStore::AppendRow() {
  const Variant null = Variant::Null();
  for (Column& c : columns_) c.PushBack(null, rows_);
  return rows_++;
}

void RowStore::AppendRow(std::vector<Variant>&& values) { AppendRow(std::span<const Variant>(values)); }

void RowStore::AppendRow(std::span<const Variant> values) {
  if (values.size() != columns_.size()) RaisePlatform(err::kArgumentsWrongType, source::kRecordset);
  for (size_t i = 0; i < columns_.size(); ++i) columns_[i].PushBack(values[i], rows_);
  ++rows_;
}

void RowStore::AppendTypedRow(std::span<const View> cells) {
  if (cells.size() != columns_.size()) RaisePlatform(err::kArgumentsWrongType, source::kRecordset);
  // Checked first, so a row is appended to every column or to none.
  for (const View& cell : cells)
    if (!cell.variant && cell.type != VarType::Null && !KeepsInCells(cell.type))
      RaisePlatform(err::kArgumentsWrongType, source::kRecordset);
  for (size_t i = 0; i < columns_.size(); ++i) columns_[i].PushBack(cells[i], rows_);
  ++rows_;
}

void RowStore::RemoveLastRow() {
  if (rows_ == 0) return;
  --rows_;
  for (Column& c : columns_) c.PopBack(rows_);
}

void RowStore::Reserve(size_t rows) {
  for (Column& c : columns_) c.Reserve(rows);
}

}  // namespace vendrel

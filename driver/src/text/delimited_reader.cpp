#include "text/delimited_reader.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <span>

#include "core/cancel.h"
#include "core/catalog.h"
#include "core/errors.h"
#include "text/encoding.h"
#include "text/type_guess.h"
#include "text/value_reader.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/driver/driver.h"

namespace vendrel::driver::text {

namespace {

struct FieldText {
  std::string_view text;
  bool quoted = false;
};

// The value as a message shows it: short, on one line.
std::string Shown(std::string_view value) {
  constexpr size_t kLimit = 60;
  std::string out;
  size_t cut = value.size();
  if (cut > kLimit) {
    cut = kLimit;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
  }
  for (char c : value.substr(0, cut)) out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  if (cut < value.size()) out += "...";
  return out;
}

// Splits the text into rows of fields. The first line's end says how rows
// end: after CR LF only CR LF ends a row and a lone CR or LF is data; after
// a lone CR (a file of CR line ends) CR ends rows and LF is data; otherwise
// LF ends rows. A CR at the very end of the text ends the last line.
class RowSplitter {
 public:
  RowSplitter(std::string_view text, char delimiter, std::optional<char> quote, std::deque<std::string>& owned)
      : text_(text), delimiter_(delimiter), quote_(quote), owned_(owned) {
    if (!text_.empty() && text_.back() == '\r') text_.remove_suffix(1);
    const size_t end = text_.find_first_of("\r\n");
    if (end != std::string_view::npos && text_[end] == '\r') {
      if (end + 1 < text_.size() && text_[end + 1] == '\n')
        crlf_ = true;
      else
        lineEnd_ = '\r';
    }
    lineEndBytes_ = kEveryByte * static_cast<unsigned char>(lineEnd_);
    stops_[static_cast<unsigned char>(delimiter)] = true;
    stops_[static_cast<unsigned char>(lineEnd_)] = true;
  }

  struct Unterminated {
    int line;
    size_t field;  // 0-based
  };

  // The next row's fields; false at the end of the text or at an unterminated quote.
  bool Next(std::vector<FieldText>& fields) {
    fields.clear();
    if (pos_ >= text_.size()) return false;
    rowLine_ = line_;
    for (;;) {
      FieldText field;
      if (quote_ && pos_ < text_.size() && text_[pos_] == *quote_) {
        if (!ReadQuoted(field, fields.size())) return false;
      } else {
        const size_t end = FieldEnd(pos_);
        field.text = text_.substr(pos_, end - pos_);
        pos_ = end;
      }
      fields.push_back(field);
      if (pos_ >= text_.size()) return true;
      if (text_[pos_] == delimiter_) {
        ++pos_;
        if (pos_ >= text_.size()) {
          fields.push_back(FieldText{});
          return true;
        }
        continue;
      }
      pos_ += crlf_ ? 2 : 1;  // the row end
      ++line_;
      return true;
    }
  }

  int RowLine() const noexcept { return rowLine_; }
  size_t Position() const noexcept { return pos_; }
  const std::optional<Unterminated>& Error() const noexcept { return error_; }

 private:
  // Where an unquoted field starting at p ends; counts the line breaks it holds as data.
  // Only the delimiter and the line end (LF, or CR in a file of CR line
  // ends) can end a field (at CR LF, the CR before it ends it), so the scan
  // looks at nothing else.
  size_t FieldEnd(size_t p) {
    const size_t start = p;
    const size_t size = text_.size();
    for (;;) {
      // Eight bytes at a time while none of them can end the field, then byte by byte.
      while (p + 8 <= size) {
        uint64_t word;
        std::memcpy(&word, text_.data() + p, 8);
        if (HasByte(word, delimiterBytes_) || HasByte(word, lineEndBytes_)) break;
        p += 8;
      }
      while (p < size && !stops_[static_cast<unsigned char>(text_[p])]) ++p;
      if (p >= size || text_[p] == delimiter_) return p;
      if (!crlf_) return p;  // the line end ends the row
      if (p > start && text_[p - 1] == '\r') return p - 1;
      ++line_;  // a lone LF is data
      ++p;
    }
  }

  void CountLines(std::string_view part) {
    line_ += static_cast<int>(std::count(part.begin(), part.end(), lineEnd_));
  }

  bool ReadQuoted(FieldText& field, size_t index) {
    const int startLine = line_;
    const char quote = *quote_;
    field.quoted = true;
    size_t start = ++pos_;
    std::string* built = nullptr;
    for (;;) {
      const size_t q = text_.find(quote, pos_);
      if (q == std::string_view::npos) {
        error_ = Unterminated{startLine, index};
        pos_ = text_.size();
        return false;
      }
      CountLines(text_.substr(pos_, q - pos_));
      if (q + 1 < text_.size() && text_[q + 1] == quote) {  // a doubled quote is one quote
        if (!built) built = &owned_.emplace_back();
        built->append(text_.substr(start, q + 1 - start));
        pos_ = start = q + 2;
        continue;
      }
      if (built) built->append(text_.substr(start, q - start));
      field.text = built ? std::string_view(*built) : text_.substr(start, q - start);
      pos_ = q + 1;
      break;
    }
    // Text between the closing quote and the delimiter is kept with the value.
    const size_t end = FieldEnd(pos_);
    if (end > pos_) {
      if (!built) built = &owned_.emplace_back(field.text);
      built->append(text_.substr(pos_, end - pos_));
      field.text = *built;
      pos_ = end;
    }
    return true;
  }

  std::string_view text_;
  char delimiter_;
  std::optional<char> quote_;
  std::deque<std::string>& owned_;
  bool crlf_ = false;
  char lineEnd_ = '\n';
  size_t pos_ = 0;
  int line_ = 1;
  int rowLine_ = 1;
  std::optional<Unterminated> error_;
  std::array<bool, 256> stops_{};  // the bytes that may end an unquoted field
  static constexpr uint64_t kEveryByte = 0x0101010101010101ULL;
  uint64_t lineEndBytes_ = 0;
  uint64_t delimiterBytes_ = kEveryByte * static_cast<unsigned char>(delimiter_);

  // Whether one of the eight bytes of `word` is the byte repeated in `bytes`.
  static bool HasByte(uint64_t word, uint64_t bytes) {
    const uint64_t v = word ^ bytes;
    return ((v - kEveryByte) & ~v & (kEveryByte << 7)) != 0;
  }
};

bool IsBlank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

// How often `c` stands in the text: memchr's scan, many bytes a step, from
// one to the next (std::count goes a byte a step).
size_t CountOf(std::string_view text, char c) {
  size_t n = 0;
  for (const char* at = text.data(); const void* found = std::memchr(at, c, text.data() + text.size() - at);
       at = static_cast<const char*>(found) + 1)
    ++n;
  return n;
}

// No more rows than line ends (of either kind) and one.
size_t RowsAtMost(std::string_view text) { return CountOf(text, '\n') + CountOf(text, '\r') + 1; }

// A read looks whether it is to stop once in this many rows (less one).
constexpr size_t kRowsPerCancelLook = 4095;

bool TrimmedStartsWithMinus(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  return first != std::string_view::npos && s[first] == '-';
}

bool IsTextual(JetType t) {
  return t == JetType::Text || t == JetType::Memo || t == JetType::Guid || t == JetType::Binary;
}

struct Context {
  std::string_view fileName;
  const ValueReader& reader;
  std::deque<std::string>& owned;  // the table's own strings
  size_t rowsAtMost = 0;           // no more rows than this are read
};

thread_local std::function<void(const GuessedColumn&)> typeGuessObserver;

// Tells the observer why a guessed column has its type.
void ReportGuess(std::string_view fileName, std::string_view column, const TypeGuessReport& r) {
  if (!typeGuessObserver) return;
  GuessedColumn g;
  g.file = fileName;
  g.column = column;
  g.type = JetTypeName(r.type);
  g.dayFirst = r.type == JetType::Date && r.order == DayMonthOrder::DayFirst;
  g.nearly = r.nearly == TypeGuessReport::Kind::Number ? "number" : r.nearly == TypeGuessReport::Kind::Date ? "date" : "";
  g.nearlyDayFirst = r.nearlyOrder == DayMonthOrder::DayFirst;
  g.bothOrders = r.bothOrders;
  g.values = r.values;
  g.misfits = r.misfits;
  g.firstMisfit = r.firstMisfit;
  g.firstMisfitLine = r.firstMisfitLine;
  g.beyondDouble = r.beyondDouble;
  g.firstBeyondDouble = r.firstBeyondDouble;
  typeGuessObserver(g);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The bytes of "0x" and pairs of hexadecimal digits, as the engine writes a
// binary value; nullopt for any other text, which is its own bytes.
std::optional<std::string> HexBytes(std::string_view text) {
  if (text.size() < 2 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X') || text.size() % 2 != 0)
    return std::nullopt;
  std::string bytes;
  bytes.reserve(text.size() / 2 - 1);
  for (size_t i = 2; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high << 4 | low);
  }
  return bytes;
}

// Gathers one column's values, converting each as it arrives. A declared
// whole-number column that meets a larger value widens (up to BigInt), one
// that meets a fraction becomes Double, as does Currency out of its range and
// Single out of its range; any other value that does not read is an error.
// A column without a declared type keeps the texts and what each can be read
// as, and settles its type at the end.
class ColumnBuilder {
 public:
  // Without `keepValues` the column only settles its type and keeps no values.
  // A guessed column sees at most `rowsAtMost` values.
  ColumnBuilder(std::string name, JetType type, long width, bool guessed, bool keepValues = true,
                size_t rowsAtMost = 0)
      : name_(std::move(name)),
        type_(type),
        declaredType_(type),
        width_(width),
        guessed_(guessed),
        keepValues_(keepValues),
        guess_(rowsAtMost),
        values_(guessed ? StorageKind::Text : StorageKindOf(type)) {}

  const std::string& Name() const noexcept { return name_; }
  void Rename(std::string name) { name_ = std::move(name); }
  void AddNulls(size_t n) {
    added_ += n;
    if (keepValues_) values_.AddNulls(n);
  }
  void Reserve(size_t rows) {
    if (keepValues_) values_.Reserve(rows);
  }

  void Add(const FieldText* field, int line, const Context& cx) {
    const size_t row = added_++;
    if (!field || (!field->quoted && field->text.empty())) {
      PutNull();
      return;
    }
    const std::string_view text = field->text;
    if (guessed_) {
      if (!IsBlank(text)) {
        if (guess_.Wants())
          guess_.Add(cx.reader.Guess(text), text, line);
        else
          guess_.AddUnread();
      }
      // A text has no more characters than bytes: only a longer one can raise the most.
      if (maxChars_ <= 255 && text.size() > maxChars_) maxChars_ = std::max(maxChars_, CodePointCount(text));
      AddText(text, line, cx);
      return;
    }
    if (type_ == JetType::Binary) {
      if (!keepValues_) return;
      if (auto bytes = HexBytes(text)) {
        AddText(bytes->empty() ? std::string_view("", 0) : std::string_view(cx.owned.emplace_back(std::move(*bytes))),
                line, cx);
        return;
      }
      AddText(text, line, cx);
      return;
    }
    if (IsTextual(type_)) {
      AddText(text, line, cx);
      return;
    }
    if (IsBlank(text)) {  // nothing but spaces, or "" in a column that holds no text
      PutNull();
      return;
    }
    const ValueReader& reader = cx.reader;
    switch (type_) {
      case JetType::Boolean: {
        auto b = reader.Boolean(text);
        if (!b) Fail(text, line, cx);
        PutWhole(*b ? -1 : 0);
        return;
      }
      case JetType::Byte:
      case JetType::Short:
      case JetType::Long:
      case JetType::BigInt: {
        const NumberReading n = reader.Number(text);
        // A fraction, and what only a Double holds (NaN, infinities, -0, as
        // a field of a type that holds doubles may give a whole-number
        // column), make the column Double.
        if (n.kind != NumberReading::Kind::Whole || (n.whole == 0 && TrimmedStartsWithMinus(text))) {
          auto d = reader.Real(text);
          if (!d) Fail(text, line, cx);
          WidenToDouble();
          PutReal(*d);
          return;
        }
        type_ = WholeTypeFor(n.whole, type_);
        PutWhole(n.whole);
        return;
      }
      case JetType::Currency: {
        if (auto c = reader.CurrencyValue(text)) {
          PutWhole(c->scaled);
          return;
        }
        const NumberReading n = reader.Number(text);
        if (n.kind == NumberReading::Kind::Bad) Fail(text, line, cx);
        WidenToDouble();
        PutReal(n.real);
        return;
      }
      case JetType::Single: {
        if (auto f = reader.SingleValue(text)) {
          PutReal(static_cast<double>(*f));
          return;
        }
        auto d = reader.Real(text);
        if (!d) Fail(text, line, cx);
        type_ = JetType::Double;  // beyond Single's range; the values so far are Doubles too
        singleUntil_ = row;
        PutReal(*d);
        return;
      }
      case JetType::Double: {
        auto d = reader.Real(text);
        if (!d) Fail(text, line, cx);
        PutReal(*d);
        return;
      }
      case JetType::Date: {
        auto d = reader.Date(text);
        if (!d) Fail(text, line, cx);
        PutReal(d->serial);
        return;
      }
      default: AddText(text, line, cx); return;
    }
  }

  // A text field that is not quoted, in a column that keeps texts other than
  // bytes: what Add does with it, without its checks; false when it is not such a field.
  bool AddPlainText(std::string_view text) {
    if (guessed_ || !IsTextual(type_) || type_ == JetType::Binary || text.size() > UINT32_MAX) return false;
    ++added_;
    if (!keepValues_) return true;
    if (text.empty())
      values_.AddNull();
    else
      values_.AddText(text);
    return true;
  }

  // A value that its writer had in hand, added as Add would add its text
  // when the column's type at this point reads that text straight back to
  // it; false (and nothing added) otherwise, and the text is to be Added.
  bool AddWhole(int64_t n) {
    if (guessed_ || !IsWholeNumberType(type_)) return false;
    // What WholeTypeFor gives, without the call for a number that fits the type as it stands.
    const bool fits = type_ == JetType::BigInt || (type_ == JetType::Long && n >= INT32_MIN && n <= INT32_MAX);
    if (!fits) type_ = WholeTypeFor(n, type_);
    return Put([&] { PutWhole(n); });
  }
  bool AddBoolean(bool b) {
    if (guessed_ || type_ != JetType::Boolean) return false;
    return Put([&] { PutWhole(b ? -1 : 0); });
  }
  bool AddCurrency(int64_t tenThousandths) {
    if (guessed_ || type_ != JetType::Currency) return false;
    return Put([&] { PutWhole(tenThousandths); });
  }
  // Not NaN: its text reads as the one NaN the reader gives.
  bool AddSingle(float f) {
    if (guessed_ || type_ != JetType::Single || std::isnan(f)) return false;
    return Put([&] { PutReal(static_cast<double>(f)); });
  }
  bool AddDouble(double d) {
    if (guessed_ || type_ != JetType::Double || std::isnan(d)) return false;
    return Put([&] { PutReal(d); });
  }
  // Not a time of the day before day zero: its text is that of the same time of day zero.
  bool AddDate(double serial) {
    if (guessed_ || type_ != JetType::Date || !(serial <= -1 || serial >= 0)) return false;
    return Put([&] { PutReal(serial); });
  }

  ParsedColumn Finish(const Context& cx) {
    if (guessed_) Settle(cx);
    return ParsedColumn{ColumnDef{name_, type_, width_}, std::move(values_)};
  }

  // The value of one field of a column whose type is settled (Finish has
  // run), as the column would hold it and a statement would fetch it;
  // `row` counts from 0. The field has been read before by Add.
  // Text goes into the storage `out` holds, so a row's texts cost no allocation.
  void ReadValue(const FieldText* field, size_t row, const ValueReader& reader, Variant& out) const {
    if (!field || (!field->quoted && field->text.empty())) {
      out = Variant::Null();
    } else if (IsTextual(type_) && type_ != JetType::Binary) {
      out.AssignString(field->text);
    } else {
      out = Value(field->text, row, reader);
    }
  }

 private:
  Variant Value(std::string_view text, size_t row, const ValueReader& reader) const {
    if (type_ == JetType::Binary) {
      const std::optional<std::string> hex = HexBytes(text);
      const std::string_view bytes = hex ? std::string_view(*hex) : text;
      return Variant::FromBytes(Bytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                                      reinterpret_cast<const uint8_t*>(bytes.data()) + bytes.size()));
    }
    if (IsBlank(text)) return Variant::Null();
    switch (type_) {
      case JetType::Boolean: return Variant::Boolean(reader.Boolean(text).value_or(false));
      case JetType::Byte: return Variant::Byte(static_cast<uint8_t>(reader.Number(text).whole));
      case JetType::Short: return Variant::Integer(static_cast<int16_t>(reader.Number(text).whole));
      case JetType::Long: return Variant::Long(static_cast<int32_t>(reader.Number(text).whole));
      case JetType::BigInt: return Variant::BigInt(reader.Number(text).whole);
      case JetType::Currency: return Variant(Currency{reader.CurrencyValue(text).value_or(Currency{}).scaled});
      case JetType::Single: return Variant::Single(reader.SingleValue(text).value_or(0.0f));
      case JetType::Double: {
        if (guessed_) return Variant::Double(reader.Number(text).real);
        if (declaredType_ == JetType::Currency)
          if (auto c = reader.CurrencyValue(text))
            return Variant::Double(static_cast<double>(c->scaled) / static_cast<double>(Currency::kScale));
        if (declaredType_ == JetType::Single && row < singleUntil_)
          return Variant::Double(static_cast<double>(reader.SingleValue(text).value_or(0.0f)));
        return Variant::Double(reader.Real(text).value_or(0.0));
      }
      case JetType::Date:
        return Variant::Date((guessed_ ? reader.Date(text, order_) : reader.Date(text)).value_or(DateValue{}).serial);
      default: return Variant(text);
    }
  }

  [[noreturn]] void Fail(std::string_view text, int line, const Context& cx) const {
    RaiseDriverError(hr::kFileError, "Line " + std::to_string(line) + " of '" + std::string(cx.fileName) +
                                         "': the value '" + Shown(text) + "' of column '" + name_ +
                                         "' cannot be read as " + std::string(JetTypeName(type_)) + ".");
  }

  void AddText(std::string_view text, int line, const Context& cx) {
    if (text.size() > UINT32_MAX)
      RaiseDriverError(hr::kFileError, "Line " + std::to_string(line) + " of '" + std::string(cx.fileName) +
                                           "': the value of column '" + name_ + "' is too long.");
    if (keepValues_) values_.AddText(text);
  }
  template <class PutValue>
  bool Put(PutValue put) {
    ++added_;
    put();
    return true;
  }
  void PutNull() {
    if (keepValues_) values_.AddNull();
  }
  void PutWhole(int64_t n) {
    if (keepValues_) values_.AddWhole(n);
  }
  void PutReal(double d) {
    if (keepValues_) values_.AddReal(d);
  }

  void WidenToDouble() {
    if (type_ == JetType::Double) return;
    if (keepValues_) values_.WholesToReals(type_ == JetType::Currency ? static_cast<double>(Currency::kScale) : 1.0);
    type_ = JetType::Double;
  }

  // Takes the type the guess settles on, and converts to it.
  void Settle(const Context& cx) {
    const size_t rows = values_.size();
    const TypeGuessReport report = guess_.Settle(maxChars_ > 255);
    ReportGuess(cx.fileName, name_, report);
    type_ = report.type;
    width_ = 0;
    order_ = report.order;
    if (IsTextual(type_) || !keepValues_) return;
    const ValueReader& reader = cx.reader;
    ColumnValues settled(StorageKindOf(type_));
    settled.Reserve(rows);
    for (size_t r = 0; r < rows; ++r) {
      const std::string_view s = values_.IsNull(r) ? std::string_view() : values_.Text(r);
      if (values_.IsNull(r) || IsBlank(s)) {
        settled.AddNull();
      } else if (type_ == JetType::Boolean) {
        settled.AddWhole(reader.Boolean(s).value_or(false) ? -1 : 0);
      } else if (IsWholeNumberType(type_)) {
        settled.AddWhole(reader.Number(s).whole);
      } else if (type_ == JetType::Double) {
        settled.AddReal(reader.Number(s).real);
      } else {
        settled.AddReal(reader.Date(s, order_).value_or(DateValue{}).serial);
      }
    }
    values_ = std::move(settled);
  }

  std::string name_;
  JetType type_;
  JetType declaredType_;
  long width_;
  bool guessed_;
  bool keepValues_;
  TypeGuess guess_;
  size_t maxChars_ = 0;
  size_t added_ = 0;
  size_t singleUntil_ = SIZE_MAX;  // declared Single, read as Double from this row on
  DayMonthOrder order_ = DayMonthOrder::MonthFirst;  // of a guessed date column
  ColumnValues values_;
};

// Names that are empty or repeat an earlier one (without regard to case) become
// F and their position, as columns without a header are named.
void MakeNamesUnique(std::vector<ColumnBuilder>& columns) {
  std::set<std::string> used;
  for (size_t i = 0; i < columns.size(); ++i) {
    std::string name = columns[i].Name();
    if (name.empty() || used.contains(FoldCase(name))) {
      name = "F" + std::to_string(i + 1);
      while (used.contains(FoldCase(name))) name += '_';
      columns[i].Rename(name);
    }
    used.insert(FoldCase(name));
  }
}

// The names as the table has them: unique, and usable as identifiers.
void SettleNames(std::vector<ColumnBuilder>& columns, std::string_view fileName) {
  MakeNamesUnique(columns);
  // A column's name becomes an identifier of the database, which cannot hold a NUL.
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i].Name().find('\0') != std::string::npos)
      RaiseDriverError(hr::kFileError, "The name of column " + std::to_string(i + 1) + " of '" + std::string(fileName) +
                                           "' holds a NUL character.");
}

// The file's columns with every row added to them: their names, and the
// types they settle on. With `keepValues` they hold the values too; without,
// `afterRow` is told how far the text has been read after each row.
template <class AfterRow>
std::vector<ColumnBuilder> ScanRows(std::string_view text, const TableLayout& layout, std::string_view fileName,
                                    const Context& cx, ParsedTable& table, bool keepValues, AfterRow afterRow) {
  const TextFormat& format = layout.format;
  RowSplitter splitter(text, format.delimiter, format.textDelimiter, table.owned);
  std::vector<FieldText> fields;
  std::vector<ColumnBuilder> columns;

  auto failUnterminated = [&] {
    const RowSplitter::Unterminated& u = *splitter.Error();
    const std::string column =
        u.field < columns.size() ? columns[u.field].Name() : "F" + std::to_string(u.field + 1);
    RaiseDriverError(hr::kFileError, "Line " + std::to_string(u.line) + " of '" + std::string(fileName) +
                                         "': the quoted value of column '" + column + "' is not closed.");
  };

  // The count of line ends bounds the rows; columns are sized once from it
  // (columns that regrow as they fill would hold up to twice their values for
  // a moment), and a guess looks no further for reasons than a note needs.
  const size_t rowsAtMost = RowsAtMost(text);
  const bool declared = !layout.columns.empty();
  for (const DeclaredColumn& c : layout.columns) columns.emplace_back(c.name, c.type, c.width, false, keepValues);
  // Without declared columns and without a header, a longer row adds columns.
  const bool growing = !declared && !format.header;
  if (format.header) {
    const bool any = splitter.Next(fields);
    if (splitter.Error()) failUnterminated();
    if (any && !declared)
      for (const FieldText& f : fields)
        columns.emplace_back(std::string(f.text), JetType::Text, 0, true, keepValues, rowsAtMost);
  }
  SettleNames(columns, fileName);

  if (keepValues)
    for (ColumnBuilder& c : columns) c.Reserve(rowsAtMost);

  while (splitter.Next(fields)) {
    if ((table.rowCount & kRowsPerCancelLook) == 0) RaiseIfCancelled();
    const int line = splitter.RowLine();
    if (fields.size() > columns.size()) {
      if (growing) {
        while (columns.size() < fields.size()) {
          columns.emplace_back("F" + std::to_string(columns.size() + 1), JetType::Text, 0, true, keepValues,
                               rowsAtMost);
          columns.back().AddNulls(table.rowCount);
        }
      } else {
        // Empty fields beyond the last column carry nothing; values there would be lost.
        for (size_t i = columns.size(); i < fields.size(); ++i)
          if (fields[i].quoted || !fields[i].text.empty())
            RaiseDriverError(hr::kFileError, "Line " + std::to_string(line) + " of '" + std::string(fileName) +
                                                 "' holds " + std::to_string(fields.size()) +
                                                 " values, but the table has " + std::to_string(columns.size()) +
                                                 " columns.");
      }
    }
    for (size_t c = 0; c < columns.size(); ++c) columns[c].Add(c < fields.size() ? &fields[c] : nullptr, line, cx);
    ++table.rowCount;
    if (!keepValues) {
      table.owned.clear();  // nothing refers to this row's texts any more
      afterRow(splitter.Position());
    }
  }
  if (splitter.Error()) failUnterminated();
  // An empty file is a table of one column without rows, as its empty header line names it.
  if (columns.empty()) columns.emplace_back("F1", JetType::Text, 0, true, keepValues, rowsAtMost);
  return columns;
}

}  // namespace

ParsedTable ParseDelimitedText(std::string_view text, const TableLayout& layout, std::string_view fileName) {
  ParsedTable table;
  const ValueReader reader(layout.format);
  const Context cx{fileName, reader, table.owned};
  std::vector<ColumnBuilder> columns = ScanRows(text, layout, fileName, cx, table, true, [](size_t) {});
  table.columns.reserve(columns.size());
  for (ColumnBuilder& c : columns) table.columns.push_back(c.Finish(cx));
  return table;
}

ParsedTable ParseTextFile(std::unique_ptr<const std::string> bytes, std::string_view fileName,
                          const TableLayout& layout) {
  auto decoded = std::make_unique<std::string>();
  const auto text = DecodeToUtf8(*bytes, layout.format.characterSet, *decoded);
  if (!text) RaiseDriverError(hr::kFileError, "'" + std::string(fileName) + "' cannot be read in its character set.");
  ParsedTable table = ParseDelimitedText(*text, layout, fileName);
  table.bytes = std::move(bytes);
  table.decoded = std::move(decoded);
  return table;
}

void RefuseFixedLength(std::string_view fileName, const TableLayout& layout) {
  if (layout.format.fixedLength)
    RaiseDriverError(hr::kFileError, "'" + std::string(fileName) +
                                         "' is described as FixedLength; only delimited text files can be read.");
}

namespace {

// Gives the memory of a file's bytes back to the system as the last pass
// reads past them, so that the pass ends with only a few megabytes of the
// file still held.
class ReadPages {
 public:
  // `text` is the snapshot's own bytes, or a converted copy of them (which
  // leaves the snapshot unused).
  ReadPages(fs::FileSnapshot& file, std::string_view text) : file_(file), start_(file.Contents().data()) {
    inFile_ = text.data() >= start_ && text.data() <= start_ + file.Contents().size();
    if (!inFile_) file_.Discard(file.Contents().size());
  }

  // Everything before `at` has been read for the last time.
  void ReadUpTo(const char* at) {
    if (!inFile_ || at < start_) return;
    const size_t upTo = static_cast<size_t>(at - start_);
    if (upTo < discarded_ + kStep) return;
    file_.Discard(upTo);
    discarded_ = upTo;
  }

 private:
  static constexpr size_t kStep = size_t{8} << 20;
  fs::FileSnapshot& file_;
  const char* start_;
  bool inFile_;
  size_t discarded_ = 0;
};

thread_local std::function<void(const TextReadProgress&)> textReadObserver;

// Tells the observer every few thousand rows.
class ProgressReport {
 public:
  explicit ProgressReport(std::string_view text) { progress_.totalBytes = text.size(); }
  void Row(int pass, size_t position) {
    if (progress_.pass != pass) {
      progress_.pass = pass;
      progress_.rows = 0;
    }
    ++progress_.rows;
    if (!textReadObserver || progress_.rows % kEvery != 0) return;
    progress_.bytesRead = position;
    textReadObserver(progress_);
  }

 private:
  static constexpr uint64_t kEvery = 8192;
  TextReadProgress progress_;
};

}  // namespace

Ref<RowStore> ReadTextTableRows(const std::string& path, std::string_view fileName, const TableLayout& layout) {
  RefuseFixedLength(fileName, layout);
  // The bytes of their own, not a mapping: a file shortened meanwhile could
  // not fault a pass, and both passes read the same bytes.
  fs::FileSnapshot file(path);
  std::string decoded;
  const std::optional<std::string_view> text = DecodeToUtf8(file.Contents(), layout.format.characterSet, decoded);
  if (!text) RaiseDriverError(hr::kFileError, "'" + std::string(fileName) + "' cannot be read in its character set.");
  ReadPages pages(file, *text);
  ProgressReport progress(*text);

  // First pass: the columns' names and types, no values kept.
  const ValueReader reader(layout.format);
  ParsedTable counted;
  const Context cx{fileName, reader, counted.owned};
  std::vector<ColumnBuilder> columns =
      ScanRows(*text, layout, fileName, cx, counted, false, [&](size_t at) { progress.Row(1, at); });
  std::vector<FieldInfo> fields;
  fields.reserve(columns.size());
  for (ColumnBuilder& c : columns) {
    const ParsedColumn settled = c.Finish(cx);
    fields.push_back(ColumnFieldInfo(settled.def.name, settled.def.type, settled.def.width));
  }
  Ref<RowStore> rows = MakeRef<RowStore>(std::move(fields));
  rows->Reserve(counted.rowCount);

  // Second pass: every row converted under its settled types. The first pass
  // has read every field, so none fails here.
  std::deque<std::string> owned;
  RowSplitter splitter(*text, layout.format.delimiter, layout.format.textDelimiter, owned);
  std::vector<FieldText> row;
  if (layout.format.header) splitter.Next(row);
  std::vector<Variant> values(columns.size());
  for (size_t r = 0; r < counted.rowCount && splitter.Next(row); ++r) {
    if ((r & kRowsPerCancelLook) == 0) RaiseIfCancelled();
    for (size_t c = 0; c < columns.size(); ++c)
      columns[c].ReadValue(c < row.size() ? &row[c] : nullptr, r, reader, values[c]);
    rows->AppendRow(std::span<const Variant>(values));
    owned.clear();
    pages.ReadUpTo(text->data() + splitter.Position());
    progress.Row(2, splitter.Position());
  }
  return rows;
}

// ---------------------------------------------------------------- columns from their writer

struct WrittenColumns::State {
  State(const TableLayout& l, std::string_view name) : layout(l), fileName(name), reader(layout.format) {}
  TableLayout layout;
  std::string fileName;
  ValueReader reader;  // over layout.format
  ParsedTable table;
  std::vector<ColumnBuilder> columns;
  Context Cx() { return Context{fileName, reader, table.owned}; }
};

WrittenColumns::WrittenColumns(const TableLayout& layout, std::string_view fileName)
    : state_(std::make_unique<State>(layout, fileName)) {
  for (const DeclaredColumn& c : layout.columns) state_->columns.emplace_back(c.name, c.type, c.width, false);
  SettleNames(state_->columns, fileName);
}

WrittenColumns::~WrittenColumns() = default;

size_t WrittenColumns::Count() const noexcept { return state_->columns.size(); }

bool WrittenColumns::HoldsText(size_t column) const {
  return StorageKindOf(state_->layout.columns.at(column).type) == StorageKind::Text;
}

void WrittenColumns::AddField(size_t column, std::string_view field, int line) {
  const std::optional<char> quote = state_->layout.format.textDelimiter;
  const bool quoted = quote && field.starts_with(*quote);
  if (!quoted && state_->columns[column].AddPlainText(field)) return;
  const Context cx = state_->Cx();
  if (!quoted) {
    const FieldText text{field, false};
    state_->columns.at(column).Add(&text, line, cx);
    return;
  }
  // Read as the splitter reads it within its row.
  RowSplitter splitter(field, state_->layout.format.delimiter, quote, state_->table.owned);
  std::vector<FieldText> fields;
  if (!splitter.Next(fields) || splitter.Error() || fields.size() != 1 || splitter.Position() != field.size())
    RaiseDriverError(hr::kFileError, "Line " + std::to_string(line) + " of '" + state_->fileName +
                                         "': a written value is not one field.");
  state_->columns.at(column).Add(&fields[0], line, cx);
}

bool WrittenColumns::AddWhole(size_t column, int64_t n) { return state_->columns.at(column).AddWhole(n); }
bool WrittenColumns::AddBoolean(size_t column, bool b) { return state_->columns.at(column).AddBoolean(b); }
bool WrittenColumns::AddCurrency(size_t column, int64_t tenThousandths) {
  return state_->columns.at(column).AddCurrency(tenThousandths);
}
bool WrittenColumns::AddSingle(size_t column, float f) { return state_->columns.at(column).AddSingle(f); }
bool WrittenColumns::AddDouble(size_t column, double d) { return state_->columns.at(column).AddDouble(d); }
bool WrittenColumns::AddDate(size_t column, double serial) { return state_->columns.at(column).AddDate(serial); }

void WrittenColumns::Reserve(size_t rows) {
  for (ColumnBuilder& c : state_->columns) c.Reserve(rows);
}

void WrittenColumns::EndRow() { ++state_->table.rowCount; }

ParsedTable WrittenColumns::Finish() {
  const Context cx = state_->Cx();
  ParsedTable& table = state_->table;
  table.columns.reserve(state_->columns.size());
  for (ColumnBuilder& c : state_->columns) table.columns.push_back(c.Finish(cx));
  state_->columns.clear();
  return std::move(table);
}

ParsedTable ReadTextTable(const std::string& path, std::string_view fileName, const TableLayout& layout) {
  RefuseFixedLength(fileName, layout);
  return ParseTextFile(std::make_unique<const std::string>(fs::ReadFile(path)), fileName, layout);
}

}  // namespace vendrel::driver::text

namespace vendrel::driver {

void ObserveTextReads(std::function<void(const TextReadProgress&)> observer) {
  text::textReadObserver = std::move(observer);
}

void ObserveTypeGuesses(std::function<void(const GuessedColumn&)> observer) {
  text::typeGuessObserver = std::move(observer);
}

}  // namespace vendrel::driver

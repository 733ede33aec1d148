#include "data_file_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <set>

#include "component_error.h"
#include "schema_file_writer.h"
#include "vendrel/dataaccess/collection.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/engine/vendrel.h"
#include "text_edit.h"
#include "workspace.h"

namespace vendrel::engine {

namespace {

constexpr size_t kWriteChunk = 64 * 1024;

// A value the driver would not read back as it is unquoted: one that would
// end the field or the row, or begins like a quoted value; quotes anywhere
// are quoted too, so that no reader takes one for the start of a value.
bool NeedsQuotes(std::string_view text) {
  // Each of them is below '#': eight bytes at a time while none is, which
  // is the usual case, the last eight overlapping the ones before; then
  // byte by byte from the first eight that hold one.
  constexpr uint64_t kOnes = 0x0101010101010101, kHighBits = 0x8080808080808080;
  size_t from = 0;
  if (text.size() >= 8) {
    for (size_t i = 0;; i += 8) {
      const size_t at = std::min(i, text.size() - 8);
      uint64_t word;
      std::memcpy(&word, text.data() + at, 8);
      if (((word - kOnes * '#') & ~word & kHighBits) != 0) {
        from = at;
        break;
      }
      if (at == text.size() - 8) return false;
    }
  }
  for (size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\t' || c == '\r' || c == '\n' || c == '"') return true;
  }
  return false;
}

// A header name as the driver splits the line: quoted when it would end the
// name early, or begins like a quoted value. Line breaks are left out, as
// schema.ini leaves them out of its column names.
std::string HeaderCell(std::string name) {
  std::erase_if(name, [](char c) { return c == '\r' || c == '\n'; });
  const bool plain = name.find('\t') == std::string::npos && !name.starts_with('"');
  return plain ? name : QuotedCell(name);
}

// Text as the driver reads it back: the empty text as "" (an empty field is
// Null), a text that needs it between quotes.
void AppendText(std::string& line, std::string_view text) {
  if (text.empty())
    line += "\"\"";
  else if (NeedsQuotes(text))
    line += QuotedCell(text);
  else
    line += text;
}

// Bytes as "0x" and two hexadecimal digits a byte, which the driver reads
// back as bytes in a binary column; no bytes as "0x".
void AppendHexBytes(std::string& line, std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  line += "0x";
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    line += kDigits[b >> 4];
    line += kDigits[b & 15];
  }
}

void AppendDate(std::string& line, DateValue d) {
  // A field refuses such dates; one that reaches a data file in another way
  // has no text.
  if (!IsValidDate(d)) RaisePlatform(err::kOverflow, source::kRuntime);
  AppendExactDate(line, d);
}

}  // namespace

std::string UnqualifiedName(std::string_view fieldName) {
  const size_t dot = fieldName.find('.');
  if (dot == std::string_view::npos) return std::string(fieldName);
  std::string_view rest = fieldName.substr(dot + 1);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
  return std::string(rest);
}

std::vector<std::string> ColumnNames(FieldCollection& fields) {
  const size_t count = static_cast<size_t>(fields.Count());
  std::vector<std::string> names(count);
  std::set<std::string> written;  // every field's name as the caller wrote it, folded
  for (size_t i = 0; i < count; ++i) {
    std::string name = fields[i].Name();
    std::erase_if(name, [](char c) { return c == '\r' || c == '\n'; });
    written.insert(FoldCase(name));
    names[i] = std::move(name);
  }
  std::set<std::string> taken;
  // Free: not taken by an earlier column, and not another field's own name.
  auto free = [&](const std::string& name, const std::string& own) {
    const std::string folded = FoldCase(name);
    return !name.empty() && !taken.contains(folded) && (name == own || !written.contains(folded));
  };
  for (size_t i = 0; i < count; ++i) {
    const std::string& own = names[i];
    std::string chosen;
    if (own.find('.') == std::string::npos) {
      if (free(own, own)) chosen = own;
    } else if (const std::string unqualified = UnqualifiedName(own); free(unqualified, own)) {
      chosen = unqualified;
    } else if (free(own, own)) {
      chosen = own;
    }
    // Nothing of its own is left: the name the driver gives a column without one.
    if (chosen.empty()) {
      chosen = "F" + std::to_string(i + 1);
      while (!free(chosen, {})) chosen += '_';
    }
    taken.insert(FoldCase(chosen));
    names[i] = std::move(chosen);
  }
  return names;
}

std::string QuotedCell(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string CellText(const Variant& value, int fieldType, const DataFileStyle& style) {
  std::string out;
  if (value.IsNull() || value.IsEmpty()) return out;
  if (IsDateType(fieldType)) {
    AppendDate(out, ToDate(value));
    return out;
  }
  if (IsBinaryType(fieldType) && (value.Type() == VarType::Bytes || value.IsString())) {
    const std::string_view bytes =
        value.IsString() ? std::string_view(value.AsString())
                         : std::string_view(reinterpret_cast<const char*>(value.AsBytes().data()), value.AsBytes().size());
    AppendHexBytes(out, bytes);
    return out;
  }
  if (value.Type() == VarType::Double || value.Type() == VarType::Single) {
    const double d = value.Type() == VarType::Double ? value.AsDouble() : value.AsSingle();
    return d == 0 && std::signbit(d) ? "-0" : ToRoundTripText(value);
  }
  std::string text = ToRoundTripText(value);
  // The caller's replacement for double quotes, when it gave one.
  if (IsTextType(fieldType) && !style.optimizedResult && !style.altQuoteMark.empty())
    ReplaceAll(text, "\"", style.altQuoteMark);
  AppendText(out, text);
  return out;
}

namespace {

// The bytes of a piece of the file, kept in a string at its full length so
// that a field costs no growth of the string: the bytes written are
// [0, size()), the rest is room for the next ones.
class PieceBuffer {
 public:
  explicit PieceBuffer(std::string& bytes) : bytes_(bytes), used_(bytes.size()) { Grow(kWriteChunk + 4096); }
  // Also when a field raises: the string is left with the bytes written.
  ~PieceBuffer() {
    if (open_) bytes_.resize(used_);
  }
  PieceBuffer(const PieceBuffer&) = delete;
  PieceBuffer& operator=(const PieceBuffer&) = delete;

  size_t size() const { return used_; }
  // Room for `n` bytes at the end; Wrote tells where they end.
  char* Room(size_t n) {
    if (bytes_.size() - used_ < n) Grow(n);
    return bytes_.data() + used_;
  }
  void Wrote(const char* end) { used_ = static_cast<size_t>(end - bytes_.data()); }
  void Put(char c) {
    *Room(1) = c;
    ++used_;
  }
  void Put(std::string_view text) {
    std::memcpy(Room(text.size()), text.data(), text.size());
    used_ += text.size();
  }
  // The string holds exactly the bytes written, until the next Reopen.
  void Close() {
    bytes_.resize(used_);
    open_ = false;
  }
  // After the string has been emptied or replaced.
  void Reopen() {
    used_ = bytes_.size();
    open_ = true;
    Grow(kWriteChunk + 4096);
  }

 private:
  void Grow(size_t n) {
    if (bytes_.size() - used_ >= n) return;
    bytes_.resize(std::max(used_ + n, std::max(bytes_.capacity(), bytes_.size() * 2)));
  }

  std::string& bytes_;
  size_t used_;
  bool open_ = true;
};

// What a column's field type makes of the values it holds.
struct ColumnForm {
  int fieldType;
  bool date;
  bool binary;
};

// Tells the table handed to the driver what the cell CellText wrote from
// `start` to `end` holds: the typed value where its text is that value's
// own, else only the text.
void ReportCell(driver::WrittenTable& table, size_t start, size_t end, const Variant& value, const ColumnForm& form) {
  if (form.date) {
    if (value.Type() == VarType::Date) return table.Date(start, end, value.AsDate().serial);
    return table.Field(start, end);
  }
  if (form.binary) return table.Field(start, end);
  switch (value.Type()) {
    case VarType::Boolean: return table.Boolean(start, end, value.AsBoolean());
    case VarType::Single: return table.Single(start, end, value.AsSingle());
    case VarType::Double: return table.Real(start, end, value.AsDouble());
    case VarType::Currency: return table.Currency(start, end, value.AsCurrency().scaled);
    default: return table.Field(start, end);
  }
}

// CellText of the value at row and column, appended to the piece: read
// where the rows hold it, and for the values that need no cleaning or
// quoting without a text of its own. The same bytes. `table`, when there is
// one, hears what each cell holds.
void PutCell(PieceBuffer& piece, const RowStore& rows, size_t row, size_t column, const ColumnForm& form,
             const DataFileStyle& style, driver::WrittenTable* table) {
  const size_t start = piece.size();
  const RowStore::View v = rows.ViewAt(row, column);
  if (!v.variant) {
    switch (v.type) {
      case VarType::Null:
        if (table) table->Field(start, start);
        return;
      case VarType::Date:
        if (form.date) {
          // A field refuses such dates; one that reaches a data file in
          // another way has no text.
          if (!IsValidDate(DateValue{v.real})) RaisePlatform(err::kOverflow, source::kRuntime);
          piece.Wrote(PutExactDate(piece.Room(kMostValueChars), DateValue{v.real}));
          if (table) table->Date(start, piece.size(), v.real);
          return;
        }
        break;
      case VarType::Integer:
      case VarType::Long:
      case VarType::BigInt:
      case VarType::Byte:
        if (!form.date) {
          char* at = piece.Room(24);
          piece.Wrote(std::to_chars(at, at + 24, v.whole).ptr);
          if (table) table->Whole(start, piece.size(), v.whole);
          return;
        }
        break;
      case VarType::Currency:
        if (!form.date) {
          piece.Wrote(PutCurrency(piece.Room(kMostValueChars), Currency{v.whole}));
          if (table) table->Currency(start, piece.size(), v.whole);
          return;
        }
        break;
      case VarType::Double:
        if (!form.date) {
          // -0 keeps its sign.
          if (v.real == 0 && std::signbit(v.real))
            piece.Put("-0");
          else
            piece.Wrote(PutDoubleRoundTrip(piece.Room(kMostValueChars), v.real));
          if (table) table->Real(start, piece.size(), v.real);
          return;
        }
        break;
      case VarType::String:
        if (!form.date && !form.binary && !v.bytes.empty() && !NeedsQuotes(v.bytes)) {
          piece.Put(v.bytes);
          if (table) table->Field(start, piece.size());
          return;
        }
        break;
      default: break;
    }
  }
  const Variant value = rows.At(row, column);
  piece.Put(CellText(value, form.fieldType, style));
  if (table) ReportCell(*table, start, piece.size(), value, form);
}

}  // namespace

void WriteDataFile(Recordset& recordset, fs::OutputFile& file, const DataFileStyle& style,
                   driver::WrittenTable* handOff, const CancelRequest* cancel) {
  // A recordset that cannot count its rows reports -1; one without rows has
  // no first row to move to.
  const bool hasRows = recordset.RecordCount() != 0 && !(recordset.Bof() && recordset.Eof());
  if (hasRows) recordset.MoveFirst();

  FieldCollection& fields = recordset.Fields();
  const size_t fieldCount = static_cast<size_t>(fields.Count());
  std::vector<ColumnForm> forms(fieldCount);
  std::string ownBuffer;
  // With a table to hand over, the bytes go through it: its texts are views of them.
  std::string& buffer = handOff ? handOff->Pending() : ownBuffer;
  PieceBuffer piece(buffer);
  auto flush = [&](bool more) {
    if (cancel && cancel->Requested()) RaiseCancelled();
    piece.Close();
    file.Write(buffer);
    if (handOff)
      handOff->Flush();
    else
      buffer.clear();
    if (more) piece.Reopen();
  };
  const std::vector<std::string> names = style.optimizedResult ? std::vector<std::string>() : ColumnNames(fields);
  for (size_t i = 0; i < fieldCount; ++i) {
    if (i > 0) piece.Put('\t');
    piece.Put(HeaderCell(style.optimizedResult ? fields[i].Name() : names[i]));
    const int type = fields[i].Type();
    forms[i] = ColumnForm{type, IsDateType(type), IsBinaryType(type)};
  }
  piece.Put("\r\n");
  const RowStore& rows = *recordset.Rows();
  if (handOff && hasRows && recordset.RecordCount() > 0) handOff->Reserve(static_cast<size_t>(recordset.RecordCount()));
  while (!recordset.Eof()) {
    const size_t row = recordset.CurrentRow();
    for (size_t i = 0; i < fieldCount; ++i) {
      if (i > 0) piece.Put('\t');
      PutCell(piece, rows, row, i, forms[i], style, handOff);
    }
    piece.Put("\r\n");
    if (handOff) handOff->EndRow();
    if (piece.size() >= kWriteChunk) flush(true);
    recordset.MoveNext();
  }
  flush(false);
  if (hasRows) recordset.MoveFirst();
}

}  // namespace vendrel::engine

namespace vendrel {

namespace {

std::string EntryText(const Ref<Collection>& list, long position) {
  return ToText(list->Item(position));
}

}  // namespace

void Vendrel::WriteDataFiles(const Ref<Collection>& entries, const std::vector<std::string>& fileNames) {
  std::string entryName;
  std::string fileName;
  std::string optimizedName;  // as the caller wrote it; its file name is its case folding
  fs::OutputFile file;
  Ref<Recordset> recordset;
  try {
    queryConnection_ = OpenConnection();
    if (!entries) RaisePlatform(err::kObjectNotSet, source::kRuntime);
    if (!sourceNames_) sourceNames_ = Collection::Create();
    const engine::DataFileStyle style{false, altQuoteMark_};
    for (size_t i = 0; i < fileNames.size(); ++i) {
      const long position = static_cast<long>(i) + 1;
      fileName = fileNames[i];
      entryName = EntryText(sourceNames_, position);
      const std::string path = fs::JoinPath(queryFolder_, fileName + ".txt");
      const Variant& entry = entries->Item(position);
      if (entry.IsObject()) {
        recordset = RefCast<Recordset>(entry.AsObject());
        if (!recordset) RaisePlatform(entry.AsObject() ? err::kTypeMismatch : err::kObjectNotSet, source::kRuntime);
        // A new file of the query's own: never one found there, nor through a link.
        file = fs::OutputFile(path, fs::OutputFile::Mode::CreateNew, engine::kFileMode);
        // The driver gets the typed columns with the file, so that it need not parse what it reads.
        driver::WrittenTable handOff(fileName + ".txt", engine::SchemaSection(fileName, *recordset));
        engine::WriteDataFile(*recordset, file, style, &handOff, cancel_.get());
        file.Close();
        handOff.Offer();
        recordset.reset();
      } else {
        optimizedName = ToText(entry);
        // Only a file inside the object's own folder can be an optimized result.
        if (!engine::IsKeptResultName(fileName)) RaisePlatform(err::kFileNotFound, source::kFileSystem);
        // The driver only reads the data file and it is deleted after the
        // query; schema.ini is appended to, so it is a copy of its own.
        fs::ShareOrCopyFile(fs::JoinPath(optimizedFolder_, fileName + ".txt"), path);
        fs::CopyFile(fs::JoinPath(optimizedFolder_, "schema.ini"), fs::JoinPath(queryFolder_, "schema.ini"), true);
      }
    }
  } catch (...) {
    const long number = engine::ErrorNumberOf(std::current_exception());
    file = fs::OutputFile();
    recordset.reset();
    ResetWorkspace();
    if (engine::IsCancellation(std::current_exception())) throw;
    switch (number) {
      case err::kObjectClosed:
      case err::kObjectNotSet:
        engine::RaiseComponent(errors::kRecordsetNotSet, "Recordset (" + entryName +
                                                             ") has not been set or no fields exist in the "
                                                             "Recordset. Unable to continue.");
      case err::kFileNotFound:
        engine::RaiseComponent(errors::kOptimizedRecordsetMissing,
                               "Optimized Recordset '" + (optimizedName.empty() ? fileName : optimizedName) +
                                   "' does not exist. Unable to continue.");
      case err::kMultipleStep:
        engine::RaiseComponent(errors::kNullInNonNullableField,
                               "Recordset (" + entryName +
                                   ") references a Non-Nullable Field that contains Null Values. Unable to continue.");
      default: engine::RaiseComponent(errors::kDataFileFailed, std::string(engine::kUnknownCauseText));
    }
  }
}

}  // namespace vendrel

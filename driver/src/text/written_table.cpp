#include "vendrel/driver/written_table.h"

#include <bit>
#include <cmath>
#include <deque>
#include <new>
#include <optional>
#include <vector>

#include "text/delimited_reader.h"
#include "text/indexed_table.h"
#include "text/schema_ini.h"
#include "text/table_cache.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/driver/shortcuts.h"

namespace vendrel::driver {

namespace {

// The writer flushes a piece once it holds 64 KB; a row or so beyond that fits.
constexpr size_t kPieceReserve = 68 * 1024;

// A field of a column that keeps texts: added once its piece of the file is
// complete, so that the text is a view into the bytes the table keeps.
struct TextField {
  uint32_t column;
  uint32_t length;
  size_t start;  // in Pending()
};

}  // namespace

struct WrittenTable::State {
  std::string fileName;
  text::TableLayout layout;
  std::optional<text::WrittenColumns> columns;  // nothing once the table goes unused
  std::vector<uint8_t> holdsText;               // of each column
  std::string unused;                           // why
  std::deque<std::string> pieces;               // the bytes flushed
  std::string pending;
  std::vector<TextField> texts;  // of `pending`
  size_t field = 0;              // of the current row
  int line = 2;
  std::optional<text::ParsedTable> finished;

  void Drop(std::string why) {
    if (!columns && !finished) return;
    unused = std::move(why);
    columns.reset();
    finished.reset();
    texts.clear();
  }

  std::string_view FieldText(size_t start, size_t end) const {
    return std::string_view(pending).substr(start, end - start);
  }

  // The table gathered, once every row has ended; nullptr when it goes unused.
  text::ParsedTable* Finished() {
    if (finished) return &*finished;
    if (!columns) return nullptr;
    if (field != 0) {
      Drop("the last row is not ended");
      return nullptr;
    }
    try {
      finished.emplace(columns->Finish());
    } catch (const Error& e) {
      Drop(e.Description());
      return nullptr;
    }
    columns.reset();
    return &*finished;
  }

  template <class Typed>
  void Add(size_t start, size_t end, Typed typed) {
    if (!columns) return;
    const size_t column = field++;
    if (column >= holdsText.size())
      return Drop("line " + std::to_string(line) + " holds more fields than the table has columns");
    if (holdsText[column]) {
      const size_t length = end - start;
      if (length > UINT32_MAX) return Drop("a value is too long");
      texts.push_back(TextField{static_cast<uint32_t>(column), static_cast<uint32_t>(length), start});
      return;
    }
    try {
      if (!typed(*columns, column)) columns->AddField(column, FieldText(start, end), line);
    } catch (const Error& e) {
      Drop(e.Description());
    }
  }
};

WrittenTable::WrittenTable(std::string_view fileName, std::string_view schemaSection)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.fileName = fileName;
  s.pending.reserve(kPieceReserve);
  try {
    const text::SchemaFile schema = text::SchemaFile::Parse(schemaSection);
    const text::SchemaSection* section = schema.Find(fileName);
    if (!section) {
      s.unused = "the section does not describe the file";
      return;
    }
    // Over the defaults of the engine's connection (HDR=Yes;FMT=Delimited).
    s.layout = text::LayoutFromSection(*section, text::TextFormat{}, "schema.ini");
    if (s.layout.columns.empty() || s.layout.format.fixedLength ||
        s.layout.format.characterSet.kind != text::CharacterSet::Kind::Utf8) {
      s.unused = "the layout declares no columns, or is not delimited UTF-8";
      return;
    }
    s.columns.emplace(s.layout, s.fileName);
    for (size_t c = 0; c < s.columns->Count(); ++c) s.holdsText.push_back(s.columns->HoldsText(c));
  } catch (const Error& e) {
    s.Drop(e.Description());
    s.unused = e.Description();
  }
}

WrittenTable::~WrittenTable() = default;
WrittenTable::WrittenTable(WrittenTable&&) noexcept = default;
WrittenTable& WrittenTable::operator=(WrittenTable&&) noexcept = default;

std::string& WrittenTable::Pending() { return state_->pending; }

void WrittenTable::Field(size_t start, size_t end) {
  state_->Add(start, end, [](text::WrittenColumns&, size_t) { return false; });
}
void WrittenTable::Whole(size_t start, size_t end, int64_t n) {
  state_->Add(start, end, [n](text::WrittenColumns& c, size_t i) { return c.AddWhole(i, n); });
}
void WrittenTable::Boolean(size_t start, size_t end, bool b) {
  state_->Add(start, end, [b](text::WrittenColumns& c, size_t i) { return c.AddBoolean(i, b); });
}
void WrittenTable::Currency(size_t start, size_t end, int64_t tenThousandths) {
  state_->Add(start, end, [tenThousandths](text::WrittenColumns& c, size_t i) { return c.AddCurrency(i, tenThousandths); });
}
void WrittenTable::Single(size_t start, size_t end, float f) {
  state_->Add(start, end, [f](text::WrittenColumns& c, size_t i) { return c.AddSingle(i, f); });
}
void WrittenTable::Real(size_t start, size_t end, double d) {
  state_->Add(start, end, [d](text::WrittenColumns& c, size_t i) { return c.AddDouble(i, d); });
}
void WrittenTable::Date(size_t start, size_t end, double serial) {
  state_->Add(start, end, [serial](text::WrittenColumns& c, size_t i) { return c.AddDate(i, serial); });
}

void WrittenTable::Reserve(size_t rows) {
  State& s = *state_;
  if (!s.columns) return;
  try {
    s.columns->Reserve(rows);
  } catch (const std::bad_alloc&) {
    // Only room: the columns grow as the rows come instead.
  }
}

void WrittenTable::EndRow() {
  State& s = *state_;
  if (s.columns) {
    // A row with fewer fields ends in Nulls when parsed; the writer writes every one.
    if (s.field != s.columns->Count())
      s.Drop("line " + std::to_string(s.line) + " holds fewer fields than the table has columns");
    else
      s.columns->EndRow();
  }
  s.field = 0;
  ++s.line;
}

void WrittenTable::Flush() {
  State& s = *state_;
  if (s.pending.empty()) return;
  const std::string& piece = s.pieces.emplace_back(std::move(s.pending));
  s.pending = std::string();
  s.pending.reserve(kPieceReserve);
  if (!s.columns) {
    s.texts.clear();
    return;
  }
  try {
    for (const TextField& t : s.texts)
      s.columns->AddField(t.column, std::string_view(piece).substr(t.start, t.length), 0);
  } catch (const Error& e) {
    s.Drop(e.Description());
  }
  s.texts.clear();
}

void WrittenTable::Offer() {
  Flush();
  State& s = *state_;
  text::ParsedTable* table = s.Finished();
  if (!table || !CurrentShortcuts().writtenTables) return;
  table->written = std::move(s.pieces);
  auto shared = std::make_shared<const text::IndexedTable>(std::move(*table));
  s.finished.reset();
  s.pieces.clear();
  text::OfferTable(std::move(shared), s.layout);
}

namespace {

std::string Bits(double d) { return std::to_string(std::bit_cast<uint64_t>(d)); }

std::string ColumnDifference(const text::ColumnValues& a, const text::ColumnValues& b, size_t rows) {
  if (a.Kind() != b.Kind()) return "storage kinds differ";
  if (a.size() != rows || b.size() != rows) return "value counts differ";
  for (size_t r = 0; r < rows; ++r) {
    const std::string at = "row " + std::to_string(r + 1) + ": ";
    if (a.IsNull(r) != b.IsNull(r)) return at + "Null in one only";
    if (a.IsNull(r)) continue;
    switch (a.Kind()) {
      case text::StorageKind::Whole:
        if (a.Whole(r) != b.Whole(r))
          return at + std::to_string(a.Whole(r)) + " against " + std::to_string(b.Whole(r));
        break;
      case text::StorageKind::Real: {
        const double x = a.Real(r), y = b.Real(r);
        if (std::bit_cast<uint64_t>(x) != std::bit_cast<uint64_t>(y) && !(std::isnan(x) && std::isnan(y)))
          return at + "real bits " + Bits(x) + " against " + Bits(y);
        break;
      }
      case text::StorageKind::Text:
        if (a.Text(r) != b.Text(r))
          return at + "text '" + std::string(a.Text(r)) + "' against '" + std::string(b.Text(r)) + "'";
        break;
    }
  }
  double aLow, aHigh, bLow, bHigh;
  const bool aRanged = a.Range(aLow, aHigh), bRanged = b.Range(bLow, bHigh);
  if (aRanged != bRanged || (aRanged && (Bits(aLow) != Bits(bLow) || Bits(aHigh) != Bits(bHigh))))
    return "ranges differ";
  return {};
}

}  // namespace

std::string WrittenTable::DifferenceFromParse() {
  Flush();
  State& s = *state_;
  const text::ParsedTable* handed = s.Finished();
  if (!handed) return "unused: " + s.unused;
  std::string bytes;
  for (const std::string& piece : s.pieces) bytes += piece;
  const text::ParsedTable parsed =
      text::ParseTextFile(std::make_unique<const std::string>(std::move(bytes)), s.fileName, s.layout);
  if (parsed.rowCount != handed->rowCount)
    return "rows: " + std::to_string(handed->rowCount) + " handed, " + std::to_string(parsed.rowCount) + " parsed";
  if (parsed.columns.size() != handed->columns.size()) return "column counts differ";
  for (size_t c = 0; c < parsed.columns.size(); ++c) {
    const ColumnDef& a = handed->columns[c].def;
    const ColumnDef& b = parsed.columns[c].def;
    const std::string which = "column " + std::to_string(c + 1) + " (" + b.name + "): ";
    if (a.name != b.name || a.type != b.type || a.width != b.width)
      return which + "handed " + a.name + " " + std::string(JetTypeName(a.type)) + " width " +
             std::to_string(a.width) + ", parsed " + b.name + " " + std::string(JetTypeName(b.type)) + " width " +
             std::to_string(b.width);
    if (std::string d = ColumnDifference(handed->columns[c].values, parsed.columns[c].values, parsed.rowCount);
        !d.empty())
      return which + d;
  }
  return {};
}

}  // namespace vendrel::driver

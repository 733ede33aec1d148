#include "result_writer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "cell_text.h"
#include "vendrel/dataaccess/enums.h"

namespace vendrel::vdlquery {

namespace {

bool IsRightAligned(int type) {
  constexpr int kNumericTypes[] = {adSmallInt,         adInteger,    adSingle,      adDouble,          adCurrency,
                                   adDecimal,          adTinyInt,    adUnsignedTinyInt, adUnsignedSmallInt,
                                   adUnsignedInt,      adBigInt,     adUnsignedBigInt,  adNumeric};
  return std::find(std::begin(kNumericTypes), std::end(kNumericTypes), type) != std::end(kNumericTypes);
}

// Collects output and hands it on in large pieces.
class LineBuffer {
 public:
  explicit LineBuffer(std::ostream& out) : out_(out) {}
  ~LineBuffer() { Flush(); }
  std::string& Text() { return text_; }
  // False once the output fails (a reader that went away): the rest is not written.
  bool EndLine() {
    text_ += '\n';
    if (text_.size() >= kChunk) Flush();
    return out_.good();
  }
  void Flush() {
    out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
    text_.clear();
  }

 private:
  static constexpr size_t kChunk = 1 << 16;
  std::ostream& out_;
  std::string text_;
};

void WriteTable(std::ostream& out, const RowStore& rows) {
  const size_t columns = rows.FieldCount();
  std::vector<size_t> widths(columns);
  std::vector<bool> right(columns);
  for (size_t c = 0; c < columns; ++c) {
    widths[c] = DisplayWidth(DisplayText(Variant(rows.Fields()[c].name)));
    right[c] = IsRightAligned(rows.Fields()[c].type);
  }
  // Cells are rendered twice (measured, then written) rather than kept: a
  // large result is not held a second time as text.
  for (size_t r = 0; r < rows.RowCount(); ++r)
    for (size_t c = 0; c < columns; ++c) widths[c] = std::max(widths[c], DisplayWidth(DisplayText(rows.At(r, c))));

  LineBuffer buffer(out);
  std::string& line = buffer.Text();
  auto writeLine = [&](auto cellText) {
    const size_t start = line.size();
    for (size_t c = 0; c < columns; ++c) {
      if (c > 0) line += "  ";
      const std::string text = cellText(c);
      const std::string fill(widths[c] - DisplayWidth(text), ' ');
      line += right[c] ? fill + text : text + fill;
    }
    const size_t end = line.find_last_not_of(' ');
    line.resize(end == std::string::npos || end < start ? start : end + 1);
    return buffer.EndLine();
  };
  writeLine([&](size_t c) { return DisplayText(Variant(rows.Fields()[c].name)); });
  writeLine([&](size_t c) { return std::string(widths[c], '-'); });
  for (size_t r = 0; r < rows.RowCount(); ++r)
    if (!writeLine([&](size_t c) { return DisplayText(rows.At(r, c)); })) return;
}

void WriteDelimited(std::ostream& out, const RowStore& rows, OutputFormat format) {
  const bool csv = format == OutputFormat::Csv;
  const char delimiter = csv ? ',' : '\t';
  LineBuffer buffer(out);
  std::string& line = buffer.Text();
  auto field = [&](std::string_view text, bool isNull) { line += csv ? CsvField(text, isNull) : TsvField(text); };
  for (size_t c = 0; c < rows.FieldCount(); ++c) {
    if (c > 0) line += delimiter;
    field(rows.Fields()[c].name, false);
  }
  buffer.EndLine();
  for (size_t r = 0; r < rows.RowCount(); ++r) {
    for (size_t c = 0; c < rows.FieldCount(); ++c) {
      if (c > 0) line += delimiter;
      const Variant& value = rows.At(r, c);
      field(DataText(value), value.IsNull());
    }
    if (!buffer.EndLine()) return;
  }
}

void WriteJson(std::ostream& out, const RowStore& rows) {
  LineBuffer buffer(out);
  std::string& text = buffer.Text();
  text += "{\"columns\":[";
  for (size_t c = 0; c < rows.FieldCount(); ++c) {
    if (c > 0) text += ',';
    text += "{\"name\":";
    AppendJsonString(text, rows.Fields()[c].name);
    text += ",\"type\":" + std::to_string(rows.Fields()[c].type) + "}";
  }
  text += "],\"rows\":[";
  for (size_t r = 0; r < rows.RowCount(); ++r) {
    text += r > 0 ? ",[" : "[";
    for (size_t c = 0; c < rows.FieldCount(); ++c) {
      if (c > 0) text += ',';
      AppendJsonValue(text, rows.At(r, c));
    }
    text += ']';
    if (text.size() >= (1 << 16)) {
      buffer.Flush();
      if (!out) return;
    }
  }
  text += "]}";
  buffer.EndLine();
}

}  // namespace

void WriteResult(std::ostream& out, const RowStore& rows, OutputFormat format) {
  switch (format) {
    case OutputFormat::Table: WriteTable(out, rows); break;
    case OutputFormat::Tsv:
    case OutputFormat::Csv: WriteDelimited(out, rows, format); break;
    case OutputFormat::Json: WriteJson(out, rows); break;
  }
  out.flush();
}

}  // namespace vendrel::vdlquery

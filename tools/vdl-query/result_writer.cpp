#include "result_writer.h"

#include <algorithm>
#include <optional>
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

// The look of an aligned table: what goes before, between and after the
// cells of a line, and the rules above, below and under the header.
struct TableStyle {
  const char* lineStart;
  const char* between;
  const char* lineEnd;
  bool trimEnd;  // blanks at the end of a line are dropped
  bool escapePipes;
  // A rule: its start, the character repeated over each column (its width
  // plus `pad` each side), the joint between columns, its end.
  struct Rule {
    const char* start;
    const char* fill;
    const char* joint;
    const char* end;
  };
  int pad;
  std::optional<Rule> top, header, bottom;
  bool markdownAlignment;  // the header rule ends right-aligned columns in ":"
};

const TableStyle kPlainTable{"", "  ", "", true, false, 0, std::nullopt, TableStyle::Rule{"", "-", "  ", ""},
                             std::nullopt, false};
const TableStyle kBoxTable{"\u2502 ", " \u2502 ", " \u2502", false, false, 1,
                           TableStyle::Rule{"\u250C", "\u2500", "\u252C", "\u2510"},
                           TableStyle::Rule{"\u251C", "\u2500", "\u253C", "\u2524"},
                           TableStyle::Rule{"\u2514", "\u2500", "\u2534", "\u2518"}, false};
const TableStyle kMarkdownTable{"| ", " | ", " |", false, true, 1, std::nullopt, TableStyle::Rule{"|", "-", "|", "|"},
                                std::nullopt, true};

std::string EscapedPipes(std::string text) {
  for (size_t at = text.find('|'); at != std::string::npos; at = text.find('|', at + 2)) text.insert(at, "\\");
  return text;
}

void WriteTable(std::ostream& out, const RowStore& rows, const TableStyle& style) {
  const size_t columns = rows.FieldCount();
  auto cell = [&](const Variant& value) {
    std::string text = DisplayText(value);
    return style.escapePipes ? EscapedPipes(std::move(text)) : text;
  };
  std::vector<size_t> widths(columns);
  std::vector<bool> right(columns);
  for (size_t c = 0; c < columns; ++c) {
    widths[c] = std::max<size_t>(DisplayWidth(cell(Variant(rows.Fields()[c].name))), style.markdownAlignment ? 3 : 0);
    right[c] = IsRightAligned(rows.Fields()[c].type);
  }
  // Cells are rendered twice (measured, then written) rather than kept: a
  // large result is not held a second time as text.
  for (size_t r = 0; r < rows.RowCount(); ++r)
    for (size_t c = 0; c < columns; ++c) widths[c] = std::max(widths[c], DisplayWidth(cell(rows.At(r, c))));

  LineBuffer buffer(out);
  std::string& line = buffer.Text();
  auto writeLine = [&](auto cellText) {
    const size_t start = line.size();
    line += style.lineStart;
    for (size_t c = 0; c < columns; ++c) {
      if (c > 0) line += style.between;
      const std::string text = cellText(c);
      const std::string fill(widths[c] - DisplayWidth(text), ' ');
      line += right[c] ? fill + text : text + fill;
    }
    line += style.lineEnd;
    if (style.trimEnd) {
      const size_t end = line.find_last_not_of(' ');
      line.resize(end == std::string::npos || end < start ? start : end + 1);
    }
    return buffer.EndLine();
  };
  auto writeRule = [&](const TableStyle::Rule& rule, bool alignment) {
    line += rule.start;
    for (size_t c = 0; c < columns; ++c) {
      if (c > 0) line += rule.joint;
      const size_t length = widths[c] + 2 * static_cast<size_t>(style.pad);
      for (size_t i = 0; i < length; ++i) line += (alignment && right[c] && i + 1 == length) ? ":" : rule.fill;
    }
    line += rule.end;
    buffer.EndLine();
  };
  if (style.top) writeRule(*style.top, false);
  writeLine([&](size_t c) { return cell(Variant(rows.Fields()[c].name)); });
  if (style.header) writeRule(*style.header, style.markdownAlignment);
  for (size_t r = 0; r < rows.RowCount(); ++r)
    if (!writeLine([&](size_t c) { return cell(rows.At(r, c)); })) return;
  if (style.bottom) writeRule(*style.bottom, false);
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
    text += ",\"type\":" + std::to_string(rows.Fields()[c].type) + ",\"typeName\":";
    AppendJsonString(text, TypeName(rows.Fields()[c].type));
    text += '}';
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

// One object per line, keyed by the column names: what jq and log tools read.
void WriteNdjson(std::ostream& out, const RowStore& rows) {
  LineBuffer buffer(out);
  std::string& text = buffer.Text();
  std::vector<std::string> keys(rows.FieldCount());
  for (size_t c = 0; c < rows.FieldCount(); ++c) AppendJsonString(keys[c], rows.Fields()[c].name);
  for (size_t r = 0; r < rows.RowCount(); ++r) {
    text += '{';
    for (size_t c = 0; c < rows.FieldCount(); ++c) {
      if (c > 0) text += ',';
      text += keys[c];
      text += ':';
      AppendJsonValue(text, rows.At(r, c));
    }
    text += '}';
    if (!buffer.EndLine()) return;
  }
}

}  // namespace

std::string TypeName(int type) {
  switch (type) {
    case adBoolean: return "Boolean";
    case adTinyInt:
    case adUnsignedTinyInt: return "Byte";
    case adSmallInt: return "Short";
    case adInteger: return "Long";
    case adBigInt: return "BigInt";
    case adSingle: return "Single";
    case adDouble: return "Double";
    case adCurrency: return "Currency";
    case adDecimal:
    case adNumeric: return "Decimal";
    case adDate:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp: return "DateTime";
    case adLongVarChar:
    case adLongVarWChar: return "Memo";
    case adGUID: return "GUID";
    case adLongVarBinary:
    case adVarBinary:
    case adBinary: return "OLE";
    default: return IsTextType(type) ? "Text" : "Variant";
  }
}

void WriteResult(std::ostream& out, const RowStore& rows, OutputFormat format) {
  switch (format) {
    case OutputFormat::Table: WriteTable(out, rows, kPlainTable); break;
    case OutputFormat::Box: WriteTable(out, rows, kBoxTable); break;
    case OutputFormat::Markdown: WriteTable(out, rows, kMarkdownTable); break;
    case OutputFormat::Tsv:
    case OutputFormat::Csv: WriteDelimited(out, rows, format); break;
    case OutputFormat::Json: WriteJson(out, rows); break;
    case OutputFormat::Ndjson: WriteNdjson(out, rows); break;
  }
  out.flush();
}

}  // namespace vendrel::vdlquery

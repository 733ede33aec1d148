#include "data_file_writer.h"

#include <charconv>

#include "component_error.h"
#include "vendrel/dataaccess/collection.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/engine/vendrel.h"
#include "text_edit.h"
#include "workspace.h"

namespace vendrel::engine {

namespace {

constexpr size_t kWriteChunk = 64 * 1024;

bool NeedsQuotes(std::string_view text) { return text.find_first_of("\t\r\n\"") != std::string_view::npos; }

// A header name as the driver splits the line: quoted when it would end the
// name or the line early, or begins like a quoted value.
std::string HeaderCell(std::string name) {
  const bool plain = name.find_first_of("\t\r\n") == std::string::npos && !name.starts_with('"');
  return plain ? name : QuotedCell(name);
}

// CR LF pairs and TABs go, double quotes become the replacement. Removing one
// of them can join a CR and an LF that were apart, so the removals repeat
// until the text holds neither: either would split the row.
std::string CleanedInputText(std::string text, std::string_view altQuoteMark) {
  ReplaceAll(text, "\r\n", "");
  ReplaceAll(text, "\t", "");
  ReplaceAll(text, "\"", altQuoteMark);
  while (text.find("\r\n") != std::string::npos || text.find('\t') != std::string::npos) {
    ReplaceAll(text, "\r\n", "");
    ReplaceAll(text, "\t", "");
  }
  return text;
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
  if (value.IsNull() || value.IsEmpty()) return {};
  if (IsDateType(fieldType)) return FormatShortDateTime(ToDate(value));
  std::string text = ToRoundTripText(value);
  if (IsTextType(fieldType) && !style.optimizedResult) {
    text = CleanedInputText(std::move(text), style.altQuoteMark);
    // Only a replacement that is itself a double quote leaves one here.
    return text.find('"') == std::string::npos ? text : QuotedCell(text);
  }
  return NeedsQuotes(text) ? QuotedCell(text) : text;
}

namespace {

void AppendDigits(std::string& line, int64_t n) {
  char digits[24];
  const auto r = std::to_chars(digits, digits + sizeof digits, n);
  line.append(digits, r.ptr);
}

// CellText of the value at row and column, appended to the line: read where
// the rows hold it, and for the values that need no cleaning or quoting
// without a text of its own. The same bytes.
void AppendCell(std::string& line, const RowStore& rows, size_t row, size_t column, int fieldType,
                const DataFileStyle& style) {
  const RowStore::View v = rows.ViewAt(row, column);
  if (!v.variant) {
    const bool date = IsDateType(fieldType);
    switch (v.type) {
      case VarType::Null: return;
      case VarType::Date:
        if (date) {
          AppendShortDateTime(line, DateValue{v.real});
          return;
        }
        break;
      case VarType::Integer:
      case VarType::Long:
      case VarType::BigInt:
      case VarType::Byte:
        if (!date) {
          AppendDigits(line, v.whole);
          return;
        }
        break;
      case VarType::Currency:
        if (!date) {
          AppendCurrency(line, Currency{v.whole});
          return;
        }
        break;
      case VarType::Double:
        if (!date) {
          AppendDoubleRoundTrip(line, v.real);
          return;
        }
        break;
      case VarType::String:
        if (!date && !NeedsQuotes(v.bytes)) {
          line += v.bytes;
          return;
        }
        break;
      default: break;
    }
  }
  line += CellText(rows.At(row, column), fieldType, style);
}

}  // namespace

void WriteDataFile(Recordset& recordset, fs::OutputFile& file, const DataFileStyle& style) {
  // A recordset that cannot count its rows reports -1; one without rows has
  // no first row to move to.
  const bool hasRows = recordset.RecordCount() != 0 && !(recordset.Bof() && recordset.Eof());
  if (hasRows) recordset.MoveFirst();

  FieldCollection& fields = recordset.Fields();
  const size_t fieldCount = static_cast<size_t>(fields.Count());
  std::vector<int> types(fieldCount);
  std::string buffer;
  buffer.reserve(kWriteChunk + 4096);
  for (size_t i = 0; i < fieldCount; ++i) {
    if (i > 0) buffer += '\t';
    buffer += HeaderCell(style.optimizedResult ? fields[i].Name() : UnqualifiedName(fields[i].Name()));
    types[i] = fields[i].Type();
  }
  buffer += "\r\n";
  const RowStore& rows = *recordset.Rows();
  while (!recordset.Eof()) {
    const size_t row = recordset.CurrentRow();
    for (size_t i = 0; i < fieldCount; ++i) {
      if (i > 0) buffer += '\t';
      AppendCell(buffer, rows, row, i, types[i], style);
    }
    buffer += "\r\n";
    if (buffer.size() >= kWriteChunk) {
      file.Write(buffer);
      buffer.clear();
    }
    recordset.MoveNext();
  }
  file.Write(buffer);
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
        file = fs::OutputFile(path, fs::OutputFile::Mode::Create, engine::kFileMode);
        engine::WriteDataFile(*recordset, file, style);
        file.Close();
        recordset.reset();
      } else {
        // Only a file inside the object's own folder can be an optimized result.
        if (!engine::IsPlainFileName(fileName)) RaisePlatform(err::kFileNotFound, source::kFileSystem);
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
    switch (number) {
      case err::kObjectClosed:
      case err::kObjectNotSet:
        engine::RaiseComponent(errors::kRecordsetNotSet, "Recordset (" + entryName +
                                                             ") has not been set or no fields exist in the "
                                                             "Recordset. Unable to continue.");
      case err::kFileNotFound:
        engine::RaiseComponent(errors::kOptimizedRecordsetMissing,
                               "Optimized Recordset '" + fileName + "' does not exist. Unable to continue.");
      case err::kMultipleStep:
        engine::RaiseComponent(errors::kNullInNonNullableField,
                               "Recordset (" + entryName +
                                   ") references a Non-Nullable Field that contains Null Values. Unable to continue.");
      default: engine::RaiseComponent(errors::kDataFileFailed, std::string(engine::kUnknownCauseText));
    }
  }
}

}  // namespace vendrel

#include "schema_file_writer.h"

#include <algorithm>
#include <optional>

#include "component_error.h"
#include "data_file_writer.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/engine/vendrel.h"
#include "workspace.h"

namespace vendrel::engine {

std::string SchemaTypeText(int fieldType, long definedSize) {
  switch (fieldType) {
    case adSmallInt:
    case adTinyInt: return "Short";
    case adSingle: return "Single";
    case adDouble:
    case adDecimal: return "Double";
    case adCurrency: return "Currency";
    case adDate:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
    case adDBFileTime: return "Date";
    case adBSTR:
    case adVariant:
    case adChar:
    case adWChar:
    case adVarChar:
    case adVarWChar: return definedSize <= 255 ? "Char Width " + std::to_string(definedSize) : "LongChar";
    case adLongVarChar:
    case adLongVarWChar: return "LongChar";
    case adBoolean: return "Bit";
    case adGUID: return "Char Width 16";
    case adBinary:
    case adVarBinary:
    case adLongVarBinary: return "OLE";
    default: return "Integer";
  }
}

std::string SchemaColumnName(std::string_view columnName) {
  std::string name(columnName);
  // A line of schema.ini cannot hold a line break.
  std::erase_if(name, [](char c) { return c == '\r' || c == '\n'; });
  // The text driver reads a name up to a space or TAB, and one that begins
  // with a quote or a bracket as quoted; such names go between double quotes,
  // a double quote in them written twice.
  const bool plain =
      name.find_first_of(" \t") == std::string::npos && !name.starts_with('"') && !name.starts_with('[');
  return plain ? name : QuotedCell(name);
}

std::string SchemaSection(std::string_view fileName, Recordset& recordset) {
  std::string section = "[" + std::string(fileName) + ".txt]\r\n";
  section += "ColNameHeader = True\r\nCharacterSet = Ansi\r\nFormat = TABDelimited\r\n";
  FieldCollection& fields = recordset.Fields();
  const std::vector<std::string> names = ColumnNames(fields);
  for (long i = 0; i < fields.Count(); ++i) {
    const Field& field = fields[static_cast<size_t>(i)];
    section += "Col" + std::to_string(i + 1) + "=" + SchemaColumnName(names[static_cast<size_t>(i)]) + " " +
               SchemaTypeText(field.Type(), field.DefinedSize()) + "\r\n";
  }
  return section;
}

namespace {

std::string_view TrimmedOfBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The data file a line names when it begins a section.
std::optional<std::string_view> SectionName(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  line = TrimmedOfBlanks(line);
  if (!line.starts_with('[')) return std::nullopt;
  const size_t close = line.rfind(']');
  return TrimmedOfBlanks(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

}  // namespace

std::string WithoutSections(std::string_view schemaText, const std::vector<std::string>& dataFileNames) {
  std::string kept;
  bool dropping = false;
  while (!schemaText.empty()) {
    const size_t end = schemaText.find('\n');
    const std::string_view line = schemaText.substr(0, end == std::string_view::npos ? schemaText.size() : end + 1);
    schemaText.remove_prefix(line.size());
    if (const auto name = SectionName(line))
      dropping = std::any_of(dataFileNames.begin(), dataFileNames.end(),
                             [&](const std::string& n) { return EqualsNoCase(n, *name); });
    if (!dropping) kept += line;
  }
  return kept;
}

}  // namespace vendrel::engine

namespace vendrel {

void Vendrel::WriteSchemaFile(const Ref<Collection>& entries, const std::vector<std::string>& fileNames,
                              const std::string& folder) {
  fs::OutputFile file;
  std::string replacement;  // a whole new schema.ini, until it takes the old one's place
  try {
    if (!entries) RaisePlatform(err::kObjectNotSet, source::kRuntime);
    std::string sections;
    std::vector<std::string> described;
    for (size_t i = 0; i < fileNames.size(); ++i) {
      const Variant& entry = entries->Item(static_cast<long>(i) + 1);
      if (!entry.IsObject()) continue;
      Ref<Recordset> recordset = RefCast<Recordset>(entry.AsObject());
      if (!recordset) RaisePlatform(err::kObjectNotSet, source::kRuntime);
      sections += engine::SchemaSection(fileNames[i], *recordset);
      described.push_back(fileNames[i] + ".txt");
    }
    const std::string path = fs::JoinPath(folder, "schema.ini");
    const bool exists = fs::FileExists(path);
    const std::string before = exists ? fs::ReadFile(path) : std::string();
    const std::string others = engine::WithoutSections(before, described);
    if (others.size() == before.size()) {
      // None of the files described here yet: the new sections follow what is there.
      file = fs::OutputFile(path, exists ? fs::OutputFile::Mode::Append : fs::OutputFile::Mode::CreateNew,
                            engine::kFileMode);
      file.Write(sections);
      file.Close();
    } else {
      // A data file described before (a result kept again under its name):
      // its section is replaced, not repeated, in a file written whole beside
      // the old one and put in its place in one step.
      replacement = path + ".new";
      file = fs::OutputFile(replacement, fs::OutputFile::Mode::CreateNew, engine::kFileMode);
      file.Write(others + sections);
      file.Close();
      fs::ReplaceFile(replacement, path);
    }
  } catch (...) {
    // Closed before the reset, so that nothing holds the folder it deletes.
    file = fs::OutputFile();
    if (!replacement.empty()) {
      try {
        if (fs::PathExists(replacement)) fs::DeleteFile(replacement);
      } catch (...) {
        // the error the caller receives is this step's
      }
    }
    ResetWorkspace();
    engine::RaiseComponent(errors::kSchemaFileFailed, std::string(engine::kUnknownCauseText));
  }
}

}  // namespace vendrel

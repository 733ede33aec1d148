#include "schema_file_writer.h"

#include "component_error.h"
#include "data_file_writer.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
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

}  // namespace vendrel::engine

namespace vendrel {

void Vendrel::WriteSchemaFile(const Ref<Collection>& entries, const std::vector<std::string>& fileNames,
                              const std::string& folder) {
  fs::OutputFile file;
  try {
    if (!entries) RaisePlatform(err::kObjectNotSet, source::kRuntime);
    const std::string path = fs::JoinPath(folder, "schema.ini");
    file = fs::OutputFile(path, fs::FileExists(path) ? fs::OutputFile::Mode::Append : fs::OutputFile::Mode::Create,
                          engine::kFileMode);
    for (size_t i = 0; i < fileNames.size(); ++i) {
      const Variant& entry = entries->Item(static_cast<long>(i) + 1);
      if (!entry.IsObject()) continue;
      Ref<Recordset> recordset = RefCast<Recordset>(entry.AsObject());
      if (!recordset) RaisePlatform(err::kObjectNotSet, source::kRuntime);
      file.Write(engine::SchemaSection(fileNames[i], *recordset));
    }
    file.Close();
  } catch (...) {
    // Closed before the reset, so that nothing holds the folder it deletes.
    file = fs::OutputFile();
    ResetWorkspace();
    engine::RaiseComponent(errors::kSchemaFileFailed, std::string(engine::kUnknownCauseText));
  }
}

}  // namespace vendrel

#include "input_file.h"

#include <filesystem>

#include "options.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::vdlquery {

namespace {

enum class Delimiter { Comma, Tab };

std::optional<Delimiter> DelimiterOf(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  if (EqualsNoCase(extension, ".csv")) return Delimiter::Comma;
  if (EqualsNoCase(extension, ".tsv") || EqualsNoCase(extension, ".tab") || EqualsNoCase(extension, ".txt"))
    return Delimiter::Tab;
  return std::nullopt;
}

// A connection string value in double quotes, so that ";", quotes and
// spaces in a folder's name stay part of it.
std::string QuotedValue(std::string_view value) {
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// The file as a table name of the driver's dialect.
std::string TableName(const std::string& fileName) {
  if (fileName.find(']') == std::string::npos) return "[" + fileName + "]";
  if (fileName.find('`') == std::string::npos) return "`" + fileName + "`";
  throw ToolError("the file name '" + fileName + "' holds both ] and `, which a statement cannot name");
}

}  // namespace

void RequireKnownInputFormat(const std::string& path) {
  if (!DelimiterOf(path))
    throw ToolError("cannot tell the format of '" + path + "': name a .csv, .tsv, .tab or .txt file");
}

std::string TextFolderConnectionString(const std::string& folder, bool tabDelimited) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + QuotedValue(folder) +
         ";Extended Properties=\"text;HDR=Yes;FMT=" + (tabDelimited ? "TabDelimited" : "CSVDelimited") + ";\"";
}

Ref<Recordset> ReadInputFile(const std::string& path) {
  RequireKnownInputFormat(path);
  const std::filesystem::path file = std::filesystem::absolute(path).lexically_normal();
  const std::string fileName = file.filename().string();
  if (fileName.empty()) throw ToolError("'" + path + "' names a folder, not a file");
  const std::string statement = "SELECT * FROM " + TableName(fileName);

  // The folder is the database and the file one of its tables; the format
  // given here holds for files that schema.ini does not describe.
  Ref<Connection> connection = Connection::Create();
  connection->SetCursorLocation(adUseClient);
  connection->Open(TextFolderConnectionString(file.parent_path().string(), *DelimiterOf(path) == Delimiter::Tab));
  Ref<Recordset> rows = Recordset::Create();
  rows->Open(Variant(statement), Variant(connection), adOpenStatic, adLockReadOnly, adCmdText);
  rows->SetActiveConnection(nullptr);
  connection->Close();  // the driver's copy of the table goes with its session
  return rows;
}

}  // namespace vendrel::vdlquery

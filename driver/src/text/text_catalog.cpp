#include "text/text_catalog.h"

#include <algorithm>

#include "core/errors.h"
#include "core/sqlite_util.h"
#include "text/delimited_reader.h"
#include "text/schema_ini.h"
#include "text/table_cache.h"
#include "text/table_loader.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::text {

namespace {

constexpr std::string_view kSchemaFileName = "schema.ini";

[[noreturn]] void RaiseCannotOpen(std::string_view fileName) {
  RaiseDriverError(hr::kFileError, "The Microsoft Jet database engine cannot open the file '" + std::string(fileName) +
                                       "'.  It is already opened exclusively by another user, or you need "
                                       "permission to view its data.");
}

// The driver's words for a file that the file system could not read.
[[noreturn]] void RaiseUnreadable(const Error& e, std::string_view fileName) {
  if (e.Number() == err::kFileChanged)
    RaiseDriverError(hr::kFileError, "The file '" + std::string(fileName) + "' changed while it was read.");
  RaiseCannotOpen(fileName);
}

std::string ExtensionOf(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string_view::npos ? std::string() : FoldCase(fileName.substr(dot + 1));
}

// The file of `files` named `name`: the same bytes first, else without regard to case.
std::optional<std::string> Match(const std::vector<std::string>& files, std::string_view name) {
  if (std::binary_search(files.begin(), files.end(), name, std::less<>())) return std::string(name);
  for (const std::string& f : files)
    if (EqualsNoCase(f, name)) return f;
  return std::nullopt;
}

}  // namespace

TextFolderCatalog::TextFolderCatalog(sqlite3* db, TextFolderOptions options)
    : db_(db), openCursors_(MakeOpenCursors()), options_(std::move(options)) {}

// The tables go with the catalog, so the database can serve another.
TextFolderCatalog::~TextFolderCatalog() {
  for (const auto& [key, table] : tables_) UnloadTextTable(db_, table->def.sqliteName);
  ReleaseUnloadedTables(db_);
}

void TextFolderCatalog::BeginStatement() {
  retired_.clear();
  files_.reset();
  for (auto& [key, table] : tables_) table->checked = false;
}

size_t TextFolderCatalog::StatementDataBytes() const {
  size_t bytes = 0;
  for (const auto& [key, table] : tables_)
    if (table->checked) bytes += static_cast<size_t>(std::max<int64_t>(table->data.size, 0));
  return bytes;
}

const std::vector<std::string>& TextFolderCatalog::Files() {
  if (!files_) {
    try {
      files_ = ListFiles(options_.folder);
    } catch (const Error&) {
      RaiseDriverError(hr::kFileError, "'" + options_.folder +
                                           "' is not a valid path.  Make sure that the path name is spelled "
                                           "correctly and that you are connected to the server on which the file "
                                           "resides.");
    }
  }
  return *files_;
}

std::optional<std::string> TextFolderCatalog::Resolve(std::string_view name) {
  const std::vector<std::string>& files = Files();
  std::optional<std::string> found = Match(files, name);
  if (!found && name.find('#') != std::string_view::npos) {  // [data#txt] names data.txt
    std::string dotted(name);
    std::replace(dotted.begin(), dotted.end(), '#', '.');
    found = Match(files, dotted);
  }
  if (!found) return std::nullopt;
  const auto& allowed = options_.extensions;
  if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), ExtensionOf(*found)) == allowed.end())
    return std::nullopt;
  if (EqualsNoCase(*found, kSchemaFileName)) return std::nullopt;
  return found;
}

std::vector<std::string> TextFolderCatalog::TableNames() {
  std::vector<std::string> names;
  for (const std::string& file : Files())
    if (Resolve(file)) names.push_back(file);
  return names;
}

const TableDef* TextFolderCatalog::FindTable(std::string_view name) {
  const std::optional<std::string> fileName = Resolve(name);
  if (!fileName) return nullptr;
  const std::string& key = *fileName;  // names resolve to one file, so files that differ in case stay apart
  auto it = tables_.find(key);
  if (it != tables_.end() && it->second->checked) return &it->second->def;

  const std::optional<std::string> schemaName = Match(Files(), kSchemaFileName);
  FileStamp data, schema;
  try {
    data = StampOf(fs::JoinPath(options_.folder, *fileName));
  } catch (const Error&) {
    RaiseCannotOpen(*fileName);
  }
  try {
    if (schemaName) schema = StampOf(fs::JoinPath(options_.folder, *schemaName));
  } catch (const Error&) {
    RaiseCannotOpen(*schemaName);
  }
  if (!data.exists) return nullptr;
  if (it != tables_.end()) {
    if (it->second->data == data && it->second->schema == schema) {
      it->second->checked = true;
      return &it->second->def;
    }
    UnloadTextTable(db_, it->second->def.sqliteName);
    retired_.push_back(std::move(it->second));
    tables_.erase(it);
  }
  std::unique_ptr<LoadedTable> loaded = Load(*fileName, data, schemaName, schema);
  const TableDef* def = &loaded->def;
  tables_.emplace(key, std::move(loaded));
  return def;
}

TableLayout TextFolderCatalog::LayoutOf(const std::string& fileName, const std::optional<std::string>& schemaName) {
  TableLayout layout{options_.defaults, {}};
  if (schemaName) {
    std::string schemaText;
    try {
      schemaText = fs::ReadFile(fs::JoinPath(options_.folder, *schemaName));
    } catch (const Error& e) {
      RaiseUnreadable(e, *schemaName);
    }
    const SchemaFile schemaFile = SchemaFile::Parse(schemaText);
    if (const SchemaSection* section = schemaFile.Find(fileName))
      layout = LayoutFromSection(*section, options_.defaults, *schemaName);
  }
  return layout;
}

Ref<RowStore> TextFolderCatalog::ReadWholeTable(std::string_view name) {
  const std::optional<std::string> fileName = Resolve(name);
  if (!fileName) return nullptr;
  const TableLayout layout = LayoutOf(*fileName, Match(Files(), kSchemaFileName));
  try {
    return ReadTextTableRows(fs::JoinPath(options_.folder, *fileName), *fileName, layout);
  } catch (const Error& e) {
    if (e.Source() == source::kFileSystem) RaiseUnreadable(e, *fileName);
    throw;
  }
}

std::unique_ptr<TextFolderCatalog::LoadedTable> TextFolderCatalog::Load(const std::string& fileName,
                                                                        const FileStamp& data,
                                                                        const std::optional<std::string>& schemaName,
                                                                        const FileStamp& schema) {
  const TableLayout layout = LayoutOf(fileName, schemaName);

  std::shared_ptr<const IndexedTable> table;
  try {
    table = ReadSharedTextTable(fs::JoinPath(options_.folder, fileName), fileName, layout,
                                static_cast<size_t>(std::max<int64_t>(data.size, 0)));
  } catch (const Error& e) {
    if (e.Source() == source::kFileSystem) RaiseUnreadable(e, fileName);
    throw;
  }

  const std::vector<ParsedColumn>& columns = table->Table().columns;
  const int maxColumns = sqlite3_limit(db_, SQLITE_LIMIT_COLUMN, -1);
  if (columns.size() > static_cast<size_t>(maxColumns))
    RaiseDriverError(hr::kFileError, "'" + fileName + "' has " + std::to_string(columns.size()) +
                                         " columns; a table holds at most " + std::to_string(maxColumns) + ".");

  auto loaded = std::make_unique<LoadedTable>();
  loaded->data = data;
  loaded->schema = schema;
  loaded->checked = true;
  loaded->def.displayName = fileName;
  loaded->def.sqliteName = QuoteIdentifier("t" + std::to_string(nextId_++));
  for (const ParsedColumn& c : columns) loaded->def.columns.push_back(c.def);
  LoadTextTable(db_, loaded->def.sqliteName, std::move(table), openCursors_);
  return loaded;
}

}  // namespace vendrel::driver::text

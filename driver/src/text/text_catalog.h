#pragma once
// The tables of a text folder: every file is a table named by its file name,
// read into the database when a statement first names it.

#include <sqlite3.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/catalog.h"
#include "text/folder.h"
#include "text/text_layout.h"

namespace vendrel::driver::text {

struct OpenCursors;

struct TextFolderOptions {
  std::string folder;
  TextFormat defaults;                  // for files that schema.ini does not describe
  std::vector<std::string> extensions;  // without the dot, folded; empty: every file is a table
};

class TextFolderCatalog final : public SessionCatalog {
 public:
  TextFolderCatalog(sqlite3* db, TextFolderOptions options);
  ~TextFolderCatalog() override;

  // "data.txt", "data#txt", matched to the folder's files without regard to
  // case. A table read before is read again only when its file or schema.ini changed.
  const TableDef* FindTable(std::string_view name) override;
  // The folder's files that are tables.
  std::vector<std::string> TableNames() override;
  void BeginStatement() override;
  size_t StatementDataBytes() const override;
  // The file's rows read straight into a result, without the table kept.
  Ref<RowStore> ReadWholeTable(std::string_view name) override;

 private:
  struct LoadedTable {
    TableDef def;
    FileStamp data;
    FileStamp schema;
    bool checked = false;  // compared with the files during this statement
  };

  const std::vector<std::string>& Files();
  std::optional<std::string> Resolve(std::string_view name);
  TableLayout LayoutOf(const std::string& fileName, const std::optional<std::string>& schemaName);
  std::unique_ptr<LoadedTable> Load(const std::string& fileName, const FileStamp& data,
                                    const std::optional<std::string>& schemaName, const FileStamp& schema);

  sqlite3* db_;
  std::shared_ptr<OpenCursors> openCursors_;
  TextFolderOptions options_;
  std::map<std::string, std::unique_ptr<LoadedTable>> tables_;  // by file name
  // Tables replaced during a statement stay until it ends: the front end may hold them.
  std::vector<std::unique_ptr<LoadedTable>> retired_;
  std::optional<std::vector<std::string>> files_;  // the listing of this statement
  long nextId_ = 1;
};

}  // namespace vendrel::driver::text

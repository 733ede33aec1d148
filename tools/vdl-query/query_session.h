#pragma once
// One query object and one data source for the life of the program: inputs
// are added to and removed from the data source, every statement runs
// through Vendrel::Execute, and a result can be kept under a name as an
// optimized entry that later statements read without exporting it again.

#include <string>
#include <vector>

#include "options.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/datasource/query_data_source.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel::vdlquery {

struct SessionSettings {
  std::string tempFolder;     // TempFileFolder of every Execute
  std::string altQuote;       // AltQuoteMark of every Execute
  std::string scratchFolder;  // where standard input is copied to be read
};

struct EntryDescription {
  std::string name;
  std::string origin;  // the input file, or "saved result"
  size_t rows = 0;
  std::vector<FieldInfo> fields;
};

class QuerySession {
 public:
  // Creates the query object; the component's error passes through.
  explicit QuerySession(SessionSettings settings);

  // Reads the file and adds it under the name, in place of an entry of that
  // name. Driver errors pass through and leave the entries as they were.
  // Returns the notes about its columns (see ReadInputFile).
  std::vector<std::string> Load(const std::string& name, const std::string& path, const InputSettings& settings);
  // ToolError when there is no entry of that name.
  void Remove(const std::string& name);

  // Runs one statement; it becomes the last statement when it succeeds.
  Ref<Recordset> Run(const std::string& sql);

  // Keeps the last statement's result as the optimized entry `name`, in place
  // of an entry of that name: the statement runs once more with
  // OptimizeRecordset and RecordsetName, so that the query object stores the
  // result, and the name is added to the data source as an optimized entry.
  // Returns false when the stored result differs from the one shown before
  // (the inputs changed since, or the statement calls Rnd or Now); it is
  // kept all the same.
  bool Save(const std::string& name);

  // The entries in the data source's order.
  std::vector<EntryDescription> Entries();

 private:
  // What the tool knows of an entry beyond the data source: where it came
  // from and its shape (an optimized entry holds no recordset).
  struct Origin {
    std::string name;
    std::string text;
    size_t rows = 0;
    std::vector<FieldInfo> fields;
  };
  std::vector<Origin>::iterator Find(const std::string& name);
  void Replace(const Ref<Recordset>& recordset, bool optimized, Origin origin);
  Ref<Recordset> Execute(const std::string& sql, bool optimize, const std::string& name);

  SessionSettings settings_;
  Ref<Vendrel> query_;
  Ref<QueryDataSource> source_;
  std::vector<Origin> origins_;
  std::string lastSql_;
  Ref<Recordset> lastResult_;
};

}  // namespace vendrel::vdlquery

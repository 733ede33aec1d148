#pragma once
// The query object: runs one SELECT across the recordsets of a data source
// and returns a new, disconnected recordset. This one header is all a caller
// needs: the data source, recordsets and their values, the conversions of
// values to text, and vendrel::Error, which every failure raises.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vendrel/dataaccess/collection.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/object.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/dataaccess/variant.h"
#include "vendrel/datasource/query_data_source.h"
#include "vendrel/datasource/recordset_collection.h"
#include "vendrel/datasource/variant_bool.h"
#include "vendrel/engine/errors.h"

namespace vendrel {

class Vendrel : public Object {
 public:
  // Makes the object's own folder for optimized results; raises 1010 when it cannot.
  static Ref<Vendrel> Create();
  // Closes the connection and deletes the last query folder, the optimized results
  // and the object's own folder; every failure is ignored.
  ~Vendrel() override;

  // The data source is given as an object so that one of another
  // implementation can be refused. Errors leave as vendrel::Error with
  // source "Vendrel".
  Ref<Recordset> Execute(const Ref<Object>& dataSource, const std::string& sql, int cursorType, int lockType,
                         VariantBool optimizeRecordset = false, const std::string& recordsetName = "",
                         const std::string& tempFileFolder = "", const std::string& altQuoteMark = "");

  // Stops the Execute that runs now: it fails with 1007 and the description
  // "[Vendrel] Operation has been cancelled by the user.", and cleans up as
  // a failed query does (no data file and no query folder left; optimized
  // results kept before stay as they were). Execute looks at the request
  // while it writes the data files, and the text driver while it reads them
  // and runs the statement, so it stops within a fraction of a second. Safe
  // from any thread and from a signal handler (it only stores to a
  // lock-free atomic), as long as the object lives; a call while no Execute
  // runs is forgotten when the next one begins.
  void Cancel() noexcept { cancel_->Request(); }

  // The folder that holds this object's optimized results.
  const std::string& OptimizedFolder() const noexcept { return optimizedFolder_; }
  // The folder of the last query (deleted once that query ended), or empty.
  const std::string& QueryFolder() const noexcept { return queryFolder_; }

 private:
  Vendrel();

  std::vector<std::string> AssignFileNames(const Ref<Collection>& entries);
  void WriteDataFiles(const Ref<Collection>& entries, const std::vector<std::string>& fileNames);
  Ref<Recordset> RunQuery(const Ref<Collection>& names, const std::vector<std::string>& fileNames,
                          const std::string& sqlText);
  void ResetWorkspace();
  void DeleteDataFiles() noexcept;
  void DeleteOptimizedFiles() noexcept;
  Ref<Connection> OpenConnection();
  std::string RewriteSql(const std::string& sqlText, const Ref<Collection>& names,
                         const std::vector<std::string>& fileNames) const;
  std::string GetTempRoot() const;
  std::string CreateTempFolder(const std::string& parent) const;
  void DeleteTempFolder(const std::string& path);
  void WriteSchemaFile(const Ref<Collection>& entries, const std::vector<std::string>& fileNames,
                       const std::string& folder);
  void SaveOptimizedRecordset(const Ref<Recordset>& result, const std::string& recordsetName);

  // Closes QueryConnection; one that is nothing or already closed counts as closed.
  void CloseQueryConnection();

  int32_t queryCursorType_ = 0;
  int32_t queryLockType_ = 0;
  std::string queryFolder_;
  std::string optimizedFolder_;
  Ref<Connection> queryConnection_;
  std::vector<std::string> dataFileNames_;
  std::vector<std::string> optimizedNames_;
  Ref<Collection> sourceRecordsets_;
  Ref<Collection> sourceNames_;
  std::string altQuoteMark_;
  // Shared with every connection the object opens.
  const std::shared_ptr<CancelRequest> cancel_ = std::make_shared<CancelRequest>();
};

}  // namespace vendrel

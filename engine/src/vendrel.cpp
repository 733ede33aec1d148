// The query object: its lifecycle, the Execute pipeline and the reset of the
// workspace after a failed step.

#include "vendrel/engine/vendrel.h"

#include "component_error.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/filesystem.h"
#include "workspace.h"

namespace vendrel {

Ref<Vendrel> Vendrel::Create() { return Ref<Vendrel>(new Vendrel()); }

Vendrel::Vendrel() {
  queryConnection_ = OpenConnection();  // no query folder yet: no connection
  optimizedFolder_ = CreateTempFolder(GetTempRoot());
}

Vendrel::~Vendrel() {
  auto ignoringFailure = [](auto&& step) {
    try {
      step();
    } catch (...) {
      // release runs every step
    }
  };
  ignoringFailure([&] { CloseQueryConnection(); });
  queryConnection_.reset();
  DeleteDataFiles();
  ignoringFailure([&] { DeleteTempFolder(queryFolder_); });
  DeleteOptimizedFiles();
  ignoringFailure([&] { DeleteTempFolder(optimizedFolder_); });
  dataFileNames_.clear();
  optimizedNames_.clear();
  sourceNames_.reset();
}

void Vendrel::CloseQueryConnection() {
  if (queryConnection_ && queryConnection_->State() == adStateOpen) queryConnection_->Close();
}

void Vendrel::ResetWorkspace() {
  CloseQueryConnection();
  DeleteDataFiles();
  DeleteTempFolder(queryFolder_);
  dataFileNames_.clear();
}

Ref<Recordset> Vendrel::Execute(const Ref<Object>& dataSource, const std::string& sql, int cursorType, int lockType,
                                VariantBool optimizeRecordset, const std::string& recordsetName,
                                const std::string& tempFileFolder, const std::string& altQuoteMark) {
  // The folder this call made last, while it may still be on disk.
  std::string ownFolder;
  cancel_->Clear();
  try {
    if (optimizeRecordset.IsTrue() && !engine::IsKeptResultName(recordsetName))
      engine::RaiseComponent(errors::kOptimizedNameInvalid,
                             "Optimized Recordset name '" + recordsetName + "' is not valid. Unable to continue.");
    auto parentFolder = [&] { return tempFileFolder.empty() ? GetTempRoot() : tempFileFolder; };
    queryFolder_ = CreateTempFolder(parentFolder());
    ownFolder = queryFolder_;
    DeleteTempFolder(queryFolder_);
    ownFolder.clear();
    queryFolder_ = CreateTempFolder(parentFolder());
    ownFolder = queryFolder_;
    queryCursorType_ = cursorType;
    queryLockType_ = lockType;
    const std::string sqlText = sql;
    altQuoteMark_ = altQuoteMark;
    sourceRecordsets_ = GetCollectionRecordset(dataSource);
    sourceNames_ = GetNameCollection(dataSource);
    std::vector<std::string> fileNames = AssignFileNames(sourceRecordsets_);
    WriteDataFiles(sourceRecordsets_, fileNames);
    WriteSchemaFile(sourceRecordsets_, fileNames, queryFolder_);
    Ref<Recordset> working = RunQuery(sourceNames_, fileNames, sqlText);
    if (!working) RaisePlatform(err::kObjectNotSet, source::kRuntime);
    Ref<Recordset> result = working->Clone(adLockUnspecified);
    working.reset();
    if (optimizeRecordset.IsTrue()) SaveOptimizedRecordset(result, recordsetName);
    DeleteTempFolder(queryFolder_);
    return result;
  } catch (...) {
    // A failed query leaves no folder of its own behind where one can go: a
    // deletion that was refused once is tried again here.
    if (!ownFolder.empty()) {
      try {
        engine::DeleteFolderIfPresent(ownFolder);
      } catch (...) {
        // the error the caller receives is the one that ended the query
      }
    }
    throw engine::WrapForCaller(std::current_exception());
  }
}

}  // namespace vendrel

// Optimized results: a result stored under a name in the object's own folder, so
// that later queries of the same object read it without exporting it again.

#include "data_file_writer.h"
#include "vendrel/dataaccess/collection.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/engine/vendrel.h"
#include "workspace.h"

namespace vendrel {

void Vendrel::SaveOptimizedRecordset(const Ref<Recordset>& result, const std::string& recordsetName) {
  // One spelling per name, so that "RS3" finds and replaces what "rs3" stored.
  const std::string fileName = engine::OptimizedResultFileName(recordsetName);
  const std::string path = fs::JoinPath(optimizedFolder_, fileName + ".txt");
  try {
    {
      fs::OutputFile file(path, fs::OutputFile::Mode::Create, engine::kFileMode);
      engine::WriteDataFile(*result, file, engine::DataFileStyle{true, {}});
      file.Close();
    }
    Ref<Collection> entries = Collection::Create();
    entries->Add(Variant(result));
    WriteSchemaFile(entries, {fileName}, optimizedFolder_);
  } catch (...) {
    // A stored file that is cut short, or that an earlier section of its name
    // would describe, must not be read as the result: without it a later
    // query reports the result as missing.
    try {
      if (fs::FileExists(path)) fs::DeleteFile(path);
    } catch (...) {
      // the error that ended the save is the one the caller receives
    }
    throw;
  }
}

}  // namespace vendrel

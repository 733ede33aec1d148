// Kept results: a result stored under a name in the object's own folder, so
// that later queries of the same object read it without exporting it again.

#include "data_file_writer.h"
#include "vendrel/dataaccess/collection.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/engine/vendrel.h"
#include "workspace.h"

namespace vendrel {

void Vendrel::SaveOptimizedRecordset(const Ref<Recordset>& result, const std::string& recordsetName) {
  {
    fs::OutputFile file(fs::JoinPath(optimizedFolder_, recordsetName + ".txt"), fs::OutputFile::Mode::Create,
                        engine::kFileMode);
    engine::WriteDataFile(*result, file, engine::DataFileStyle{true, {}});
    file.Close();
  }
  Ref<Collection> entries = Collection::Create();
  entries->Add(Variant(result));
  WriteSchemaFile(entries, {recordsetName}, optimizedFolder_);
}

}  // namespace vendrel

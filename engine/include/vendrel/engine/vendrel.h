#pragma once
// The query object: runs one SELECT across the recordsets of a data source
// and returns a new, disconnected recordset.

#include <string>

#include "vendrel/dataaccess/object.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/datasource/query_data_source.h"
#include "vendrel/datasource/variant_bool.h"

namespace vendrel {

class Vendrel : public Object {
 public:
  // Makes the object's own folder for kept results; raises 1010 when it cannot.
  static Ref<Vendrel> Create();
  ~Vendrel() override;

  // The data source is given as an object so that one of another
  // implementation can be refused. Errors leave as vendrel::Error with
  // source "Vendrel".
  Ref<Recordset> Execute(const Ref<Object>& dataSource, const std::string& sql, int cursorType, int lockType,
                         VariantBool optimizeRecordset = false, const std::string& recordsetName = "",
                         const std::string& tempFileFolder = "", const std::string& altQuoteMark = "");
};

}  // namespace vendrel

#pragma once
// The ways one statement reaches its rows, all over the same tables: the
// driver on a folder of text files (the reference), the driver with each of
// its shortcuts off, and the component's Execute over recordsets, with the
// typed hand-off of its data files or with a parse of them.

#include <memory>
#include <string>
#include <vector>

#include "random_tables.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/variant.h"
#include "vendrel/datasource/query_data_source.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel::tester {

struct Outcome {
  bool failed = false;
  long number = 0;
  std::string description;
  std::vector<std::string> columns;  // "name Type"
  std::vector<std::vector<Variant>> rows;
};

// The roads by name: "driver" is the reference; "execute", "parse" (Execute
// with no typed hand-off and no parsed table kept), "plain" (the driver over
// ordinary SQLite tables), "no-equality", "no-range", "no-folding" (the
// driver without that shortcut), "bare" (the driver without any).
const std::vector<std::string>& RoadNames();
bool IsExecuteRoad(const std::string& road);

class Roads {
 public:
  // Writes the tables into `folder` (made if need be) and makes their recordsets.
  Roads(const Database& database, std::string folder);
  ~Roads();
  Roads(const Roads&) = delete;
  Roads& operator=(const Roads&) = delete;

  Outcome Run(const std::string& road, const std::string& sql);

  // What a statement's error through the driver reads as through Execute.
  static Outcome AsExecuteError(const Outcome& driverError);

 private:
  Outcome ThroughDriver(const std::string& sql, bool freshConnection);
  Outcome ThroughExecute(const std::string& sql);

  std::string folder_;
  Ref<Connection> connection_;
  Ref<Vendrel> query_;
  Ref<QueryDataSource> source_;
};

}  // namespace vendrel::tester

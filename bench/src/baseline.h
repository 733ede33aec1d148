#pragma once
// What a program does without the component: a fresh in-memory SQLite
// database, its recordsets inserted with one prepared statement each in one
// transaction, the question asked in plain SQL and every value read.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "result_rows.h"
#include "workloads.h"

namespace vendrel::bench {

class Baseline {
 public:
  Baseline();  // opens the database
  ~Baseline();
  Baseline(const Baseline&) = delete;
  Baseline& operator=(const Baseline&) = delete;

  // One table per input, named as the input, with a column per field.
  void Load(const std::vector<Input>& inputs);
  void Exec(const std::string& sql);
  // Reads every value of every row.
  uint64_t Walk(const std::string& sql);
  ResultRows Collect(const std::string& sql);

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace vendrel::bench

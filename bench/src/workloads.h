#pragma once
// The benchmark's workloads: their input recordsets, generated in memory from
// a fixed seed, and each query in the component's dialect and in plain SQLite.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vendrel/dataaccess/recordset.h"

namespace vendrel::bench {

struct Input {
  std::string name;  // as the SQL names it
  Ref<Recordset> recordset;
};

struct Query {
  std::string dialect;  // through Execute
  std::string sqlite;   // the same question put to plain SQLite
  // Result columns whose sequence of values the ORDER BY fixes; rows that tie
  // on them may come in any order.
  std::vector<size_t> orderKey;
};

struct Workload {
  std::string name;
  size_t rows = 0;
  std::vector<Input> inputs;
  Query query;  // W4: the query whose result is kept
  // W4 only: the name of the kept result and the queries run over it.
  std::string keptName;
  std::vector<Query> keptQueries;
};

// "W1" to "W5" at `rows` rows; an unknown name gives a workload without inputs.
Workload MakeWorkload(std::string_view name, size_t rows, uint64_t seed);

// The bytes of the data files that an export of these recordsets writes:
// a header line and one line per row, TAB between values, CR LF after each.
size_t InputTextBytes(const std::vector<Input>& inputs);

}  // namespace vendrel::bench

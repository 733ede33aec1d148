#pragma once
// A finding as a file: its tables in the format of the dialect's case files
// (driver/tests/sql/*.test), then the check that failed on them. The suite
// runs every saved finding again; each must hold.
//
//   # comments
//   table t1
//   k Integer|s1 Char(50)
//   1|a
//
//   check partition
//   terms rows
//   sql SELECT ...
//   sql SELECT ...
//   approximate                   (only when floating sums are compared)
//   any spelling                  (only when texts equal but for case may be either)

#include <string>

#include "laws.h"
#include "random_tables.h"

namespace vendrel::tester {

struct Finding {
  Database database;
  Check check;
};

std::string FindingText(const Finding& finding, const std::string& comment);
// Raises std::runtime_error naming the line that cannot be read.
Finding ParseFinding(const std::string& text);

}  // namespace vendrel::tester

#pragma once
// Rewriting the caller's SQL onto the data files: recordset names that
// qualify columns become the data file names, recordset names that stand as
// tables become the data file with its extension and the file name as alias.

#include <string>
#include <string_view>
#include <vector>

#include "vendrel/dataaccess/collection.h"

namespace vendrel::engine {

struct TableName {
  std::string name;      // the recordset name the SQL uses
  std::string fileName;  // its data file, without ".txt"
};

// Name i of the list with file name i, for every entry that has both.
std::vector<TableName> PairTableNames(const Ref<Collection>& names, const std::vector<std::string>& fileNames);

// Five replacements per table, in table order, each over the whole text,
// without regard to case:
//   N.    -> F.                 [N]. -> [F].
//   N" "  -> F.txt F" "         N,   -> F.txt F,"  "      N" ," -> F.txt F,"  "
// A match counts only where the character before it is not a letter, a digit
// or "_", and never inside a string literal ('...' or "..."). Names that the
// patterns do not catch are left as written; an empty name is skipped.
std::string RewriteSqlText(std::string_view sql, const std::vector<TableName>& tables);

}  // namespace vendrel::engine

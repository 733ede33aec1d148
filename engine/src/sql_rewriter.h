#pragma once
// Rewriting the caller's SQL onto the data files: recordset names that
// qualify columns become the data file names, recordset names that stand as
// tables become the data file with its extension, aliased by the caller's
// alias or else by the file name.

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

// One replacement: bytes [begin, end) of the caller's text became `with`.
struct SqlEdit {
  size_t begin;
  size_t end;
  std::string with;
};

struct RewrittenSql {
  std::string text;
  std::vector<SqlEdit> edits;  // in text order, not overlapping
};

// Works on the statement's tokens as the driver reads them. A name, [name]
// or `name` equal to a recordset name (without regard to case, by Unicode
// folding; a keyword too, and a name of several words written with the same
// spaces) is rewritten in two roles only:
//   - before "." or "!", as a qualifier:           rs1.A -> F.A, [rs1].A -> [F].A
//   - as a table of a FROM clause (after FROM, JOIN, a comma of the FROM list
//     or the "(" of a nested join), at any depth:  rs1 -> F.txt F,
//     rs1 AS o -> F.txt AS o, rs1 o -> F.txt o; "rs1," -> "F.txt F, ".
// Keywords, literals, column names and aliases, names after a dot, a
// qualifier that names an alias the statement gives a table (FROM rs1 rs1,
// FROM rs2 AS rs1), and text after a token the driver cannot read stay as
// written.
RewrittenSql RewriteSqlTokens(std::string_view sql, const std::vector<TableName>& tables);
std::string RewriteSqlText(std::string_view sql, const std::vector<TableName>& tables);

// Where byte `offset` of the rewritten text came from in the caller's text;
// an offset inside a replacement counts as the start of what it replaced.
size_t CallerOffset(const std::vector<SqlEdit>& edits, size_t offset);

}  // namespace vendrel::engine

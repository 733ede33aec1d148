#pragma once
// SQL cases written as data: the reader of their files, shared by the
// driver's runner (each case through the text driver over a folder of text
// tables) and the engine's (each case through Vendrel::Execute over
// recordsets, and the rewriting cases), and what both do alike with a case.
//
// A file is blocks separated by blank lines; "#" begins a comment line.
//   table NAME
//   col Type|col Type            Integer Short Single Double Currency Date Bit
//   value|value                  Char(n) LongChar; Byte and BigInt driver-only
//   ...                          Null is Null; escapes: \t \r \n \| \\,
//                                \s a space (at a line's end), \e nothing,
//                                \xHH the byte HH (text that is no UTF-8)
//
//   case NAME
//   uses a, kept B               optional: the tables; all of the file's else.
//                                kept B: through Execute the table b (any
//                                case) is first kept under its own name by
//                                the same object, then entered as B
//   keep N STATEMENT             optional, through Execute only: the result
//                                of STATEMENT over the tables is kept as N by
//                                the same object, then entered as N
//   driver-only REASON           optional: not run through Execute
//   unordered                    optional: the rows may come in any order
//   SELECT ...                   one or more lines
//   ----
//   col Type|col Type            result: Short Long Single Double Currency
//   value|value                  Date Boolean Byte BigInt Text Memo; Text(n)
//   ...                          and Memo(n) check the field's width too
//   ... N rows                   optional last line: the rows above are the
//                                first ones, and there are N in all
// or, after ----:
//   error NUMBER DESCRIPTION     the description's beginning
//
//   case NAME                    a rewriting case (the engine's rewriter)
//   rewrite rs1=F1|rs2=F2        the recordset names and their data files
//   SELECT ...                   the statement as the caller wrote it
//   ----
//   SELECT ...                   the text the driver is given

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "vendrel/dataaccess/recordset.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel::testing::sqlcases {

struct Column {
  std::string name;
  std::string type;  // as written
};

struct Table {
  std::string name;
  std::vector<Column> columns;
  std::vector<std::vector<std::string>> rows;  // cells as written; "Null" is Null
};

struct Rename {
  std::string name;      // a recordset name
  std::string fileName;  // its data file, without ".txt"
};

struct Kept {
  std::string name;
  std::string sql;
};

struct Case {
  std::string file;  // without folder and extension
  std::string name;
  int line = 0;
  std::string testName;  // unique among all cases read together
  std::string loadError;  // the file could not be read: the one case of that file
  std::vector<std::string> uses;  // as written
  std::set<std::string> kept;     // of those, the ones entered as kept results
  std::vector<Kept> keeps;        // results kept before the statement runs
  std::string driverOnly;         // why, when the case cannot be put as recordsets
  bool unordered = false;
  std::string sql;
  bool expectsError = false;
  long errorNumber = 0;
  std::string errorDescription;
  std::vector<Column> columns;
  std::vector<std::string> rows;
  std::optional<size_t> rowCount;  // "... N rows"
  bool rewrite = false;
  std::vector<Rename> renames;
  std::string rewritten;
  std::map<std::string, Table> tables;  // of the file, as far as the case

  bool ThroughTheDriver() const { return !rewrite && keeps.empty(); }
  bool ThroughExecute() const { return !rewrite && driverOnly.empty(); }
  bool Rewrites() const { return rewrite; }
};

// The cases of every *.test file of the folders, files in name order.
std::vector<Case> ReadCaseFolders(const std::vector<std::string>& folders);
// Of those, the ones a runner takes, and every file that could not be read.
std::vector<Case> ReadCaseFolders(const std::vector<std::string>& folders, bool (Case::*takes)() const);

// The table of that name, compared without regard to case.
const Table* TableOf(const std::map<std::string, Table>& tables, const std::string& name);

// A column type of a table: its data-access type, defined size and the
// words schema.ini declares it with.
struct ColumnType {
  int adoType;
  long size;
  std::string schema;
};
ColumnType TypeOfColumn(const std::string& type);

// A cell of a table as a value of its column's data-access type.
Variant ValueOf(const std::string& text, int adoType);

// The result's field names, types and rows against the case's.
void ExpectResult(const Case& c, Recordset& result);

// The raised error against the one the case expects, given as a number and
// the beginning of a description.
void ExpectError(long expectedNumber, const std::string& expectedDescription, bool thrown, long number,
                 const std::string& description);

// "file.test:line name" and the statement, for a failure's trace.
std::string Where(const Case& c);

void PrintTo(const Case& c, std::ostream* os);

}  // namespace vendrel::testing::sqlcases

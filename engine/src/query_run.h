#pragma once
// Running the rewritten statement through the text driver, and turning the
// driver's errors into the component's own.

#include <string>
#include <string_view>
#include <vector>

#include "sql_rewriter.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel::engine {

// The connection string of the text driver on a query folder. A folder whose
// path the connection string would misread (a ";" in it, a quote or brace at
// its start, spaces at its ends) is given between double quotes.
std::string TextConnectionString(std::string_view folder);

// The statement as the caller wrote it and as the driver read it (the
// caller's text and what the engine appended to it, rewritten).
struct StatementRewriting {
  std::string callerText;
  RewrittenSql rewritten;
};

// Error 1007 for a driver error's description: the engine's name, ".txt" and
// "Text File" replaced; any "missing operator" error in one fixed text,
// followed by the driver's sentence that says where ("Near 'x' at character
// n."), when it has one. The description then names what the caller wrote: a
// drawn data file name reads as its recordset name, a piece of the statement
// that it quotes reads as the caller had it (FROM rs1, not FROM rs1 rs1), "at
// character n" counts in the caller's statement, given the rewriting, and a
// table that is none gets the nearest recordset name as a suggestion.
Error TranslatedDriverError(std::string description, const std::vector<TableName>& tables = {},
                            const StatementRewriting* statement = nullptr);

// A result field that the driver qualified with a data file name
// ("TEMP4471803.SUPPLIER") is named by its recordset name ("rs2.SUPPLIER").
void NameQualifiedFieldsByRecordset(RowStore& rows, const std::vector<TableName>& tables);

}  // namespace vendrel::engine

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

// Error 1007 for a driver error's description: the engine's name, ".txt" and
// "Text File" replaced; any "missing operator" error in one fixed text. The
// description then names what the caller wrote: a drawn data file name
// reads as its recordset name, a piece of the statement that it quotes
// reads as the caller's `sql` had it (FROM rs1, not FROM rs1 rs1), and "at
// character n" counts in the caller's statement, given the edits that
// rewrote `sql`.
Error TranslatedDriverError(std::string description, const std::vector<TableName>& tables = {},
                            const std::vector<SqlEdit>& edits = {}, std::string_view sql = {});

// A result field that the driver qualified with a data file name
// ("TEMP4471803.SUPPLIER") is named by its recordset name ("rs2.SUPPLIER").
void NameQualifiedFieldsByRecordset(RowStore& rows, const std::vector<TableName>& tables);

}  // namespace vendrel::engine

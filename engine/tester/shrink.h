#pragma once
// Makes a failing trial small: fewer rows, tables and columns, fewer
// clauses, simpler expressions, for as long as the law still fails in the
// same way.

#include <functional>

#include "laws.h"
#include "random_tables.h"

namespace vendrel::tester {

// Whether the law fails on this database in the way being shrunk.
using StillFails = std::function<bool(const Database&, const Trial&)>;

void Shrink(Database& database, Trial& trial, const StillFails& stillFails);

}  // namespace vendrel::tester

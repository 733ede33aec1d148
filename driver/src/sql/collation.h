#pragma once
// Text order of the dialect: equal when the Unicode case foldings are equal,
// otherwise in the linguistic order of the folded texts (ICU root order),
// ties between distinct foldings broken by their bytes. One rule for
// comparisons, ORDER BY, GROUP BY, DISTINCT, UNION, joins, IN and MIN/MAX.

#include <sqlite3.h>

#include <string_view>

namespace vendrel::driver::sql {

int CompareJetText(std::string_view a, std::string_view b);  // <0, 0, >0
// The same order without the shortcut for ASCII texts (for checking it).
int CompareJetTextSlowly(std::string_view a, std::string_view b);
int RegisterJetTextCollation(sqlite3* db);                     // an SQLite result code

}  // namespace vendrel::driver::sql

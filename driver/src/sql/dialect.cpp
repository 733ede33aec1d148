// The public header vendrel/driver/dialect.h, over the front end's tables.

#include "vendrel/driver/dialect.h"

#include "sql/errors.h"
#include "sql/functions.h"
#include "sql/tokenizer.h"

namespace vendrel::driver {

std::vector<DialectFunction> DialectFunctions() {
  std::vector<DialectFunction> out;
  for (const sql::CallableName& c : sql::CallableNames()) out.push_back({c.name, c.arguments, c.aggregate});
  return out;
}

std::vector<std::string_view> DialectKeywords() {
  std::vector<std::string_view> words = sql::KeywordNames();
  // Words of the statements that stay names elsewhere (a column may be named Pivot).
  for (std::string_view word : {"TRANSFORM", "PIVOT", "PARAMETERS", "CASE", "WHEN", "THEN", "ELSE", "END", "LIMIT"})
    words.push_back(word);
  return words;
}

std::string ClosestName(std::string_view wanted, const std::vector<std::string>& candidates) {
  return sql::ClosestName(wanted, candidates);
}

}  // namespace vendrel::driver

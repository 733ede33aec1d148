#include "rewrite_sql_check.h"

#include <string>
#include <vector>

#include "sql_rewriter.h"
#include "vendrel/dataaccess/collection.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel::engine::fuzz {

namespace {

constexpr size_t kMaxNames = 8;

bool IsValidUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const CodePointStep step = NextCodePoint(text, at);
    if (step.codePoint < 0) return false;
    at = step.next;
  }
  return true;
}

[[noreturn]] void Found(const std::string& what, std::string_view input, std::string_view output = {}) {
  throw Finding(what + "\n  input: " + std::string(input.substr(0, 300)) +
                (output.empty() ? "" : "\n  output: " + std::string(output.substr(0, 300))));
}

}  // namespace

void CheckRewrite(std::string_view input) {
  const size_t lineEnd = input.find('\n');
  const std::string_view nameLine = input.substr(0, lineEnd);
  const std::string sql(lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1));

  Ref<Collection> names = Collection::Create();
  std::vector<std::string> fileNames;
  for (size_t start = 0; start <= nameLine.size() && fileNames.size() < kMaxNames;) {
    const size_t tab = std::min(nameLine.find('\t', start), nameLine.size());
    const std::string name(nameLine.substr(start, tab - start));
    names->Add(Variant(name));
    fileNames.push_back(fileNames.size() % 2 == 1 ? name : "TEMP" + std::to_string(4711 + fileNames.size()));
    start = tab + 1;
  }

  std::string output;
  std::vector<TableName> tables;
  try {
    tables = PairTableNames(names, fileNames);
    output = RewriteSqlText(sql, tables);
  } catch (const std::exception& e) {
    Found(std::string("exception: ") + e.what(), input);
  }

  bool valid = IsValidUtf8(sql);
  bool anyNameOccurs = false;
  const std::string foldedSql = valid ? FoldCase(sql) : std::string();
  for (const TableName& table : tables) {
    valid = valid && IsValidUtf8(table.name);
    if (!valid || table.name.empty()) continue;
    if (foldedSql.find(FoldCase(table.name)) != std::string::npos) anyNameOccurs = true;
  }
  if (!valid) return;
  if (!anyNameOccurs && output != sql) Found("a statement without any of the names was changed", input, output);
  if (!IsValidUtf8(output)) Found("valid UTF-8 came back invalid", input, output);
}

}  // namespace vendrel::engine::fuzz

#include "completion.h"

#include <algorithm>
#include <cctype>

#include "vendrel/dataaccess/text.h"
#include "vendrel/driver/dialect.h"

namespace vendrel::vdlquery {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// The candidates that begin with `word`, once each, in the order given.
std::vector<std::string> Matching(const std::vector<std::string>& candidates, std::string_view word) {
  std::vector<std::string> out;
  for (const std::string& c : candidates)
    if (StartsWithNoCase(c, word) && std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
  return out;
}

bool IsKeyword(std::string_view word) {
  for (std::string_view keyword : driver::DialectKeywords())
    if (EqualsNoCase(keyword, word)) return true;
  return false;
}

// The words before the one being completed: the command and its arguments so far.
std::vector<std::string_view> WordsBefore(std::string_view line, size_t start) {
  std::vector<std::string_view> words;
  const std::string_view before = line.substr(0, std::min(start, line.size()));
  for (size_t at = before.find_first_not_of(" \t"); at != std::string_view::npos;
       at = before.find_first_not_of(" \t", at)) {
    const size_t end = std::min(before.find_first_of(" \t", at), before.size());
    words.push_back(before.substr(at, end - at));
    at = end;
  }
  return words;
}

std::vector<std::string> InputNames(const std::vector<EntryDescription>& entries) {
  std::vector<std::string> names;
  for (const EntryDescription& e : entries) names.push_back(e.name);
  return names;
}

std::optional<std::vector<std::string>> CommandArgument(const std::vector<EntryDescription>& entries,
                                                        const std::vector<std::string_view>& words,
                                                        std::string_view word) {
  const std::string_view command = words.front();
  const size_t argument = words.size();  // 1 for the first argument
  if (command == ".read" || command == ".output" || (command == ".load" && argument == 2)) return std::nullopt;
  if ((command == ".remove" || command == ".schema" || command == ".save") && argument == 1)
    return Matching(InputNames(entries), word);
  if ((command == ".format" || command == ".mode") && argument == 1)
    return Matching({"table", "tsv", "csv", "json", "ndjson", "markdown", "box"}, word);
  if (command == ".timer" && argument == 1) return Matching({"on", "off"}, word);
  return std::vector<std::string>();
}

}  // namespace

const std::vector<std::string>& CommandNames() {
  static const std::vector<std::string> names = {".load",   ".save",   ".remove", ".format", ".mode",
                                                 ".read",   ".output", ".timer",  ".tables", ".schema",
                                                 ".functions", ".help", ".quit",  ".exit"};
  return names;
}

std::string NameInStatement(std::string_view name) {
  bool plain = !name.empty() && !std::isdigit(static_cast<unsigned char>(name.front())) && !IsKeyword(name);
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80))
      plain = false;
  return plain ? std::string(name) : "[" + std::string(name) + "]";
}

std::optional<std::vector<std::string>> Completions(const std::vector<EntryDescription>& entries,
                                                    std::string_view line, size_t start, std::string_view word,
                                                    bool continuation) {
  const std::vector<std::string_view> words = WordsBefore(line, start);
  const bool commandLine = !continuation && (words.empty() ? word.starts_with('.') : words.front().starts_with('.'));
  if (commandLine) return words.empty() ? Matching(CommandNames(), word) : CommandArgument(entries, words, word);

  // A column after its input's name and a dot (or "!").
  const size_t mark = word.find_last_of(".!");
  if (mark != std::string_view::npos) {
    std::string qualifier(word.substr(0, mark));
    if (qualifier.size() >= 2 && qualifier.front() == '[' && qualifier.back() == ']')
      qualifier = qualifier.substr(1, qualifier.size() - 2);
    std::vector<std::string> columns;
    for (const EntryDescription& e : entries)
      if (EqualsNoCase(e.name, qualifier))
        for (const FieldInfo& field : e.fields)
          columns.push_back(std::string(word.substr(0, mark + 1)) + NameInStatement(field.name));
    return Matching(columns, word);
  }

  std::vector<std::string> candidates = InputNames(entries);
  for (std::string_view keyword : driver::DialectKeywords()) candidates.emplace_back(keyword);
  for (const driver::DialectFunction& f : driver::DialectFunctions()) candidates.emplace_back(f.name);
  for (const EntryDescription& e : entries)
    for (const FieldInfo& field : e.fields) candidates.push_back(NameInStatement(field.name));
  return Matching(candidates, word);
}

}  // namespace vendrel::vdlquery

#include "sql_rewriter.h"

#include <algorithm>
#include <set>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/driver/sql_tokens.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel::engine {

namespace {

using driver::SqlToken;
using driver::SqlTokenKind;

bool IsKeyword(const SqlToken& t, std::string_view word) {
  return t.kind == SqlTokenKind::Name && t.reserved && EqualsNoCase(t.text, word);
}
bool IsOperator(const SqlToken* t, std::string_view op) {
  return t && t->kind == SqlTokenKind::Operator && t->text == op;
}
bool IsQualifierMark(const SqlToken* t) { return IsOperator(t, ".") || IsOperator(t, "!"); }
// A name the driver would take as a table's alias when it follows the table.
bool IsAlias(const SqlToken* t) {
  return t && ((t->kind == SqlTokenKind::Name && !t->reserved) || t->kind == SqlTokenKind::QuotedName);
}

// A file name that reads as one plain, unreserved word can stand bare;
// any other (an optimized entry named "my rs" or "select") goes in brackets.
bool StandsBare(const std::string& name) {
  const std::vector<SqlToken> tokens = driver::TokenizeSql(name);
  return tokens.size() == 1 && tokens[0].kind == SqlTokenKind::Name && !tokens[0].reserved &&
         tokens[0].begin == 0 && tokens[0].end == name.size();
}

struct Target {
  std::string fileName;
  std::string qualifier;  // F, or [F]
  std::string table;      // F.txt, or [F.txt]
};

// Each recordset name, folded as the collection folds its keys, with what it
// becomes. A name met twice keeps its first entry.
struct NameIndex {
  struct Entry {
    std::string folded;
    size_t words;  // how many plain words the name reads as unbracketed ("my rs": 2)
    Target target;
  };
  std::vector<Entry> entries;

  explicit NameIndex(const std::vector<TableName>& tables) {
    for (const TableName& t : tables) {
      if (t.name.empty()) continue;
      size_t words = 0;
      for (const SqlToken& token : driver::TokenizeSql(t.name)) {
        if (token.kind != SqlTokenKind::Name) {
          words = 0;
          break;
        }
        ++words;
      }
      const bool bare = StandsBare(t.fileName);
      entries.push_back({FoldCase(t.name), words,
                         bare ? Target{t.fileName, t.fileName, t.fileName + ".txt"}
                              : Target{t.fileName, "[" + t.fileName + "]", "[" + t.fileName + ".txt]"}});
    }
  }

  // The recordset that tokens[at...] name, and the last token of the name.
  const Target* Find(std::string_view sql, const std::vector<SqlToken>& tokens, size_t at, size_t& last) const {
    const SqlToken& t = tokens[at];
    if (t.kind != SqlTokenKind::Name && t.kind != SqlTokenKind::QuotedName) return nullptr;
    const std::string key = FoldCase(t.text);
    for (const Entry& e : entries) {
      if (e.folded == key) {
        last = at;
        return &e.target;
      }
    }
    if (t.kind != SqlTokenKind::Name) return nullptr;
    // A name of several words, written unbracketed with the same spaces.
    for (const Entry& e : entries) {
      if (e.words < 2 || at + e.words > tokens.size()) continue;
      const size_t end = at + e.words - 1;
      bool words = true;
      for (size_t k = at; k <= end && words; ++k) words = tokens[k].kind == SqlTokenKind::Name;
      if (words && FoldCase(sql.substr(t.begin, tokens[end].end - t.begin)) == e.folded) {
        last = end;
        return &e.target;
      }
    }
    return nullptr;
  }
};

// A qualifier keeps the quoting the caller gave it.
std::string QualifierAs(const SqlToken& t, std::string_view sql, const Target& target) {
  if (t.kind != SqlTokenKind::QuotedName) return target.qualifier;
  return sql[t.begin] == '`' ? "`" + target.fileName + "`" : "[" + target.fileName + "]";
}

}  // namespace

RewrittenSql RewriteSqlTokens(std::string_view sql, const std::vector<TableName>& tables) {
  RewrittenSql out;
  const NameIndex index(tables);
  if (index.entries.empty()) {
    out.text = std::string(sql);
    return out;
  }
  const std::vector<SqlToken> tokens = driver::TokenizeSql(sql);

  // One level per parenthesis: whether that level is in a FROM clause, where
  // a comma separates tables, and whether it opened where a table stands.
  struct Level {
    bool inFrom;
    bool isTable;
  };
  std::vector<Level> levels{{false, false}};
  bool expectTable = false;
  // Aliases the caller gave its tables: a qualifier that names one stays.
  std::set<std::string> aliases;
  auto noteAlias = [&](size_t at) {
    if (at < tokens.size() && IsKeyword(tokens[at], "AS")) ++at;
    if (at < tokens.size() && IsAlias(&tokens[at])) aliases.insert(FoldCase(tokens[at].text));
  };
  struct Qualifier {
    SqlEdit edit;
    std::string folded;
  };
  std::vector<Qualifier> qualifiers;

  for (size_t i = 0; i < tokens.size(); ++i) {
    const SqlToken& t = tokens[i];
    const SqlToken* before = i > 0 ? &tokens[i - 1] : nullptr;
    const bool tablePosition = expectTable;
    expectTable = false;

    // A recordset name in one of its two roles, even when it is a keyword:
    // before "." or "!" it qualifies; where a table stands it is one. The
    // SELECT that opens a derived table is never a table.
    size_t last = i;
    const bool gluedToNumber = before && before->kind == SqlTokenKind::Number && before->end == t.begin;
    const Target* target = IsQualifierMark(before) || gluedToNumber ? nullptr : index.Find(sql, tokens, i, last);
    const SqlToken* after = last + 1 < tokens.size() ? &tokens[last + 1] : nullptr;
    if (target && IsQualifierMark(after)) {
      qualifiers.push_back({{t.begin, tokens[last].end, QualifierAs(t, sql, *target)}, FoldCase(t.text)});
      i = last;
      continue;
    }
    if (target && tablePosition && !(IsOperator(before, "(") && IsKeyword(t, "SELECT"))) {
      if ((after && IsKeyword(*after, "AS")) || IsAlias(after)) {
        out.edits.push_back({t.begin, tokens[last].end, target->table});
        noteAlias(last + 1);
      } else if (IsOperator(after, ",") && after->begin == tokens[last].end) {
        out.edits.push_back({t.begin, after->end, target->table + " " + target->qualifier + ", "});
        expectTable = levels.back().inFrom;
        ++last;
      } else {
        out.edits.push_back({t.begin, tokens[last].end, target->table + " " + target->qualifier});
      }
      i = last;
      continue;
    }
    if (tablePosition && IsAlias(&t)) {
      // a table that is no recordset: a file name such as data.txt
      size_t end = i;
      while (end + 2 < tokens.size() && IsQualifierMark(&tokens[end + 1]) && IsAlias(&tokens[end + 2])) end += 2;
      noteAlias(end + 1);
      i = end;
      continue;
    }

    if (IsOperator(&t, "(")) {
      levels.push_back({tablePosition, tablePosition});  // a nested join or a derived table
      expectTable = tablePosition;
    } else if (IsOperator(&t, ")")) {
      if (levels.size() > 1) {
        if (levels.back().isTable) noteAlias(i + 1);
        levels.pop_back();
      }
    } else if (IsOperator(&t, ",")) {
      expectTable = levels.back().inFrom;
    } else if (IsKeyword(t, "FROM")) {
      levels.back().inFrom = true;
      expectTable = true;
    } else if (IsKeyword(t, "JOIN")) {
      expectTable = true;
    } else if (IsKeyword(t, "SELECT") || IsKeyword(t, "WHERE") || IsKeyword(t, "GROUP") ||
               IsKeyword(t, "HAVING") || IsKeyword(t, "ORDER") || IsKeyword(t, "UNION")) {
      levels.back().inFrom = false;
    }
  }

  for (Qualifier& q : qualifiers)
    if (!aliases.contains(q.folded)) out.edits.push_back(std::move(q.edit));
  std::sort(out.edits.begin(), out.edits.end(), [](const SqlEdit& a, const SqlEdit& b) { return a.begin < b.begin; });

  size_t copiedTo = 0;
  for (const SqlEdit& edit : out.edits) {
    out.text.append(sql.substr(copiedTo, edit.begin - copiedTo));
    out.text += edit.with;
    copiedTo = edit.end;
  }
  out.text.append(sql.substr(copiedTo));
  return out;
}

std::string RewriteSqlText(std::string_view sql, const std::vector<TableName>& tables) {
  return RewriteSqlTokens(sql, tables).text;
}

size_t CallerOffset(const std::vector<SqlEdit>& edits, size_t offset) {
  // shift: how far the rewritten text has moved against the caller's so far
  long long shift = 0;
  for (const SqlEdit& edit : edits) {
    const long long begin = static_cast<long long>(edit.begin) + shift;
    if (static_cast<long long>(offset) < begin) break;
    if (static_cast<long long>(offset) < begin + static_cast<long long>(edit.with.size())) return edit.begin;
    shift += static_cast<long long>(edit.with.size()) - static_cast<long long>(edit.end - edit.begin);
  }
  const long long caller = static_cast<long long>(offset) - shift;
  return caller < 0 ? 0 : static_cast<size_t>(caller);
}

std::vector<TableName> PairTableNames(const Ref<Collection>& names, const std::vector<std::string>& fileNames) {
  std::vector<TableName> tables;
  if (!names) return tables;
  const long count = names->Count();
  for (long i = 1; i <= count && static_cast<size_t>(i) <= fileNames.size(); ++i) {
    try {
      tables.push_back({ToText(names->Item(i)), fileNames[static_cast<size_t>(i) - 1]});
    } catch (...) {
      // an entry whose name cannot be read is left as written
    }
  }
  return tables;
}

}  // namespace vendrel::engine

namespace vendrel {

std::string Vendrel::RewriteSql(const std::string& sqlText, const Ref<Collection>& names,
                                const std::vector<std::string>& fileNames) const {
  try {
    return engine::RewriteSqlText(sqlText, engine::PairTableNames(names, fileNames));
  } catch (...) {
    return sqlText;
  }
}

}  // namespace vendrel

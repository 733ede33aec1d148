#include "sql_rewriter.h"

#include <unicode/uchar.h>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel::engine {

namespace {

struct CodePoint {
  UChar32 original;
  UChar32 folded;
  size_t begin;  // byte range in the text
  size_t end;
  bool inLiteral;
};

// A byte that is not valid UTF-8 stands for itself, outside the range of
// real code points, so it matches only the same byte.
constexpr UChar32 kInvalidByteBase = 0x110000;

std::vector<CodePoint> Decode(std::string_view text) {
  std::vector<CodePoint> out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const CodePointStep step = NextCodePoint(text, at);
    const UChar32 c = step.codePoint < 0 ? kInvalidByteBase + static_cast<uint8_t>(text[at]) : step.codePoint;
    const UChar32 folded = c >= kInvalidByteBase ? c : u_foldCase(c, U_FOLD_CASE_DEFAULT);
    out.push_back({c, folded, at, step.next, false});
    at = step.next;
  }
  return out;
}

// Marks the code points of string literals, quotes included; a doubled quote
// inside a literal is part of it. Quotes inside [bracketed] and `backquoted`
// names open no literal.
void MarkLiterals(std::vector<CodePoint>& text) {
  UChar32 closing = 0;
  bool literal = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const UChar32 c = text[i].original;
    if (closing != 0) {
      text[i].inLiteral = literal;
      if (c != closing) continue;
      if (literal && i + 1 < text.size() && text[i + 1].original == closing) {
        text[++i].inLiteral = true;
        continue;
      }
      closing = 0;
      literal = false;
    } else if (c == '\'' || c == '"') {
      closing = c;
      literal = true;
      text[i].inLiteral = true;
    } else if (c == '[') {
      closing = ']';
    } else if (c == '`') {
      closing = '`';
    }
  }
}

bool IsWordCharacter(UChar32 c) { return c == '_' || (c < kInvalidByteBase && u_isalnum(c)); }

std::vector<UChar32> FoldedPattern(std::string_view pattern) {
  std::vector<UChar32> out;
  for (const CodePoint& cp : Decode(pattern)) out.push_back(cp.folded);
  return out;
}

bool MatchesAt(const std::vector<CodePoint>& text, size_t at, const std::vector<UChar32>& pattern) {
  if (at + pattern.size() > text.size()) return false;
  if (at > 0 && IsWordCharacter(text[at - 1].original)) return false;
  for (size_t k = 0; k < pattern.size(); ++k)
    if (text[at + k].inLiteral || text[at + k].folded != pattern[k]) return false;
  return true;
}

std::string ReplacePattern(const std::string& text, std::string_view find, std::string_view with) {
  const std::vector<UChar32> pattern = FoldedPattern(find);
  if (pattern.empty()) return text;
  std::vector<CodePoint> cps = Decode(text);
  MarkLiterals(cps);
  std::string out;
  size_t copiedTo = 0;  // byte offset in text
  for (size_t i = 0; i < cps.size();) {
    if (!MatchesAt(cps, i, pattern)) {
      ++i;
      continue;
    }
    out.append(text, copiedTo, cps[i].begin - copiedTo);
    out.append(with);
    i += pattern.size();
    copiedTo = cps[i - 1].end;
  }
  if (copiedTo == 0) return text;
  out.append(text, copiedTo, std::string::npos);
  return out;
}

}  // namespace

std::string RewriteSqlText(std::string_view sql, const std::vector<TableName>& tables) {
  std::string text(sql);
  for (const TableName& table : tables) {
    if (table.name.empty()) continue;
    const std::string& n = table.name;
    const std::string& f = table.fileName;
    const std::string asTable = f + ".txt " + f;
    text = ReplacePattern(text, n + ".", f + ".");
    text = ReplacePattern(text, "[" + n + "].", "[" + f + "].");
    text = ReplacePattern(text, n + " ", asTable + " ");
    text = ReplacePattern(text, n + ",", asTable + ", ");
    text = ReplacePattern(text, n + " ,", asTable + ", ");
  }
  return text;
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

#include "sql/collation.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "sql/runtime.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::sql {

namespace {

struct CollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};

// Opened once; comparing is a const operation and safe from any thread.
const UCollator* Collator() {
  static const std::unique_ptr<UCollator, CollatorCloser> collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_open("", &status);
    if (U_FAILURE(status)) return std::unique_ptr<UCollator, CollatorCloser>();
    ucol_setAttribute(c, UCOL_STRENGTH, UCOL_TERTIARY, &status);
    ucol_setAttribute(c, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    return std::unique_ptr<UCollator, CollatorCloser>(c);
  }();
  return collator.get();
}

// For texts of ASCII characters the linguistic order is a plain character
// order (each folded character has its own primary weight, no contractions):
// ranks taken from the collator once, so most comparisons need no ICU call and
// no copy. Characters the collator ignores, or ranks equally, are not ranked.
struct AsciiOrder {
  uint8_t rank[256] = {};  // from 1; 0 for a byte that is not ranked (every byte beyond ASCII)
};

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

const AsciiOrder& Ascii() {
  static const AsciiOrder order = [] {
    AsciiOrder o;
    const UCollator* c = Collator();
    if (!c) return o;
    std::vector<char> chars;
    for (int i = 0; i < 128; ++i)
      if (FoldAscii(static_cast<char>(i)) == static_cast<char>(i)) chars.push_back(static_cast<char>(i));
    auto compare = [c](std::string_view x, std::string_view y) {
      UErrorCode status = U_ZERO_ERROR;
      return ucol_strcollUTF8(c, x.data(), static_cast<int32_t>(x.size()), y.data(), static_cast<int32_t>(y.size()),
                              &status);
    };
    std::stable_sort(chars.begin(), chars.end(),
                     [&](char x, char y) { return compare({&x, 1}, {&y, 1}) == UCOL_LESS; });
    for (size_t i = 0; i < chars.size(); ++i) {
      const char ch = chars[i];
      const std::string with = std::string("a") + ch + "b";
      const bool ignorable = compare(with, "ab") == UCOL_EQUAL;
      const bool tied = (i > 0 && compare({&chars[i - 1], 1}, {&ch, 1}) == UCOL_EQUAL) ||
                        (i + 1 < chars.size() && compare({&chars[i + 1], 1}, {&ch, 1}) == UCOL_EQUAL);
      if (ignorable || tied) continue;
      o.rank[static_cast<unsigned char>(ch)] = static_cast<uint8_t>(i + 1);
    }
    for (int i = 'A'; i <= 'Z'; ++i) o.rank[i] = o.rank[i - 'A' + 'a'];
    return o;
  }();
  return order;
}

bool AllRanked(const AsciiOrder& o, std::string_view s) {
  for (unsigned char c : s)
    if (o.rank[c] == 0) return false;
  return true;
}

// The comparison when both texts consist of ranked characters only. Sorting
// calls it for every pair it compares: the first differing rank decides once
// the rest of both texts is known to be ranked.
std::optional<int> CompareRanked(std::string_view a, std::string_view b) {
  const AsciiOrder& o = Ascii();
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const uint8_t x = o.rank[static_cast<unsigned char>(a[i])], y = o.rank[static_cast<unsigned char>(b[i])];
    if (x == 0 || y == 0) return std::nullopt;
    if (x != y) {
      if (!AllRanked(o, a.substr(i + 1)) || !AllRanked(o, b.substr(i + 1))) return std::nullopt;
      return x < y ? -1 : 1;
    }
  }
  if (!AllRanked(o, a.substr(n)) || !AllRanked(o, b.substr(n))) return std::nullopt;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int Bytewise(std::string_view a, std::string_view b) {
  const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0) return c;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int Compare(void*, int na, const void* a, int nb, const void* b) {
  try {
    return CompareJetText({static_cast<const char*>(a), static_cast<size_t>(na)},
                          {static_cast<const char*>(b), static_cast<size_t>(nb)});
  } catch (...) {
    return Bytewise({static_cast<const char*>(a), static_cast<size_t>(na)},
                    {static_cast<const char*>(b), static_cast<size_t>(nb)});
  }
}

}  // namespace

int CompareJetText(std::string_view a, std::string_view b) {
  if (const auto fast = CompareRanked(a, b)) return *fast;
  return CompareJetTextSlowly(a, b);
}

int CompareJetTextSlowly(std::string_view a, std::string_view b) {
  const std::string fa = FoldCase(a), fb = FoldCase(b);
  if (fa == fb) return 0;
  if (const UCollator* c = Collator()) {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = ucol_strcollUTF8(c, fa.data(), static_cast<int32_t>(fa.size()), fb.data(),
                                                static_cast<int32_t>(fb.size()), &status);
    if (U_SUCCESS(status) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
  }
  return Bytewise(fa, fb);
}

int RegisterJetTextCollation(sqlite3* db) {
  return sqlite3_create_collation_v2(db, std::string(fn::kCollation).c_str(), SQLITE_UTF8, nullptr, Compare, nullptr);
}

}  // namespace vendrel::driver::sql

#include "sql/collation.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "sql/runtime.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/driver/text_order.h"

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
  // Every printable character (0x20 to 0x7E) ranked: a text of them needs no
  // look-up to be known ranked.
  bool printableRanked = false;
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
    o.printableRanked = std::all_of(o.rank + 0x20, o.rank + 0x7F, [](uint8_t r) { return r != 0; });
    return o;
  }();
  return order;
}

bool AllRanked(const AsciiOrder& o, std::string_view s) {
  for (unsigned char c : s)
    if (o.rank[c] == 0) return false;
  return true;
}

uint64_t Word(const char* at) {
  uint64_t w;
  std::memcpy(&w, at, sizeof w);
  return w;
}

uint64_t HalfWord(const char* at) {
  uint32_t w;
  std::memcpy(&w, at, sizeof w);
  return w;
}

// The high bit of a byte set for a byte outside 0x20 to 0x7E (and maybe for
// bytes above one): below 0x20, or reaching 0x80 by adding 1.
uint64_t NotPrintable(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
  return (((w - kOnes * 0x20) & ~w) | (w + kOnes) | w) & kHighs;
}

// NotPrintable over words that cover the text (the last one overlapping the
// one before): 0 when the text is all printable, known without a look-up
// per character.
[[gnu::always_inline]] inline uint64_t NotPrintableIn(std::string_view s) {
  const char* p = s.data();
  const size_t n = s.size();
  if (n >= 8) {
    uint64_t bad = NotPrintable(Word(p + n - 8));
    for (size_t i = 0; i + 8 <= n; i += 8) bad |= NotPrintable(Word(p + i));
    return bad;
  }
  if (n >= 4) return NotPrintable(HalfWord(p) | HalfWord(p + n - 4) << 32);
  if (n == 0) return 0;
  const auto byte = [p](size_t i) { return static_cast<uint64_t>(static_cast<unsigned char>(p[i])); };
  return NotPrintable(byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16 | 0x2020202020000000);
}

// The comparison when both texts consist of ranked characters only: the
// first differing rank decides. Sorting calls it for every pair it compares:
// inlined, as NotPrintableIn, since a call costs a good part of a comparison.
[[gnu::always_inline]] inline std::optional<int> CompareRanked(std::string_view a, std::string_view b) {
  const AsciiOrder& o = Ascii();
  // Printable texts, the common case, are known ranked without look-ups.
  if (!(o.printableRanked && (NotPrintableIn(a) | NotPrintableIn(b)) == 0) && !(AllRanked(o, a) && AllRanked(o, b)))
    return std::nullopt;
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i + 8 <= n && Word(a.data() + i) == Word(b.data() + i)) i += 8;
  for (; i < n; ++i) {
    if (a[i] == b[i]) continue;
    const uint8_t x = o.rank[static_cast<unsigned char>(a[i])], y = o.rank[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int Bytewise(std::string_view a, std::string_view b) {
  const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0) return c;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int Compare(void*, int na, const void* a, int nb, const void* b) {
  const std::string_view x(static_cast<const char*>(a), static_cast<size_t>(na));
  const std::string_view y(static_cast<const char*>(b), static_cast<size_t>(nb));
  try {
    if (const auto fast = CompareRanked(x, y)) return *fast;
    return CompareJetTextSlowly(x, y);
  } catch (...) {
    return Bytewise(x, y);
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

namespace vendrel::driver {

int CompareTexts(std::string_view a, std::string_view b) { return sql::CompareJetText(a, b); }

}  // namespace vendrel::driver

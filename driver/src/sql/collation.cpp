#include "sql/collation.h"

#include <unicode/ucol.h>

#include <cstring>
#include <memory>
#include <string>

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

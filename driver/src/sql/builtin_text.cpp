#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "sql/collation.h"
#include "sql/utf8.h"
#include "sql/builtin.h"
#include "sql/builtin_util.h"

namespace vendrel::driver::sql::builtin {

namespace {

constexpr int32_t kLongestText = 1 << 28;  // characters a function may build

std::u32string Chars(const Variant& v) { return DecodeUtf8(ToText(v)); }
Variant FromChars(std::u32string_view s) { return Variant::String(EncodeUtf8(s)); }

std::u32string Folded(std::u32string s) {
  for (char32_t& c : s) c = static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
  return s;
}

// Position of needle in haystack at or after from, or npos.
size_t Find(const std::u32string& haystack, const std::u32string& needle, size_t from, bool text) {
  if (!text) return haystack.find(needle, from);
  return Folded(haystack).find(Folded(needle), from);
}

size_t FindLast(const std::u32string& haystack, const std::u32string& needle, size_t endBefore, bool text) {
  if (needle.size() > endBefore) return std::u32string::npos;
  const size_t last = endBefore - needle.size();
  if (!text) return haystack.rfind(needle, last);
  return Folded(haystack).rfind(Folded(needle), last);
}

Variant Trimmed(const Variant& v, bool left, bool right) {
  if (v.IsNull()) return v;
  std::string s = ToText(v);
  size_t b = 0, e = s.size();
  if (left)
    while (b < e && s[b] == ' ') ++b;
  if (right)
    while (e > b && s[e - 1] == ' ') --e;
  return Variant::String(s.substr(b, e - b));
}

Variant Cased(const Variant& v, bool upper) {
  if (v.IsNull()) return v;
  const std::string s = ToText(v);
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
  if (upper) u.toUpper(icu::Locale::getRoot());
  else u.toLower(icu::Locale::getRoot());
  std::string out;
  u.toUTF8String(out);
  return Variant::String(std::move(out));
}

char32_t CharacterCode(const Variant& v) {
  const int64_t n = ToBigInt(v);
  Require(n >= 0 && n <= 0x10FFFF && !(n >= 0xD800 && n <= 0xDFFF));
  return static_cast<char32_t>(n);
}

std::string Digits(uint64_t n, unsigned base) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out += digits[n % base];
    n /= base;
  } while (n);
  std::reverse(out.begin(), out.end());
  return out;
}

// The whole number Hex and Oct show; negatives in the width of their type.
uint64_t Bits(const Variant& v) {
  const int64_t n = ToBigInt(v);
  if (n >= 0) return static_cast<uint64_t>(n);
  const VarType t = v.Type();
  if ((t == VarType::Integer || t == VarType::Byte || t == VarType::Boolean) && n >= INT16_MIN)
    return static_cast<uint16_t>(n);
  if (n >= INT32_MIN) return static_cast<uint32_t>(n);
  return static_cast<uint64_t>(n);
}

}  // namespace

bool TextCompare(std::span<const Variant> a, size_t compareIndex) {
  if (!Given(a, compareIndex)) return true;
  const int32_t mode = ToLong(a[compareIndex]);
  Require(mode >= -1 && mode <= 2);
  return mode != 0;
}

Variant Left(Args a) {
  if (a[0].IsNull()) return a[0];
  const int32_t n = ToLong(a[1]);
  Require(n >= 0);
  const std::u32string s = Chars(a[0]);
  return FromChars(std::u32string_view(s).substr(0, static_cast<size_t>(n)));
}

Variant Right(Args a) {
  if (a[0].IsNull()) return a[0];
  const int32_t n = ToLong(a[1]);
  Require(n >= 0);
  const std::u32string s = Chars(a[0]);
  const size_t keep = std::min(s.size(), static_cast<size_t>(n));
  return FromChars(std::u32string_view(s).substr(s.size() - keep));
}

Variant Mid(Args a) {
  if (a[0].IsNull()) return a[0];
  const int32_t start = ToLong(a[1]);
  Require(start >= 1);
  const int32_t length = Given(a, 2) && !a[2].IsNull() ? ToLong(a[2]) : INT32_MAX;
  Require(length >= 0);
  const std::u32string s = Chars(a[0]);
  if (static_cast<size_t>(start) > s.size()) return Variant::String("");
  return FromChars(std::u32string_view(s).substr(static_cast<size_t>(start) - 1, static_cast<size_t>(length)));
}

Variant Len(Args a) {
  if (a[0].IsNull()) return a[0];
  return Variant::Long(static_cast<int32_t>(Chars(a[0]).size()));
}

Variant InStr(Args a) {
  // InStr(s1, s2) or InStr(start, s1, s2 [, compare])
  const bool withStart = a.size() >= 3;
  const size_t first = withStart ? 1 : 0;
  const int32_t start = withStart ? ToLong(a[0]) : 1;
  Require(start >= 1);
  if (a[first].IsNull() || a[first + 1].IsNull()) return Variant::Null();
  const std::u32string haystack = Chars(a[first]), needle = Chars(a[first + 1]);
  if (static_cast<size_t>(start) > haystack.size()) return Variant::Long(0);
  if (needle.empty()) return Variant::Long(start);
  const size_t at = Find(haystack, needle, static_cast<size_t>(start) - 1, TextCompare(a, 3));
  return Variant::Long(at == std::u32string::npos ? 0 : static_cast<int32_t>(at) + 1);
}

Variant InStrRev(Args a) {
  if (a[0].IsNull() || a[1].IsNull()) return Variant::Null();
  const std::u32string haystack = Chars(a[0]), needle = Chars(a[1]);
  const int32_t start = LongArg(a, 2, -1);
  Require(start == -1 || start >= 1);
  const size_t end = start == -1 ? haystack.size() : static_cast<size_t>(start);
  if (end > haystack.size()) return Variant::Long(0);
  if (needle.empty()) return Variant::Long(static_cast<int32_t>(end));
  const size_t at = FindLast(haystack, needle, end, TextCompare(a, 3));
  return Variant::Long(at == std::u32string::npos ? 0 : static_cast<int32_t>(at) + 1);
}

Variant LCase(Args a) { return Cased(a[0], false); }
Variant UCase(Args a) { return Cased(a[0], true); }
Variant LTrim(Args a) { return Trimmed(a[0], true, false); }
Variant RTrim(Args a) { return Trimmed(a[0], false, true); }
Variant Trim(Args a) { return Trimmed(a[0], true, true); }

Variant Space(Args a) {
  const int32_t n = ToLong(a[0]);
  Require(n >= 0 && n <= kLongestText);
  return Variant::String(std::string(static_cast<size_t>(n), ' '));
}

Variant String(Args a) {
  if (a[0].IsNull()) return a[0];
  const int32_t n = ToLong(a[0]);
  Require(n >= 0 && n <= kLongestText);
  if (a[1].IsNull()) return a[1];
  char32_t c;
  if (a[1].IsString()) {
    const std::u32string s = Chars(a[1]);
    Require(!s.empty());
    c = s[0];
  } else {
    c = CharacterCode(a[1]);
  }
  return FromChars(std::u32string(static_cast<size_t>(n), c));
}

Variant Asc(Args a) {
  const std::u32string s = Chars(a[0]);
  Require(!s.empty());
  return Variant::Long(static_cast<int32_t>(s[0]));
}

Variant Chr(Args a) { return FromChars(std::u32string(1, CharacterCode(a[0]))); }

Variant StrComp(Args a) {
  if (a[0].IsNull() || a[1].IsNull()) return Variant::Null();
  const std::string x = ToText(a[0]), y = ToText(a[1]);
  const int c = TextCompare(a, 2) ? CompareJetText(x, y) : x.compare(y);
  return Variant::Integer(static_cast<int16_t>(c < 0 ? -1 : c > 0 ? 1 : 0));
}

Variant Replace(Args a) {
  if (a[0].IsNull()) return a[0];
  const std::u32string s = Chars(a[0]), find = Chars(a[1]), with = Chars(a[2]);
  const int32_t start = LongArg(a, 3, 1);
  const int32_t count = LongArg(a, 4, -1);
  Require(start >= 1 && count >= -1);
  const bool text = TextCompare(a, 5);
  if (static_cast<size_t>(start) > s.size()) return Variant::String("");
  const std::u32string rest = s.substr(static_cast<size_t>(start) - 1);
  if (find.empty() || count == 0) return FromChars(rest);
  const std::u32string haystack = text ? Folded(rest) : rest, needle = text ? Folded(find) : find;
  std::u32string out;
  size_t at = 0;
  int32_t done = 0;
  while (count == -1 || done < count) {
    const size_t hit = haystack.find(needle, at);
    if (hit == std::u32string::npos) break;
    out.append(rest, at, hit - at);
    out += with;
    at = hit + needle.size();
    ++done;
    if (out.size() > static_cast<size_t>(kLongestText)) Fail(err::kOverflow);
  }
  out.append(rest, at, std::u32string::npos);
  return FromChars(out);
}

Variant StrReverse(Args a) {
  if (a[0].IsNull()) return a[0];
  std::u32string s = Chars(a[0]);
  std::reverse(s.begin(), s.end());
  return FromChars(s);
}

Variant Str(Args a) {
  if (a[0].IsNull()) return a[0];
  const Variant v = a[0].IsString() ? Variant::Double(ToDouble(a[0])) : a[0];
  std::string s = ToText(v);
  if (v.IsNumeric() && v.Type() != VarType::Boolean && (s.empty() || s[0] != '-')) s.insert(s.begin(), ' ');
  return Variant::String(std::move(s));
}

Variant Val(Args a) {
  if (a[0].IsNull()) return a[0];
  std::string s;
  for (char c : ToText(a[0]))
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s += c;
  if (s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    const unsigned base = s[1] == 'H' || s[1] == 'h' ? 16 : 8;
    uint64_t n = 0;
    for (size_t i = 2; i < s.size(); ++i) {
      const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
      const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
      if (d >= static_cast<int>(base)) break;
      n = n * base + static_cast<unsigned>(d);
    }
    return Variant::Double(n <= UINT32_MAX ? static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(n)))
                                           : static_cast<double>(static_cast<int64_t>(n)));
  }
  size_t i = 0;
  std::string number;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) number += s[i++];
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(s[i]))) {
      number += s[i];
      digits = true;
    } else if (s[i] == '.' && !point) {
      number += '.';
      point = true;
    } else {
      break;
    }
  }
  if (digits && i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    std::string exponent = "e";
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '-' || s[j] == '+')) exponent += s[j++];
    bool expDigits = false;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
      exponent += s[j++];
      expDigits = true;
    }
    if (expDigits) number += exponent;
  }
  if (!digits) return Variant::Double(0);
  const auto d = ParseNumber(number);
  if (!d || !std::isfinite(*d)) Fail(err::kOverflow);
  return Variant::Double(*d);
}

Variant Hex(Args a) {
  if (a[0].IsNull()) return a[0];
  return Variant::String(Digits(Bits(a[0]), 16));
}

Variant Oct(Args a) {
  if (a[0].IsNull()) return a[0];
  return Variant::String(Digits(Bits(a[0]), 8));
}

}  // namespace vendrel::driver::sql::builtin

#include "sql/like.h"

#include "sql/utf8.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::sql {

bool LikePattern::Element::Accepts(char32_t c) const {
  switch (kind) {
    case Kind::AnyOne: return true;
    case Kind::Literal: return c == literal;
    case Kind::Set: {
      bool in = false;
      for (const Range& r : ranges)
        if (c >= r.low && c <= r.high) in = true;
      return in != negated;
    }
    case Kind::AnyRun: return false;
  }
  return false;
}

LikePattern::LikePattern(std::string_view pattern) {
  const std::u32string p = DecodeUtf8(FoldCase(pattern));
  for (size_t i = 0; i < p.size(); ++i) {
    Element e{Element::Kind::Literal, 0, {}, false};
    const char32_t c = p[i];
    if (c == U'%') {
      if (!elements_.empty() && elements_.back().kind == Element::Kind::AnyRun) continue;
      e.kind = Element::Kind::AnyRun;
    } else if (c == U'_') {
      e.kind = Element::Kind::AnyOne;
    } else if (c == U'[' && p.find(U']', i + 1) != std::u32string::npos && p[i + 1] != U']') {
      size_t j = i + 1;
      e.kind = Element::Kind::Set;
      if (p[j] == U'!' && p[j + 1] != U']') {
        e.negated = true;
        ++j;
      }
      for (; p[j] != U']'; ++j) {
        if (j + 2 < p.size() && p[j + 1] == U'-' && p[j + 2] != U']') {
          e.ranges.push_back({p[j], p[j + 2]});
          j += 2;
        } else {
          e.ranges.push_back({p[j], p[j]});
        }
      }
      i = j;
    } else {
      e.literal = c;
    }
    elements_.push_back(std::move(e));
  }
}

bool LikePattern::Matches(std::string_view text) const {
  const std::u32string t = DecodeUtf8(FoldCase(text));
  size_t ti = 0, pi = 0;
  size_t starElement = std::string::npos, starText = 0;
  while (ti < t.size()) {
    if (pi < elements_.size() && elements_[pi].kind == Element::Kind::AnyRun) {
      starElement = pi++;
      starText = ti;
      continue;
    }
    if (pi < elements_.size() && elements_[pi].Accepts(t[ti])) {
      ++pi;
      ++ti;
      continue;
    }
    if (starElement == std::string::npos) return false;
    pi = starElement + 1;
    ti = ++starText;
  }
  while (pi < elements_.size() && elements_[pi].kind == Element::Kind::AnyRun) ++pi;
  return pi == elements_.size();
}

}  // namespace vendrel::driver::sql

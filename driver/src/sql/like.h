#pragma once
// LIKE of the dialect: % any run, _ one character, [abc] [a-z] [!abc] one of
// (or none of) a set; no escape character; without regard to case.

#include <string>
#include <string_view>
#include <vector>

namespace vendrel::driver::sql {

class LikePattern {
 public:
  explicit LikePattern(std::string_view pattern);
  bool Matches(std::string_view text) const;

 private:
  struct Range {
    char32_t low, high;
  };
  struct Element {
    enum class Kind { AnyRun, AnyOne, Literal, Set } kind;
    char32_t literal = 0;
    std::vector<Range> ranges;
    bool negated = false;
    bool Accepts(char32_t c) const;
  };
  std::vector<Element> elements_;
};

}  // namespace vendrel::driver::sql

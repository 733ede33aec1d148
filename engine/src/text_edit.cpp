#include "text_edit.h"

#include <algorithm>

namespace vendrel::engine {

namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

template <class Find>
void ReplaceEach(std::string& text, std::string_view find, std::string_view with, Find findFrom) {
  if (find.empty()) return;
  std::string out;
  size_t from = 0;
  for (size_t at = findFrom(from); at != std::string::npos; at = findFrom(from)) {
    out.append(text, from, at - from);
    out.append(with);
    from = at + find.size();
  }
  if (from == 0) return;
  out.append(text, from, std::string::npos);
  text = std::move(out);
}

}  // namespace

void ReplaceAll(std::string& text, std::string_view find, std::string_view with) {
  ReplaceEach(text, find, with, [&](size_t from) { return text.find(find, from); });
}

void ReplaceAllNoCase(std::string& text, std::string_view find, std::string_view with) {
  ReplaceEach(text, find, with, [&](size_t from) -> size_t {
    auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), find.begin(), find.end(),
                          [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
    return it == text.end() ? std::string::npos : static_cast<size_t>(it - text.begin());
  });
}

}  // namespace vendrel::engine

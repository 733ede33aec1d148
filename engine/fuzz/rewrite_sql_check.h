#pragma once
// What RewriteSql promises for any statement and any recordset names, as the
// fuzz target checks it one input at a time. The suite runs the same check
// over the seed corpus and every input that once broke a promise
// (engine/fuzz/regressions/).

#include <stdexcept>
#include <string_view>

namespace vendrel::engine::fuzz {

struct Finding : std::logic_error {
  using std::logic_error::logic_error;
};

// The input's first line holds the recordset names, separated by TAB; the
// rest is the statement. Every second entry is an optimized one (its file
// name is its own name), the others get "TEMP" names. The rewriting must not
// raise, must return the statement unchanged when no name occurs in it, and
// must keep valid UTF-8 valid; otherwise Finding is thrown.
void CheckRewrite(std::string_view input);

}  // namespace vendrel::engine::fuzz

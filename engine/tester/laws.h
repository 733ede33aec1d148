#pragma once
// The laws that a right answer obeys, checked without knowing the answer:
// the same rows whichever way the statement runs; a query's rows split by a
// predicate into those where it is true, false and Null; aggregates that
// recombine from those parts; ORDER BY that orders and changes nothing else;
// TOP that keeps a prefix of the ordered rows with its ties; UNION and
// DISTINCT that keep what their members give, once.

#include <optional>
#include <string>
#include <vector>

#include "roads.h"
#include "statement.h"

namespace vendrel::tester {

// A law applied to statements in hand: what a saved finding holds, and what
// the suite runs again.
struct Check {
  std::string law;                 // the law's name (below)
  std::vector<std::string> sql;    // the statements the law relates; the first is the whole
  std::vector<std::string> terms;  // what else the law needs (below)
  bool approximate = false;        // floating sums in the results: compared to about ten digits
  bool anySpelling = false;        // texts that differ only by case may come back in either spelling
};
// terms by law: roads: the roads compared with the reference; partition:
// "rows" or "distinct"; recombine: per output column count, sum, min or max;
// order: per key "N" or "N desc" (N a 1-based output column); top: the count,
// "percent" or not, then the keys as for order; union: "all" or "distinct"
// between each two members; pivot: the number of row headings. The laws
// are roads, partition, recombine, order, top, union, distinct and pivot (a
// crosstab's cells are the rows of the same query grouped by its headings
// and its pivot value).

struct Verdict {
  bool failed = false;
  bool skipped = false;   // the statements raised errors a law cannot judge (say, Overflow on the data)
  std::string signature;  // the kind of failure: the same kind is kept while shrinking
  std::string what;       // for a person
  std::string refusal;    // roads: the reference road's error, when the statement is refused
};

Verdict Judge(const Check& check, Roads& roads);

// What a law is tried on, before its statements are written: the shrinker
// makes smaller trials and writes their checks again.
struct Trial {
  std::string law;
  Statement statement;
  std::optional<Expr> predicate;  // partition and recombine
  std::string place;              // partition: where, having or on
  std::vector<std::string> roads; // roads
};

// The check of a trial; nullopt when the law does not apply to its statement.
std::optional<Check> CheckOf(const Trial& trial);

// Whether an error is one that the data raises at run time (Overflow,
// Invalid use of Null, Division by zero...), which may come from one plan and
// not from another that evaluates other rows first; never an error of the
// driver or the component itself.
bool IsRuntimeError(const Outcome& outcome);
// Whether an error is one of the dialect's own (not an unexpected error of
// the database under the driver, nor the component's error of unknown cause).
bool IsDialectError(const Outcome& outcome);

}  // namespace vendrel::tester

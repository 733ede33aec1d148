#pragma once
// The type of a column that no schema.ini declares, guessed from every one
// of its values, and the reasons for it: the one place that decides.

#include <cstddef>
#include <string>
#include <string_view>

#include "core/types.h"
#include "text/value_reader.h"

namespace vendrel::driver::text {

// What decided a guessed column's type.
struct TypeGuessReport {
  JetType type = JetType::Text;
  DayMonthOrder order = DayMonthOrder::MonthFirst;  // of a Date column
  // The kind nearly all of a Text column's values are (or, for a Date
  // column read day first, the date kind the regional order would have
  // given), and the first value that is not of it, with its line.
  enum class Kind { None, Number, Date };
  Kind nearly = Kind::None;
  DayMonthOrder nearlyOrder = DayMonthOrder::MonthFirst;  // Date
  bool bothOrders = false;  // every value a date, but the dates are in both orders
  size_t values = 0;        // not blank
  size_t misfits = 0;       // of them, not of the kind
  std::string firstMisfit;
  int firstMisfitLine = 0;
  // Number: some of the misfits are numbers beyond a double's range, which
  // make the column Text whatever the others are; whether the first one is.
  bool beyondDouble = false;
  bool firstBeyondDouble = false;
};

class TypeGuess {
 public:
  // No more values than `valuesAtMost` will come: beyond the type, the guess
  // looks at values only while a note could still come of them.
  explicit TypeGuess(size_t valuesAtMost) : valuesAtMost_(valuesAtMost) {}

  // Whether the next value's reading is wanted.
  bool Wants() const { return readsAll_ != 0 || !NoteImpossible(); }
  // A value that is not blank, and what it reads as (ValueReader::Guess).
  // Inline: it runs for every value of a guessed column.
  void Add(unsigned readsAs, std::string_view text, int line) {
    readsAll_ &= readsAs;
    ++values_;
    const unsigned fits = ((readsAs & kNumberBits) ? 1u << kNumber : 0u) |
                          ((readsAs & kGuessDateMonthFirst) ? 1u << kMonthFirst : 0u) |
                          ((readsAs & kGuessDateDayFirst) ? 1u << kDayFirst : 0u) |
                          ((readsAs & kGuessDate) ? 1u << kAnyDate : 0u);
    for (int k = 0; k < kTracked; ++k) fits_[k] += fits >> k & 1u;
    const bool beyond = (readsAs & kGuessBeyondDouble) != 0;
    beyondDouble_ += beyond;
    if (const unsigned firstMisfits = ~fits & unseen_) KeepFirstMisfits(firstMisfits, beyond, text, line);
  }
  // One that is not blank, when its reading is not wanted.
  void AddUnread() { ++values_; }

  // The first type of the preference order that reads every value (Text when
  // there is none; Memo when `longTexts`), a date column's order, and why.
  TypeGuessReport Settle(bool longTexts) const;

 private:
  // The kinds whose first misfit is kept: a number, a date in each order, a
  // date in either.
  enum Tracked { kNumber, kMonthFirst, kDayFirst, kAnyDate, kTracked };
  struct Misfit {
    std::string first;  // empty until one comes
    int line = 0;
    bool seen = false;
  };
  static constexpr unsigned kNumberBits = kGuessLong | kGuessBigInt | kGuessDouble;
  bool NoteImpossible() const;
  void KeepFirstMisfits(unsigned kinds, bool beyond, std::string_view text, int line);

  size_t valuesAtMost_;
  unsigned readsAll_ = kGuessAll;  // what every value so far reads as
  size_t values_ = 0;              // not blank
  size_t fits_[kTracked] = {};  // values of each kind
  Misfit kinds_[kTracked];
  unsigned unseen_ = (1u << kTracked) - 1;  // the kinds that had no misfit yet
  size_t beyondDouble_ = 0;                  // numbers beyond a double's range
  bool firstNumberMisfitBeyond_ = false;
};

}  // namespace vendrel::driver::text

#include "text/type_guess.h"

namespace vendrel::driver::text {

namespace {

// A note names a kind that all values but one in this many are of.
constexpr size_t kNearlyAll = 20;
// Enough of a value for a note to show it.
constexpr size_t kKeptBytes = 200;

}  // namespace

bool TypeGuess::NoteImpossible() const {
  if (!kinds_[kAnyDate].seen) return false;  // all dates so far: they may be in both orders
  // Numbers beyond a double's range count for a note as numbers.
  if ((values_ - fits_[kNumber] - beyondDouble_) * kNearlyAll <= valuesAtMost_) return false;
  for (int k = kMonthFirst; k <= kDayFirst; ++k)
    if ((values_ - fits_[k]) * kNearlyAll <= valuesAtMost_) return false;
  return true;
}

void TypeGuess::KeepFirstMisfits(unsigned kinds, bool beyond, std::string_view text, int line) {
  for (int k = 0; k < kTracked; ++k) {
    if (!(kinds & (1u << k))) continue;
    Misfit& kind = kinds_[k];
    kind.seen = true;
    kind.first = std::string(text.substr(0, kKeptBytes));
    kind.line = line;
    if (k == kNumber) firstNumberMisfitBeyond_ = beyond;
  }
  unseen_ &= ~kinds;
}

TypeGuessReport TypeGuess::Settle(bool longTexts) const {
  TypeGuessReport r;
  r.values = values_;
  const unsigned all = readsAll_;
  r.type = values_ == 0                ? JetType::Text
           : (all & kGuessBoolean)     ? JetType::Boolean
           : (all & kGuessLong)        ? JetType::Long
           : (all & kGuessBigInt)      ? JetType::BigInt
           : (all & kGuessDouble)      ? JetType::Double
           : (all & kGuessDate)        ? JetType::Date
           : longTexts                 ? JetType::Memo
                                       : JetType::Text;
  // One day-month order for the whole column: the regional one unless only the other fits every value.
  r.order = (all & kGuessDateMonthFirst) || values_ == 0 ? DayMonthOrder::MonthFirst : DayMonthOrder::DayFirst;
  auto report = [&](Tracked kind, TypeGuessReport::Kind nearly) {
    r.nearly = nearly;
    r.nearlyOrder = kind == kDayFirst ? DayMonthOrder::DayFirst : DayMonthOrder::MonthFirst;
    r.misfits = values_ - fits_[kind];
    r.firstMisfit = kinds_[kind].first;
    r.firstMisfitLine = kinds_[kind].line;
  };
  if (r.type == JetType::Date) {
    // Read day first: the value that the regional order could not read says why.
    if (r.order == DayMonthOrder::DayFirst) report(kMonthFirst, TypeGuessReport::Kind::Date);
    return r;
  }
  if (r.type != JetType::Text && r.type != JetType::Memo) return r;
  if (values_ >= 2 && fits_[kAnyDate] == values_ && kinds_[kMonthFirst].seen && kinds_[kDayFirst].seen) {
    r.bothOrders = true;
    report(kMonthFirst, TypeGuessReport::Kind::Date);
    return r;
  }
  // Numbers beyond a double's range count with the numbers, and make a note
  // whenever the other values are numbers nearly all.
  Tracked best = kNumber;
  for (Tracked k : {kMonthFirst, kDayFirst})
    if (fits_[k] > fits_[best] + beyondDouble_) best = k;
  const size_t misfits = values_ - fits_[best];
  const size_t beyond = best == kNumber ? beyondDouble_ : 0;
  if (misfits == 0 || (misfits - beyond) * kNearlyAll > values_ || (beyond == 0 && values_ < 2)) return r;
  report(best, best == kNumber ? TypeGuessReport::Kind::Number : TypeGuessReport::Kind::Date);
  r.beyondDouble = beyond > 0;
  r.firstBeyondDouble = r.beyondDouble && firstNumberMisfitBeyond_;
  return r;
}

}  // namespace vendrel::driver::text

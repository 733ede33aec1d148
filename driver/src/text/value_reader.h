#pragma once
// Reading one field's text as a value of a column type, in the text forms the
// engine writes ("1/2/2003 13:04:05", "12.5", "True") and under a file's
// formatting keys.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/text_layout.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel::driver::text {

struct NumberReading {
  enum class Kind { Bad, Whole, Fraction };
  Kind kind = Kind::Bad;
  int64_t whole = 0;  // Whole
  double real = 0;    // Whole and Fraction
};

// The types that a field's text can be read as when a column's type is guessed.
constexpr unsigned kGuessBoolean = 1;
constexpr unsigned kGuessLong = 2;
constexpr unsigned kGuessBigInt = 4;
constexpr unsigned kGuessDouble = 8;
// A date such as 02/03/2024 reads in one order or both: month first (the
// regional, United States order) or day first. A guessed column takes one
// order for all its values.
constexpr unsigned kGuessDateMonthFirst = 16;
constexpr unsigned kGuessDateDayFirst = 32;
constexpr unsigned kGuessDate = kGuessDateMonthFirst | kGuessDateDayFirst;
constexpr unsigned kGuessAll = 63;
// No type: a number beyond a double's range (1e400), which only Text holds.
constexpr unsigned kGuessBeyondDouble = 64;

enum class DayMonthOrder { MonthFirst, DayFirst };

class ValueReader {
 public:
  explicit ValueReader(const TextFormat& format) : format_(format) {}

  // A number; whole when it has no fraction and fits 64 bits.
  NumberReading Number(std::string_view text) const;
  std::optional<Currency> CurrencyValue(std::string_view text) const;
  // A Double: a number, "-0" with its sign, or NaN, Infinity, -Infinity as
  // the engine writes them.
  std::optional<double> Real(std::string_view text) const;
  // A Single read as one (not through a double, so that the largest Single
  // stays one); nullopt when it is no number or beyond Single's range.
  std::optional<float> SingleValue(std::string_view text) const;
  // Nullopt when the text is no date; `outOfRange` is not distinguished.
  // Reads the engine's fractions of a second too ("1/2/2003 01:00:00.5").
  std::optional<DateValue> Date(std::string_view text) const;
  // The same in one order for a date whose day and month are both numbers;
  // a date that names its month, or starts with the year, reads as above.
  std::optional<DateValue> Date(std::string_view text, DayMonthOrder order) const;
  std::optional<bool> Boolean(std::string_view text) const;

  // For guessing: what the text can be read as without losing anything
  // (leading zeros, digits beyond a double's precision, "True" as a number).
  unsigned Guess(std::string_view text) const;

 private:
  // The text with the file's decimal symbol turned into the regional one.
  std::string_view Normalized(std::string_view text, std::string& buffer) const;

  const TextFormat& format_;
};

// Byte, Short, Long or BigInt.
bool IsWholeNumberType(JetType type);
// The narrowest whole-number type, at least as wide as `atLeast`, that holds n.
JetType WholeTypeFor(int64_t n, JetType atLeast);

// Parses a date by a picture such as "dd.mm.yyyy hh:nn:ss" or "m/d/yyyy h:nn AM/PM".
std::optional<DateValue> ParseDateByPicture(std::string_view text, std::string_view picture);

}  // namespace vendrel::driver::text

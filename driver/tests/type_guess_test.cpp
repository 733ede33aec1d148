// The one rule that guesses a column's type, and the reasons it gives: the
// kind nearly all of a Text column's values are, and the first that is not.

#include "text/type_guess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/delimited_reader.h"
#include "vendrel/driver/driver.h"

namespace vendrel::driver::text {
namespace {

using Kind = TypeGuessReport::Kind;

TypeGuessReport Guessed(const std::vector<std::string>& values) {
  const TextFormat format;
  const ValueReader reader(format);
  TypeGuess guess(values.size());
  for (size_t i = 0; i < values.size(); ++i)
    if (!values[i].empty()) guess.Add(reader.Guess(values[i]), values[i], static_cast<int>(i) + 2);
  return guess.Settle(false);
}

std::vector<std::string> Repeated(const std::string& value, size_t n, const std::string& odd, size_t at) {
  std::vector<std::string> values(n, value);
  values[at] = odd;
  return values;
}

TEST(TypeGuess, SettlesOnTheFirstTypeThatReadsEveryValueAndSaysWhy) {
  struct Case {
    const char* what;
    std::vector<std::string> values;
    JetType type;
    DayMonthOrder order;
    Kind nearly;
    bool bothOrders;
    size_t misfits;
    std::string firstMisfit;
    int line;  // of the first misfit; the first value is on line 2
    bool beyondDouble = false;
  };
  const auto mf = DayMonthOrder::MonthFirst;
  const auto df = DayMonthOrder::DayFirst;
  const Case cases[] = {
      {"whole numbers", {"1", "-2", "30000"}, JetType::Long, mf, Kind::None, false, 0, "", 0},
      {"no values", {"", ""}, JetType::Text, mf, Kind::None, false, 0, "", 0},
      {"dates month first", {"2/3/2003", "1/13/2003"}, JetType::Date, mf, Kind::None, false, 0, "", 0},
      {"dates that only read day first", {"2/3/2003", "13/1/2003"}, JetType::Date, df, Kind::Date, false, 1,
       "13/1/2003", 3},
      // The file: each order holds two of the three values.
      {"dates in both orders", {"13/1/2003", "1/13/2003", "2/3/2003"}, JetType::Text, mf, Kind::Date, true, 1,
       "13/1/2003", 2},
      {"numbers but one", Repeated("12.5", 40, "N/A", 24), JetType::Text, mf, Kind::Number, false, 1, "N/A", 26},
      {"dates but one", Repeated("2024-01-02", 40, "soon", 30), JetType::Text, mf, Kind::Date, false, 1, "soon", 32},
      {"numbers but too many others", Repeated("12", 10, "x", 3), JetType::Text, mf, Kind::None, false, 0, "", 0},
      {"words", {"abc", "12", "def"}, JetType::Text, mf, Kind::None, false, 0, "", 0},
      {"a number beyond a double's digits", Repeated("7", 30, "1.23456789012345678901", 1), JetType::Text, mf,
       Kind::Number, false, 1, "1.23456789012345678901", 3},
      // Beyond a double's range: always a note, however few the values.
      {"a number beyond a double's range", {"1e400", "2"}, JetType::Text, mf, Kind::Number, false, 1, "1e400", 2,
       true},
      {"one value beyond a double's range", {"-2e999"}, JetType::Text, mf, Kind::Number, false, 1, "-2e999", 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TypeGuessReport r = Guessed(c.values);
    EXPECT_EQ(r.type, c.type);
    if (r.type == JetType::Date) EXPECT_EQ(r.order, c.order);
    EXPECT_EQ(r.nearly, c.nearly);
    EXPECT_EQ(r.bothOrders, c.bothOrders);
    if (c.nearly == Kind::None) continue;
    EXPECT_EQ(r.misfits, c.misfits);
    EXPECT_EQ(r.firstMisfit, c.firstMisfit);
    EXPECT_EQ(r.firstMisfitLine, c.line);
    EXPECT_EQ(r.beyondDouble, c.beyondDouble);
  }
}

// Past the point where no note can come of a column of words, the guess
// stops reading values; what it settles on stays the same.
TEST(TypeGuess, StopsLookingOnceNoNoteCanComeOfTheValues) {
  const TextFormat format;
  const ValueReader reader(format);
  TypeGuess guess(1000);
  size_t looked = 0;
  for (int i = 0; i < 1000; ++i) {
    if (!guess.Wants()) continue;
    ++looked;
    guess.Add(reader.Guess("word"), "word", i + 2);
  }
  EXPECT_LT(looked, 100u);
  EXPECT_EQ(guess.Settle(false).type, JetType::Text);
  EXPECT_EQ(guess.Settle(false).nearly, Kind::None);
}

// A read tells its observer, with the line of the file, a quoted line break
// before it counted.
TEST(TypeGuess, AReadReportsItsGuessedColumnsToTheObserver) {
  std::string data = "Id,Amount,Note\n1,1.5,\"two\nlines\"\n";
  for (int i = 2; i <= 40; ++i)
    data += std::to_string(i) + "," + (i == 25 ? "N/A" : std::to_string(i) + ".5") + ",n" + std::to_string(i) + "\n";
  std::vector<std::string> seen;
  ObserveTypeGuesses([&](const GuessedColumn& g) {
    seen.push_back(std::string(g.column) + " " + std::string(g.type) + " " + std::string(g.nearly) + " " +
                   std::to_string(g.misfits) + "/" + std::to_string(g.values) + " '" + std::string(g.firstMisfit) +
                   "' " + std::to_string(g.firstMisfitLine));
  });
  TableLayout layout;
  layout.format.delimiter = ',';
  ParseDelimitedText(data, layout, "t.csv");
  ObserveTypeGuesses(nullptr);
  EXPECT_EQ(seen, (std::vector<std::string>{"Id Long  0/40 '' 0", "Amount Text number 1/40 'N/A' 27",
                                             "Note Text  0/40 '' 0"}));
}

}  // namespace
}  // namespace vendrel::driver::text

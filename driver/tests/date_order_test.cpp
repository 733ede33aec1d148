// A column whose type is guessed as DateTime reads all its values in one
// day-month order: month first (the regional order) unless only day first
// fits every value; a column that fits neither order stays Text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/delimited_reader.h"
#include "text/value_reader.h"
#include "vendrel/dataaccess/convert.h"

namespace vendrel::driver::text {
namespace {

TableLayout Guessed() {
  TableLayout layout;
  layout.format.delimiter = '\t';
  layout.format.header = true;
  return layout;
}

// The file's text outlives the table, whose texts are views of it.
struct OneColumn {
  explicit OneColumn(const std::vector<std::string>& values) : data("D\n") {
    for (const std::string& v : values) data += v + "\n";
    table = ParseDelimitedText(data, Guessed(), "dates.txt");
  }
  std::string data;
  ParsedTable table;
};

double Serial(std::string_view iso) { return ParseDate(iso).value().serial; }

TEST(DateOrder, AGuessedColumnReadsEveryValueInOneOrder) {
  struct Case {
    std::vector<std::string> values;
    std::vector<std::string> dates;  // as ISO dates, in row order
  };
  const Case cases[] = {
      // One value fits only day first: so is every other.
      {{"13/01/2024", "02/03/2024"}, {"2024-01-13", "2024-03-02"}},
      {{"02/03/2024", "13/01/2024"}, {"2024-03-02", "2024-01-13"}},
      {{"13-01-2024", "2-3-2024"}, {"2024-01-13", "2024-03-02"}},
      {{"31/12/2024 23:59:58", "05/02/2024 08:00"}, {"2024-12-31 23:59:58", "2024-02-05 08:00:00"}},
      // Both orders fit every value: month first.
      {{"02/03/2024", "04/05/2024"}, {"2024-02-03", "2024-04-05"}},
      {{"01/13/2024", "02/03/2024"}, {"2024-01-13", "2024-02-03"}},
      {{"1/2/2003 13:04:05", "12/11/2003"}, {"2003-01-02 13:04:05", "2003-12-11"}},
      // A date that needs no order goes with either.
      {{"2024-01-13", "13/01/2024", "3 Feb 2024"}, {"2024-01-13", "2024-01-13", "2024-02-03"}},
      {{"2024-01-13", "02/03/2024"}, {"2024-01-13", "2024-02-03"}},
      // Day first; 29 February is a day only in leap years.
      {{"29/02/2024", "01/02/2023"}, {"2024-02-29", "2023-02-01"}},
  };
  for (const Case& c : cases) {
    const OneColumn file(c.values);
    const ParsedTable& t = file.table;
    ASSERT_EQ(t.columns.at(0).def.type, JetType::Date) << c.values[0] << ", " << c.values[1];
    for (size_t r = 0; r < c.dates.size(); ++r)
      EXPECT_EQ(std::get<double>(t.columns[0].values.at(r)), Serial(c.dates[r])) << c.values[r];
  }
}

TEST(DateOrder, AColumnThatFitsNoSingleOrderIsText) {
  const std::vector<std::vector<std::string>> columns = {
      {"13/01/2024", "01/13/2024"},  // day first, then month first
      {"13/01/2024", "", "12/31/2024 10:00"},
      {"31/02/2024"},  // neither 31 February nor a 31st month
      {"02/30/2024", "30/02/2024"},
  };
  for (const auto& values : columns) {
    const OneColumn file(values);
    const ParsedTable& t = file.table;
    EXPECT_EQ(t.columns.at(0).def.type, JetType::Text) << values[0];
    EXPECT_EQ(std::get<std::string_view>(t.columns[0].values.at(0)), values[0]);
  }
}

TEST(DateOrder, OneValueReadsInTheOrderAsked) {
  const TextFormat format;
  const ValueReader reader(format);
  EXPECT_EQ(reader.Date("02/03/2024", DayMonthOrder::MonthFirst)->serial, Serial("2024-02-03"));
  EXPECT_EQ(reader.Date("02/03/2024", DayMonthOrder::DayFirst)->serial, Serial("2024-03-02"));
  EXPECT_EQ(reader.Date(" 02/03/2024 10:11:12 PM", DayMonthOrder::DayFirst)->serial, Serial("2024-03-02 22:11:12"));
  EXPECT_FALSE(reader.Date("13/01/2024", DayMonthOrder::MonthFirst));
  EXPECT_FALSE(reader.Date("01/13/2024", DayMonthOrder::DayFirst));
  EXPECT_EQ(reader.Date("2024-01-13", DayMonthOrder::DayFirst)->serial, Serial("2024-01-13"));
  EXPECT_EQ(reader.Date("Feb 3 2024", DayMonthOrder::DayFirst)->serial, Serial("2024-02-03"));
  EXPECT_EQ(reader.Guess("02/03/2024"), kGuessDate);
  EXPECT_EQ(reader.Guess("13/01/2024"), kGuessDateDayFirst);
  EXPECT_EQ(reader.Guess("01/13/2024"), kGuessDateMonthFirst);
  EXPECT_EQ(reader.Guess("2024-01-13"), kGuessDate);
  EXPECT_EQ(reader.Guess("13/13/2024"), 0u);
}

// The guess reads a date once when its reading cannot depend on the order;
// it must give what reading it in each order gives.
TEST(DateOrder, TheGuessIsWhatEachOrderReads) {
  const std::vector<std::string> firsts = {"1", "01", "02", "2", "12", "13", "31", "32", "2024", "Feb"};
  const std::vector<std::string> seconds = {"1", "01", "2", "02", "12", "13", "29", "30", "31", "Mar"};
  const std::vector<std::string> rests = {"/2024", "-2023", "/24", "/2024 10:11", "-2024 10:11:12 PM", "", "/"};
  const std::vector<std::string> pictures = {"", "dd.mm.yyyy", "yyyy/mm/dd"};
  for (const std::string& picture : pictures) {
    TextFormat format;
    format.dateTimeFormat = picture;
    const ValueReader reader(format);
    for (const std::string& a : firsts)
      for (const std::string& b : seconds)
        for (const char* separator : {"/", "-", "."})
          for (const std::string& rest : rests) {
            const std::string text = " " + a + separator + b + rest;
            const unsigned expected = (reader.Date(text, DayMonthOrder::MonthFirst) ? kGuessDateMonthFirst : 0u) |
                                      (reader.Date(text, DayMonthOrder::DayFirst) ? kGuessDateDayFirst : 0u);
            EXPECT_EQ(reader.Guess(text) & kGuessDate, expected) << "'" << text << "' with '" << picture << "'";
          }
  }
}

}  // namespace
}  // namespace vendrel::driver::text

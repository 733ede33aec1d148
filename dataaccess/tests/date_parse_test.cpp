// ParseDate reads the common forms of a date directly and every other form
// through its tokens. The direct reading must give exactly what the general
// one gives, for every text it takes: a table of texts built from parts
// near every edge (digits, ranges, separators, times, white space) checks it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "date_parse.h"
#include "vendrel/dataaccess/convert.h"

namespace vendrel {
namespace {

std::string Describe(const std::optional<DateValue>& d) {
  return d ? FormatShortDateTime(*d) + " (" + std::to_string(d->serial) + ")" : "no date";
}

std::vector<std::string> GeneratedDateTexts() {
  const std::vector<std::string> years = {"0099", "0100", "1899", "1900", "2003", "2024", "9999", "03",
                                          "29",   "30",   "99",   "100",  "20031", "2"};
  const std::vector<std::string> months = {"0", "1", "01", "2", "02", "12", "13", "001"};
  const std::vector<std::string> days = {"0", "1", "01", "28", "29", "30", "31", "32", "010"};
  const std::vector<std::string> separators = {"/", "-", ".", " ", "//", "-/"};
  const std::vector<std::string> times = {"",          " 0:00",       " 13:04",    " 13:04:05", " 23:59:59",
                                          " 24:00",    " 12:60",      " 1:02:60",  "T13:04:05", "t13:04",
                                          " 013:04",   " 13:04:",     " 1:2:3",    " 12:00:00 AM", " 12:00 PM",
                                          "  13:04",   " 13:04:05.5", " 13",       "T"};
  const std::vector<std::pair<std::string, std::string>> around = {{"", ""}, {" ", " "}, {"\t", ""}, {"\v\f", "\r\n"}, {"", "x"}};
  std::vector<std::string> texts;
  for (const std::string& y : years)
    for (const std::string& m : months)
      for (const std::string& d : days)
        for (const std::string& sep : separators)
          for (const std::string& time : times) {
            const std::string orders[] = {m + sep + d + sep + y, d + sep + m + sep + y, y + sep + m + sep + d};
            for (const std::string& date : orders)
              for (const auto& [before, after] : around) texts.push_back(before + date + time + after);
          }
  return texts;
}

TEST(DateParse, TheCommonFormsReadAsTheGeneralReadingReadsThem) {
  size_t common = 0, dates = 0;
  for (const std::string& text : GeneratedDateTexts()) {
    const std::string_view trimmed = date_parse::TrimWhiteSpace(text);
    const std::optional<DateValue> general = date_parse::ParseAnyDateForm(trimmed);
    const std::optional<DateValue> parsed = ParseDate(text);
    ASSERT_EQ(parsed.has_value(), general.has_value()) << "'" << text << "': " << Describe(parsed) << " against "
                                                       << Describe(general);
    if (parsed) {
      ASSERT_EQ(parsed->serial, general->serial) << "'" << text << "'";
      ++dates;
    }
    if (auto direct = date_parse::ParseCommonDateForm(trimmed)) {
      ++common;
      ASSERT_EQ(direct->has_value(), general.has_value()) << "'" << text << "'";
      if (*direct) {
        ASSERT_EQ((*direct)->serial, general->serial) << "'" << text << "'";
      }
    }
  }
  // The table reaches both readings, and many of its texts are dates.
  EXPECT_GT(common, 10000u);
  EXPECT_GT(dates, 10000u);
}

TEST(DateParse, TheCommonFormsGiveTheirValues) {
  const std::pair<const char*, std::optional<DateValue>> cases[] = {
      {"2003-01-10", MakeDate(2003, 1, 10)},
      {"2003-1-2", MakeDate(2003, 1, 2)},
      {"2003/01/10 13:04", MakeDate(2003, 1, 10, 13, 4, 0)},
      {"2003-01-10T13:04:05", MakeDate(2003, 1, 10, 13, 4, 5)},
      {" 2024-02-29 23:59:59 ", MakeDate(2024, 2, 29, 23, 59, 59)},
      {"2023-02-29", std::nullopt},
      {"2003-13-01", std::nullopt},
      {"2003-01-10 24:00", std::nullopt},
      {"0099-01-01", std::nullopt},
      {"9999-12-31 23:59:59", MakeDate(9999, 12, 31, 23, 59, 59)},
      {"1/2/2003 13:04:05", MakeDate(2003, 1, 2, 13, 4, 5)},
  };
  for (const auto& [text, expected] : cases) {
    const std::optional<DateValue> d = ParseDate(text);
    ASSERT_EQ(d.has_value(), expected.has_value()) << text;
    if (d) {
      EXPECT_EQ(d->serial, expected->serial) << text;
    }
  }
}

TEST(DateParse, ATextOfManyTokensIsReadAsBefore) {
  // More tokens than the reading keeps on the stack: separators that the
  // date part skips, and words that are not a date.
  std::string manySeparators = "1";
  for (int i = 0; i < 200; ++i) manySeparators += '/';
  manySeparators += "2/2003";
  EXPECT_EQ(ParseDate(manySeparators)->serial, MakeDate(2003, 1, 2)->serial);
  std::string manyNumbers;
  for (int i = 0; i < 300; ++i) manyNumbers += "1 ";
  EXPECT_FALSE(ParseDate(manyNumbers));
}

// A long text is no date, and the reading stops early: it looks at no more
// than a date's worth of numbers or words, and a few thousand separators.
TEST(DateParse, ALongTextIsNoDateAndCostsLittle) {
  for (const std::string piece : {"x", "1 ", "1/", "Jan ", " /", "10:"}) {
    std::string text = piece;
    while (text.size() < 8 * 1024 * 1024) text += text;
    EXPECT_FALSE(ParseDate(text)) << "'" << piece << "' repeated";
  }
  EXPECT_TRUE(ParseDate("2 September 2003 1:02:03 PM"));
  EXPECT_TRUE(ParseDate("Sept 2, 2003"));
  EXPECT_FALSE(ParseDate("Septembers 2, 2003"));
  EXPECT_FALSE(ParseDate("1/2/2003 1:02:03 PM 4"));
}

}  // namespace
}  // namespace vendrel

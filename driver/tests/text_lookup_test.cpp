// Equality on the columns of text tables, which the driver answers from a
// hash index of the column: the rows must be those a comparison of every row
// gives, whatever the case of a text, the storage of a number or a Null.
// Over many rows and files that change; the small tables are data, in
// driver/tests/sql/lookups.test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "table_fixtures.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/recordset.h"

namespace vendrel::driver {
namespace {

using testing::FixtureFolder;
using testing::RowTexts;
using Rows = std::vector<std::vector<std::string>>;

class TextLookupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterProviders(); }

  void SetUp() override {
    folder_.Write("schema.ini",
                  "[names.txt]\r\nColNameHeader = True\r\nFormat = TABDelimited\r\nCol1=Id Integer\r\n"
                  "Col2=Name Char Width 50\r\n"
                  "[places.txt]\r\nColNameHeader = True\r\nFormat = TABDelimited\r\nCol1=Name Char Width 50\r\n"
                  "Col2=Place Char Width 50\r\n"
                  "[amounts.txt]\r\nColNameHeader = True\r\nFormat = TABDelimited\r\nCol1=Id Integer\r\n"
                  "Col2=Amount Double\r\nCol3=Price Currency\r\n");
    // Keys that differ in case, one that equals only by full case folding
    // (ß folds to ss), an empty text, Nulls, and one key on several rows.
    folder_.Write("names.txt",
                  "Id\tName\r\n1\tabc\r\n2\tABC\r\n3\tStraße\r\n4\t\r\n5\t\"\"\r\n6\tx\r\n7\tabc\r\n");
    folder_.Write("places.txt",
                  "Name\tPlace\r\nAbC\tfirst\r\nSTRASSE\tsecond\r\n\tnone\r\n\"\"\tempty\r\nabc\tthird\r\n");
    folder_.Write("amounts.txt",
                  "Id\tAmount\tPrice\r\n1\t1\t1\r\n2\t2.5\t2.5\r\n3\t3\t3\r\n3\t-0.0\t0\r\n\t7\t7\r\n");
    cn_ = Connection::Create();
    cn_->SetConnectionString(folder_.TextConnectionString());
    cn_->SetCursorLocation(adUseClient);
    cn_->Open();
  }

  Rows Query(const std::string& sql) {
    Ref<Recordset> rs = Recordset::Create();
    rs->Open(Variant(sql), Variant(cn_), adOpenStatic, adLockReadOnly, adCmdText);
    return RowTexts(rs);
  }

  FixtureFolder folder_;
  Ref<Connection> cn_;
};

TEST_F(TextLookupTest, RangesAndInListsGiveTheRowsOfAScanInFileOrder) {
  // 200 rows in a shuffled order, a Null among them; Amount is Id / 4.
  constexpr int kRows = 200;
  std::string data = "Id\tAmount\r\n";
  std::vector<int> ids;
  for (int i = 0; i < kRows; ++i) {
    const int id = i * 37 % kRows;
    ids.push_back(id);
    data += (id == 100 ? std::string() : std::to_string(id)) + "\t" + (id == 100 ? std::string() : std::to_string(id / 4.0)) + "\r\n";
  }
  folder_.Write("schema.ini", "[ranges.txt]\r\nColNameHeader = True\r\nFormat = TABDelimited\r\nCol1=Id Integer\r\n"
                              "Col2=Amount Double\r\n");
  folder_.Write("ranges.txt", data);
  const struct {
    std::string where;
    bool (*holds)(int id);
  } cases[] = {
      {"Id BETWEEN 20 AND 29", [](int id) { return id >= 20 && id <= 29; }},
      {"Id > 190", [](int id) { return id > 190; }},
      {"Id >= 190.5", [](int id) { return id >= 191; }},
      {"Id < 5", [](int id) { return id < 5; }},
      {"Id <= 4.5", [](int id) { return id <= 4; }},
      {"Id > 20 AND Id < 25", [](int id) { return id > 20 && id < 25; }},
      {"Id BETWEEN 50 AND 150", [](int id) { return id >= 50 && id <= 150 && id != 100; }},
      {"Id > 300", [](int) { return false; }},
      {"Id > Null", [](int) { return false; }},
      {"Amount BETWEEN 2 AND 4", [](int id) { return id >= 8 && id <= 16; }},
      {"Amount > 49", [](int id) { return id > 196; }},
      {"Amount < 1.25", [](int id) { return id < 5; }},
      {"Id IN (150, 3, 77, 3, 999)", [](int id) { return id == 150 || id == 3 || id == 77; }},
      {"Amount IN (0.25, 49.75)", [](int id) { return id == 1 || id == 199; }},
  };
  for (const auto& c : cases) {
    Rows expected;
    for (int id : ids)
      if (id != 100 && c.holds(id)) expected.push_back({std::to_string(id)});
    EXPECT_EQ(Query("SELECT Id FROM ranges.txt WHERE " + c.where), expected) << c.where;
  }
}

TEST_F(TextLookupTest, AWholeColumnThatOutgrows32BitsKeepsAndFindsEveryValue) {
  std::string data = "N\r\n";
  std::vector<std::string> values;
  for (int i = 0; i < 100; ++i) values.push_back(std::to_string(i * 1000 - 50000));
  values.push_back("2147483648");  // one past 32 bits, after values that fit
  values.push_back("-9223372036854775808");
  values.push_back("7");
  for (const std::string& v : values) data += v + "\r\n";
  folder_.Write("schema.ini", "[wide.txt]\r\nColNameHeader = True\r\nFormat = TABDelimited\r\nCol1=N Integer\r\n");
  folder_.Write("wide.txt", data);
  Rows all;
  for (const std::string& v : values) all.push_back({v});
  EXPECT_EQ(Query("SELECT N FROM wide.txt"), all);
  EXPECT_EQ(Query("SELECT N FROM wide.txt WHERE N = 2147483648"), (Rows{{"2147483648"}}));
  EXPECT_EQ(Query("SELECT N FROM wide.txt WHERE N = -49000"), (Rows{{"-49000"}}));
  EXPECT_EQ(Query("SELECT N FROM wide.txt WHERE N BETWEEN 0 AND 1000"), (Rows{{"0"}, {"1000"}, {"7"}}));
  EXPECT_EQ(Query("SELECT N FROM wide.txt WHERE N < -50000"), (Rows{{"-9223372036854775808"}}));
}

// A join's lookups read ahead along the scan that gives them their keys.
// Whatever gives the keys (a scan, a range's rows, the same table, an
// expression, a subquery), the rows must be those of comparing every pair.
TEST_F(TextLookupTest, JoinsOverManyRowsFindEveryMatchWhateverGivesTheirKeys) {
  // Keys short and long (past what a row's cell holds), in mixed case, some
  // on more rows than a lookup asks for at once, some absent, some Null.
  auto key = [](int k) {
    std::string text = (k % 2 ? "Key" : "a Key Longer Than A Cell ") + std::to_string(k);
    if (k % 3 == 0)
      for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return text;
  };
  auto fold = [](std::string text) {
    for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
  };
  struct Person {
    std::string name, place;
    int code;
    std::string folded;
  };
  std::vector<Person> people;
  std::string peopleData = "Name\tPlace\tCode\r\n";
  for (int i = 0; i < 1200; ++i) {
    const int k = i % 400 < 380 ? i % 400 : 7;  // key 7 on 23 rows
    char place[16];
    std::snprintf(place, sizeof place, "place%04d", i);
    const std::string name = k == 11 ? std::string() : key(k);
    people.push_back({name, place, i % 50, fold(name)});
    peopleData += people.back().name + "\t" + place + "\t" + std::to_string(i % 50) + "\r\n";
  }
  struct Order {
    int id;
    std::string name;
    int code;
    std::string folded;
  };
  std::vector<Order> orders;
  std::string orderData = "Id\tName\tCode\r\n";
  for (int id = 0; id < 3000; ++id) {
    const int k = id * 7919 % 450;  // 400 to 449 are nobody's
    const std::string name = id % 97 == 0 ? std::string() : fold(key(k));
    orders.push_back({id, name, id % 60, fold(name)});
    orderData += std::to_string(id) + "\t" + orders.back().name + "\t" + std::to_string(id % 60) + "\r\n";
  }
  folder_.Write("schema.ini",
                "[orders.txt]\r\nColNameHeader = True\r\nFormat = TABDelimited\r\nCol1=Id Integer\r\n"
                "Col2=Name Char Width 50\r\nCol3=Code Integer\r\n"
                "[people.txt]\r\nColNameHeader = True\r\nFormat = TABDelimited\r\nCol1=Name Char Width 50\r\n"
                "Col2=Place Char Width 50\r\nCol3=Code Integer\r\n");
  folder_.Write("orders.txt", orderData);
  folder_.Write("people.txt", peopleData);

  auto joined = [&](bool (*within)(int id), bool byCode, bool left) {
    Rows rows;
    for (const Order& o : orders) {
      if (!within(o.id)) continue;
      const size_t before = rows.size();
      for (const Person& p : people)
        if (byCode ? o.code == p.code : !o.name.empty() && o.folded == p.folded)
          rows.push_back({std::to_string(o.id), p.place});
      if (left && rows.size() == before) rows.push_back({std::to_string(o.id), "Null"});
    }
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
      return std::make_pair(std::stoi(a[0]), a[1]) < std::make_pair(std::stoi(b[0]), b[1]);
    });
    return rows;
  };
  auto every = [](int) { return true; };
  auto few = [](int id) { return id >= 1000 && id <= 1200; };  // a range read as a list of rows
  const std::string order = " ORDER BY o.Id, p.Place";
  EXPECT_EQ(Query("SELECT o.Id, p.Place FROM orders.txt o INNER JOIN people.txt p ON o.Name = p.Name" + order),
            joined(every, false, false));
  EXPECT_EQ(Query("SELECT o.Id, p.Place FROM orders.txt o LEFT JOIN people.txt p ON o.Name = p.Name" + order),
            joined(every, false, true));
  EXPECT_EQ(Query("SELECT o.Id, p.Place FROM orders.txt o INNER JOIN people.txt p ON o.Name = p.Name "
                  "WHERE o.Id BETWEEN 1000 AND 1200" +
                  order),
            joined(few, false, false));
  EXPECT_EQ(Query("SELECT o.Id, p.Place FROM orders.txt o INNER JOIN people.txt p ON o.Code = p.Code" + order),
            joined(every, true, false));
  EXPECT_EQ(Query("SELECT o.Id, p.Place FROM orders.txt o INNER JOIN people.txt p ON p.Name = o.Name & ''" + order),
            joined(every, false, false));
  // The same table on both sides, and keys that a subquery gives.
  size_t pairs = 0;
  for (const Person& a : people)
    for (const Person& b : people) pairs += !a.name.empty() && a.folded == b.folded;
  EXPECT_EQ(Query("SELECT COUNT(*) FROM people.txt a INNER JOIN people.txt b ON a.Name = b.Name"),
            (Rows{{std::to_string(pairs)}}));
  Rows matched;
  for (const Order& o : orders)
    if (std::any_of(people.begin(), people.end(),
                    [&](const Person& p) { return !o.name.empty() && o.folded == p.folded; }))
      matched.push_back({std::to_string(o.id)});
  EXPECT_EQ(Query("SELECT o.Id FROM orders.txt o WHERE o.Name IN (SELECT p.Name FROM people.txt p) ORDER BY o.Id"),
            matched);
}

TEST_F(TextLookupTest, ATableReadAgainAfterItsFileChangesIsLookedUpByItsNewRows) {
  EXPECT_EQ(Query("SELECT Id FROM names.txt WHERE Name = 'x'"), (Rows{{"6"}}));
  folder_.Write("names.txt", "Id\tName\r\n8\tX\r\n9\ty\r\n10\tx\r\n");
  EXPECT_EQ(Query("SELECT Id FROM names.txt WHERE Name = 'x'"), (Rows{{"8"}, {"10"}}));
}

}  // namespace
}  // namespace vendrel::driver

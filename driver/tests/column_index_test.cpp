// The hash index of a column against a scan of every row: a key must find
// exactly the rows that hold it, in row order, however its rows cluster in
// the index's slots (many rows of one key, keys whose runs wrap around the
// end of the slots, Nulls, keys that are absent).

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "text/indexed_table.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::text {
namespace {

std::vector<uint32_t> Lookup(const ColumnIndex& index, const ColumnValues& values, const LookupKey& key) {
  std::vector<uint32_t> rows;
  IndexProbe probe = index.Start(key);
  for (uint32_t row = 0; index.NextCandidate(probe, row);)
    if (key.Matches(values, row)) rows.push_back(row);
  return rows;
}

// What a comparison of every row finds, by the case folding itself.
class FoldedScan {
 public:
  explicit FoldedScan(const ColumnValues& values) : values_(values) {
    for (size_t row = 0; row < values.size(); ++row) folded_.push_back(values.IsNull(row) ? "" : FoldCase(values.Text(row)));
  }
  std::vector<uint32_t> operator()(std::string_view text) const {
    const std::string key = FoldCase(text);
    std::vector<uint32_t> rows;
    for (size_t row = 0; row < values_.size(); ++row)
      if (!values_.IsNull(row) && folded_[row] == key) rows.push_back(static_cast<uint32_t>(row));
    return rows;
  }

 private:
  const ColumnValues& values_;
  std::vector<std::string> folded_;
};

std::vector<uint32_t> Scan(const ColumnValues& values, int64_t n) {
  std::vector<uint32_t> rows;
  for (size_t row = 0; row < values.size(); ++row)
    if (!values.IsNull(row) && values.Whole(row) == n) rows.push_back(static_cast<uint32_t>(row));
  return rows;
}

struct Shape {
  const char* name;
  size_t rows;
  size_t distinctKeys;  // the keys are drawn from this many
  int nullsInTen;
};

class ColumnIndexTest : public ::testing::TestWithParam<Shape> {};

TEST_P(ColumnIndexTest, FindsTheRowsOfAScanInRowOrder) {
  const Shape shape = GetParam();
  std::mt19937_64 random(shape.rows * 31 + shape.distinctKeys);
  ColumnValues wholes(StorageKind::Whole);
  ColumnValues texts(StorageKind::Text);
  std::vector<std::string> spellings;  // the texts' bytes, alive as long as the column
  spellings.reserve(shape.rows);
  for (size_t row = 0; row < shape.rows; ++row) {
    if (static_cast<int>(random() % 10) < shape.nullsInTen) {
      wholes.AddNull();
      texts.AddNull();
      spellings.emplace_back();
      continue;
    }
    const uint64_t key = random() % shape.distinctKeys;
    wholes.AddWhole(static_cast<int64_t>(key) * 7919 - 5000);
    // One key in several spellings: the index groups them by case folding.
    std::string text = "Key" + std::to_string(key);
    if (random() % 2) text[0] = 'k';
    if (random() % 3 == 0) text[1] = 'E';
    spellings.push_back(text);
    texts.AddText(spellings.back());
  }
  const ColumnIndex wholeIndex(wholes);
  const ColumnIndex textIndex(texts);
  const FoldedScan scanTexts(texts);
  // Every key that may be present, and a few that are not.
  for (uint64_t key = 0; key < shape.distinctKeys + 3; ++key) {
    const int64_t whole = static_cast<int64_t>(key) * 7919 - 5000;
    EXPECT_EQ(Lookup(wholeIndex, wholes, LookupKey::Whole(whole)), Scan(wholes, whole))
        << shape.name << " whole key " << key;
    const std::string text = "KEY" + std::to_string(key);
    EXPECT_EQ(Lookup(textIndex, texts, LookupKey::Text(text)), scanTexts(text)) << shape.name << " text key " << key;
  }
  EXPECT_TRUE(Lookup(textIndex, texts, LookupKey::Text("")).empty());
}

INSTANTIATE_TEST_SUITE_P(Shapes, ColumnIndexTest,
                         ::testing::Values(Shape{"one row", 1, 1, 0}, Shape{"only nulls", 5, 1, 10},
                                           Shape{"all one key", 300, 1, 1}, Shape{"two keys", 9, 2, 0},
                                           Shape{"mostly distinct", 2000, 4000, 0}, Shape{"ten a key", 5000, 500, 2},
                                           Shape{"few keys, many rows", 4000, 7, 3},
                                           Shape{"small, wrapping", 13, 5, 0}),
                         [](const auto& info) {
                           std::string name;
                           for (char c : std::string(info.param.name))
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           return name;
                         });

// Texts equal only by case, or differing only in a character next to the
// letters ('@' and '[' around the capitals, '`' and '{' around the small
// ones), in texts of every length around a word of eight bytes.
TEST(ColumnIndex, TextKeysMatchByCaseFoldingAtEveryPositionOfAWord) {
  std::vector<std::string> spellings;
  for (size_t length = 1; length <= 17; ++length)
    for (const char* pair : {"aA", "zZ", "@`", "[{", "mM", "\x7f\x5f"})
      for (size_t at = 0; at < length; ++at) {
        std::string text(length, 'q');
        text[at] = pair[0];
        spellings.push_back(text);
        text[at] = pair[1];
        spellings.push_back(text);
      }
  spellings.push_back("Stra\xc3\x9f" "e");  // folds to "strasse": a text of another length
  spellings.push_back("STRASSE");
  spellings.push_back("qqqqqqqq\xc3\x84");  // non-ASCII in the second word
  spellings.push_back("QQQQQQQQ\xc3\xa4");
  ColumnValues texts(StorageKind::Text);
  for (const std::string& text : spellings) texts.AddText(text);
  const ColumnIndex index(texts);
  const FoldedScan scan(texts);
  for (const std::string& text : spellings) EXPECT_EQ(Lookup(index, texts, LookupKey::Text(text)), scan(text)) << text;
}

}  // namespace
}  // namespace vendrel::driver::text

// The typed columns that the data file writer hands to the text driver are
// exactly the table that a parse of the written file gives: the same names,
// types, widths and values, bit for bit, for every field type and every class
// of value; and the file is the same with the hand-off as without it.
//
// A longer random run: VDL_ROUND_TRIP_SEED=<n or "random"> VDL_ROUND_TRIP_RUNS=<n>
//   build/engine/engine_tests --gtest_filter='WrittenTable*'

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include "data_file_writer.h"
#include "engine_test_support.h"
#include "query_run.h"
#include "schema_file_writer.h"
#include "value_drawer.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/driver/driver.h"
#include "vendrel/driver/written_table.h"

namespace vendrel {
namespace {

using testing::FieldSpec;
using testing::MakeRecordset;

class WrittenTableTest : public testing::TempRootTest {
 protected:
  // Writes the recordset as the query writes an input, with and without the
  // hand-off; the files must be the same. The hand-off's difference from a parse.
  std::string HandOffDifference(Recordset& rs, const engine::DataFileStyle& style) {
    const std::string handedPath = Root() + "/TEMP1.txt", plainPath = Root() + "/TEMP2.txt";
    driver::WrittenTable table("TEMP1.txt", engine::SchemaSection("TEMP1", rs));
    {
      fs::OutputFile file(handedPath, fs::OutputFile::Mode::Create);
      engine::WriteDataFile(rs, file, style, &table);
    }
    {
      fs::OutputFile file(plainPath, fs::OutputFile::Mode::Create);
      engine::WriteDataFile(rs, file, style);
    }
    EXPECT_TRUE(fs::FileEquals(handedPath, fs::ReadFile(plainPath))) << "the file differs with the hand-off";
    return table.DifferenceFromParse();
  }

  void CheckSeed(uint64_t seed, size_t rows) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    testing::ValueDrawer drawer(seed);
    std::vector<std::vector<Variant>> table(rows);
    for (auto& row : table)
      for (const FieldSpec& f : testing::kEveryFieldType) row.push_back(drawer.Draw(f));
    Ref<Recordset> input = MakeRecordset(testing::kEveryFieldType, table);
    for (const std::string& altQuoteMark : {std::string(), std::string("'"), std::string("\t\"")}) {
      SCOPED_TRACE("AltQuoteMark '" + altQuoteMark + "'");
      EXPECT_EQ(HandOffDifference(*input, engine::DataFileStyle{false, altQuoteMark}), "");
    }
  }
};

TEST_F(WrittenTableTest, EveryFieldTypeWithValuesOfEveryClassIsTheTableAParseGives) {
  for (uint64_t seed : {1u, 2u, 3u, 20261210u}) CheckSeed(seed, 60);
}

// Many pieces of the file, each written and kept apart: the texts of each
// stay views into their own piece.
TEST_F(WrittenTableTest, AFileOfManyPiecesIsTheTableAParseGives) { CheckSeed(7, 3000); }

struct ColumnCase {
  const char* what;
  FieldSpec field;
  std::vector<Variant> values;
};

void PrintTo(const ColumnCase& c, std::ostream* os) { *os << c.what; }

class WrittenColumnCases : public WrittenTableTest, public ::testing::WithParamInterface<ColumnCase> {};

// Columns whose type changes part of the way down, as the parse widens them:
// the values before the change and after it are the parse's.
TEST_P(WrittenColumnCases, WidenAsTheParseWidens) {
  const ColumnCase& c = GetParam();
  std::vector<std::vector<Variant>> rows;
  for (const Variant& v : c.values) rows.push_back({v});
  Ref<Recordset> input = MakeRecordset({c.field}, rows);
  EXPECT_EQ(HandOffDifference(*input, engine::DataFileStyle{}), "");
}

const double kNan = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, WrittenColumnCases,
    ::testing::Values(
        ColumnCase{"whole numbers that outgrow Long", {"N", adBigInt, 0},
                   {Variant::BigInt(1), Variant::BigInt(4000000000LL), Variant::BigInt(INT64_MIN)}},
        ColumnCase{"a numeric column that meets a fraction", {"N", adNumeric, 0},
                   {Variant::Double(1), Variant::Double(3e9), Variant::Double(2.5), Variant::Double(7)}},
        ColumnCase{"a numeric column that meets NaN", {"N", adNumeric, 0},
                   {Variant::Double(1), Variant::Double(kNan), Variant::Double(2)}},
        ColumnCase{"a numeric column that meets minus zero", {"N", adNumeric, 0},
                   {Variant::Double(4), Variant::Double(-0.0)}},
        ColumnCase{"a numeric column of whole doubles beyond 64 bits", {"N", adNumeric, 0},
                   {Variant::Double(1e19), Variant::Double(-1e300)}},
        ColumnCase{"small whole numbers that outgrow Short", {"N", adSmallInt, 0},
                   {Variant::Integer(1), Variant::Integer(-32768)}},
        ColumnCase{"a variant column of mixed values", {"V", adVariant, 40},
                   {Variant::Long(5), Variant("x\ty"), Variant::Double(0.5), Variant::Boolean(true), Variant("")}},
        ColumnCase{"dates before day zero", {"D", adDate, 0},
                   {Variant::Date(-1.5), Variant::Date(-657434.0), Variant::Date(0.25), Variant::Date(-0.25)}},
        ColumnCase{"booleans", {"B", adBoolean, 0}, {Variant::Boolean(true), Variant::Boolean(false), Variant::Null()}},
        ColumnCase{"only Nulls", {"T", adVarChar, 10}, {Variant::Null(), Variant::Null()}}),
    testing::NameFromWhat());

// The query's connection finds the table handed over for the file the
// engine wrote, under the section it wrote: no parsed table beside it.
TEST_F(WrittenTableTest, TheQueryReadsTheHandedTableAndParsesNothing) {
  driver::RegisterProviders();
  testing::ValueDrawer drawer(11);
  std::vector<std::vector<Variant>> rows(20);
  for (auto& row : rows)
    for (const FieldSpec& f : testing::kEveryFieldType) row.push_back(drawer.Draw(f));
  Ref<Recordset> input = MakeRecordset(testing::kEveryFieldType, rows);

  Ref<Connection> cn = Connection::Create();
  cn->SetConnectionString(engine::TextConnectionString(Root()));
  cn->SetCursorLocation(adUseClient);
  cn->Open();
  const size_t before = driver::ParsedTextTableCount();
  driver::WrittenTable table("TEMP1.txt", engine::SchemaSection("TEMP1", *input));
  {
    fs::OutputFile file(Root() + "/TEMP1.txt", fs::OutputFile::Mode::Create);
    engine::WriteDataFile(*input, file, engine::DataFileStyle{}, &table);
  }
  fs::OutputFile(Root() + "/schema.ini", fs::OutputFile::Mode::Create).Write(engine::SchemaSection("TEMP1", *input));
  table.Offer();
  EXPECT_EQ(driver::ParsedTextTableCount(), before + 1);

  Ref<Recordset> result = Recordset::Create();
  result->Open(Variant("SELECT * FROM TEMP1.txt"), Variant(cn), adOpenStatic, adLockReadOnly, adCmdText);
  EXPECT_EQ(result->RecordCount(), 20);
  EXPECT_EQ(driver::ParsedTextTableCount(), before + 1);
  cn->Close();
  EXPECT_EQ(driver::ParsedTextTableCount(), 0u);
}

TEST_F(WrittenTableTest, LongerRandomRunWhenAsked) {
  const std::optional<testing::RandomRun> run = testing::RandomRunAskedFor();
  if (!run) GTEST_SKIP() << "set VDL_ROUND_TRIP_SEED to run";
  for (long i = 0; i < run->runs && !HasFailure(); ++i) CheckSeed(run->firstSeed + static_cast<uint64_t>(i), 200);
}

}  // namespace
}  // namespace vendrel

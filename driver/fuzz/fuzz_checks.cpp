#include "fuzz_checks.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <variant>

#include "core/catalog.h"
#include "core/sqlite_util.h"
#include "providers/session.h"
#include "sql/compile.h"
#include "text/delimited_reader.h"
#include "text/schema_ini.h"
#include "text/table_loader.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/driver/driver.h"

namespace vendrel::driver::fuzz {

namespace {

// Steps of the SQLite machine between two looks at the clock of a statement,
// and how many looks it gets before it is stopped.
constexpr int kStepsPerLook = 1000;
constexpr int kLooks = 20000;

struct SmallTable {
  std::vector<std::string> names;  // every name a statement may use for it
  std::string_view schema;         // its schema.ini section, without the section line
  std::string_view data;
};

// Tables shaped like those of the driver's and the engine's tests, so that
// the statements of the seed corpus bind.
const SmallTable kTables[] = {
    {{"t", "t.txt"},
     "ColNameHeader = True\nFormat = TABDelimited\nCol1=n Long\nCol2=d Double\nCol3=c Currency\n"
     "Col4=s Char Width 9\nCol5=b Bit\nCol6=dt Date\nCol7=g BigInt\n",
     "n\td\tc\ts\tb\tdt\tg\n7\t2.5\t1.5\tAbc\tTrue\t4/18/2001 12:00:00\t5\n\t\t\t\t\t\t\n"
     "-3\t0\t0\t\tFalse\t12/24/1899 18:00:00\t0\n"},
    {{"u", "u.txt"}, "Format = TABDelimited\nCol1=n Long\nCol2=s Char Width 9\n", "n\ts\n7\tx\n1\tabc\n"},
    {{"rs1", "TEMP1234.txt", "TEMP1111.txt", "a.txt", "words.txt"},
     "Format = TABDelimited\nCol1=PRODUCT Char Width 50\nCol2=SUPPLIER Char Width 50\nCol3=OrderID Integer\n"
     "Col4=PaymentStatus Char Width 20\nCol5=A Char Width 10\nCol6=B Integer\nCol7=N Integer\nCol8=X Double\n"
     "Col9=TAG Char Width 20\n",
     "PRODUCT\tSUPPLIER\tOrderID\tPaymentStatus\tA\tB\tN\tX\tTAG\n"
     "Wheels\tWHL\t10248\tPaid\tx\t1\t1\t0.5\tone\nSeats\tSES\t10249\t\ty\t2\t2\t-1\ttwo\n"
     "Alloy Wheels\tALS\t\tDue\t\t\t3\t\t\n"},
    {{"rs2", "TEMP5678.txt", "TEMP2222.txt", "b.txt"},
     "Format = TABDelimited\nCol1=SUPPLIER Char Width 50\nCol2=COUNTRY Char Width 50\nCol3=OrderID Integer\n"
     "Col4=ProductID Integer\nCol5=UnitPrice Currency\nCol6=Quantity Short\nCol7=A Integer\n",
     "SUPPLIER\tCOUNTRY\tOrderID\tProductID\tUnitPrice\tQuantity\tA\n"
     "WHL\tSpain\t10248\t11\t14\t12\t1\nSES\tUSA\t10248\t42\t9.8\t10\t2\nBTR\t\t10250\t\t\t\t\n"},
    {{"rs3", "rs3.txt", "ORDERS", "OrdersPaymentStatus.txt"},
     "Format = TABDelimited\nCol1=OrderID Integer\nCol2=CustomerID Char Width 5\nCol3=OrderDate Date\n"
     "Col4=Freight Currency\nCol5=Ratio Double\nCol6=PRODUCT Char Width 50\nCol7=PaymentStatus Char Width 20\n",
     "OrderID\tCustomerID\tOrderDate\tFreight\tRatio\tPRODUCT\tPaymentStatus\n"
     "10248\tVINET\t7/4/1996 00:00:00\t32.38\t0.3\tWheels\tPaid\n10249\tTOMSP\t7/5/1996 00:00:00\t11.61\t\tSeats\t\n"},
    {{"one"},
     "Format = TABDelimited\nCol1=n Long\nCol2=d Double\nCol3=c Currency\nCol4=t Char Width 20\nCol5=b Bit\n"
     "Col6=dt Date\nCol7=nl Long\nCol8=nt Char Width 20\nCol9=big BigInt\nCol10=bt Byte\nCol11=sh Short\n"
     "Col12=nc Currency\n",
     "n\td\tc\tt\tb\tdt\tnl\tnt\tbig\tbt\tsh\tnc\n"
     "7\t2.5\t1.5\tAbc\tTrue\t1/2/2003 13:04:05\t\t\t9000000000\t200\t-5\t\n"},
    {{"ORDER DETAILS", "money.txt", "cents.txt", "wide.txt", "huge.txt"},
     "Format = TABDelimited\nCol1=OrderID Integer\nCol2=ProductID Integer\nCol3=UnitPrice Currency\n"
     "Col4=Quantity Short\nCol5=Discount Single\nCol6=Notes LongChar\n",
     "OrderID\tProductID\tUnitPrice\tQuantity\tDiscount\tNotes\n10248\t11\t14\t12\t0\tfirst\n"
     "10248\t42\t9.8\t10\t0.15\t\n10249\t14\t18.6\t9\t0\tlast\n"},
};

text::TableLayout LayoutOf(std::string_view sectionName, std::string_view schemaText) {
  const text::SchemaFile schema = text::SchemaFile::Parse(schemaText);
  if (const text::SchemaSection* section = schema.Find(sectionName))
    return text::LayoutFromSection(*section, text::TextFormat{}, "schema.ini");
  return text::TableLayout{};
}

// The tables of kTables in one database, by every one of their names.
class SmallCatalog final : public Catalog {
 public:
  SmallCatalog() : db_(OpenSessionDatabase()) {
    for (const SmallTable& table : kTables) {
      const std::string schema = "[data.txt]\n" + std::string(table.schema);
      text::ParsedTable parsed = text::ParseDelimitedText(table.data, LayoutOf("data.txt", schema), table.names[0]);
      auto def = std::make_shared<TableDef>();
      def->displayName = table.names[0];
      def->sqliteName = QuoteIdentifier("t" + std::to_string(defs_.size()));
      for (const text::ParsedColumn& c : parsed.columns) def->columns.push_back(c.def);
      text::LoadTextTable(db_.get(), def->sqliteName, std::make_shared<const text::IndexedTable>(std::move(parsed)),
                          openCursors_);
      for (const std::string& name : table.names) byName_[FoldCase(name)] = def;
      defs_.push_back(def);
    }
    sqlite3_progress_handler(db_.get(), kStepsPerLook, &SmallCatalog::Look, this);
  }

  const TableDef* FindTable(std::string_view name) override {
    std::string key = FoldCase(name);
    auto it = byName_.find(key);
    if (it == byName_.end()) {
      std::replace(key.begin(), key.end(), '#', '.');
      it = byName_.find(key);
    }
    return it == byName_.end() ? nullptr : it->second.get();
  }

  sqlite3* Db() const noexcept { return db_.get(); }
  void StartStatement() noexcept { looks_ = 0; }
  bool Stopped() const noexcept { return looks_ > kLooks; }

 private:
  static int Look(void* self) { return ++static_cast<SmallCatalog*>(self)->looks_ > kLooks ? 1 : 0; }

  SqliteHandle db_;
  std::shared_ptr<text::OpenCursors> openCursors_ = text::MakeOpenCursors();
  std::vector<std::shared_ptr<TableDef>> defs_;
  std::map<std::string, std::shared_ptr<TableDef>> byName_;
  int looks_ = 0;
};

SmallCatalog& TheCatalog() {
  static SmallCatalog catalog;
  return catalog;
}

std::string Excerpt(std::string_view text) {
  constexpr size_t kLimit = 300;
  return std::string(text.substr(0, kLimit)) + (text.size() > kLimit ? "..." : "");
}

[[noreturn]] void Found(const std::string& what, std::string_view input) {
  throw Finding(what + "\n  input: " + Excerpt(input));
}

// An error that reached the caller: it must be the driver's own, and one that
// names what went wrong rather than a failure of SQL the driver generated.
void CheckDriverError(const Error& e, std::string_view input, bool stopped) {
  if (e.Source() != kDriverSource)
    Found("error of source '" + e.Source() + "' (" + std::to_string(e.Number()) + "): " + e.Description(), input);
  constexpr std::string_view kUnexpected = "Unexpected error from external database driver";
  if (std::string_view(e.Description()).starts_with(kUnexpected) && !stopped)
    Found("the database refused what the driver generated: " + e.Description(), input);
}

bool StoredAs(const text::StoredValue& value, JetType type) {
  if (std::holds_alternative<std::monostate>(value)) return true;
  switch (type) {
    case JetType::Single:
    case JetType::Double:
    case JetType::Date: return std::holds_alternative<double>(value);
    case JetType::Text:
    case JetType::Memo:
    case JetType::Guid:
    case JetType::Binary: return std::holds_alternative<std::string_view>(value);
    default: return std::holds_alternative<int64_t>(value);
  }
}

void CheckParsedTable(const text::ParsedTable& table, std::string_view input) {
  if (table.columns.empty()) Found("a table without columns", input);
  for (const text::ParsedColumn& column : table.columns) {
    if (column.values.size() != table.rowCount)
      Found("column '" + column.def.name + "' holds " + std::to_string(column.values.size()) + " values for " +
                std::to_string(table.rowCount) + " rows",
            input);
    for (size_t row = 0; row < column.values.size(); ++row)
      if (!StoredAs(column.values.at(row), column.def.type))
        Found("column '" + column.def.name + "' of type " + std::string(JetTypeName(column.def.type)) +
                  " holds a value stored as another type",
              input);
  }
}

long long CountRows(sqlite3* db, const std::string& sqliteName) {
  StatementHandle count = Prepare(db, "SELECT count(*) FROM " + sqliteName);
  if (sqlite3_step(count.get()) != SQLITE_ROW) RaiseSqliteError(db);
  return sqlite3_column_int64(count.get(), 0);
}

}  // namespace

void CheckStatement(std::string_view text) {
  SmallCatalog& catalog = TheCatalog();
  catalog.StartStatement();
  try {
    const CompiledQuery query = CompileStatementOn(catalog.Db(), text, catalog);
    sqlite3_stmt* raw = nullptr;
    const int rc =
        sqlite3_prepare_v2(catalog.Db(), query.sql.c_str(), static_cast<int>(query.sql.size()), &raw, nullptr);
    sqlite3_finalize(raw);
    if (rc != SQLITE_OK)
      Found("the SQL compiled from the statement does not prepare: " + std::string(sqlite3_errmsg(catalog.Db())) +
                "\n  sql: " + Excerpt(query.sql),
            text);
    FetchRows(catalog.Db(), query);
  } catch (const Finding&) {
    throw;
  } catch (const Error& e) {
    CheckDriverError(e, text, catalog.Stopped());
  } catch (const std::exception& e) {
    Found(std::string("exception: ") + e.what(), text);
  }
}

void CheckTextTable(std::string_view input) {
  static SqliteHandle db = OpenSessionDatabase();
  const size_t nul = input.find('\0');
  const std::string_view schemaText = nul == std::string_view::npos ? std::string_view() : input.substr(0, nul);
  const std::string_view bytes = nul == std::string_view::npos ? input : input.substr(nul + 1);
  const std::string sqliteName = QuoteIdentifier("data");
  text::UnloadTextTable(db.get(), sqliteName);
  try {
    const text::TableLayout layout = LayoutOf("data.txt", schemaText);
    if (layout.format.fixedLength) return;  // refused with a driver error by the reader
    text::ParsedTable table = text::ParseTextFile(std::make_unique<const std::string>(bytes), "data.txt", layout);
    CheckParsedTable(table, input);
    const size_t rows = table.rowCount;
    text::LoadTextTable(db.get(), sqliteName, std::make_shared<const text::IndexedTable>(std::move(table)),
                        text::MakeOpenCursors());
    const long long loaded = CountRows(db.get(), sqliteName);
    text::UnloadTextTable(db.get(), sqliteName);
    if (loaded != static_cast<long long>(rows))
      Found("the database holds " + std::to_string(loaded) + " of " + std::to_string(rows) + " rows", input);
  } catch (const Finding&) {
    throw;
  } catch (const Error& e) {
    CheckDriverError(e, input, false);
  } catch (const std::exception& e) {
    Found(std::string("exception: ") + e.what(), input);
  }
}

}  // namespace vendrel::driver::fuzz

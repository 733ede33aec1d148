#include "workloads.h"

#include <algorithm>
#include <numeric>

#include "random.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/enums.h"

namespace vendrel::bench {

namespace {

struct Column {
  const char* name;
  int type;
  long definedSize;
};

// An open, updatable recordset with these fields, filled row by row.
class RecordsetBuilder {
 public:
  explicit RecordsetBuilder(std::initializer_list<Column> columns) : recordset_(Recordset::Create()) {
    for (const Column& c : columns) recordset_->Fields().Append(c.name, c.type, c.definedSize, adFldMayBeNull);
    recordset_->Open({}, {}, adOpenStatic, adLockOptimistic);
  }
  void Add(std::initializer_list<Variant> values) {
    recordset_->AddNew();
    size_t i = 0;
    for (const Variant& v : values) recordset_->Fields()[i++].SetValue(v);
  }
  Ref<Recordset> Finish() {
    if (recordset_->EditMode() != adEditNone) recordset_->Update();
    if (recordset_->RecordCount() > 0) recordset_->MoveFirst();
    return recordset_;
  }

 private:
  Ref<Recordset> recordset_;
};

std::string Padded(std::string_view prefix, uint64_t n, int width) {
  std::string digits = std::to_string(n);
  std::string out(prefix);
  if (static_cast<int>(digits.size()) < width) out.append(static_cast<size_t>(width) - digits.size(), '0');
  return out + digits;
}

std::string Letters(Random& random, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += static_cast<char>('A' + random.Below(26));
  return out;
}

// Five letters that stand for the number, as customer codes look.
std::string CustomerCode(uint64_t n) {
  std::string out(5, 'A');
  for (int i = 4; i >= 0; --i, n /= 26) out[static_cast<size_t>(i)] = static_cast<char>('A' + n % 26);
  return out;
}

std::vector<uint64_t> Shuffled(size_t count, Random& random) {
  std::vector<uint64_t> out(count);
  std::iota(out.begin(), out.end(), uint64_t{0});
  for (size_t i = count; i > 1; --i) std::swap(out[i - 1], out[random.Below(i)]);
  return out;
}

Variant Money(int64_t cents) { return Variant(Currency{cents * 100}); }

Variant DateAt(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return Variant(*MakeDate(year, month, day, hour, minute, second));
}

// W1: products and their suppliers, some of which are unknown.
void MakeSuppliersJoin(Workload& w, Random& random) {
  static constexpr const char* kCountries[] = {
      "Germany", "UK",     "Holland", "USA",     "Canada",   "Spain",   "France",    "Italy",
      "Norway",  "Sweden", "Denmark", "Finland", "Poland",   "Austria", "Belgium",   "Ireland",
      "Japan",   "Brazil", "Mexico",  "Chile",   "Portugal", "Greece",  "Australia", "India"};
  const size_t suppliers = std::max<size_t>(1, w.rows / 2);
  RecordsetBuilder products({{"PRODUCT", adVarChar, 50}, {"SUPPLIER", adVarChar, 50}});
  for (size_t i = 0; i < w.rows; ++i)
    products.Add({Padded("PRODUCT", i, 7), Padded("SUP", random.Below(suppliers + suppliers / 10 + 1), 6)});
  RecordsetBuilder countries({{"SUPPLIER", adVarChar, 50}, {"COUNTRY", adVarChar, 50}});
  for (uint64_t s : Shuffled(suppliers, random))
    countries.Add({Padded("SUP", s, 6), kCountries[random.Below(std::size(kCountries))]});
  w.inputs = {{"rs1", products.Finish()}, {"rs2", countries.Finish()}};
  const std::string sql =
      "SELECT rs1.PRODUCT, rs2.SUPPLIER, rs2.COUNTRY FROM rs1 LEFT OUTER JOIN rs2 ON rs1.SUPPLIER=rs2.SUPPLIER";
  w.query = {sql, sql, {}};
}

struct OrderRange {
  int64_t first;
  int64_t last;
};

// W2: orders and their lines, summed per order and product over half of the orders.
OrderRange MakeOrderTotals(Workload& w, Random& random) {
  const size_t orders = std::max<size_t>(1, w.rows / 10);
  const size_t customers = std::max<size_t>(1, w.rows / 100);
  constexpr int64_t kFirstOrder = 10000;
  RecordsetBuilder head({{"OrderID", adInteger, 0}, {"CustomerID", adVarChar, 5}, {"OrderDate", adDate, 0}});
  for (size_t i = 0; i < orders; ++i)
    head.Add({Variant::Long(static_cast<int32_t>(kFirstOrder + static_cast<int64_t>(i))),
              CustomerCode(random.Below(customers)),
              DateAt(2019 + static_cast<int>(random.Below(6)), 1 + static_cast<int>(random.Below(12)),
                     1 + static_cast<int>(random.Below(28)))});
  RecordsetBuilder lines(
      {{"OrderID", adInteger, 0}, {"ProductID", adInteger, 0}, {"UnitPrice", adCurrency, 0}, {"Quantity", adInteger, 0}});
  for (size_t i = 0; i < w.rows; ++i)
    lines.Add({Variant::Long(static_cast<int32_t>(kFirstOrder + static_cast<int64_t>(random.Below(orders)))),
               Variant::Long(static_cast<int32_t>(1 + random.Below(100))), Money(random.Between(100, 50000)),
               Variant::Long(static_cast<int32_t>(1 + random.Below(60)))});
  w.inputs = {{"rs1", head.Finish()}, {"rs2", lines.Finish()}};
  const OrderRange range{kFirstOrder + static_cast<int64_t>(orders / 4),
                         kFirstOrder + static_cast<int64_t>(orders * 3 / 4)};
  const std::string sql = "SELECT rs1.OrderID, rs2.ProductID, SUM(rs2.UnitPrice) AS SUM_OF_UnitPrice FROM rs1 "
                          "INNER JOIN rs2 ON rs1.OrderID=rs2.OrderID WHERE rs1.OrderID BETWEEN " +
                          std::to_string(range.first) + " AND " + std::to_string(range.last) +
                          " GROUP BY rs1.OrderID, rs2.ProductID ORDER BY rs1.OrderID, SUM(rs2.UnitPrice) DESC";
  w.query = {sql, sql, {0, 2}};
  return range;
}

// W3: one wide recordset, filtered on a text and a money column, sorted by a name.
void MakeFilteredSort(Workload& w, Random& random) {
  RecordsetBuilder items({{"ID", adInteger, 0},
                          {"Name", adVarChar, 50},
                          {"Category", adVarChar, 20},
                          {"Amount", adCurrency, 0},
                          {"Weight", adDouble, 0},
                          {"Added", adDate, 0}});
  for (uint64_t id : Shuffled(w.rows, random))
    items.Add({Variant::Long(static_cast<int32_t>(id + 1)), Letters(random, 6 + static_cast<int>(random.Below(5))),
               Padded("CAT", random.Below(20), 2), Money(random.Between(0, 100000)),
               Variant::Double(static_cast<double>(random.Below(1 << 20)) / 1024.0),
               DateAt(2015 + static_cast<int>(random.Below(10)), 1 + static_cast<int>(random.Below(12)),
                      1 + static_cast<int>(random.Below(28)), static_cast<int>(random.Below(24)),
                      static_cast<int>(random.Below(60)), static_cast<int>(random.Below(60)))});
  w.inputs = {{"rs1", items.Finish()}};
  w.query = {"SELECT * FROM rs1 WHERE rs1.Category <= 'CAT09' AND rs1.Amount > 500 ORDER BY rs1.Name",
             "SELECT * FROM rs1 WHERE Category <= 'CAT09' AND Amount > 5000000 ORDER BY Name",
             {1}};
}

// W4: what a user asks of a result kept to be asked again: drill-downs to an
// order, a few orders, a product, a range of orders, with their sums. (Whole-
// table aggregates would cost the same scan kept or exported.)
std::vector<Query> KeptResultQueries(OrderRange range) {
  const int64_t span = range.last - range.first;
  auto at = [&](int64_t numerator, int64_t denominator) { return std::to_string(range.first + span * numerator / denominator); };
  auto plus = [&](int64_t numerator, int64_t denominator, int64_t more) {
    return std::to_string(range.first + span * numerator / denominator + more);
  };
  auto same = [](std::string sql, std::vector<size_t> orderKey) {
    // The dialect names columns through the table; plain SQL takes the same text.
    return Query{sql, sql, std::move(orderKey)};
  };
  return {
      same("SELECT * FROM w2 WHERE w2.OrderID = " + at(1, 3), {}),
      same("SELECT * FROM w2 WHERE w2.OrderID IN (" + at(1, 5) + ", " + at(1, 2) + ", " + at(4, 5) +
               ") ORDER BY w2.OrderID, w2.ProductID",
           {0, 1}),
      same("SELECT * FROM w2 WHERE w2.ProductID = 7 ORDER BY w2.OrderID", {0}),
      same("SELECT w2.ProductID, SUM(w2.SUM_OF_UnitPrice) AS Total FROM w2 WHERE w2.OrderID BETWEEN " + at(1, 2) +
               " AND " + plus(1, 2, 50) + " GROUP BY w2.ProductID ORDER BY w2.ProductID",
           {0}),
      same("SELECT * FROM w2 WHERE w2.OrderID BETWEEN " + at(1, 7) + " AND " + plus(1, 7, 20) +
               " ORDER BY w2.OrderID, w2.ProductID",
           {0, 1}),
      same("SELECT COUNT(*) AS N, SUM(w2.SUM_OF_UnitPrice) AS Total FROM w2 WHERE w2.ProductID = 42", {}),
      same("SELECT w2.OrderID, MAX(w2.SUM_OF_UnitPrice) AS Highest FROM w2 WHERE w2.ProductID IN (3, 5, 8) "
           "GROUP BY w2.OrderID ORDER BY w2.OrderID",
           {0}),
      same("SELECT w2.ProductID, w2.SUM_OF_UnitPrice FROM w2 WHERE w2.OrderID = " + at(2, 3) +
               " ORDER BY w2.SUM_OF_UnitPrice DESC",
           {1}),
      same("SELECT COUNT(*) AS N FROM w2 WHERE w2.OrderID >= " + at(49, 50), {}),
      same("SELECT MIN(w2.SUM_OF_UnitPrice) AS Lowest, MAX(w2.SUM_OF_UnitPrice) AS Highest FROM w2 "
           "WHERE w2.ProductID = 99",
           {}),
  };
}

// W5: sales lines summed per region and month as a crosstab: a column per
// month the rows hold, which the statement does not say, and a row total.
// The plain SQL names the twelve months, as a program that knows them would.
void MakeCrosstab(Workload& w, Random& random) {
  const size_t regions = std::max<size_t>(1, std::min<size_t>(200, w.rows / 100));
  auto period = [](uint64_t month) { return "2023-" + Padded("", month, 2); };
  RecordsetBuilder sales({{"Region", adVarChar, 10}, {"Period", adVarChar, 7}, {"Amount", adCurrency, 0}});
  for (size_t i = 0; i < w.rows; ++i)  // every month among the first twelve rows
    sales.Add({Padded("R", random.Below(regions), 3), period(i < 12 ? i + 1 : 1 + random.Below(12)),
               Money(random.Between(100, 50000))});
  w.inputs = {{"rs1", sales.Finish()}};
  std::string sqlite = "SELECT Region, SUM(Amount) AS Total";
  for (uint64_t month = 1; month <= std::min<size_t>(12, w.rows); ++month)
    sqlite += ", SUM(CASE WHEN Period = '" + period(month) + "' THEN Amount END) AS \"" + period(month) + "\"";
  sqlite += " FROM rs1 GROUP BY Region ORDER BY Region";
  w.query = {"TRANSFORM Sum(rs1.Amount) SELECT rs1.Region, Sum(rs1.Amount) AS Total FROM rs1 GROUP BY rs1.Region "
             "PIVOT rs1.Period",
             sqlite, {0}};
}

}  // namespace

Workload MakeWorkload(std::string_view name, size_t rows, uint64_t seed) {
  Workload w;
  w.name = std::string(name);
  w.rows = rows;
  Random random(seed ^ std::hash<std::string_view>()(name));
  if (name == "W1") {
    MakeSuppliersJoin(w, random);
  } else if (name == "W2") {
    MakeOrderTotals(w, random);
  } else if (name == "W3") {
    MakeFilteredSort(w, random);
  } else if (name == "W4") {
    w.keptName = "w2";
    w.keptQueries = KeptResultQueries(MakeOrderTotals(w, random));
  } else if (name == "W5") {
    MakeCrosstab(w, random);
  }
  return w;
}

size_t InputTextBytes(const std::vector<Input>& inputs) {
  size_t bytes = 0;
  for (const Input& input : inputs) {
    Recordset& rs = *input.recordset;
    FieldCollection& fields = rs.Fields();
    const size_t count = static_cast<size_t>(fields.Count());
    for (size_t i = 0; i < count; ++i) bytes += fields[i].Name().size() + 1;
    bytes += 1;  // the header's last value has CR LF instead of a TAB
    if (rs.RecordCount() == 0) continue;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
      for (size_t i = 0; i < count; ++i) {
        const Variant& v = fields[i].Value();
        if (v.IsNull()) continue;
        const int type = fields[i].Type();
        bytes += type == adDate ? FormatShortDateTime(ToDate(v)).size() : ToRoundTripText(v).size();
      }
      bytes += count + 1;
    }
    rs.MoveFirst();
  }
  return bytes;
}

}  // namespace vendrel::bench

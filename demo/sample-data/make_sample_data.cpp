// Writes the demonstration's sample data into one folder: NWIND.mdb (an SQLite
// database with the tables ORDERS and [ORDER DETAILS]) and
// OrdersPaymentStatus.txt (comma-separated, with a header line). Everything
// comes from a fixed seed, so every run writes the same rows.
//
//   vdl-sample-data FOLDER

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace chr = std::chrono;

// splitmix64: small, fast and the same on every platform, unlike the
// standard library's distributions.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A whole number from low to high, both included.
  int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<uint64_t>(high - low + 1)); }
  // True with the given chance in percent.
  bool Percent(int chance) { return Between(1, 100) <= chance; }

 private:
  uint64_t state_;
};

struct Customer {
  const char* id;
  const char* name;
  const char* city;
  const char* country;
};

constexpr std::array<Customer, 40> kCustomers = {{
    {"ALDCR", "Alder Creek Provisions", "Portland", "USA"},
    {"BLUFJ", "Blue Fjord Traders", "Bergen", "Norway"},
    {"CASOL", "Casa Olivera", "Sevilla", "Spain"},
    {"DUNGR", "Dunmore Grocers", "Galway", "Ireland"},
    {"EDEFE", "Edelweiss Feinkost", "Innsbruck", "Austria"},
    {"FENMA", "Fennec Market", "Marseille", "France"},
    {"GOLWH", "Golden Wheat Bakery", "Winnipeg", "Canada"},
    {"HARLI", "Harbor Lights Deli", "Halifax", "Canada"},
    {"ISOVE", "Isola Verde", "Bologna", "Italy"},
    {"JADLA", "Jade Lantern Foods", "Vancouver", "Canada"},
    {"KESWH", "Kestrel Wholesale", "Leeds", "UK"},
    {"LINLI", "Lindqvist Livs", "Uppsala", "Sweden"},
    {"MERAZ", "Mercado Azul", "Porto", "Portugal"},
    {"NORHA", "Nordlicht Handel", "Hamburg", "Germany"},
    {"OAKBA", "Oak Barrel Imports", "Austin", "USA"},
    {"PAMAL", "Pampas Almacen", "Rosario", "Argentina"},
    {"QUIDO", "Quinta do Sol", "Coimbra", "Portugal"},
    {"RIVPA", "Riverbend Pantry", "Boise", "USA"},
    {"SAKPR", "Sakura Provisions", "Osaka", "Japan"},
    {"TULFI", "Tulip Field Foods", "Utrecht", "Netherlands"},
    {"UPPDE", "Uppland Delikatesser", "Vasteras", "Sweden"},
    {"VINRO", "Vineyard Row Cellars", "Napa", "USA"},
    {"WESKO", "Westmark Kolonial", "Bremen", "Germany"},
    {"YELDO", "Yellow Door Cafe", "Brighton", "UK"},
    {"ZEPFI", "Zephyr Fine Foods", "Wellington", "New Zealand"},
    {"ALPME", "Alpine Meadow Cheese", "Bern", "Switzerland"},
    {"BALAM", "Baltic Amber Shop", "Gdansk", "Poland"},
    {"COPKE", "Copper Kettle Stores", "Cork", "Ireland"},
    {"DANDE", "Danube Delicacies", "Budapest", "Hungary"},
    {"EMECO", "Emerald Coast Market", "Pensacola", "USA"},
    {"FJOKI", "Fjordside Kiosk", "Stavanger", "Norway"},
    {"GRASE", "Granja Serrana", "Salamanca", "Spain"},
    {"HEAHI", "Heather Hill Farm Shop", "Inverness", "UK"},
    {"ILEVE", "Ile Verte Epicerie", "Nantes", "France"},
    {"JUNTR", "Juniper Trail Goods", "Denver", "USA"},
    {"KIWOR", "Kiwi Orchard Supply", "Auckland", "New Zealand"},
    {"LAKLA", "Lakeside Larder", "Geneva", "Switzerland"},
    {"MONBI", "Monte Bianco Alimentari", "Torino", "Italy"},
    {"NORST", "Northern Star Foods", "Oulu", "Finland"},
    {"OLIGR", "Olive Grove Market", "Athens", "Greece"},
}};

constexpr int kFirstOrder = 10248;
constexpr int kOrderCount = 830;
constexpr int kProductCount = 77;
constexpr int kUnshippedOrders = 21;  // the newest orders have not left yet

struct Order {
  int id = 0;
  const Customer* customer = nullptr;
  int employee = 0;
  chr::sys_days ordered, required;
  std::optional<chr::sys_days> shipped;
  int shipVia = 0;
  int64_t freightCents = 0;
};

struct OrderLine {
  int orderId = 0;
  int productId = 0;
  int64_t unitPriceCents = 0;
  int quantity = 0;
  int discountPercent = 0;
};

struct Payment {
  int orderId = 0;
  std::string status;
  std::optional<chr::sys_days> paid;
};

struct SampleData {
  std::vector<Order> orders;
  std::vector<OrderLine> lines;
  std::vector<Payment> payments;
};

SampleData Generate() {
  Random random(0x56444C3132ull);  // fixed: the same data on every build
  SampleData data;

  std::array<int64_t, kProductCount + 1> listPriceCents{};
  for (int p = 1; p <= kProductCount; ++p) listPriceCents[p] = random.Between(5, 530) * 50 - random.Between(0, 1) * 5;

  chr::sys_days day = chr::year{2021} / chr::July / 5;
  for (int n = 0; n < kOrderCount; ++n) {
    Order order;
    order.id = kFirstOrder + n;
    order.customer = &kCustomers[random.Between(0, static_cast<int>(kCustomers.size()) - 1)];
    order.employee = random.Between(1, 9);
    day += chr::days{random.Between(0, 2)};
    order.ordered = day;
    const int lead = random.Percent(10) ? 14 : random.Percent(10) ? 42 : 28;
    order.required = day + chr::days{lead};
    if (n < kOrderCount - kUnshippedOrders) order.shipped = day + chr::days{random.Between(1, 25)};
    order.shipVia = random.Between(1, 3);
    order.freightCents = random.Percent(85) ? random.Between(2, 15000) : random.Between(15000, 90000);
    data.orders.push_back(order);

    // One to five lines; now and then a product is ordered a second time in
    // the same order (a later addition), so grouping by order and product
    // has something to add up.
    const int roll = random.Between(1, 100);
    int lineCount = roll <= 30 ? 1 : roll <= 60 ? 2 : roll <= 80 ? 3 : roll <= 92 ? 4 : 5;
    const bool repeatsProduct = order.id % 11 == 5;
    if (repeatsProduct && lineCount < 2) lineCount = 2;
    std::vector<int> products;
    while (static_cast<int>(products.size()) < lineCount - (repeatsProduct ? 1 : 0)) {
      const int p = random.Between(1, kProductCount);
      bool seen = false;
      for (int q : products) seen = seen || q == p;
      if (!seen) products.push_back(p);
    }
    if (repeatsProduct) products.push_back(products.front());
    for (int p : products) {
      OrderLine line;
      line.orderId = order.id;
      line.productId = p;
      line.unitPriceCents = listPriceCents[p];
      line.quantity = random.Percent(80) ? random.Between(2, 50) : random.Between(51, 120);
      line.discountPercent = random.Percent(60) ? 0 : 5 * random.Between(1, 5);
      data.lines.push_back(line);
    }

    // Payments: none for an order not yet shipped and for a few others (not
    // invoiced yet); recent orders are pending, some are overdue, and a few
    // were paid in two parts.
    if (!order.shipped || random.Percent(6)) continue;
    const chr::sys_days invoiced = *order.shipped;
    if (n >= kOrderCount - kUnshippedOrders - 30) {
      data.payments.push_back({order.id, "Pending", std::nullopt});
    } else if (random.Percent(4)) {
      data.payments.push_back({order.id, "Overdue", std::nullopt});
    } else if (random.Percent(4)) {
      const chr::sys_days first = invoiced + chr::days{random.Between(3, 20)};
      data.payments.push_back({order.id, "Part Paid", first});
      data.payments.push_back({order.id, "Paid", first + chr::days{random.Between(10, 30)}});
    } else {
      data.payments.push_back({order.id, "Paid", invoiced + chr::days{random.Between(3, 40)}});
    }
  }
  return data;
}

std::string IsoDate(chr::sys_days d) {
  const chr::year_month_day ymd{d};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
  return text;
}

std::string UsDate(chr::sys_days d) {
  const chr::year_month_day ymd{d};
  return std::to_string(static_cast<unsigned>(ymd.month())) + "/" + std::to_string(static_cast<unsigned>(ymd.day())) +
         "/" + std::to_string(static_cast<int>(ymd.year()));
}

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

void Check(sqlite3* db, int rc, std::string_view what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

void Exec(sqlite3* db, const char* sql) { Check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql); }

Statement Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* s = nullptr;
  Check(db, sqlite3_prepare_v2(db, sql, -1, &s, nullptr), sql);
  return Statement(s);
}

void Step(sqlite3* db, sqlite3_stmt* s) {
  Check(db, sqlite3_step(s), "insert");
  sqlite3_reset(s);
  sqlite3_clear_bindings(s);
}

void BindText(sqlite3_stmt* s, int i, const std::string& text) {
  sqlite3_bind_text(s, i, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// Currency as a decimal number of units; the reader keeps it exact to four decimals.
void BindCents(sqlite3_stmt* s, int i, int64_t cents) { sqlite3_bind_double(s, i, static_cast<double>(cents) / 100.0); }

void WriteDatabase(const SampleData& data, const std::string& path) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  Database db(raw);
  Check(raw, rc, "open " + path);
  Exec(raw, "PRAGMA journal_mode=OFF");
  Exec(raw, "BEGIN");
  Exec(raw,
       "CREATE TABLE ORDERS (OrderID INTEGER PRIMARY KEY, CustomerID VARCHAR(5), EmployeeID INTEGER, "
       "OrderDate DATETIME, RequiredDate DATETIME, ShippedDate DATETIME, ShipVia INTEGER, Freight CURRENCY, "
       "ShipName VARCHAR(40), ShipCity VARCHAR(15), ShipCountry VARCHAR(15))");
  Exec(raw,
       "CREATE TABLE [ORDER DETAILS] (OrderID INTEGER NOT NULL REFERENCES ORDERS(OrderID), "
       "ProductID INTEGER NOT NULL, UnitPrice CURRENCY NOT NULL, Quantity SMALLINT NOT NULL, "
       "Discount SINGLE NOT NULL)");

  Statement order = Prepare(raw, "INSERT INTO ORDERS VALUES (?,?,?,?,?,?,?,?,?,?,?)");
  for (const Order& o : data.orders) {
    sqlite3_bind_int(order.get(), 1, o.id);
    BindText(order.get(), 2, o.customer->id);
    sqlite3_bind_int(order.get(), 3, o.employee);
    BindText(order.get(), 4, IsoDate(o.ordered));
    BindText(order.get(), 5, IsoDate(o.required));
    if (o.shipped) BindText(order.get(), 6, IsoDate(*o.shipped));  // unbound: NULL
    sqlite3_bind_int(order.get(), 7, o.shipVia);
    BindCents(order.get(), 8, o.freightCents);
    BindText(order.get(), 9, o.customer->name);
    BindText(order.get(), 10, o.customer->city);
    BindText(order.get(), 11, o.customer->country);
    Step(raw, order.get());
  }

  Statement line = Prepare(raw, "INSERT INTO [ORDER DETAILS] VALUES (?,?,?,?,?)");
  for (const OrderLine& l : data.lines) {
    sqlite3_bind_int(line.get(), 1, l.orderId);
    sqlite3_bind_int(line.get(), 2, l.productId);
    BindCents(line.get(), 3, l.unitPriceCents);
    sqlite3_bind_int(line.get(), 4, l.quantity);
    sqlite3_bind_double(line.get(), 5, l.discountPercent / 100.0);
    Step(raw, line.get());
  }
  order.reset();
  line.reset();
  Exec(raw, "COMMIT");
}

void WritePaymentStatus(const SampleData& data, const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "OrderID,PaymentStatus,PaymentDate\r\n";
  for (const Payment& p : data.payments)
    out << p.orderId << ',' << p.status << ',' << (p.paid ? UsDate(*p.paid) : "") << "\r\n";
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

// Written beside the final name and moved into place, so an interrupted run
// never leaves half a file where the demonstration looks for it.
template <class Writer>
void WriteInPlace(const std::filesystem::path& target, Writer write) {
  std::filesystem::path partial = target;
  partial += ".partial";
  std::filesystem::remove(partial);
  try {
    write(partial.string());
  } catch (...) {
    std::filesystem::remove(partial);
    throw;
  }
  std::filesystem::rename(partial, target);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vdl-sample-data FOLDER\n";
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const SampleData data = Generate();
    WriteInPlace(folder / "NWIND.mdb", [&](const std::string& p) { WriteDatabase(data, p); });
    WriteInPlace(folder / "OrdersPaymentStatus.txt", [&](const std::string& p) { WritePaymentStatus(data, p); });
  } catch (const std::exception& e) {
    std::cerr << "vdl-sample-data: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

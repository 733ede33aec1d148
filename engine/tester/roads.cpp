#include "roads.h"

#include <filesystem>

#include "query_run.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/driver/driver.h"
#include "vendrel/driver/shortcuts.h"

namespace vendrel::tester {

namespace {

// Turns shortcuts off for the length of one statement.
class ShortcutsOff {
 public:
  explicit ShortcutsOff(const driver::Shortcuts& wanted) : before_(driver::CurrentShortcuts()) {
    driver::SetShortcuts(wanted);
  }
  ~ShortcutsOff() { driver::SetShortcuts(before_); }

 private:
  driver::Shortcuts before_;
};

driver::Shortcuts ShortcutsOf(const std::string& road) {
  driver::Shortcuts s;
  if (road == "parse") s.writtenTables = s.tableCache = false;
  if (road == "plain") s.virtualTables = false;
  if (road == "no-equality") s.equalityLookups = false;
  if (road == "no-range") s.rangeLookups = false;
  if (road == "no-folding") s.inListFolding = false;
  if (road == "bare")
    s.equalityLookups = s.rangeLookups = s.inListFolding = s.writtenTables = s.tableCache = s.virtualTables = false;
  return s;
}

std::string TypeName(int adoType) {
  switch (adoType) {
    case adSmallInt: return "Short";
    case adInteger: return "Long";
    case adSingle: return "Single";
    case adDouble: return "Double";
    case adCurrency: return "Currency";
    case adDate: return "Date";
    case adBoolean: return "Boolean";
    case adUnsignedTinyInt: return "Byte";
    case adBigInt: return "BigInt";
    case adVarWChar: return "Text";
    case adLongVarWChar: return "Memo";
    default: return std::to_string(adoType);
  }
}

Outcome Read(const Ref<Recordset>& rs) {
  Outcome out;
  const long fields = rs->Fields().Count();
  for (long i = 0; i < fields; ++i)
    out.columns.push_back(rs->Fields()[i].Name() + " " + TypeName(rs->Fields()[i].Type()));
  if (rs->Bof() && rs->Eof()) return out;
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
    std::vector<Variant> row;
    row.reserve(static_cast<size_t>(fields));
    for (long i = 0; i < fields; ++i) row.push_back(rs->Fields()[i].Value());
    out.rows.push_back(std::move(row));
  }
  return out;
}

Outcome Failure(const Error& e) {
  Outcome out;
  out.failed = true;
  out.number = e.Number();
  out.description = e.Description();
  return out;
}

}  // namespace

const std::vector<std::string>& RoadNames() {
  static const std::vector<std::string> names = {"driver",      "execute",  "parse",      "plain",
                                                 "no-equality", "no-range", "no-folding", "bare"};
  return names;
}

bool IsExecuteRoad(const std::string& road) { return road == "execute" || road == "parse"; }

Roads::Roads(const Database& database, std::string folder) : folder_(std::move(folder)) {
  std::filesystem::create_directories(folder_);
  WriteTextFolder(folder_, database);
  driver::RegisterProviders();
  query_ = Vendrel::Create();
  source_ = QueryDataSource::Create();
  for (const TestTable& table : database) source_->RecordsetCollection()->Add(RecordsetOf(table), table.name);
}

Roads::~Roads() {
  if (connection_) connection_->Close();
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

Outcome Roads::Run(const std::string& road, const std::string& sql) {
  const driver::Shortcuts shortcuts = ShortcutsOf(road);
  ShortcutsOff off(shortcuts);
  if (IsExecuteRoad(road)) return ThroughExecute(sql);
  // A connection keeps the tables it read: without a shortcut of the
  // tables themselves, they are read anew.
  return ThroughDriver(sql, !(shortcuts == driver::Shortcuts{}));
}

Outcome Roads::ThroughDriver(const std::string& sql, bool freshConnection) {
  try {
    Ref<Connection> connection = freshConnection ? Ref<Connection>() : connection_;
    if (!connection) {
      connection = Connection::Create();
      connection->SetConnectionString(engine::TextConnectionString(folder_));
      connection->SetCursorLocation(adUseClient);
      connection->Open("", "", "", adConnectUnspecified);
      if (!freshConnection) connection_ = connection;
    }
    Ref<Recordset> rs = Recordset::Create();
    rs->SetCursorLocation(adUseClient);
    rs->Open(Variant(sql), Variant(connection), adOpenStatic, adLockReadOnly, adCmdText);
    Outcome out = Read(rs);
    if (freshConnection) connection->Close();
    return out;
  } catch (const Error& e) {
    return Failure(e);
  }
}

Outcome Roads::ThroughExecute(const std::string& sql) {
  try {
    return Read(query_->Execute(source_, sql, adOpenStatic, adLockReadOnly));
  } catch (const Error& e) {
    return Failure(e);
  }
}

Outcome Roads::AsExecuteError(const Outcome& driverError) {
  const Error translated = engine::TranslatedDriverError(driverError.description);
  Outcome out;
  out.failed = true;
  out.number = translated.Number();
  out.description = "[Vendrel] " + translated.Description();
  return out;
}

}  // namespace vendrel::tester

#include "query_run.h"

#include <algorithm>
#include <optional>

#include "component_error.h"
#include "text_edit.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/text.h"
#include "vendrel/driver/dialect.h"
#include "vendrel/driver/driver.h"
#include "vendrel/engine/vendrel.h"

namespace vendrel::engine {

namespace {

bool ReadAsIs(std::string_view value) {
  if (value.empty()) return true;
  if (value.find(';') != std::string_view::npos) return false;
  const char first = value.front();
  return first != '"' && first != '\'' && first != '{' && first != ' ' && value.back() != ' ';
}

std::string ConnectionStringValue(std::string_view value) {
  if (ReadAsIs(value)) return std::string(value);
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

bool IsWordByte(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u == '_' || u >= 0x80 || (u >= '0' && u <= '9') || ((u | 0x20) >= 'a' && (u | 0x20) <= 'z');
}

// Every whole-word occurrence of a data file name that changes with each run
// becomes the recordset's name.
void NameFilesByRecordset(std::string& description, const std::vector<TableName>& tables) {
  for (const TableName& table : tables) {
    if (table.fileName.empty() || table.name.empty() || EqualsNoCase(table.fileName, table.name)) continue;
    std::string out;
    size_t copiedTo = 0;
    for (size_t at = description.find(table.fileName); at != std::string::npos;
         at = description.find(table.fileName, at + 1)) {
      const size_t end = at + table.fileName.size();
      if (at < copiedTo || (at > 0 && IsWordByte(description[at - 1])) ||
          (end < description.size() && IsWordByte(description[end])))
        continue;
      out.append(description, copiedTo, at - copiedTo);
      out += table.name;
      copiedTo = end;
    }
    if (copiedTo == 0) continue;
    out.append(description, copiedTo, std::string::npos);
    description = std::move(out);
  }
}

// The text of an edit ("TEMP1234.txt TEMP1234" for the table rs1) read as
// the caller wrote it, wherever the description quotes the statement.
void QuoteCallerText(std::string& description, const std::vector<SqlEdit>& edits, std::string_view sql) {
  for (const SqlEdit& e : edits) {
    if (e.end > sql.size() || e.begin > e.end || e.with.empty()) continue;
    const std::string_view original = sql.substr(e.begin, e.end - e.begin);
    // A qualifier's edit reads as its recordset name anyway (NameFilesByRecordset).
    if (original != e.with && e.with.find(' ') != std::string::npos) ReplaceAll(description, e.with, original);
  }
}

// Where character `n` (from 0) of UTF-8 text begins, counting characters as
// the driver counts them.
size_t ByteOfCharacter(std::string_view text, size_t n) {
  for (size_t at = 0; at < text.size(); ++at)
    if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && n-- == 0) return at;
  return text.size();
}

// "at character n" of the rewritten statement, counted in the caller's.
void CountPositionsInCallerText(std::string& description, const StatementRewriting& statement) {
  static constexpr std::string_view kMarker = "at character ";
  for (size_t at = description.find(kMarker); at != std::string::npos; at = description.find(kMarker, at + 1)) {
    const size_t digits = at + kMarker.size();
    size_t end = digits;
    while (end < description.size() && description[end] >= '0' && description[end] <= '9') ++end;
    if (end == digits || end - digits > 12) continue;
    const size_t position = std::stoull(description.substr(digits, end - digits));
    if (position == 0) continue;
    const size_t rewrittenByte = ByteOfCharacter(statement.rewritten.text, position - 1);
    const size_t callerByte = CallerOffset(statement.rewritten.edits, rewrittenByte);
    // What the engine appended counts as the end of the caller's statement.
    const std::string_view caller = statement.callerText;
    const std::string mapped =
        std::to_string(CodePointCount(caller.substr(0, std::min(callerByte, caller.size()))) + 1);
    description.replace(digits, end - digits, mapped);
  }
}

// The driver's last sentence when it says where the statement went wrong.
std::string_view PlaceSentence(std::string_view description) {
  const size_t at = description.rfind(" Near ");
  if (at == std::string_view::npos || description.find("at character ", at) == std::string_view::npos) return {};
  return description.substr(at + 1);
}

// A table that is no recordset: the nearest recordset name, when the driver
// had none to offer from its files.
void SuggestRecordset(std::string& description, const std::vector<TableName>& tables) {
  static constexpr std::string_view kOpening = "cannot find the input table or query '";
  static constexpr std::string_view kClosing = "spelled correctly.";
  const size_t opening = description.find(kOpening);
  const size_t closing = description.find(kClosing);
  if (opening == std::string::npos || closing == std::string::npos || ContainsNoCase(description, "Did you mean"))
    return;
  const size_t nameBegin = opening + kOpening.size();
  const size_t nameEnd = description.find("'.", nameBegin);
  if (nameEnd == std::string::npos || nameEnd > closing) return;
  std::vector<std::string> names;
  for (const TableName& table : tables) names.push_back(table.name);
  const std::string closest = driver::ClosestName(description.substr(nameBegin, nameEnd - nameBegin), names);
  if (!closest.empty()) description.insert(closing + kClosing.size(), " Did you mean '" + closest + "'?");
}

}  // namespace

std::string TextConnectionString(std::string_view folder) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + ConnectionStringValue(folder) +
         ";Extended Properties=\"text;HDR=Yes;FMT=Delimited;\";";
}

Error TranslatedDriverError(std::string description, const std::vector<TableName>& tables,
                            const StatementRewriting* statement) {
  if (statement) QuoteCallerText(description, statement->rewritten.edits, statement->callerText);
  ReplaceAllNoCase(description, "Microsoft Jet database engine", "VDL Component");
  ReplaceAllNoCase(description, ".txt", "");
  ReplaceAllNoCase(description, "Text File", "Temporary File");
  if (ContainsNoCase(description, "missing operator")) {
    // One fixed text whatever the driver's wording; where it went wrong follows it.
    const std::string place(PlaceSentence(description));
    description = "SQL syntax error (missing Operator) in query expression.";
    if (!place.empty()) description += " " + place;
  }
  NameFilesByRecordset(description, tables);
  SuggestRecordset(description, tables);
  if (statement) CountPositionsInCallerText(description, *statement);
  return Error(errors::kQueryFailed, std::string(errors::kSource), std::move(description));
}

void NameQualifiedFieldsByRecordset(RowStore& rows, const std::vector<TableName>& tables) {
  for (size_t column = 0; column < rows.FieldCount(); ++column) {
    const std::string& name = rows.Fields()[column].name;
    const size_t dot = name.find('.');
    if (dot == std::string::npos) continue;
    const std::string_view qualifier = std::string_view(name).substr(0, dot);
    for (const TableName& table : tables) {
      if (table.fileName == table.name || !EqualsNoCase(qualifier, table.fileName)) continue;
      rows.SetFieldName(column, table.name + name.substr(dot));
      break;
    }
  }
}

}  // namespace vendrel::engine

namespace vendrel {

Ref<Connection> Vendrel::OpenConnection() {
  if (queryFolder_.empty()) return nullptr;
  try {
    driver::RegisterProviders();
    Ref<Connection> connection = Connection::Create();
    connection->ShareCancelRequest(cancel_);
    connection->SetConnectionString(engine::TextConnectionString(queryFolder_));
    connection->SetCursorLocation(adUseClient);
    connection->Open("", "", "", adConnectUnspecified);
    return connection;
  } catch (...) {
    ResetWorkspace();
    engine::RaiseComponent(errors::kConnectionFailed, std::string(engine::kUnknownCauseText));
  }
}

Ref<Recordset> Vendrel::RunQuery(const Ref<Collection>& names, const std::vector<std::string>& fileNames,
                                 const std::string& sqlText) {
  enum class Step { Connect, AppendSpace, Rewrite, NewRecordset, Open, Detach, Clone, CloseWorking, DeleteFiles, Done };
  Step step = Step::Connect;
  bool retried = false;
  std::string text;
  Ref<Recordset> working;
  Ref<Recordset> result;
  for (;;) {
    try {
      for (; step != Step::Done; step = static_cast<Step>(static_cast<int>(step) + 1)) {
        switch (step) {
          case Step::Connect: queryConnection_ = OpenConnection(); break;
          case Step::AppendSpace: text = sqlText + " "; break;
          case Step::Rewrite: text = RewriteSql(text, names, fileNames); break;
          case Step::NewRecordset:
            working = Recordset::Create();
            working->SetCursorLocation(adUseClient);
            break;
          case Step::Open:
            if (!working) RaisePlatform(err::kObjectNotSet, source::kRuntime);
            working->Open(Variant(text), Variant(queryConnection_), queryCursorType_, queryLockType_, adCmdText);
            engine::NameQualifiedFieldsByRecordset(*working->Rows(), engine::PairTableNames(names, fileNames));
            break;
          case Step::Detach:
            if (!working) RaisePlatform(err::kObjectNotSet, source::kRuntime);
            working->SetActiveConnection(nullptr);
            break;
          case Step::Clone:
            if (!working) RaisePlatform(err::kObjectNotSet, source::kRuntime);
            result = working->Clone(adLockUnspecified);
            break;
          case Step::CloseWorking:
            if (!working) RaisePlatform(err::kObjectNotSet, source::kRuntime);
            working->Close();
            working.reset();
            break;
          case Step::DeleteFiles: DeleteDataFiles(); break;
          case Step::Done: break;
        }
      }
      return result;
    } catch (...) {
      std::string description;
      std::string errorSource;
      try {
        throw;
      } catch (const Error& e) {
        description = e.Description();
        errorSource = e.Source();
      } catch (...) {
      }
      ResetWorkspace();
      working.reset();
      // The failed step runs once more; a second failure is handled as any other.
      if (!retried && ContainsNoCase(description, "Selected collating sequence")) {
        retried = true;
        continue;
      }
      if (ContainsNoCase(errorSource, driver::kDriverSource)) {
        std::vector<engine::TableName> tables;
        std::optional<engine::StatementRewriting> statement;
        try {
          tables = engine::PairTableNames(names, fileNames);
          statement.emplace();
          statement->callerText = sqlText;
          statement->rewritten = engine::RewriteSqlTokens(sqlText + " ", tables);
        } catch (...) {
          // the description then keeps the driver's names and positions
          statement.reset();
        }
        throw engine::TranslatedDriverError(std::move(description), tables, statement ? &*statement : nullptr);
      }
      return nullptr;
    }
  }
}

}  // namespace vendrel

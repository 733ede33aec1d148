#include "query_run.h"

#include "component_error.h"
#include "text_edit.h"
#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/text.h"
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

// "at character n" of the rewritten statement, counted in the caller's.
void CountPositionsInCallerText(std::string& description, const std::vector<SqlEdit>& edits) {
  static constexpr std::string_view kMarker = "at character ";
  for (size_t at = description.find(kMarker); at != std::string::npos; at = description.find(kMarker, at + 1)) {
    const size_t digits = at + kMarker.size();
    size_t end = digits;
    while (end < description.size() && description[end] >= '0' && description[end] <= '9') ++end;
    if (end == digits || end - digits > 12) continue;
    const size_t position = std::stoull(description.substr(digits, end - digits));
    if (position == 0) continue;
    const std::string mapped = std::to_string(CallerOffset(edits, position - 1) + 1);
    description.replace(digits, end - digits, mapped);
  }
}

}  // namespace

std::string TextConnectionString(std::string_view folder) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + ConnectionStringValue(folder) +
         ";Extended Properties=\"text;HDR=Yes;FMT=Delimited;\";";
}

Error TranslatedDriverError(std::string description, const std::vector<TableName>& tables,
                            const std::vector<SqlEdit>& edits, std::string_view sql) {
  QuoteCallerText(description, edits, sql);
  ReplaceAllNoCase(description, "Microsoft Jet database engine", "VDL Component");
  ReplaceAllNoCase(description, ".txt", "");
  ReplaceAllNoCase(description, "Text File", "Temporary File");
  if (ContainsNoCase(description, "missing operator")) {
    description = "SQL syntax error (missing Operator) in query expression.";
  } else {
    NameFilesByRecordset(description, tables);
    if (!edits.empty()) CountPositionsInCallerText(description, edits);
  }
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
        std::vector<engine::SqlEdit> edits;
        const std::string callerText = sqlText + " ";
        try {
          tables = engine::PairTableNames(names, fileNames);
          edits = engine::RewriteSqlTokens(callerText, tables).edits;
        } catch (...) {
          // the description then keeps the driver's names and positions
        }
        throw engine::TranslatedDriverError(std::move(description), tables, edits, callerText);
      }
      return nullptr;
    }
  }
}

}  // namespace vendrel

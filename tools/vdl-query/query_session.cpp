#include "query_session.h"

#include <algorithm>

#include "input_file.h"
#include "interrupt.h"
#include "options.h"
#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::vdlquery {

namespace {

bool SameRows(const RowStore& a, const RowStore& b) {
  if (a.FieldCount() != b.FieldCount() || a.RowCount() != b.RowCount()) return false;
  for (size_t c = 0; c < a.FieldCount(); ++c)
    if (a.Fields()[c].name != b.Fields()[c].name || a.Fields()[c].type != b.Fields()[c].type) return false;
  for (size_t r = 0; r < a.RowCount(); ++r)
    for (size_t c = 0; c < a.FieldCount(); ++c)
      if (!(a.At(r, c) == b.At(r, c))) return false;
  return true;
}

}  // namespace

QuerySession::QuerySession(SessionSettings settings)
    : settings_(std::move(settings)), query_(Vendrel::Create()), source_(QueryDataSource::Create()) {}

std::vector<QuerySession::Origin>::iterator QuerySession::Find(const std::string& name) {
  return std::find_if(origins_.begin(), origins_.end(),
                      [&](const Origin& origin) { return EqualsNoCase(origin.name, name); });
}

void QuerySession::Replace(const Ref<Recordset>& recordset, bool optimized, Origin origin) {
  Ref<RecordsetCollection> entries = source_->RecordsetCollection();
  if (auto it = Find(origin.name); it != origins_.end()) {
    entries->Remove(Variant(it->name));
    origins_.erase(it);
  }
  entries->Add(recordset, origin.name, optimized);
  origins_.push_back(std::move(origin));
}

std::vector<std::string> QuerySession::Load(const std::string& name, const std::string& path,
                                            const InputSettings& settings) {
  RequireRecordsetName(name);
  LoadedInput loaded = ReadInputFile(path, settings, settings_.scratchFolder);
  const RowStore& rows = *loaded.rows->Rows();
  Origin origin{name, path == kStandardInput ? "standard input" : path, rows.RowCount(), rows.Fields()};
  Replace(loaded.rows, false, std::move(origin));
  return std::move(loaded.notes);
}

void QuerySession::Remove(const std::string& name) {
  auto it = Find(name);
  if (it == origins_.end()) throw ToolError("there is no input named '" + name + "'");
  source_->RecordsetCollection()->Remove(Variant(it->name));
  origins_.erase(it);
}

Ref<Recordset> QuerySession::Execute(const std::string& sql, bool optimize, const std::string& name) {
  const StatementInProgress running(*query_);
  return query_->Execute(source_, sql, adOpenStatic, adLockReadOnly, optimize, name, settings_.tempFolder,
                         settings_.altQuote);
}

Ref<Recordset> QuerySession::Run(const std::string& sql) {
  lastSql_.clear();
  lastResult_.reset();
  Ref<Recordset> result = Execute(sql, false, "");
  lastSql_ = sql;
  lastResult_ = result;
  return result;
}

bool QuerySession::Save(const std::string& name) {
  RequireRecordsetName(name);
  if (!lastResult_) throw ToolError("there is no result to save: run a statement first");
  const Ref<Recordset> stored = Execute(lastSql_, true, name);
  const RowStore& rows = *stored->Rows();
  // The entry needs no recordset: the query object reads the stored file.
  Replace(nullptr, true, Origin{name, "saved result", rows.RowCount(), rows.Fields()});
  return SameRows(*lastResult_->Rows(), rows);
}

std::vector<EntryDescription> QuerySession::Entries() {
  std::vector<EntryDescription> out;
  const Ref<Collection> names = source_->RecordsetCollection()->rsNameCollection();
  for (long i = 1; i <= names->Count(); ++i) {
    auto it = Find(names->Item(i).AsString());
    if (it == origins_.end()) continue;
    out.push_back({it->name, it->text, it->rows, it->fields});
  }
  return out;
}

}  // namespace vendrel::vdlquery

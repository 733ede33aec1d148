#include "vendrel/dataaccess/recordset.h"

#include "vendrel/dataaccess/connection.h"
#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel {

// ---------------------------------------------------------------- coercion

namespace {
[[noreturn]] void MultipleStep() { RaisePlatform(err::kMultipleStep, source::kField); }

bool IsLongText(int type) { return type == adLongVarChar || type == adLongVarWChar || type == adBSTR; }
}  // namespace

Variant CoerceToField(const Variant& value, const FieldInfo& field) {
  if (value.IsNull() || value.IsEmpty()) {
    if (!field.MayBeNull()) MultipleStep();
    return Variant::Null();
  }
  try {
    switch (field.type) {
      case adSmallInt: return ChangeType(value, VarType::Integer);
      case adTinyInt: {
        const int16_t n = ToInteger(value);
        if (n < -128 || n > 127) MultipleStep();
        return Variant::Integer(n);
      }
      case adUnsignedTinyInt: return ChangeType(value, VarType::Byte);
      case adInteger: return ChangeType(value, VarType::Long);
      case adUnsignedSmallInt: {
        const int32_t n = ToLong(value);
        if (n < 0 || n > 65535) MultipleStep();
        return Variant::Long(n);
      }
      case adUnsignedInt:
      case adUnsignedBigInt: {
        const int64_t n = ToBigInt(value);
        if (n < 0 || (field.type == adUnsignedInt && n > 4294967295LL)) MultipleStep();
        return Variant::BigInt(n);
      }
      case adBigInt: return ChangeType(value, VarType::BigInt);
      case adSingle: return ChangeType(value, VarType::Single);
      case adDouble:
      case adDecimal:
      case adNumeric: return ChangeType(value, VarType::Double);
      case adCurrency: return ChangeType(value, VarType::Currency);
      case adDate:
      case adDBDate:
      case adDBTime:
      case adDBTimeStamp:
      case adDBFileTime: {
        // A date that no text of the type can show (NaN, infinite, beyond the
        // years 100 to 9999) does not fit the field.
        Variant date = ChangeType(value, VarType::Date);
        if (!IsValidDate(date.AsDate())) MultipleStep();
        return date;
      }
      case adBoolean: return ChangeType(value, VarType::Boolean);
      case adBinary:
      case adVarBinary:
      case adLongVarBinary:
        if (value.Type() == VarType::Bytes) return value;
        if (value.IsString()) return Variant::FromBytes(Bytes(value.AsString().begin(), value.AsString().end()));
        MultipleStep();
      case adGUID:
      case adBSTR:
      case adChar:
      case adWChar:
      case adVarChar:
      case adLongVarChar:
      case adVarWChar:
      case adLongVarWChar: {
        Variant text = ChangeType(value, VarType::String);
        if (field.definedSize > 0 && !IsLongText(field.type) &&
            CodePointCount(text.AsString()) > static_cast<size_t>(field.definedSize))
          MultipleStep();
        return text;
      }
      default: return value;
    }
  } catch (const Error& e) {
    if (e.Number() == err::kMultipleStep) throw;
    MultipleStep();
  }
}

// ---------------------------------------------------------------- Field

const FieldInfo& Field::info() const noexcept { return owner_->InfoAt(index_); }

const Variant& Field::Value() const {
  owner_->RequireOpen();
  owner_->RequireCurrent();
  owner_->rows_->Read(static_cast<size_t>(owner_->position_), index_, value_);
  return value_;
}

void Field::SetValue(const Variant& value) {
  Recordset& rs = *owner_;
  rs.RequireOpen();
  rs.RequireUpdatable();
  rs.RequireCurrent();
  Variant coerced = CoerceToField(value, info());
  if (rs.editMode_ == adEditNone) rs.BeginEdit();
  rs.rows_->Set(static_cast<size_t>(rs.position_), index_, coerced);
}

// ---------------------------------------------------------------- FieldCollection

Field& FieldCollection::Item(const Variant& index) {
  if (index.IsString()) {
    for (Field& f : fields_)
      if (EqualsNoCase(f.Name(), index.AsString())) return f;
    RaisePlatform(err::kItemNotFound, source::kRecordset);
  }
  if (!index.IsNumeric()) RaisePlatform(err::kItemNotFound, source::kRecordset);
  double position = 0;
  try {
    position = RoundHalfEven(ToDouble(index));
  } catch (const Error&) {
    RaisePlatform(err::kItemNotFound, source::kRecordset);
  }
  if (!(position >= 0 && position < static_cast<double>(fields_.size())))
    RaisePlatform(err::kItemNotFound, source::kRecordset);
  return fields_[static_cast<size_t>(position)];
}

void FieldCollection::Append(std::string name, int type, long definedSize, int attributes) {
  if (owner_->open_) RaisePlatform(err::kNotAllowedInContext, source::kRecordset);
  for (const FieldInfo& f : owner_->appended_)
    if (EqualsNoCase(f.name, name)) RaisePlatform(err::kObjectAlreadyInCollection, source::kRecordset);
  FieldInfo info;
  info.name = std::move(name);
  info.type = type;
  info.definedSize = definedSize;
  info.attributes = attributes;
  owner_->appended_.push_back(std::move(info));
  Rebuild(owner_->appended_.size());
}

void FieldCollection::Rebuild(size_t count) {
  fields_.clear();
  fields_.reserve(count);
  for (size_t i = 0; i < count; ++i) fields_.push_back(Field(owner_, i));
}

// ---------------------------------------------------------------- Recordset

Recordset::Recordset() : fields_(this) {}
Recordset::~Recordset() = default;

const FieldInfo& Recordset::InfoAt(size_t index) const {
  return open_ ? rows_->Fields()[index] : appended_[index];
}

void Recordset::RequireOpen() const {
  if (!open_) RaisePlatform(err::kObjectClosed, source::kRecordset);
}

void Recordset::RequireCurrent() const {
  if (position_ < 0 || static_cast<size_t>(position_) >= rows_->RowCount())
    RaisePlatform(err::kNoCurrentRecord, source::kRecordset);
}

void Recordset::RequireUpdatable() const {
  if (lockType_ == adLockReadOnly) RaisePlatform(err::kNotCapable, source::kRecordset);
}

void Recordset::OpenRows(Ref<RowStore> rows, int cursorType, int lockType) {
  rows_ = std::move(rows);
  cursorType_ = cursorType;
  lockType_ = lockType;
  open_ = true;
  position_ = 0;
  editMode_ = adEditNone;
  fields_.Rebuild(rows_->FieldCount());
}

void Recordset::Open(const Variant& source, const Variant& activeConnection, int cursorType, int lockType,
                     int options) {
  if (open_) RaisePlatform(err::kObjectOpen, source::kRecordset);
  const int lock = lockType == adLockUnspecified ? lockType_ : lockType;
  if (lock < adLockReadOnly || lock > adLockBatchOptimistic || cursorType < adOpenUnspecified ||
      cursorType > adOpenStatic)
    RaisePlatform(err::kArgumentsWrongType, source::kRecordset);

  const bool noSource = source.IsEmpty() || (source.IsString() && source.AsString().empty());
  const bool noConnection = (activeConnection.IsEmpty() || (activeConnection.IsObject() && !activeConnection.AsObject())) && !connection_;
  if (noSource && noConnection) {
    // An in-memory recordset: its rows are held here, so the cursor is a client one.
    cursorLocation_ = adUseClient;
    source_.clear();
    OpenRows(MakeRef<RowStore>(appended_), adOpenStatic, lock);
    return;
  }
  if (!source.IsString()) RaisePlatform(err::kArgumentsWrongType, source::kRecordset);

  Ref<Connection> connection = connection_;
  if (activeConnection.IsString()) {
    connection = Connection::Create();
    connection->SetCursorLocation(cursorLocation_ ? cursorLocation_ : adUseServer);
    connection->Open(activeConnection.AsString());
  } else if (activeConnection.IsObject() && activeConnection.AsObject()) {
    connection = RefCast<Connection>(activeConnection.AsObject());
    if (!connection) RaisePlatform(err::kArgumentsWrongType, source::kRecordset);
  } else if (!activeConnection.IsEmpty() && !activeConnection.IsObject()) {
    RaisePlatform(err::kArgumentsWrongType, source::kRecordset);
  }
  if (!connection) RaisePlatform(err::kConnectionClosed, source::kRecordset);

  Ref<RowStore> rows = connection->ExecuteCommand(source.AsString(), options);
  const int location = cursorLocation_ ? cursorLocation_ : connection->CursorLocation();
  const int cursor = location == adUseClient ? adOpenStatic
                     : cursorType == adOpenUnspecified ? cursorType_
                                                       : cursorType;
  cursorLocation_ = location;
  connection_ = std::move(connection);
  source_ = source.AsString();
  OpenRows(std::move(rows), cursor, lock);
}

void Recordset::Close() {
  RequireOpen();
  SavePending();
  open_ = false;
  rows_.reset();
  fields_.Rebuild(appended_.size());
}

long Recordset::RecordCount() const {
  RequireOpen();
  if (cursorType_ == adOpenForwardOnly) return -1;
  return static_cast<long>(rows_->RowCount());
}

bool Recordset::Eof() const {
  RequireOpen();
  return position_ >= static_cast<long>(rows_->RowCount());
}

bool Recordset::Bof() const {
  RequireOpen();
  return position_ < 0 || rows_->RowCount() == 0;
}

long Recordset::AbsolutePosition() const {
  RequireOpen();
  if (position_ < 0 || rows_->RowCount() == 0) return -2;  // adPosBOF
  if (position_ >= static_cast<long>(rows_->RowCount())) return -3;  // adPosEOF
  return position_ + 1;
}

void Recordset::SavePending() {
  if (editMode_ != adEditNone) Update();
}

void Recordset::MoveFirst() {
  RequireOpen();
  SavePending();
  if (rows_->RowCount() == 0) RaisePlatform(err::kNoCurrentRecord, source::kRecordset);
  position_ = 0;
}

void Recordset::MoveNext() {
  RequireOpen();
  SavePending();
  if (position_ >= static_cast<long>(rows_->RowCount())) RaisePlatform(err::kNoCurrentRecord, source::kRecordset);
  ++position_;
}

void Recordset::MovePrevious() {
  RequireOpen();
  if (cursorType_ == adOpenForwardOnly) RaisePlatform(err::kNotCapable, source::kRecordset);
  SavePending();
  if (position_ < 0 || rows_->RowCount() == 0) RaisePlatform(err::kNoCurrentRecord, source::kRecordset);
  --position_;
}

void Recordset::MoveLast() {
  RequireOpen();
  SavePending();
  if (rows_->RowCount() == 0) RaisePlatform(err::kNoCurrentRecord, source::kRecordset);
  position_ = static_cast<long>(rows_->RowCount()) - 1;
}

void Recordset::AddNew() {
  RequireOpen();
  RequireUpdatable();
  SavePending();
  rowBeforeAdd_ = position_;
  position_ = static_cast<long>(rows_->AppendRow());
  editMode_ = adEditAdd;
}

void Recordset::BeginEdit() {
  const size_t row = static_cast<size_t>(position_);
  rowBeforeEdit_.clear();
  for (size_t c = 0; c < rows_->FieldCount(); ++c) rowBeforeEdit_.push_back(rows_->At(row, c));
  editMode_ = adEditInProgress;
}

void Recordset::Update() {
  RequireOpen();
  editMode_ = adEditNone;
  rowBeforeEdit_.clear();
}

void Recordset::CancelUpdate() {
  RequireOpen();
  if (editMode_ == adEditAdd) {
    rows_->RemoveLastRow();
    position_ = std::min(rowBeforeAdd_, static_cast<long>(rows_->RowCount()));
  } else if (editMode_ == adEditInProgress) {
    for (size_t c = 0; c < rowBeforeEdit_.size(); ++c)
      rows_->Set(static_cast<size_t>(position_), c, rowBeforeEdit_[c]);
  }
  editMode_ = adEditNone;
  rowBeforeEdit_.clear();
}

Ref<Recordset> Recordset::Clone(int lockType) const {
  RequireOpen();
  if (cursorType_ == adOpenForwardOnly) RaisePlatform(err::kNotCapable, source::kRecordset);
  if (lockType != adLockUnspecified && lockType != adLockReadOnly)
    RaisePlatform(err::kArgumentsWrongType, source::kRecordset);
  Ref<Recordset> clone = Create();
  clone->cursorLocation_ = cursorLocation_;
  clone->connection_ = connection_;
  clone->source_ = source_;
  clone->OpenRows(rows_, cursorType_, lockType == adLockUnspecified ? lockType_ : lockType);
  return clone;
}

void Recordset::SetCursorType(int type) {
  if (open_) RaisePlatform(err::kObjectOpen, source::kRecordset);
  if (type < adOpenForwardOnly || type > adOpenStatic) RaisePlatform(err::kArgumentsWrongType, source::kRecordset);
  cursorType_ = type;
}

void Recordset::SetLockType(int type) {
  if (open_) RaisePlatform(err::kObjectOpen, source::kRecordset);
  if (type < adLockReadOnly || type > adLockBatchOptimistic) RaisePlatform(err::kArgumentsWrongType, source::kRecordset);
  lockType_ = type;
}

void Recordset::SetCursorLocation(int location) {
  if (open_) RaisePlatform(err::kObjectOpen, source::kRecordset);
  if (location != adUseClient && location != adUseServer) RaisePlatform(err::kArgumentsWrongType, source::kRecordset);
  cursorLocation_ = location;
}

void Recordset::SetActiveConnection(Ref<Connection> connection) {
  if (open_ && connection) RaisePlatform(err::kObjectOpen, source::kRecordset);
  connection_ = std::move(connection);
}

const Ref<RowStore>& Recordset::Rows() const {
  RequireOpen();
  return rows_;
}

size_t Recordset::CurrentRow() const {
  RequireOpen();
  RequireCurrent();
  return static_cast<size_t>(position_);
}

}  // namespace vendrel

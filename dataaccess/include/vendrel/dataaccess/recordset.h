#pragma once
// Recordset, its fields and the rows it walks over.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/object.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel {

class Connection;
class Recordset;

struct FieldInfo {
  std::string name;
  int type = adVariant;
  long definedSize = 0;
  int attributes = adFldUnspecified;
  int precision = 0;
  int numericScale = 0;

  bool MayBeNull() const noexcept { return (attributes & (adFldIsNullable | adFldMayBeNull)) != 0; }
};

// The rows of a recordset, shared by the recordset and its clones. Stored by
// column: a column whose values are all of one type (or Null) keeps each in
// 8 bytes, texts in blocks of the column's own, so a value costs no
// allocation of its own; a column given values of several types keeps them
// as variants. Storage grows in chunks and is never copied to grow.
class RowStore : public Object {
 public:
  explicit RowStore(std::vector<FieldInfo> fields);
  ~RowStore() override;

  const std::vector<FieldInfo>& Fields() const noexcept { return fields_; }
  size_t FieldCount() const noexcept { return fields_.size(); }
  size_t RowCount() const noexcept { return rows_; }

  // A copy of the value at a row and column.
  Variant At(size_t row, size_t column) const;
  // The value at a row and column into `out`, whose text storage is reused:
  // for readers of many values.
  void Read(size_t row, size_t column, Variant& out) const;
  void Set(size_t row, size_t column, const Variant& value);

  // A value as the rows hold it, read without a copy, for writers of many
  // values: its type and its number or bytes; for a value kept as a variant
  // (an object, Empty, or a column of several types) `variant` points to it.
  // Valid until the rows change.
  struct View {
    VarType type = VarType::Null;
    int64_t whole = 0;  // Integer, Long, BigInt, Byte, Currency (ten-thousandths), Boolean (1 or 0)
    double real = 0;    // Single, Double, Date
    std::string_view bytes;  // String, Bytes
    const Variant* variant = nullptr;
  };
  View ViewAt(size_t row, size_t column) const;

  // Appends a row of Nulls and returns its index.
  size_t AppendRow();
  // Appends a row from exactly FieldCount() values.
  void AppendRow(std::vector<Variant>&& values);
  void AppendRow(std::span<const Variant> values);
  // Appends a row from exactly FieldCount() cells given as ViewAt gives
  // them: Null, a number or bytes of the cell's type (copied), or any value
  // at `variant`. For writers that hold their values typed: the rows are
  // those the same values as variants make, with no variant made per value.
  // A cell of another type without `variant` raises 3001.
  void AppendTypedRow(std::span<const View> cells);
  void RemoveLastRow();
  // Renames a field; the recordsets over these rows all see the new name.
  void SetFieldName(size_t column, std::string name) { fields_.at(column).name = std::move(name); }
  void Reserve(size_t rows);

 private:
  class Column;
  std::vector<FieldInfo> fields_;
  std::vector<Column> columns_;
  size_t rows_ = 0;
};

class Field {
 public:
  const std::string& Name() const noexcept { return info().name; }
  int Type() const noexcept { return info().type; }
  long DefinedSize() const noexcept { return info().definedSize; }
  int Attributes() const noexcept { return info().attributes; }
  int Precision() const noexcept { return info().precision; }
  int NumericScale() const noexcept { return info().numericScale; }
  const FieldInfo& Info() const noexcept { return info(); }

  // The value in the current row: 3704 when the recordset is closed, 3021 at
  // BOF or EOF. The reference holds until the next Value() of this field.
  const Variant& Value() const;
  // Converts to the field's type; a value that does not fit, or Null where the
  // field may not hold Null, raises -2147217887. A read-only recordset raises 3251.
  void SetValue(const Variant& value);

 private:
  friend class FieldCollection;
  friend class Recordset;
  Field(Recordset* owner, size_t index) : owner_(owner), index_(index) {}
  const FieldInfo& info() const noexcept;

  Recordset* owner_;  // the field lives inside its recordset
  size_t index_;
  mutable Variant value_;  // the last value read, its text storage reused
};

class FieldCollection {
 public:
  long Count() const noexcept { return static_cast<long>(fields_.size()); }
  // A 0-based position or a name (without regard to case); 3265 when absent.
  Field& Item(const Variant& index);
  Field& operator[](size_t position) { return fields_.at(position); }
  // Only while the recordset is closed (3219 otherwise).
  void Append(std::string name, int type, long definedSize = 0, int attributes = adFldUnspecified);

 private:
  friend class Recordset;
  explicit FieldCollection(Recordset* owner) : owner_(owner) {}
  void Rebuild(size_t count);

  Recordset* owner_;
  std::vector<Field> fields_;
};

class Recordset : public Object {
 public:
  static Ref<Recordset> Create() { return MakeRef<Recordset>(); }
  Recordset();
  ~Recordset() override;

  FieldCollection& Fields() noexcept { return fields_; }
  const FieldCollection& Fields() const noexcept { return fields_; }

  // Without source and connection: an empty in-memory recordset over the
  // appended fields. With a statement: runs it on the connection (an open
  // Connection, or a connection string for a connection of its own).
  void Open(const Variant& source = {}, const Variant& activeConnection = {},
            int cursorType = adOpenUnspecified, int lockType = adLockUnspecified,
            int options = adCmdUnspecified);
  void Close();  // 3704 when already closed
  int State() const noexcept { return open_ ? adStateOpen : adStateClosed; }

  long RecordCount() const;  // -1 for a forward-only cursor
  bool Eof() const;
  bool Bof() const;
  long AbsolutePosition() const;  // 1-based; -1 at BOF, -3 at EOF
  void MoveFirst();
  void MoveNext();
  void MovePrevious();
  void MoveLast();

  // Starts a new row at the end; the row being added before is saved first.
  // A row still being added is part of the rows that a walk visits.
  void AddNew();
  void Update();
  void CancelUpdate();
  int EditMode() const noexcept { return editMode_; }

  // An independent position over the same rows, usable after this one closes.
  Ref<Recordset> Clone(int lockType = adLockUnspecified) const;

  int CursorType() const noexcept { return cursorType_; }
  void SetCursorType(int type);
  int LockType() const noexcept { return lockType_; }
  void SetLockType(int type);
  int CursorLocation() const noexcept { return cursorLocation_; }
  void SetCursorLocation(int location);
  const Ref<Connection>& ActiveConnection() const noexcept { return connection_; }
  void SetActiveConnection(Ref<Connection> connection);  // nothing detaches the rows
  const std::string& Source() const noexcept { return source_; }

  // The rows and the current position, for readers that walk many rows.
  const Ref<RowStore>& Rows() const;
  size_t CurrentRow() const;  // 3021 at BOF or EOF

 private:
  friend class Field;
  friend class FieldCollection;
  void RequireOpen() const;
  void RequireCurrent() const;
  void RequireUpdatable() const;
  void SavePending();
  void OpenRows(Ref<RowStore> rows, int cursorType, int lockType);
  void BeginEdit();
  const FieldInfo& InfoAt(size_t index) const;

  FieldCollection fields_;
  std::vector<FieldInfo> appended_;  // fields declared while closed
  Ref<RowStore> rows_;
  Ref<Connection> connection_;
  std::string source_;
  bool open_ = false;
  long position_ = 0;  // 0-based row; -1 is BOF, RowCount() is EOF
  int cursorType_ = adOpenForwardOnly;
  int lockType_ = adLockReadOnly;
  int cursorLocation_ = 0;  // 0: not set, the connection's decides
  int editMode_ = adEditNone;
  long rowBeforeAdd_ = 0;
  std::vector<Variant> rowBeforeEdit_;
};

// Converts a value for a field of the given type and size; raises
// -2147217887 when the value does not fit or is Null where not allowed.
Variant CoerceToField(const Variant& value, const FieldInfo& field);

}  // namespace vendrel

#pragma once
// The types of the driver's values, and how each type is stored in SQLite:
// the one rule for every table the driver makes and for every value that
// generated SQL computes.
//
// Values in the SQLite database, by static type:
//   Boolean             INTEGER -1 (True) or 0
//   Byte Short Long BigInt  INTEGER
//   Currency            INTEGER, a count of ten-thousandths (exact)
//   Single Double       REAL
//   Date                REAL, days since 30 December 1899 (the fraction is the time)
//   Text Memo Guid      TEXT, UTF-8
//   Binary              BLOB
//   any type            NULL for Null
// Text columns of tables are declared COLLATE JETTEXT (case-insensitive,
// linguistic order); generated SQL states the collation wherever it compares,
// groups or orders text, so expressions follow the same rule.

#include <string>
#include <string_view>

#include "vendrel/dataaccess/recordset.h"

namespace vendrel::driver {

enum class JetType {
  Null,  // the type of a bare Null literal, before it meets another type
  Boolean,
  Byte,
  Short,
  Long,
  BigInt,
  Currency,
  Single,
  Double,
  Date,
  Text,
  Memo,
  Guid,
  Binary,
};

// The data-access type number a result field of this type reports.
int AdoTypeOf(JetType type);
// The field a column of this type reports: type number, defined size,
// attributes and precision.
FieldInfo ColumnFieldInfo(std::string name, JetType type, long width);
// The type name used in messages and documents ("Long", "Currency", ...).
std::string_view JetTypeName(JetType type);

// The declared type of a table column that holds this type: "INTEGER",
// "REAL", "TEXT COLLATE JETTEXT" or "BLOB".
std::string_view StorageDeclaration(JetType type);

}  // namespace vendrel::driver

#pragma once
// Random tables of every field type the component carries, the same rows
// given two ways: as in-memory recordsets for Execute, and as text files with
// their schema.ini for the driver on its own.

#include <string>
#include <string_view>
#include <vector>

#include "random_source.h"
#include "vendrel/dataaccess/recordset.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel::tester {

// What an expression of the dialect gives, as far as the generator cares.
enum class Kind { Number, Text, Date, Boolean };

struct FieldType {
  std::string_view name;        // as case files write it ("Integer", "Char(50)")
  int adoType = 0;
  long size = 0;
  std::string_view schemaType;  // as schema.ini declares it
  Kind kind = Kind::Number;
  bool whole = false;           // a whole-number type
};

std::span<const FieldType> FieldTypes();
// The type a case file names; nullptr when there is none.
const FieldType* FieldTypeNamed(std::string_view name);

struct TestColumn {
  std::string name;
  const FieldType* type = nullptr;
};

struct TestTable {
  std::string name;
  std::vector<TestColumn> columns;
  std::vector<std::vector<Variant>> rows;
};

using Database = std::vector<TestTable>;

// One to four tables t1, t2...: each a whole-number key k and a few columns of
// random types, 0 to a few hundred rows of values from small domains (so that
// joins, groups and comparisons meet), with Nulls, texts that differ only by
// case or accent, other scripts, empty texts and the edges of each range.
Database MakeDatabase(Random& random);

Ref<Recordset> RecordsetOf(const TestTable& table);

// Every table as a tab-delimited file named as the table, and one schema.ini
// declaring their columns, in `folder` (which must exist).
void WriteTextFolder(const std::string& folder, const Database& database);

// A value as a case file holds it, and back: the same value to the bit.
std::string CellText(const Variant& value);
Variant CellValue(std::string_view text, const FieldType& type);

}  // namespace vendrel::tester

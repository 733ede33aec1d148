#include "core/types.h"

#include "vendrel/dataaccess/enums.h"

namespace vendrel::driver {

namespace {

long DefinedSizeOf(JetType type, long width) {
  switch (type) {
    case JetType::Null:
    case JetType::Text: return width > 0 ? width : 255;
    case JetType::Memo: return 536870910;
    case JetType::Binary: return 1073741823;
    case JetType::Guid: return 16;
    case JetType::Boolean:
    case JetType::Short: return 2;
    case JetType::Byte: return 1;
    case JetType::Long:
    case JetType::Single: return 4;
    case JetType::BigInt:
    case JetType::Currency:
    case JetType::Double:
    case JetType::Date: return 8;
  }
  return 0;
}

int PrecisionOf(JetType type) {
  switch (type) {
    case JetType::Byte: return 3;
    case JetType::Short: return 5;
    case JetType::Long: return 10;
    case JetType::BigInt:
    case JetType::Currency: return 19;
    case JetType::Single: return 7;
    case JetType::Double: return 15;
    default: return 0;
  }
}

}  // namespace

FieldInfo ColumnFieldInfo(std::string name, JetType type, long width) {
  FieldInfo info;
  info.name = std::move(name);
  info.type = AdoTypeOf(type);
  info.definedSize = DefinedSizeOf(type, width);
  info.attributes = adFldIsNullable | adFldMayBeNull;
  if (type == JetType::Memo || type == JetType::Binary)
    info.attributes |= adFldLong;
  else if (type != JetType::Text && type != JetType::Null)
    info.attributes |= adFldFixed;
  info.precision = PrecisionOf(type);
  return info;
}

int AdoTypeOf(JetType type) {
  switch (type) {
    case JetType::Boolean: return adBoolean;
    case JetType::Byte: return adUnsignedTinyInt;
    case JetType::Short: return adSmallInt;
    case JetType::Long: return adInteger;
    case JetType::BigInt: return adBigInt;
    case JetType::Currency: return adCurrency;
    case JetType::Single: return adSingle;
    case JetType::Double: return adDouble;
    case JetType::Date: return adDate;
    case JetType::Text: return adVarWChar;
    case JetType::Memo: return adLongVarWChar;
    case JetType::Guid: return adGUID;
    case JetType::Binary: return adLongVarBinary;
    case JetType::Null: return adVarWChar;
  }
  return adVariant;
}

std::string_view JetTypeName(JetType type) {
  switch (type) {
    case JetType::Null: return "Null";
    case JetType::Boolean: return "Bit";
    case JetType::Byte: return "Byte";
    case JetType::Short: return "Short";
    case JetType::Long: return "Long";
    case JetType::BigInt: return "BigInt";
    case JetType::Currency: return "Currency";
    case JetType::Single: return "Single";
    case JetType::Double: return "Double";
    case JetType::Date: return "DateTime";
    case JetType::Text: return "Text";
    case JetType::Memo: return "Memo";
    case JetType::Guid: return "GUID";
    case JetType::Binary: return "OLE";
  }
  return "";
}

std::string_view StorageDeclaration(JetType type) {
  switch (type) {
    case JetType::Single:
    case JetType::Double:
    case JetType::Date: return "REAL";
    case JetType::Text:
    case JetType::Memo:
    case JetType::Guid: return "TEXT COLLATE JETTEXT";
    case JetType::Binary: return "BLOB";
    default: return "INTEGER";
  }
}

}  // namespace vendrel::driver

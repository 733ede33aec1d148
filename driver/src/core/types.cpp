#include "core/types.h"

#include "vendrel/dataaccess/enums.h"

namespace vendrel::driver {

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

#include "sql/values.h"

#include <string>

#include "core/errors.h"
#include "sql/types.h"
#include "vendrel/dataaccess/convert.h"

namespace vendrel::driver::sql {

std::string_view TextOf(sqlite3_value* value) {
  const auto* text = static_cast<const char*>(sqlite3_value_blob(value));
  return {text ? text : "", static_cast<size_t>(sqlite3_value_bytes(value))};
}

Variant ReadValue(sqlite3_value* value, JetType type) {
  if (sqlite3_value_type(value) == SQLITE_NULL) return Variant::Null();
  switch (type) {
    case JetType::Null: return Variant::Null();
    case JetType::Boolean: return Variant::Boolean(sqlite3_value_int64(value) != 0);
    case JetType::Byte: return Variant::Byte(static_cast<uint8_t>(sqlite3_value_int64(value)));
    case JetType::Short: return Variant::Integer(static_cast<int16_t>(sqlite3_value_int64(value)));
    case JetType::Long: return Variant::Long(static_cast<int32_t>(sqlite3_value_int64(value)));
    case JetType::BigInt: return Variant::BigInt(sqlite3_value_int64(value));
    case JetType::Currency: return Variant(Currency{sqlite3_value_int64(value)});
    case JetType::Single: return Variant::Single(static_cast<float>(sqlite3_value_double(value)));
    case JetType::Double: return Variant::Double(sqlite3_value_double(value));
    case JetType::Date: return Variant::Date(sqlite3_value_double(value));
    case JetType::Text:
    case JetType::Memo:
    case JetType::Guid: {
      return Variant::String(std::string(TextOf(value)));
    }
    case JetType::Binary: {
      const auto* bytes = static_cast<const uint8_t*>(sqlite3_value_blob(value));
      const int n = sqlite3_value_bytes(value);
      return Variant::FromBytes(bytes ? Bytes(bytes, bytes + n) : Bytes());
    }
  }
  return Variant::Null();
}

JetType TypeCode(sqlite3_value* code) {
  const int n = sqlite3_value_int(code);
  if (n < static_cast<int>(JetType::Null) || n > static_cast<int>(JetType::Binary)) return JetType::Null;
  return static_cast<JetType>(n);
}

void SetResult(sqlite3_context* context, const Variant& value, JetType type) {
  if (value.IsNull() || value.IsEmpty() || type == JetType::Null) {
    sqlite3_result_null(context);
    return;
  }
  if (type == JetType::Binary) {
    const Bytes bytes = value.Type() == VarType::Bytes ? value.AsBytes() : [&] {
      const std::string s = ToText(value);
      return Bytes(s.begin(), s.end());
    }();
    sqlite3_result_blob64(context, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    return;
  }
  if (IsText(type)) {
    const std::string s = ToText(value);
    sqlite3_result_text64(context, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return;
  }
  const Variant v = ChangeType(value, VarTypeOf(type));
  switch (type) {
    case JetType::Boolean: sqlite3_result_int64(context, v.AsBoolean() ? -1 : 0); break;
    case JetType::Byte: sqlite3_result_int64(context, v.AsByte()); break;
    case JetType::Short: sqlite3_result_int64(context, v.AsInteger()); break;
    case JetType::Long: sqlite3_result_int64(context, v.AsLong()); break;
    case JetType::BigInt: sqlite3_result_int64(context, v.AsBigInt()); break;
    case JetType::Currency: sqlite3_result_int64(context, v.AsCurrency().scaled); break;
    case JetType::Single: sqlite3_result_double(context, v.AsSingle()); break;
    case JetType::Double: sqlite3_result_double(context, v.AsDouble()); break;
    case JetType::Date: sqlite3_result_double(context, v.AsDate().serial); break;
    default: sqlite3_result_null(context); break;
  }
}

void SetError(sqlite3_context* context, const Error& error) {
  long number = error.Number() == err::kTypeMismatch ? hr::kTypeMismatch : hr::kSyntaxError;
  if (error.Number() < 0) number = error.Number();  // already a driver error
  const std::string text = EncodeRuntimeError(number, error.Description());
  sqlite3_result_error(context, text.c_str(), static_cast<int>(text.size()));
}

void SetError(sqlite3_context* context, long platformNumber) {
  SetError(context, Error(platformNumber, std::string(source::kRuntime), std::string(PlatformErrorText(platformNumber))));
}

}  // namespace vendrel::driver::sql

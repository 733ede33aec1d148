#include "catalog.h"

#include <charconv>

#include "vendrel/dataaccess/enums.h"
#include "vendrel/dataaccess/error.h"
#include "vendrel/driver/driver.h"

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

void RaiseDriverError(long hresult, std::string description) {
  Raise(hresult, kDriverSource, std::move(description));
}

namespace {
constexpr std::string_view kRuntimeMarker = "\x1fJET:";
}

std::string EncodeRuntimeError(long hresult, std::string_view description) {
  std::string out(kRuntimeMarker);
  out += std::to_string(hresult);
  out += ':';
  out += description;
  return out;
}

bool DecodeRuntimeError(std::string_view message, long& hresult, std::string& description) {
  const size_t at = message.find(kRuntimeMarker);
  if (at == std::string_view::npos) return false;
  std::string_view rest = message.substr(at + kRuntimeMarker.size());
  const size_t colon = rest.find(':');
  if (colon == std::string_view::npos) return false;
  long number = 0;
  auto r = std::from_chars(rest.data(), rest.data() + colon, number);
  if (r.ec != std::errc()) return false;
  hresult = number;
  description = std::string(rest.substr(colon + 1));
  return true;
}

}  // namespace vendrel::driver

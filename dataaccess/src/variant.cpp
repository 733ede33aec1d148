#include "vendrel/dataaccess/variant.h"

namespace vendrel {

VarType Variant::Type() const noexcept {
  static constexpr VarType kTypes[] = {VarType::Empty,  VarType::Null,     VarType::Integer, VarType::Long,
                                       VarType::BigInt, VarType::Byte,     VarType::Single,  VarType::Double,
                                       VarType::Currency, VarType::Date,   VarType::String,  VarType::Boolean,
                                       VarType::Object, VarType::Bytes};
  return kTypes[v_.index()];
}

bool Variant::IsNumeric() const noexcept {
  switch (Type()) {
    case VarType::Integer:
    case VarType::Long:
    case VarType::BigInt:
    case VarType::Byte:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Boolean: return true;
    default: return false;
  }
}

}  // namespace vendrel

#include "sql/types.h"

#include <algorithm>

namespace vendrel::driver::sql {

bool IsText(JetType t) { return t == JetType::Text || t == JetType::Memo || t == JetType::Guid; }
bool IsInteger(JetType t) {
  return t == JetType::Boolean || t == JetType::Byte || t == JetType::Short || t == JetType::Long ||
         t == JetType::BigInt;
}
bool IsFloat(JetType t) { return t == JetType::Single || t == JetType::Double; }
bool IsNumber(JetType t) { return IsInteger(t) || IsFloat(t) || t == JetType::Currency; }

bool Comparable(JetType a, JetType b) {
  if (a == JetType::Null || b == JetType::Null) return true;
  const bool numericA = IsNumber(a) || a == JetType::Date, numericB = IsNumber(b) || b == JetType::Date;
  if (numericA && numericB) return true;
  if (IsText(a) && IsText(b)) return true;
  if ((IsText(a) && b == JetType::Date) || (a == JetType::Date && IsText(b))) return true;
  return a == JetType::Binary && b == JetType::Binary;
}

namespace {

// Width in the whole-number ladder; Boolean counts as Short.
int IntegerRank(JetType t) {
  switch (t) {
    case JetType::Byte: return 0;
    case JetType::Boolean:
    case JetType::Short: return 1;
    case JetType::Long: return 2;
    default: return 3;
  }
}
constexpr JetType kIntegerLadder[] = {JetType::Byte, JetType::Short, JetType::Long, JetType::BigInt};

JetType NumberUnion(JetType a, JetType b) {
  if (a == b) return a;
  if (IsInteger(a) && IsInteger(b)) return kIntegerLadder[std::max(IntegerRank(a), IntegerRank(b))];
  if (a == JetType::Currency || b == JetType::Currency) {
    const JetType other = a == JetType::Currency ? b : a;
    return IsFloat(other) ? JetType::Double : JetType::Currency;
  }
  if (a == JetType::Double || b == JetType::Double) return JetType::Double;
  const JetType whole = a == JetType::Single ? b : a;
  return IntegerRank(whole) <= 1 ? JetType::Single : JetType::Double;
}

bool IsMemo(JetType a, JetType b) { return a == JetType::Memo || b == JetType::Memo; }

}  // namespace

JetType Unify(JetType a, JetType b) {
  if (a == JetType::Null) return b;
  if (b == JetType::Null) return a;
  if (a == b) return a;
  if (IsText(a) || IsText(b)) return IsMemo(a, b) ? JetType::Memo : JetType::Text;
  if (IsNumber(a) && IsNumber(b)) return NumberUnion(a, b);
  if ((a == JetType::Date && IsNumber(b)) || (IsNumber(a) && b == JetType::Date)) return JetType::Double;
  return JetType::Text;
}

JetType ArithmeticType(Op op, JetType a, JetType b) {
  if (a == JetType::Binary || b == JetType::Binary || a == JetType::Guid || b == JetType::Guid) return JetType::Null;
  if (op == Op::Add && (IsText(a) || a == JetType::Null) && (IsText(b) || b == JetType::Null) &&
      (IsText(a) || IsText(b)))
    return IsMemo(a, b) ? JetType::Memo : JetType::Text;
  if (a == JetType::Null && b == JetType::Null) return JetType::Null;
  // Text takes part as a number read from it; Null as the other operand's type.
  auto number = [](JetType t) { return IsText(t) ? JetType::Double : t; };
  a = number(a);
  b = number(b);
  if (a == JetType::Null) a = b;
  if (b == JetType::Null) b = a;
  switch (op) {
    case Op::Div:
    case Op::Pow: return JetType::Double;
    case Op::IntDiv:
      return IsInteger(a) && IsInteger(b) && IntegerRank(a) <= 1 && IntegerRank(b) <= 1 ? JetType::Long
                                                                                         : JetType::BigInt;
    case Op::Mod:
      return IsInteger(a) && IsInteger(b) && IntegerRank(a) <= 2 && IntegerRank(b) <= 2 ? JetType::Long
                                                                                         : JetType::BigInt;
    default: break;
  }
  const bool dateA = a == JetType::Date, dateB = b == JetType::Date;
  if (dateA || dateB) {
    if (op == Op::Mul) return JetType::Double;
    if (op == Op::Sub && dateA && dateB) return JetType::Double;
    return JetType::Date;
  }
  if (a == JetType::Currency || b == JetType::Currency) return JetType::Currency;
  if (IsFloat(a) || IsFloat(b)) return JetType::Double;
  const int rank = std::max(IntegerRank(a), IntegerRank(b));
  if (op == Op::Mul) return rank <= 1 ? JetType::Long : JetType::BigInt;
  return kIntegerLadder[std::min(rank + 1, 3)];
}

JetType NegationType(JetType a) {
  switch (a) {
    case JetType::Byte:
    case JetType::Boolean: return JetType::Short;
    case JetType::Short: return JetType::Long;
    case JetType::Long:
    case JetType::BigInt: return JetType::BigInt;
    case JetType::Text:
    case JetType::Memo: return JetType::Double;
    case JetType::Guid:
    case JetType::Binary: return JetType::Null;
    default: return a;
  }
}

JetType LogicalType(JetType a, JetType b) {
  auto boolean = [](JetType t) { return t == JetType::Boolean || t == JetType::Null; };
  if (boolean(a) && boolean(b)) return JetType::Boolean;
  auto wholeRank = [](JetType t) {
    if (t == JetType::Null) return 0;
    if (IsInteger(t)) return IntegerRank(t);
    if (IsNumber(t) || t == JetType::Date) return 3;
    return -1;
  };
  const int ra = wholeRank(a), rb = wholeRank(b);
  if (ra < 0 || rb < 0) return JetType::Null;
  return std::max(ra, rb) <= 2 ? JetType::Long : JetType::BigInt;
}

JetType LiteralType(const Variant& v) {
  switch (v.Type()) {
    case VarType::Boolean: return JetType::Boolean;
    case VarType::Long: return JetType::Long;
    case VarType::BigInt: return JetType::BigInt;
    case VarType::Double: return JetType::Double;
    case VarType::String: return JetType::Text;
    case VarType::Date: return JetType::Date;
    default: return JetType::Null;
  }
}

VarType VarTypeOf(JetType t) {
  switch (t) {
    case JetType::Null: return VarType::Null;
    case JetType::Boolean: return VarType::Boolean;
    case JetType::Byte: return VarType::Byte;
    case JetType::Short: return VarType::Integer;
    case JetType::Long: return VarType::Long;
    case JetType::BigInt: return VarType::BigInt;
    case JetType::Currency: return VarType::Currency;
    case JetType::Single: return VarType::Single;
    case JetType::Double: return VarType::Double;
    case JetType::Date: return VarType::Date;
    case JetType::Text:
    case JetType::Memo:
    case JetType::Guid: return VarType::String;
    case JetType::Binary: return VarType::Bytes;
  }
  return VarType::Null;
}

}  // namespace vendrel::driver::sql

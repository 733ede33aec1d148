#pragma once
// Static type rules of the dialect (docs/driver-types.md describes them).

#include "core/types.h"
#include "sql/ast.h"
#include "vendrel/dataaccess/variant.h"

namespace vendrel::driver::sql {

bool IsText(JetType t);     // Text, Memo, Guid
bool IsInteger(JetType t);  // Boolean, Byte, Short, Long, BigInt
bool IsFloat(JetType t);    // Single, Double
bool IsNumber(JetType t);   // integers, Currency, floats
// Numbers, dates and Booleans compare with one another; texts with texts and
// dates; Null with everything.
bool Comparable(JetType a, JetType b);

// The type both branches of IIf, a UNION column or Nz take.
JetType Unify(JetType a, JetType b);
// The result of an operator, or Null when the operands do not fit it.
JetType ArithmeticType(Op op, JetType a, JetType b);  // + - * / \ Mod ^
JetType NegationType(JetType a);
// And, Or, Xor, Eqv, Imp, Not: Boolean on Booleans, else bitwise on whole numbers.
JetType LogicalType(JetType a, JetType b);

JetType LiteralType(const Variant& v);
VarType VarTypeOf(JetType t);

}  // namespace vendrel::driver::sql

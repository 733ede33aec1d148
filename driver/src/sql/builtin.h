#pragma once
// The library functions, on values: one group per file (builtin_text.cpp,
// builtin_math.cpp, builtin_date.cpp, builtin_format.cpp). Each raises the platform's
// runtime errors as vendrel::Error.

#include <span>

#include "vendrel/dataaccess/variant.h"

namespace vendrel::driver::sql::builtin {

using Args = std::span<const Variant>;

// Text
Variant Left(Args a);
Variant Right(Args a);
Variant Mid(Args a);
Variant Len(Args a);
Variant InStr(Args a);
Variant InStrRev(Args a);
Variant LCase(Args a);
Variant UCase(Args a);
Variant LTrim(Args a);
Variant RTrim(Args a);
Variant Trim(Args a);
Variant Space(Args a);
Variant String(Args a);
Variant Asc(Args a);
Variant Chr(Args a);
Variant StrComp(Args a);
Variant Replace(Args a);
Variant StrReverse(Args a);
Variant Str(Args a);
Variant Val(Args a);
Variant Hex(Args a);
Variant Oct(Args a);

// Conversion and inspection
Variant IsNumeric(Args a);
Variant IsDate(Args a);
Variant CStr(Args a);
Variant CInt(Args a);
Variant CLng(Args a);
Variant CSng(Args a);
Variant CDbl(Args a);
Variant CCur(Args a);
Variant CDate(Args a);
Variant CBool(Args a);
Variant CByte(Args a);

// Numbers
Variant Int(Args a);
Variant Fix(Args a);
Variant Abs(Args a);
Variant Sgn(Args a);
Variant Sqr(Args a);
Variant Exp(Args a);
Variant Log(Args a);
Variant Sin(Args a);
Variant Cos(Args a);
Variant Tan(Args a);
Variant Atn(Args a);
Variant Round(Args a);
Variant Rnd(Args a);
Variant Partition(Args a);

// Dates
Variant Date(Args a);
Variant Time(Args a);
Variant Now(Args a);
Variant Year(Args a);
Variant Month(Args a);
Variant Day(Args a);
Variant Hour(Args a);
Variant Minute(Args a);
Variant Second(Args a);
Variant Weekday(Args a);
Variant DateAdd(Args a);
Variant DateDiff(Args a);
Variant DatePart(Args a);
Variant DateSerial(Args a);
Variant DateValue(Args a);
Variant TimeSerial(Args a);
Variant TimeValue(Args a);
Variant MonthName(Args a);
Variant WeekdayName(Args a);

// Format
Variant Format(Args a);

}  // namespace vendrel::driver::sql::builtin

#pragma once
// Conversions between values and text, and between value types, under the
// regional settings (fixed to United States English; nothing reads the
// environment, so results never depend on the machine's locale).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vendrel/dataaccess/variant.h"

namespace vendrel {

struct RegionalSettings {
  char decimalSeparator = '.';
  char thousandsSeparator = ',';
  char dateSeparator = '/';
  char timeSeparator = ':';
  std::string_view amDesignator = "AM";
  std::string_view pmDesignator = "PM";
};
const RegionalSettings& Regional();

struct CivilDateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// Date arithmetic on serial dates (days since 30 December 1899).
CivilDateTime SplitDate(DateValue d);  // rounded to the nearest second
// Nullopt when a part is out of range (month 13, 31 April, year beyond 100..9999...).
std::optional<DateValue> MakeDate(int year, int month, int day, int hour = 0, int minute = 0,
                                  int second = 0);
int64_t DaysFromCivil(int year, int month, int day);  // serial day number
// True for a serial that a date can show: 1 January 100 to 31 December 9999, not NaN.
bool IsValidDate(DateValue d);
int Weekday(DateValue d);                              // 1 = Sunday .. 7 = Saturday

// Text of a value as the platform's standard conversion gives it.
// Null raises 94; Empty gives ""; an object raises 13.
std::string ToText(const Variant& v);
// As ToText, but Single and Double in the shortest text that reads back to the same value.
std::string ToRoundTripText(const Variant& v);

std::string FormatDouble(double d);  // 15 significant digits
std::string FormatSingle(float f);   // 7 significant digits
std::string FormatDoubleRoundTrip(double d);
std::string FormatSingleRoundTrip(float f);
std::string FormatCurrency(Currency c);
std::string FormatGeneralDate(DateValue d);  // 1/2/1900 8:09:36 AM, date or time alone where whole
std::string FormatShortDate(DateValue d);    // M/d/yyyy
std::string FormatTime24(DateValue d);       // hh:mm:ss
std::string FormatShortDateTime(DateValue d);  // M/d/yyyy hh:mm:ss
// The same texts appended to `out`, for writers of many values.
void AppendShortDateTime(std::string& out, DateValue d);
void AppendCurrency(std::string& out, Currency c);
void AppendDoubleRoundTrip(std::string& out, double d);

// The exact text of a date, as data files hold it: "M/d/yyyy hh:mm:ss", and
// only when the value has a fraction of a second that text would lose, the
// fraction after a point ("1/2/2003 01:00:00.5"). ParseExactDate reads it
// back to the same serial, bit for bit; the date must be valid (IsValidDate).
void AppendExactDate(std::string& out, DateValue d);

// The texts of AppendCurrency, AppendDoubleRoundTrip and AppendExactDate
// written at `at`, for writers that keep their own buffer: each returns the
// end of the text, which is at most kMostValueChars long.
inline constexpr size_t kMostValueChars = 64;
char* PutCurrency(char* at, Currency c);
char* PutDoubleRoundTrip(char* at, double d);
char* PutExactDate(char* at, DateValue d);
std::optional<DateValue> ParseExactDate(std::string_view text);

// Text to value as the conversion functions accept it.
std::optional<double> ParseNumber(std::string_view text);
std::optional<int64_t> ParseWholeNumber(std::string_view text);  // digits only, optional sign
std::optional<Currency> ParseCurrency(std::string_view text);    // exact to four decimals
std::optional<DateValue> ParseDate(std::string_view text);
std::optional<bool> ParseBoolean(std::string_view text);

// Rounds half to even, as the platform's whole-number conversions do.
double RoundHalfEven(double d);

// The conversion functions: raise 94 for Null, 13 for a value that cannot be
// converted, 6 for one out of range.
int16_t ToInteger(const Variant& v);
int32_t ToLong(const Variant& v);
int64_t ToBigInt(const Variant& v);
uint8_t ToByte(const Variant& v);
float ToSingle(const Variant& v);
double ToDouble(const Variant& v);
Currency ToCurrency(const Variant& v);
DateValue ToDate(const Variant& v);
bool ToBoolean(const Variant& v);

// The value converted to another variant type by the functions above;
// Null and Empty are kept as they are.
Variant ChangeType(const Variant& v, VarType type);

}  // namespace vendrel

#include <cmath>
#include <ctime>
#include <string>

#include "sql/builtin.h"
#include "sql/builtin_util.h"

namespace vendrel::driver::sql::builtin {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval IntervalOf(const Variant& v) {
  std::string s = ToText(v);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (s == "yyyy") return Interval::Year;
  if (s == "q") return Interval::Quarter;
  if (s == "m") return Interval::Month;
  if (s == "y") return Interval::DayOfYear;
  if (s == "d") return Interval::Day;
  if (s == "w") return Interval::Weekday;
  if (s == "ww") return Interval::Week;
  if (s == "h") return Interval::Hour;
  if (s == "n") return Interval::Minute;
  if (s == "s") return Interval::Second;
  Fail(err::kInvalidProcedureCall);
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int64_t DayNumber(const CivilDateTime& c) { return DaysFromCivil(c.year, c.month, c.day); }
int64_t SecondsOf(const CivilDateTime& c) {
  return DayNumber(c) * kSecondsPerDay + c.hour * 3600 + c.minute * 60 + c.second;
}

// A serial date from a count of seconds since day zero, within the years 100 to 9999.
Variant FromSeconds(int64_t total) {
  const int64_t day = FloorDiv(total, kSecondsPerDay);
  const double fraction = static_cast<double>(total - day * kSecondsPerDay) / kSecondsPerDay;
  const vendrel::DateValue d{day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction};
  const int year = SplitDate(d).year;
  Require(year >= 100 && year <= 9999 && day > -700000 && day < 3000000);
  return Variant(d);
}

int WeekdayOfDay(int64_t day) { return vendrel::Weekday(vendrel::DateValue{static_cast<double>(day)}); }

int FirstDayOfWeek(Args a, size_t i) {
  const int32_t f = LongArg(a, i, 1);
  Require(f >= 0 && f <= 7);
  return f == 0 ? 1 : f;
}

int64_t WeekStart(int64_t day, int firstDay) { return day - (WeekdayOfDay(day) - firstDay + 7) % 7; }

// First day of week 1 of a year: the week of 1 January, the first week of at
// least four days, or the first full week.
int64_t WeekOneStart(int year, int firstDay, int firstWeek) {
  const int64_t january1 = DaysFromCivil(year, 1, 1);
  const int64_t start = WeekStart(january1, firstDay);
  if (firstWeek == 2 && january1 - start >= 4) return start + 7;
  if (firstWeek == 3 && start != january1) return start + 7;
  return start;
}

int WeekOfYear(const CivilDateTime& c, int firstDay, int firstWeek) {
  const int64_t day = DayNumber(c);
  int year = c.year;
  int64_t start = WeekOneStart(year, firstDay, firstWeek);
  if (day < start) start = WeekOneStart(--year, firstDay, firstWeek);
  return static_cast<int>((day - start) / 7 + 1);
}

Variant Checked32(int64_t n) {
  if (n < INT32_MIN || n > INT32_MAX) Fail(err::kOverflow);
  return Variant::Long(static_cast<int32_t>(n));
}

CivilDateTime Civil(const Variant& v) { return SplitDate(ToDate(v)); }

Variant Part(const Variant& v, int CivilDateTime::*field) {
  if (v.IsNull()) return v;
  return Variant::Integer(static_cast<int16_t>(Civil(v).*field));
}

Variant Clock(bool date, bool time) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const auto d = MakeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, time ? local.tm_hour : 0,
                          time ? local.tm_min : 0, time ? std::min(local.tm_sec, 59) : 0);
  if (!d) Fail(err::kOverflow);
  if (date) return Variant(*d);
  return Variant::Date(d->serial - std::trunc(d->serial));
}

}  // namespace

Variant Date(Args) { return Clock(true, false); }
Variant Time(Args) { return Clock(false, true); }
Variant Now(Args) { return Clock(true, true); }

Variant Year(Args a) { return Part(a[0], &CivilDateTime::year); }
Variant Month(Args a) { return Part(a[0], &CivilDateTime::month); }
Variant Day(Args a) { return Part(a[0], &CivilDateTime::day); }
Variant Hour(Args a) { return Part(a[0], &CivilDateTime::hour); }
Variant Minute(Args a) { return Part(a[0], &CivilDateTime::minute); }
Variant Second(Args a) { return Part(a[0], &CivilDateTime::second); }

Variant Weekday(Args a) {
  if (a[0].IsNull()) return a[0];
  const int first = FirstDayOfWeek(a, 1);
  return Variant::Integer(static_cast<int16_t>((vendrel::Weekday(ToDate(a[0])) - first + 7) % 7 + 1));
}

Variant DateAdd(Args a) {
  const Interval interval = IntervalOf(a[0]);
  if (a[1].IsNull() || a[2].IsNull()) return Variant::Null();
  const double number = std::trunc(ToDouble(a[1]));
  Require(std::fabs(number) < 1e9);
  const int64_t n = static_cast<int64_t>(number);
  const CivilDateTime c = Civil(a[2]);
  switch (interval) {
    case Interval::Year:
    case Interval::Quarter:
    case Interval::Month: {
      const int64_t step = interval == Interval::Year ? 12 : interval == Interval::Quarter ? 3 : 1;
      const int64_t months = static_cast<int64_t>(c.year) * 12 + (c.month - 1) + n * step;
      const int64_t year = FloorDiv(months, 12);
      Require(year >= 100 && year <= 9999);
      const int month = static_cast<int>(months - year * 12) + 1;
      for (int day = c.day; day >= 28; --day)  // the last day of a shorter month
        if (auto d = MakeDate(static_cast<int>(year), month, day, c.hour, c.minute, c.second)) return Variant(*d);
      auto d = MakeDate(static_cast<int>(year), month, c.day, c.hour, c.minute, c.second);
      Require(d.has_value());
      return Variant(*d);
    }
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday: return FromSeconds(SecondsOf(c) + n * kSecondsPerDay);
    case Interval::Week: return FromSeconds(SecondsOf(c) + n * 7 * kSecondsPerDay);
    case Interval::Hour: return FromSeconds(SecondsOf(c) + n * 3600);
    case Interval::Minute: return FromSeconds(SecondsOf(c) + n * 60);
    case Interval::Second: return FromSeconds(SecondsOf(c) + n);
  }
  return Variant::Null();
}

Variant DateDiff(Args a) {
  const Interval interval = IntervalOf(a[0]);
  if (a[1].IsNull() || a[2].IsNull()) return Variant::Null();
  const CivilDateTime x = Civil(a[1]), y = Civil(a[2]);
  const int first = FirstDayOfWeek(a, 3);
  switch (interval) {
    case Interval::Year: return Checked32(y.year - x.year);
    case Interval::Quarter: return Checked32((y.year * 4 + (y.month - 1) / 3) - (x.year * 4 + (x.month - 1) / 3));
    case Interval::Month: return Checked32((y.year * 12 + y.month) - (x.year * 12 + x.month));
    case Interval::DayOfYear:
    case Interval::Day: return Checked32(DayNumber(y) - DayNumber(x));
    case Interval::Weekday: return Checked32((DayNumber(y) - DayNumber(x)) / 7);
    case Interval::Week: return Checked32((WeekStart(DayNumber(y), first) - WeekStart(DayNumber(x), first)) / 7);
    case Interval::Hour: return Checked32(FloorDiv(SecondsOf(y), 3600) - FloorDiv(SecondsOf(x), 3600));
    case Interval::Minute: return Checked32(FloorDiv(SecondsOf(y), 60) - FloorDiv(SecondsOf(x), 60));
    case Interval::Second: return Checked32(SecondsOf(y) - SecondsOf(x));
  }
  return Variant::Null();
}

Variant DatePart(Args a) {
  const Interval interval = IntervalOf(a[0]);
  if (a[1].IsNull()) return a[1];
  const CivilDateTime c = Civil(a[1]);
  const int first = FirstDayOfWeek(a, 2);
  const int32_t firstWeek = LongArg(a, 3, 1);
  Require(firstWeek >= 0 && firstWeek <= 3);
  switch (interval) {
    case Interval::Year: return Variant::Long(c.year);
    case Interval::Quarter: return Variant::Long((c.month - 1) / 3 + 1);
    case Interval::Month: return Variant::Long(c.month);
    case Interval::DayOfYear:
      return Variant::Long(static_cast<int32_t>(DayNumber(c) - DaysFromCivil(c.year, 1, 1) + 1));
    case Interval::Day: return Variant::Long(c.day);
    case Interval::Weekday: return Variant::Long((WeekdayOfDay(DayNumber(c)) - first + 7) % 7 + 1);
    case Interval::Week: return Variant::Long(WeekOfYear(c, first, firstWeek == 0 ? 1 : firstWeek));
    case Interval::Hour: return Variant::Long(c.hour);
    case Interval::Minute: return Variant::Long(c.minute);
    case Interval::Second: return Variant::Long(c.second);
  }
  return Variant::Null();
}

Variant DateSerial(Args a) {
  if (a[0].IsNull() || a[1].IsNull() || a[2].IsNull()) return Variant::Null();
  int64_t year = ToLong(a[0]);
  if (year >= 0 && year <= 29) year += 2000;
  else if (year >= 30 && year <= 99) year += 1900;
  const int64_t months = year * 12 + (static_cast<int64_t>(ToLong(a[1])) - 1);
  const int64_t y = FloorDiv(months, 12);
  Require(y >= 0 && y <= 10000);
  const int64_t day = DaysFromCivil(static_cast<int>(y), static_cast<int>(months - y * 12) + 1, 1) +
                      (static_cast<int64_t>(ToLong(a[2])) - 1);
  return FromSeconds(day * kSecondsPerDay);
}

Variant TimeSerial(Args a) {
  if (a[0].IsNull() || a[1].IsNull() || a[2].IsNull()) return Variant::Null();
  return FromSeconds(static_cast<int64_t>(ToLong(a[0])) * 3600 + static_cast<int64_t>(ToLong(a[1])) * 60 +
                     ToLong(a[2]));
}

Variant DateValue(Args a) {
  if (a[0].IsNull()) return a[0];
  return Variant::Date(std::trunc(ToDate(a[0]).serial));
}

Variant TimeValue(Args a) {
  if (a[0].IsNull()) return a[0];
  const double d = ToDate(a[0]).serial;
  return Variant::Date(std::fabs(d - std::trunc(d)));
}

Variant MonthName(Args a) {
  const int32_t m = ToLong(a[0]);
  Require(m >= 1 && m <= 12);
  std::string name = kMonths[m - 1];
  if (Given(a, 1) && ToBoolean(a[1])) name.resize(3);
  return Variant::String(std::move(name));
}

Variant WeekdayName(Args a) {
  const int32_t w = ToLong(a[0]);
  Require(w >= 1 && w <= 7);
  const int first = FirstDayOfWeek(a, 2);
  std::string name = kWeekdays[(w - 1 + first - 1) % 7];
  if (Given(a, 1) && ToBoolean(a[1])) name.resize(3);
  return Variant::String(std::move(name));
}

}  // namespace vendrel::driver::sql::builtin

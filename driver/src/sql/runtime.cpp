// The SQLite functions and the collation that generated SQL calls.

#include "sql/runtime.h"

#include <sqlite3.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "sql/compile.h"
#include "sql/collation.h"
#include "sql/functions.h"
#include "sql/like.h"
#include "sql/values.h"
#include "vendrel/dataaccess/convert.h"

namespace vendrel::driver {

namespace sql {
namespace {

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  return false;
}

// ------------------------------------------------------------ conversions

void Convert(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Guarded(ctx, [&] { SetResult(ctx, ReadValue(argv[0], TypeCode(argv[1])), TypeCode(argv[2])); });
}

void ToTextFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Guarded(ctx, [&] { SetResult(ctx, ReadValue(argv[0], TypeCode(argv[1])), JetType::Text); });
}

// ------------------------------------------------------------ whole numbers

template <class Operation>
void Checked(sqlite3_context* ctx, sqlite3_value** argv, Operation operation) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  int64_t result = 0;
  if (operation(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]), &result))
    return SetError(ctx, err::kOverflow);
  sqlite3_result_int64(ctx, result);
}

void Add(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Checked(ctx, argv, [](int64_t a, int64_t b, int64_t* r) { return __builtin_add_overflow(a, b, r); });
}
void Subtract(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Checked(ctx, argv, [](int64_t a, int64_t b, int64_t* r) { return __builtin_sub_overflow(a, b, r); });
}
void Multiply(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Checked(ctx, argv, [](int64_t a, int64_t b, int64_t* r) { return __builtin_mul_overflow(a, b, r); });
}

void Negate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(1, argv)) return sqlite3_result_null(ctx);
  const int64_t a = sqlite3_value_int64(argv[0]);
  if (a == std::numeric_limits<int64_t>::min()) return SetError(ctx, err::kOverflow);
  sqlite3_result_int64(ctx, -a);
}

// Counts of ten-thousandths: the product is rounded half to even.
void CurrencyMultiply(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const __int128 p = static_cast<__int128>(sqlite3_value_int64(argv[0])) * sqlite3_value_int64(argv[1]);
  __int128 q = p / Currency::kScale;
  const __int128 r = p % Currency::kScale;
  const __int128 twice = r < 0 ? -2 * r : 2 * r;
  if (twice > Currency::kScale || (twice == Currency::kScale && (q & 1))) q += p < 0 ? -1 : 1;
  if (q > std::numeric_limits<int64_t>::max() || q < std::numeric_limits<int64_t>::min())
    return SetError(ctx, err::kOverflow);
  sqlite3_result_int64(ctx, static_cast<int64_t>(q));
}

// ------------------------------------------------------------ / \ Mod ^ &

void Divide(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const double a = sqlite3_value_double(argv[0]), b = sqlite3_value_double(argv[1]);
  if (b == 0) return SetError(ctx, a == 0 ? err::kOverflow : err::kDivisionByZero);
  const double r = a / b;
  if (!std::isfinite(r)) return SetError(ctx, err::kOverflow);
  sqlite3_result_double(ctx, r);
}

// An operand of \ and Mod: rounded half to even to a whole number.
bool WholeOperand(sqlite3_value* v, int64_t& out) {
  if (sqlite3_value_type(v) == SQLITE_INTEGER) {
    out = sqlite3_value_int64(v);
    return true;
  }
  const double d = RoundHalfEven(sqlite3_value_double(v));
  if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18)) return false;
  out = static_cast<int64_t>(d);
  return true;
}

void IntegerDivideOrModulo(sqlite3_context* ctx, sqlite3_value** argv, bool modulo) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  int64_t a = 0, b = 0;
  if (!WholeOperand(argv[0], a) || !WholeOperand(argv[1], b)) return SetError(ctx, err::kOverflow);
  if (b == 0) return SetError(ctx, err::kDivisionByZero);
  if (b == -1) {
    if (modulo) return sqlite3_result_int64(ctx, 0);
    if (a == std::numeric_limits<int64_t>::min()) return SetError(ctx, err::kOverflow);
  }
  sqlite3_result_int64(ctx, modulo ? a % b : a / b);
}

void IntegerDivide(sqlite3_context* ctx, int, sqlite3_value** argv) { IntegerDivideOrModulo(ctx, argv, false); }
void Modulo(sqlite3_context* ctx, int, sqlite3_value** argv) { IntegerDivideOrModulo(ctx, argv, true); }

void Power(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const double a = sqlite3_value_double(argv[0]), b = sqlite3_value_double(argv[1]);
  if (a < 0 && b != std::trunc(b)) return SetError(ctx, err::kInvalidProcedureCall);
  if (a == 0 && b < 0) return SetError(ctx, err::kDivisionByZero);
  const double r = std::pow(a, b);
  if (!std::isfinite(r)) return SetError(ctx, err::kOverflow);
  sqlite3_result_double(ctx, r);
}

void Ampersand(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL && sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  std::string out;
  for (int i = 0; i < 2; ++i)
    if (sqlite3_value_type(argv[i]) != SQLITE_NULL)
      out.append(TextOf(argv[i]));
  sqlite3_result_text64(ctx, out.data(), out.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void Like(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Guarded(ctx, [&] {
    if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
    // The pattern is compiled once per statement while it stays the same.
    auto* pattern = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 1));
    if (!pattern) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
      auto compiled = std::make_unique<LikePattern>(
          std::string_view(text ? text : "", static_cast<size_t>(sqlite3_value_bytes(argv[1]))));
      sqlite3_set_auxdata(ctx, 1, compiled.release(), [](void* p) { delete static_cast<LikePattern*>(p); });
      pattern = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 1));
      if (!pattern) return sqlite3_result_error_nomem(ctx);
    }
    const bool matches = pattern->Matches(TextOf(argv[0]));
    sqlite3_result_int(ctx, matches ? 1 : 0);
  });
}

void RaiseFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
  const std::string message = EncodeRuntimeError(static_cast<long>(sqlite3_value_int64(argv[0])), text ? text : "");
  sqlite3_result_error(ctx, message.c_str(), static_cast<int>(message.size()));
}

// ------------------------------------------------------------ aggregates

struct WholeSum {
  int64_t sum;
  bool any;
  bool overflow;
};

void SumWholeStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  auto* s = static_cast<WholeSum*>(sqlite3_aggregate_context(ctx, sizeof(WholeSum)));
  if (!s) return sqlite3_result_error_nomem(ctx);
  s->any = true;
  if (__builtin_add_overflow(s->sum, sqlite3_value_int64(argv[0]), &s->sum)) s->overflow = true;
}

void SumWholeFinal(sqlite3_context* ctx) {
  auto* s = static_cast<WholeSum*>(sqlite3_aggregate_context(ctx, 0));
  if (!s || !s->any) return sqlite3_result_null(ctx);
  if (s->overflow) return SetError(ctx, err::kOverflow);
  sqlite3_result_int64(ctx, s->sum);
}

// Neumaier's compensated sum.
struct RealSum {
  double sum;
  double compensation;
  bool any;
};

void SumRealStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  auto* s = static_cast<RealSum*>(sqlite3_aggregate_context(ctx, sizeof(RealSum)));
  if (!s) return sqlite3_result_error_nomem(ctx);
  const double x = sqlite3_value_double(argv[0]);
  const double t = s->sum + x;
  s->compensation += std::fabs(s->sum) >= std::fabs(x) ? (s->sum - t) + x : (x - t) + s->sum;
  s->sum = t;
  s->any = true;
}

void SumRealFinal(sqlite3_context* ctx) {
  auto* s = static_cast<RealSum*>(sqlite3_aggregate_context(ctx, 0));
  if (!s || !s->any) return sqlite3_result_null(ctx);
  const double r = s->sum + s->compensation;
  if (!std::isfinite(r)) return SetError(ctx, err::kOverflow);
  sqlite3_result_double(ctx, r);
}

// First and Last keep a copy of a value that is not Null.
struct Kept {
  sqlite3_value* value;
};

template <bool last>
void KeepStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  auto* k = static_cast<Kept*>(sqlite3_aggregate_context(ctx, sizeof(Kept)));
  if (!k) return sqlite3_result_error_nomem(ctx);
  if (k->value && !last) return;
  sqlite3_value_free(k->value);
  k->value = sqlite3_value_dup(argv[0]);
  if (!k->value) sqlite3_result_error_nomem(ctx);
}

void KeepFinal(sqlite3_context* ctx) {
  auto* k = static_cast<Kept*>(sqlite3_aggregate_context(ctx, 0));
  if (!k || !k->value) return sqlite3_result_null(ctx);
  sqlite3_result_value(ctx, k->value);
  sqlite3_value_free(k->value);
  k->value = nullptr;
}

// Welford's running mean and sum of squared deviations.
struct Spread {
  int64_t n;
  double mean;
  double m2;
};

void SpreadStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, sizeof(Spread)));
  if (!s) return sqlite3_result_error_nomem(ctx);
  const double x = sqlite3_value_double(argv[0]);
  ++s->n;
  const double delta = x - s->mean;
  s->mean += delta / static_cast<double>(s->n);
  s->m2 += delta * (x - s->mean);
}

template <bool sample, bool root>
void SpreadFinal(sqlite3_context* ctx) {
  auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, 0));
  const int64_t needed = sample ? 2 : 1;
  if (!s || s->n < needed) return sqlite3_result_null(ctx);
  const double variance = std::max(0.0, s->m2 / static_cast<double>(sample ? s->n - 1 : s->n));
  sqlite3_result_double(ctx, root ? std::sqrt(variance) : variance);
}

// ------------------------------------------------------------ library functions

// Arguments: the n values, the result type, then the n argument types.
void Library(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const auto* f = static_cast<const FunctionInfo*>(sqlite3_user_data(ctx));
  Guarded(ctx, [&] {
    const int n = (argc - 1) / 2;
    std::vector<Variant> args;
    args.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) args.push_back(ReadValue(argv[i], TypeCode(argv[n + 1 + i])));
    SetResult(ctx, f->eval(args), TypeCode(argv[n]));
  });
}

struct Scalar {
  std::string_view name;
  int args;
  void (*function)(sqlite3_context*, int, sqlite3_value**);
};

constexpr Scalar kScalars[] = {
    {fn::kConvert, 3, Convert},
    {fn::kText, 2, ToTextFunction},
    {fn::kAdd, 2, Add},
    {fn::kSubtract, 2, Subtract},
    {fn::kMultiply, 2, Multiply},
    {fn::kNegate, 1, Negate},
    {fn::kCurrencyMultiply, 2, CurrencyMultiply},
    {fn::kDivide, 2, Divide},
    {fn::kIntegerDivide, 2, IntegerDivide},
    {fn::kModulo, 2, Modulo},
    {fn::kPower, 2, Power},
    {fn::kAmpersand, 2, Ampersand},
    {fn::kLike, 2, Like},
};

struct AggregateFunction {
  std::string_view name;
  void (*step)(sqlite3_context*, int, sqlite3_value**);
  void (*final)(sqlite3_context*);
};

constexpr AggregateFunction kAggregates[] = {
    {fn::kSumWhole, SumWholeStep, SumWholeFinal},
    {fn::kSumReal, SumRealStep, SumRealFinal},
    {fn::kFirst, KeepStep<false>, KeepFinal},
    {fn::kLast, KeepStep<true>, KeepFinal},
    {fn::kStDev, SpreadStep, SpreadFinal<true, true>},
    {fn::kStDevP, SpreadStep, SpreadFinal<false, true>},
    {fn::kVar, SpreadStep, SpreadFinal<true, false>},
    {fn::kVarP, SpreadStep, SpreadFinal<false, false>},
};

void Check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK)
    RaiseDriverError(hr::kFileError, std::string("The SQL functions could not be registered: ") + sqlite3_errmsg(db));
}

}  // namespace
}  // namespace sql

void RegisterSqlFunctions(sqlite3* db) {
  using namespace sql;
  constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  Check(db, RegisterJetTextCollation(db));
  for (const Scalar& s : kScalars)
    Check(db, sqlite3_create_function_v2(db, std::string(s.name).c_str(), s.args, kPure, nullptr, s.function, nullptr,
                                         nullptr, nullptr));
  // Not deterministic, so that SQLite never evaluates it ahead of its CASE branch.
  Check(db, sqlite3_create_function_v2(db, std::string(fn::kRaise).c_str(), 2, SQLITE_UTF8, nullptr, RaiseFunction,
                                       nullptr, nullptr, nullptr));
  for (const AggregateFunction& a : kAggregates)
    Check(db, sqlite3_create_function_v2(db, std::string(a.name).c_str(), 1, kPure, nullptr, nullptr, a.step, a.final,
                                         nullptr));
  for (const FunctionInfo& f : LibraryFunctions())
    Check(db, sqlite3_create_function_v2(db, SqlFunctionName(f).c_str(), -1, f.varies ? SQLITE_UTF8 : kPure,
                                         const_cast<FunctionInfo*>(&f), Library, nullptr, nullptr, nullptr));
}

}  // namespace vendrel::driver

#pragma once
// The platform's variant value: what a field holds and what crosses the
// component's interfaces.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "vendrel/dataaccess/object.h"

namespace vendrel {

// Variant type numbers, as the component interfaces number them.
enum class VarType : uint16_t {
  Empty = 0,
  Null = 1,
  Integer = 2,   // 16-bit
  Long = 3,      // 32-bit
  Single = 4,
  Double = 5,
  Currency = 6,
  Date = 7,
  String = 8,
  Object = 9,
  Boolean = 11,
  Byte = 17,
  BigInt = 20,   // 64-bit
  Bytes = 0x2011,  // array of bytes
};

// Fixed point with four decimals, held as a 64-bit count of ten-thousandths.
struct Currency {
  int64_t scaled = 0;
  static constexpr int64_t kScale = 10000;
  friend bool operator==(Currency, Currency) = default;
  friend auto operator<=>(Currency, Currency) = default;
};

// Days since 30 December 1899; the fraction is the time of day. For negative
// values the whole part counts days before day zero and the fraction still
// counts forward from midnight (-1.25 is 29 December 1899, 06:00).
struct DateValue {
  double serial = 0;
  friend bool operator==(DateValue, DateValue) = default;
};

using Bytes = std::vector<uint8_t>;

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(const char* s) : v_(std::string(s)) {}
  Variant(std::string s) : v_(std::move(s)) {}
  Variant(std::string_view s) : v_(std::string(s)) {}
  Variant(int32_t n) : v_(n) {}
  Variant(double d) : v_(d) {}
  Variant(bool) = delete;  // use Variant::Boolean: True is -1, not 1
  Variant(Currency c) : v_(c) {}
  Variant(DateValue d) : v_(d) {}
  template <class T>
  Variant(const Ref<T>& o) : v_(Ref<Object>(o)) {}

  static Variant Null() { return Variant(NullTag{}); }
  static Variant Integer(int16_t n) { return Variant(n); }
  static Variant Long(int32_t n) { return Variant(n); }
  static Variant BigInt(int64_t n) { return Variant(n); }
  static Variant Byte(uint8_t n) { return Variant(n); }
  static Variant Single(float f) { return Variant(f); }
  static Variant Double(double d) { return Variant(d); }
  static Variant Boolean(bool b) { return Variant(BoolTag{b}); }
  static Variant Date(double serial) { return Variant(DateValue{serial}); }
  static Variant String(std::string s) { return Variant(std::move(s)); }
  static Variant FromBytes(Bytes b) { return Variant(std::move(b)); }
  static Variant Nothing() { return Variant(Ref<Object>()); }  // object type, no object
  static Variant FromObject(Ref<Object> o) { return Variant(std::move(o)); }  // any object, or nothing

  VarType Type() const noexcept;
  bool IsEmpty() const noexcept { return v_.index() == 0; }
  bool IsNull() const noexcept { return std::holds_alternative<NullTag>(v_); }
  bool IsObject() const noexcept { return std::holds_alternative<Ref<Object>>(v_); }
  bool IsString() const noexcept { return std::holds_alternative<std::string>(v_); }
  bool IsNumeric() const noexcept;  // whole, fractional, currency or Boolean

  // Exact accessors: the value must hold that type.
  int16_t AsInteger() const { return std::get<int16_t>(v_); }
  int32_t AsLong() const { return std::get<int32_t>(v_); }
  int64_t AsBigInt() const { return std::get<int64_t>(v_); }
  uint8_t AsByte() const { return std::get<uint8_t>(v_); }
  float AsSingle() const { return std::get<float>(v_); }
  double AsDouble() const { return std::get<double>(v_); }
  Currency AsCurrency() const { return std::get<Currency>(v_); }
  DateValue AsDate() const { return std::get<DateValue>(v_); }
  bool AsBoolean() const { return std::get<BoolTag>(v_).value; }
  const std::string& AsString() const { return std::get<std::string>(v_); }
  const Bytes& AsBytes() const { return std::get<Bytes>(v_); }
  const Ref<Object>& AsObject() const { return std::get<Ref<Object>>(v_); }

  // Makes this a text, reusing the storage of the text it holds, if any.
  void AssignString(std::string_view s) {
    if (auto* text = std::get_if<std::string>(&v_))
      text->assign(s);
    else
      v_.emplace<std::string>(s);
  }

  // Identity of type and value (objects by reference), for tests and keys.
  friend bool operator==(const Variant& a, const Variant& b) { return a.v_ == b.v_; }

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) { return true; }
  };
  struct BoolTag {
    bool value;
    friend bool operator==(BoolTag, BoolTag) = default;
  };
  explicit Variant(NullTag t) : v_(t) {}
  explicit Variant(BoolTag b) : v_(b) {}
  explicit Variant(int16_t n) : v_(n) {}
  explicit Variant(int64_t n) : v_(n) {}
  explicit Variant(uint8_t n) : v_(n) {}
  explicit Variant(float f) : v_(f) {}
  explicit Variant(Ref<Object> o) : v_(std::move(o)) {}
  explicit Variant(Bytes b) : v_(std::move(b)) {}

  std::variant<std::monostate, NullTag, int16_t, int32_t, int64_t, uint8_t, float, double, Currency,
               DateValue, std::string, BoolTag, Ref<Object>, Bytes>
      v_;
};

}  // namespace vendrel

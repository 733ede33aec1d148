#pragma once
// Globally unique identifiers of classes, interfaces and type libraries, in
// the usual braced text form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vendrel::com {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  friend constexpr bool operator==(const Guid&, const Guid&) = default;
  friend constexpr auto operator<=>(const Guid&, const Guid&) = default;
};

inline constexpr Guid kNullGuid{};

namespace detail {
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
constexpr std::optional<uint32_t> HexField(std::string_view text, size_t at, size_t digits) {
  uint32_t value = 0;
  for (size_t i = 0; i < digits; ++i) {
    const int d = HexDigit(text[at + i]);
    if (d < 0) return std::nullopt;
    value = value * 16 + static_cast<uint32_t>(d);
  }
  return value;
}
}  // namespace detail

// The braced form only, hex digits in either case; nullopt for anything else.
constexpr std::optional<Guid> ParseGuid(std::string_view text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
  if (text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-') return std::nullopt;
  Guid g;
  const auto d1 = detail::HexField(text, 1, 8);
  const auto d2 = detail::HexField(text, 10, 4);
  const auto d3 = detail::HexField(text, 15, 4);
  if (!d1 || !d2 || !d3) return std::nullopt;
  g.data1 = *d1;
  g.data2 = static_cast<uint16_t>(*d2);
  g.data3 = static_cast<uint16_t>(*d3);
  // The last two groups are the eight bytes of data4: 2 bytes, a dash, 6 bytes.
  constexpr size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (size_t i = 0; i < 8; ++i) {
    const auto b = detail::HexField(text, kByteAt[i], 2);
    if (!b) return std::nullopt;
    g.data4[i] = static_cast<uint8_t>(*b);
  }
  return g;
}

// For identifiers fixed at build time: a malformed text does not compile.
consteval Guid MakeGuid(std::string_view text) {
  const auto g = ParseGuid(text);
  if (!g) throw "malformed identifier";
  return *g;
}

// Upper-case hex digits, braced.
std::string ToString(const Guid& g);

}  // namespace vendrel::com

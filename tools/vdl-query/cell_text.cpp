#include "cell_text.h"

#include <unicode/uchar.h>

#include <cmath>
#include <cstdio>

#include "vendrel/dataaccess/convert.h"
#include "vendrel/dataaccess/text.h"

namespace vendrel::vdlquery {

namespace {

constexpr UChar32 kReplacement = 0xFFFD;

// Calls visit(code point, its bytes) for each code point; a byte that does
// not start valid UTF-8 comes alone, as kReplacement.
template <class Visit>
void ForEachCodePoint(std::string_view utf8, Visit visit) {
  for (size_t at = 0; at < utf8.size();) {
    const CodePointStep step = NextCodePoint(utf8, at);
    visit(step.codePoint < 0 ? kReplacement : step.codePoint, utf8.substr(at, step.next - at));
    at = step.next;
  }
}

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

std::string HexBytes(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = "0x";
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

// "YYYY-MM-DD" and the time after `separator`; without the time at midnight
// when dateAloneAtMidnight.
std::string IsoDate(DateValue date, char separator, bool dateAloneAtMidnight) {
  const CivilDateTime t = SplitDate(date);
  char buffer[40];
  if (dateAloneAtMidnight && t.hour == 0 && t.minute == 0 && t.second == 0) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.year, t.month, t.day);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d%c%02d:%02d:%02d", t.year, t.month, t.day, separator, t.hour,
                  t.minute, t.second);
  }
  return buffer;
}

enum class Escapes { Display, Json };

// The text with its control characters escaped (\n, \t, \r; others \x1B
// for display, \u001B in JSON, which also escapes quotes and backslashes);
// bytes that are not UTF-8 become U+FFFD.
void AppendEscaped(std::string& out, std::string_view utf8, Escapes style) {
  const bool json = style == Escapes::Json;
  ForEachCodePoint(utf8, [&](UChar32 c, std::string_view bytes) {
    const char* named = nullptr;
    switch (c) {
      case '\n': named = "\\n"; break;
      case '\t': named = "\\t"; break;
      case '\r': named = "\\r"; break;
      case '\b': named = json ? "\\b" : nullptr; break;
      case '\f': named = json ? "\\f" : nullptr; break;
      case '"': named = json ? "\\\"" : nullptr; break;
      case '\\': named = json ? "\\\\" : nullptr; break;
      default: break;
    }
    if (named) {
      out += named;
    } else if (c < 0x20 || (!json && c >= 0x7F && c < 0xA0)) {
      char escaped[16];
      std::snprintf(escaped, sizeof escaped, json ? "\\u%04X" : "\\x%02X", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c == kReplacement ? kReplacementUtf8 : bytes;
    }
  });
}

}  // namespace

std::string DisplayText(const Variant& value) {
  std::string raw;
  switch (value.Type()) {
    case VarType::Null:
    case VarType::Empty:
    case VarType::Object: return {};
    case VarType::Bytes: return HexBytes(value.AsBytes());
    default: raw = ToText(value);
  }
  std::string out;
  out.reserve(raw.size());
  AppendEscaped(out, raw, Escapes::Display);
  return out;
}

size_t DisplayWidth(std::string_view utf8) {
  size_t width = 0;
  ForEachCodePoint(utf8, [&](UChar32 c, std::string_view) {
    const int8_t category = u_charType(c);
    if (category == U_NON_SPACING_MARK || category == U_ENCLOSING_MARK || category == U_FORMAT_CHAR) return;
    const int eastAsian = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
    width += eastAsian == U_EA_WIDE || eastAsian == U_EA_FULLWIDTH ? 2 : 1;
  });
  return width;
}

std::string DataText(const Variant& value) {
  switch (value.Type()) {
    case VarType::Null:
    case VarType::Empty:
    case VarType::Object: return {};
    case VarType::Single: return FormatSingleRoundTrip(value.AsSingle());
    case VarType::Double: return FormatDoubleRoundTrip(value.AsDouble());
    case VarType::Date: return IsoDate(value.AsDate(), ' ', true);
    case VarType::Bytes: return HexBytes(value.AsBytes());
    default: return ToText(value);
  }
}

std::string TsvField(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string CsvField(std::string_view text, bool isNull) {
  if (isNull) return {};
  if (!text.empty() && text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

void AppendJsonString(std::string& out, std::string_view utf8) {
  out += '"';
  AppendEscaped(out, utf8, Escapes::Json);
  out += '"';
}

void AppendJsonValue(std::string& out, const Variant& value) {
  switch (value.Type()) {
    case VarType::Null:
    case VarType::Empty:
    case VarType::Object: out += "null"; return;
    case VarType::Boolean: out += value.AsBoolean() ? "true" : "false"; return;
    case VarType::Single:
    case VarType::Double: {
      const std::string text = DataText(value);
      // JSON has no NaN or infinity: those travel as their names, in quotes.
      const double d = value.Type() == VarType::Single ? value.AsSingle() : value.AsDouble();
      if (std::isfinite(d))
        out += text;
      else
        AppendJsonString(out, text);
      return;
    }
    case VarType::Integer:
    case VarType::Long:
    case VarType::BigInt:
    case VarType::Byte:
    case VarType::Currency: out += ToText(value); return;
    case VarType::Date: AppendJsonString(out, IsoDate(value.AsDate(), 'T', false)); return;
    case VarType::Bytes: AppendJsonString(out, HexBytes(value.AsBytes())); return;
    default: AppendJsonString(out, ToText(value)); return;
  }
}

}  // namespace vendrel::vdlquery

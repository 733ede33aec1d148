#include "text/encoding.h"

#include <unicode/ucnv.h>

#include <charconv>
#include <cstdint>

#include "vendrel/dataaccess/text.h"

namespace vendrel::driver::text {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsKnownConverter(const std::string& name) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name.c_str(), &status);
  if (converter) ucnv_close(converter);
  return U_SUCCESS(status) && status != U_AMBIGUOUS_ALIAS_WARNING;
}

std::optional<CharacterSet> FromCodePage(long codePage) {
  switch (codePage) {
    case 65001: return CharacterSet{};
    case 1200: return CharacterSet{CharacterSet::Kind::Utf16LE, {}};
    case 1201: return CharacterSet{CharacterSet::Kind::Utf16BE, {}};
    default: break;
  }
  // Windows code pages are known to ICU as windows-N, DOS ones as ibm-N.
  for (const char* prefix : {"windows-", "ibm-", "cp"}) {
    std::string name = prefix + std::to_string(codePage);
    if (IsKnownConverter(name)) return CharacterSet{CharacterSet::Kind::CodePage, std::move(name)};
  }
  return std::nullopt;
}

}  // namespace

std::optional<CharacterSet> CharacterSetFromName(std::string_view name) {
  if (EqualsNoCase(name, "ANSI")) return CharacterSet{};
  if (EqualsNoCase(name, "OEM")) return CharacterSet{CharacterSet::Kind::CodePage, "ibm-437"};
  if (EqualsNoCase(name, "Unicode")) return CharacterSet{CharacterSet::Kind::Utf16LE, {}};
  long codePage = 0;
  auto r = std::from_chars(name.data(), name.data() + name.size(), codePage);
  if (r.ec != std::errc() || r.ptr != name.data() + name.size() || codePage <= 0) return std::nullopt;
  return FromCodePage(codePage);
}

std::optional<std::string_view> DecodeToUtf8(std::string_view bytes, const CharacterSet& set,
                                             std::string& storage) {
  const char* from = nullptr;
  switch (set.kind) {
    case CharacterSet::Kind::Utf8:
      if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
      return bytes;
    case CharacterSet::Kind::Utf16LE:
    case CharacterSet::Kind::Utf16BE:
      // A byte order mark, when there is one, decides.
      if (bytes.starts_with("\xFF\xFE")) {
        from = "UTF-16LE";
        bytes.remove_prefix(2);
      } else if (bytes.starts_with("\xFE\xFF")) {
        from = "UTF-16BE";
        bytes.remove_prefix(2);
      } else {
        from = set.kind == CharacterSet::Kind::Utf16LE ? "UTF-16LE" : "UTF-16BE";
      }
      break;
    case CharacterSet::Kind::CodePage: from = set.converter.c_str(); break;
  }
  storage.clear();
  if (bytes.empty()) return std::string_view(storage);
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  const int32_t needed =
      ucnv_convert("UTF-8", from, nullptr, 0, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return std::nullopt;
  if (needed < 0) return std::nullopt;
  storage.resize(static_cast<size_t>(needed));
  status = U_ZERO_ERROR;
  ucnv_convert("UTF-8", from, storage.data(), needed, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  return std::string_view(storage);
}

}  // namespace vendrel::driver::text

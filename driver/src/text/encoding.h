#pragma once
// Character sets of text files: naming them as schema.ini does, and turning
// a file's bytes into the UTF-8 that the database holds.

#include <optional>
#include <string>
#include <string_view>

#include "text/text_layout.h"

namespace vendrel::driver::text {

// "ANSI" (UTF-8 on this platform), "OEM" (code page 437), "Unicode" (UTF-16),
// or a code page number; nullopt when the name is not one of these or the
// code page is unknown.
std::optional<CharacterSet> CharacterSetFromName(std::string_view name);

// The bytes as UTF-8, without a byte order mark. For UTF-8 files this is a
// view into the bytes themselves; otherwise the converted text is put into
// `storage` and the view points there. Nullopt when the bytes cannot be
// converted (too large for the converter).
std::optional<std::string_view> DecodeToUtf8(std::string_view bytes, const CharacterSet& set, std::string& storage);

}  // namespace vendrel::driver::text

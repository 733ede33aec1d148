#pragma once
// Reading a date from text. ParseDate (convert.h) reads the few forms that
// files hold nearly always, "M/d/yyyy [h:mm[:ss]]" and "yyyy-mm-dd[ h:mm[:ss]]",
// directly, and every other form through its tokens; both readings give the
// same value for the forms the direct one reads. Tests compare the two.

#include <optional>
#include <string_view>

#include "vendrel/dataaccess/variant.h"

namespace vendrel::date_parse {

// The text without the white space around it, as every reading takes it.
std::string_view TrimWhiteSpace(std::string_view text);

// The value of a trimmed text in one of the common forms; nullopt when the
// text has none of them (the general reading then decides), an empty value
// when it has one but names no date (13 as a month, 30 February).
std::optional<std::optional<DateValue>> ParseCommonDateForm(std::string_view trimmed);

// Every form the conversions accept, read through the text's tokens.
std::optional<DateValue> ParseAnyDateForm(std::string_view trimmed);

}  // namespace vendrel::date_parse

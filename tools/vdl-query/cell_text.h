#pragma once
// The text of one value in each output format.

#include <cstddef>
#include <string>
#include <string_view>

#include "vendrel/dataaccess/variant.h"

namespace vendrel::vdlquery {

// For people (the aligned table): the standard conversion, as a grid shows
// it; Null is empty. Line breaks, tabs and other control characters are shown
// as escapes (\n, \t, \x1B) and bytes that are not UTF-8 as U+FFFD, so that
// every cell stays on its line.
std::string DisplayText(const Variant& value);

// Columns a text takes on a terminal: wide East Asian characters count two,
// combining marks none.
size_t DisplayWidth(std::string_view utf8);

// For programs (tsv, csv): numbers in the shortest text that reads back to
// the same value, dates as "YYYY-MM-DD hh:mm:ss" (the date alone at
// midnight), Booleans True/False; Null is empty. Text as it is.
std::string DataText(const Variant& value);

// One tsv field: backslash, tab, line feed and carriage return escaped as
// \\, \t, \n and \r.
std::string TsvField(std::string_view text);

// One csv field, in double quotes when it holds a comma, a quote or a line
// break, or is empty text (nothing at all is Null).
std::string CsvField(std::string_view text, bool isNull);

// A JSON value: null, a number, true/false, a "YYYY-MM-DDThh:mm:ss" date or a
// string (not UTF-8 bytes become U+FFFD).
void AppendJsonValue(std::string& out, const Variant& value);
void AppendJsonString(std::string& out, std::string_view utf8);

}  // namespace vendrel::vdlquery

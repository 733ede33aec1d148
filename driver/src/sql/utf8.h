#pragma once
// Code points of UTF-8 text, for the functions that count characters.

#include <string>
#include <string_view>

namespace vendrel::driver::sql {

// A byte that starts no valid sequence stands for itself.
std::u32string DecodeUtf8(std::string_view s);
std::string EncodeUtf8(std::u32string_view s);

}  // namespace vendrel::driver::sql

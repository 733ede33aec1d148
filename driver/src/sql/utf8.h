#pragma once
// Code points of UTF-8 text, for the functions that count characters.

#include <string>
#include <string_view>

namespace vendrel::driver::sql {

// Decoded by NextCodePoint; a byte that starts no valid sequence (a stray
// byte, an overlong form, a surrogate) stands for itself.
std::u32string DecodeUtf8(std::string_view s);
std::string EncodeUtf8(std::u32string_view s);

}  // namespace vendrel::driver::sql

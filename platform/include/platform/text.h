// The 8-bit "ANSI" code page is ISO-8859-1. Conversions from wider sets turn
// every character Latin-1 cannot hold into '?'.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string utf16_to_latin1(std::u16string_view text);
std::u16string latin1_to_utf16(std::string_view text);
std::string utf8_to_latin1(std::string_view text);
std::string latin1_to_utf8(std::string_view text);
std::u16string utf8_to_utf16(std::string_view text);  // malformed bytes become U+FFFD
std::string utf16_to_utf8(std::u16string_view text);  // lone surrogates become U+FFFD

}  // namespace platform

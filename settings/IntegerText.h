#pragma once
// The one rule by which a text becomes a signed 32-bit integer: leading
// blanks (0x20 only), an optional sign, then decimal digits or a "$", "x",
// "X", "0x" or "0X" hexadecimal form, and nothing after the last digit.

#include <cstdint>
#include <string>

// True and `value` set when `text` is a valid integer; false otherwise
// (`value` untouched).
bool TextToInt(const std::string& text, int32_t& value);

// The value of a hexadecimal digit in either case; -1 for any other byte.
int HexDigit(char c);

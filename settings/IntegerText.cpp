#include "settings/IntegerText.h"

namespace {

bool IsDecimal(char c) {
  return c >= '0' && c <= '9';
}

} // namespace

bool TextToInt(const std::string& text, int32_t& value) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == ' ')
    ++i;

  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }

  bool hex = false;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    i += 1;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n)
    return false; // empty, blanks only, a lone sign or a prefix without digits

  if (hex) {
    // A 32-bit pattern: leading zeros do not count towards the eight digits.
    uint32_t pattern = 0;
    int digits = 0;
    for (; i < n; ++i) {
      const int d = HexDigit(text[i]);
      if (d < 0)
        return false;
      if ((digits > 0 || d != 0) && ++digits > 8)
        return false;
      pattern = (pattern << 4) | static_cast<uint32_t>(d);
    }
    if (negative)
      pattern = 0u - pattern; // two's complement, so "-$80000000" stays -2147483648
    value = static_cast<int32_t>(pattern);
    return true;
  }

  // Decimal: accumulate the magnitude and compare with the limit of the sign.
  const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  uint64_t magnitude = 0;
  for (; i < n; ++i) {
    if (!IsDecimal(text[i]))
      return false;
    magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
    if (magnitude > limit)
      return false;
  }
  const int64_t signedValue =
      negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  value = static_cast<int32_t>(signedValue);
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

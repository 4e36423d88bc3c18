// The integer text rule against a second formulation of it that is written
// for plainness, not speed: cut the text into blanks, sign, prefix and digits,
// strip the leading zeros and judge the digits by their count and value.

#include "settings/IntegerText.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool IsDecimalDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return IsDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned DigitValue(char c) {
  if (IsDecimalDigit(c))
    return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f')
    return static_cast<unsigned>(c - 'a' + 10);
  return static_cast<unsigned>(c - 'A' + 10);
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool Plain(const std::string& text, int32_t& value) {
  std::string rest = text.substr(std::min(text.find_first_not_of(' '), text.size()));
  bool negative = false;
  if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
    negative = rest[0] == '-';
    rest.erase(0, 1);
  }
  bool hex = false;
  if (StartsWith(rest, "0x") || StartsWith(rest, "0X")) {
    hex = true;
    rest.erase(0, 2);
  } else if (StartsWith(rest, "$") || StartsWith(rest, "x") || StartsWith(rest, "X")) {
    hex = true;
    rest.erase(0, 1);
  }
  if (rest.empty())
    return false;
  for (char c : rest)
    if (!(hex ? IsHexDigit(c) : IsDecimalDigit(c)))
      return false;
  const std::string significant = rest.substr(std::min(rest.find_first_not_of('0'), rest.size()));
  if (significant.size() > (hex ? 8u : 10u))
    return false;
  uint64_t magnitude = 0;
  for (char c : significant)
    magnitude = magnitude * (hex ? 16 : 10) + DigitValue(c);
  if (hex) {
    // A 32-bit pattern, negated in 32 bits.
    uint32_t pattern = static_cast<uint32_t>(magnitude);
    if (negative)
      pattern = ~pattern + 1;
    value = static_cast<int32_t>(pattern);
    return true;
  }
  if (magnitude > (negative ? 2147483648ull : 2147483647ull))
    return false;
  value = static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude)
                                        : static_cast<int64_t>(magnitude));
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int32_t untouched = 0x5EED5EED;
  int32_t expected = untouched;
  int32_t got = untouched;
  const bool expectedValid = Plain(text, expected);
  const bool gotValid = TextToInt(text, got);
  if (expectedValid != gotValid || expected != got) {
    std::fprintf(stderr, "\"%s\": expected %s %d, TextToInt gave %s %d\n", text.c_str(),
                 expectedValid ? "valid" : "invalid", expected, gotValid ? "valid" : "invalid",
                 got);
    std::abort();
  }
  return 0;
}

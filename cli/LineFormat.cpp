#include "cli/LineFormat.h"

#include "extract/CharDecoder.h"

#include <cstring>

namespace {

const char* const kStandardInput = "{standard input}";

// Appends the escape JSON requires for a control character, quote or
// backslash; false when `c` needs none.
bool AppendEscape(unsigned char c, std::string& out) {
  static const char kHex[] = "0123456789abcdef";
  switch (c) {
  case '"':
    out += "\\\"";
    return true;
  case '\\':
    out += "\\\\";
    return true;
  case '\n':
    out += "\\n";
    return true;
  case '\r':
    out += "\\r";
    return true;
  case '\t':
    out += "\\t";
    return true;
  default:
    if (c >= 0x20)
      return false;
    out += "\\u00";
    out += kHex[c >> 4];
    out += kHex[c & 15];
    return true;
  }
}

// "%7x " of an offset below 2^28, all eight bytes at once: -t x is the
// common case and must cost little more than the plain output.
void PutHexOffset(char* at, uint32_t offset) {
  uint64_t x = offset;
  // One nibble a byte, the lowest in the lowest byte.
  x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
  x = (x | (x << 8)) & 0x00FF00FF00FF00FFull;
  x = (x | (x << 4)) & 0x0F0F0F0F0F0F0F0Full;
  // The highest of the seven digits first in memory, the last byte free.
  x = __builtin_bswap64(x << 8);
  const uint64_t letters = ((x + 0x0606060606060606ull) >> 4) & 0x0101010101010101ull;
  x += 0x3030303030303030ull + letters * ('a' - '0' - 10);
  const int digits = offset == 0 ? 1 : (35 - __builtin_clz(offset)) / 4;
  const int blanks = 7 - digits;
  const uint64_t blankMask = blanks == 0 ? 0 : ~uint64_t(0) >> (64 - 8 * blanks);
  x = (x & ~blankMask) | (0x2020202020202020ull & blankMask);
  x = (x & 0x00FFFFFFFFFFFFFFull) | (uint64_t(' ') << 56);
  std::memcpy(at, &x, 8);
}

} // namespace

std::string JsonLatin1(const char* data, std::size_t length) {
  std::string out;
  out.reserve(length + length / 4);
  for (std::size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (AppendEscape(c, out))
      continue;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string JsonUtf8(const std::string& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    uint32_t codePoint = 0;
    const int length = CharDecoder::Utf8Length(reinterpret_cast<const uint8_t*>(text.data()) + at,
                                               text.size() - at, codePoint);
    if (length <= 0) {
      out += "\xEF\xBF\xBD";
      ++at;
      continue;
    }
    if (length > 1 || !AppendEscape(static_cast<unsigned char>(text[at]), out))
      out.append(text, at, static_cast<std::size_t>(length));
    at += static_cast<std::size_t>(length);
  }
  return out;
}

LineFormat::LineFormat(const LineFormatOptions& options, FileLineSink& out, Encoding encoding)
    : options_(options), out_(out), encoding_(encoding) {}

void LineFormat::StartFile(const std::string& name) {
  const std::string shown = name == "-" ? kStandardInput : name;
  if (options_.json)
    prefix_ = "{\"file\":\"" + JsonUtf8(shown) + "\",\"offset\":";
  else if (options_.fileName)
    prefix_ = shown + ": ";
  else
    prefix_.clear();
}

void LineFormat::Line(const char* data, std::size_t length, uint64_t offset) {
  if (options_.json) {
    JsonLine(data, length, offset);
    return;
  }
  // The whole line is built in the output buffer; 24 places hold any offset.
  const std::string& separator = options_.separator;
  const std::size_t most = prefix_.size() + 24 + length + separator.size();
  char* const begin = out_.Reserve(most);
  if (begin == nullptr) {
    WriteLine(data, length, offset);
    return;
  }
  // The usual parts, an empty prefix and a one-byte separator, cost no
  // call of their own: a line's parts are few bytes, so calls would count.
  char* at = begin;
  if (!prefix_.empty()) {
    std::memcpy(at, prefix_.data(), prefix_.size());
    at += prefix_.size();
  }
  if (options_.radix != 0)
    at = PutOffset(at, offset);
  std::memcpy(at, data, length);
  at += length;
  if (separator.size() == 1) {
    *at++ = separator[0];
  } else {
    std::memcpy(at, separator.data(), separator.size());
    at += separator.size();
  }
  out_.Commit(static_cast<std::size_t>(at - begin));
}

// A line too long for the buffer, in parts.
void LineFormat::WriteLine(const char* data, std::size_t length, uint64_t offset) {
  out_.Write(prefix_.data(), prefix_.size());
  if (options_.radix != 0) {
    char text[24];
    out_.Write(text, static_cast<std::size_t>(PutOffset(text, offset) - text));
  }
  out_.Write(data, length);
  out_.Write(options_.separator.data(), options_.separator.size());
}

// Right-aligned in seven places and a blank, wider when it must be.
char* LineFormat::PutOffset(char* at, uint64_t offset) const {
  if (options_.radix == 'x' && offset < (uint64_t(1) << 28)) {
    PutHexOffset(at, static_cast<uint32_t>(offset));
    return at + 8;
  }
  static const char kDigits[] = "0123456789abcdef";
  const unsigned base = options_.radix == 'x' ? 16 : options_.radix == 'o' ? 8 : 10;
  char text[24];
  char* const end = text + sizeof text;
  char* first = end;
  do {
    *--first = kDigits[offset % base];
    offset /= base;
  } while (offset != 0);
  while (end - first < 7)
    *--first = ' ';
  const auto digits = static_cast<std::size_t>(end - first);
  std::memcpy(at, first, digits);
  at[digits] = ' ';
  return at + digits + 1;
}

void LineFormat::JsonLine(const char* data, std::size_t length, uint64_t offset) {
  std::string line = prefix_;
  line += std::to_string(offset);
  line += ",\"encoding\":\"";
  line += EncodingName(encoding_);
  line += "\",\"text\":\"";
  // A UTF-8 run holds its characters' bytes; every other run one byte a
  // character, which is its ISO 8859-1 value.
  line +=
      encoding_ == Encoding::Utf8 ? JsonUtf8(std::string(data, length)) : JsonLatin1(data, length);
  line += "\"}\n";
  out_.Write(line.data(), line.size());
}

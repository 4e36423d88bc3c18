#include "extract/LineFormat.h"

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

// The eight hex digits of `value`, the highest first in memory, all at
// once: -t x is the common case and must cost little more than the plain
// output.
uint64_t HexDigits(uint32_t value) {
  uint64_t x = value;
  // One nibble a byte, the lowest in the lowest byte.
  x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
  x = (x | (x << 8)) & 0x00FF00FF00FF00FFull;
  x = (x | (x << 4)) & 0x0F0F0F0F0F0F0F0Full;
  x = __builtin_bswap64(x);
  const uint64_t letters = ((x + 0x0606060606060606ull) >> 4) & 0x0101010101010101ull;
  return x + 0x3030303030303030ull + letters * ('a' - '0' - 10);
}

// "%lx " of an offset of more than eight digits (a file over 4 GiB).
char* PutWideHexOffset(char* at, uint64_t offset) {
  const int width = (67 - __builtin_clzll(offset)) / 4;
  const uint64_t high = HexDigits(static_cast<uint32_t>(offset >> 32));
  const uint64_t low = HexDigits(static_cast<uint32_t>(offset));
  char text[17];
  std::memcpy(text, &high, 8);
  std::memcpy(text + 8, &low, 8);
  text[16] = ' ';
  std::memcpy(at, text + 16 - width, static_cast<std::size_t>(width) + 1);
  return at + width + 1;
}

// "%7lx " of an offset: right-aligned in seven places, wider when it must
// be. The digits stay in a register and go out in one store (a copy through
// memory at an odd place would wait for the stores before it).
inline char* PutHexOffset(char* at, uint64_t offset) {
  if (offset >> 32 != 0)
    return PutWideHexOffset(at, offset);
  const uint64_t digits = HexDigits(static_cast<uint32_t>(offset));
  if (offset >> 28 != 0) {
    std::memcpy(at, &digits, 8);
    at[8] = ' ';
    return at + 9;
  }
  // Seven places: the first of the eight digits is a zero and is dropped,
  // the leading zeros of the rest become blanks and a blank ends the field.
  const int shown = offset == 0 ? 1 : (35 - __builtin_clz(static_cast<uint32_t>(offset))) / 4;
  const int blanks = 8 - shown; // counting the dropped digit
  const uint64_t blankMask = ~uint64_t(0) >> (64 - 8 * blanks);
  uint64_t x = (digits & ~blankMask) | (0x2020202020202020ull & blankMask);
  x = (x >> 8) | (uint64_t(' ') << 56);
  std::memcpy(at, &x, 8);
  return at + 8;
}

} // namespace

char* PutRunOffset(char* at, uint64_t offset, char radix) {
  if (radix == 'x')
    return PutHexOffset(at, offset);
  static const char kDigits[] = "0123456789";
  const unsigned base = radix == 'o' ? 8 : 10;
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

void AppendJsonLatin1(const char* data, std::size_t length, std::string& out) {
  out.reserve(out.size() + length + length / 4);
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

void LineFormat::StartFile(const std::string& name, uint64_t firstOffset) {
  firstOffset_ = firstOffset;
  const std::string shown = name == "-" ? kStandardInput : name;
  if (options_.json)
    prefix_ = "{\"file\":\"" + JsonUtf8(shown) + "\",\"offset\":";
  else if (options_.fileName)
    prefix_ = shown + ": ";
  else
    prefix_.clear();
}

void LineFormat::Line(const char* data, std::size_t length, uint64_t offset) {
  offset += firstOffset_;
  // A JSON line costs more than the line anyway: it is written as one piece.
  if (options_.json) {
    WholeLine(data, length, offset);
    return;
  }
  // The whole line is built in the output buffer; 24 places hold any offset.
  const std::string& separator = options_.separator;
  const std::size_t most = prefix_.size() + 24 + length + separator.size();
  char* const begin = out_.Reserve(most);
  if (begin == nullptr) {
    WholeLine(data, length, offset);
    return;
  }
  // The usual parts, an empty prefix and a one-byte separator, cost no
  // call of their own: a line's parts are few bytes, so calls would count.
  char* at = begin;
  if (!prefix_.empty()) {
    std::memcpy(at, prefix_.data(), prefix_.size());
    at += prefix_.size();
  }
  // Hex offsets, the usual kind, are built right here: a call would count.
  if (options_.radix == 'x')
    at = PutHexOffset(at, offset);
  else if (options_.radix != 0)
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

void LineFormat::WholeLine(const char* data, std::size_t length, uint64_t shownOffset) {
  PieceAt(data, length, shownOffset);
  EndPieces();
}

char* LineFormat::PutOffset(char* at, uint64_t offset) const {
  return PutRunOffset(at, offset, options_.radix);
}

void LineFormat::Piece(const char* data, std::size_t length, uint64_t offset) {
  PieceAt(data, length, firstOffset_ + offset);
}

void LineFormat::PieceAt(const char* data, std::size_t length, uint64_t offset) {
  if (!inPieces_) {
    inPieces_ = true;
    if (options_.json) {
      const std::string head = prefix_ + std::to_string(offset) + ",\"encoding\":\"" +
                               EncodingName(encoding_) + "\",\"text\":\"";
      out_.Write(head.data(), head.size());
    } else {
      out_.Write(prefix_.data(), prefix_.size());
      if (options_.radix != 0) {
        char text[24];
        out_.Write(text, static_cast<std::size_t>(PutOffset(text, offset) - text));
      }
    }
  }
  if (options_.json) {
    // A UTF-8 run holds its characters' bytes (and comes whole); every other
    // run one byte a character, which is its ISO 8859-1 value.
    if (encoding_ == Encoding::Utf8) {
      json_ = JsonUtf8(std::string(data, length));
    } else {
      json_.clear();
      AppendJsonLatin1(data, length, json_);
    }
    out_.Write(json_.data(), json_.size());
  } else {
    out_.Write(data, length);
  }
}

void LineFormat::EndPieces() {
  inPieces_ = false;
  if (options_.json)
    out_.Write("\"}\n", 3);
  else
    out_.Write(options_.separator.data(), options_.separator.size());
}

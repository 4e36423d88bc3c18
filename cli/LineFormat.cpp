#include "cli/LineFormat.h"

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

// The length of the well-formed UTF-8 sequence at text[at], or 0 when the
// byte there starts none (overlong forms and surrogates are not UTF-8).
std::size_t Utf8Length(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char first = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF; // the range of the second byte
  if (first < 0x80)
    return 1;
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    low = first == 0xE0 ? 0xA0 : 0x80;
    high = first == 0xED ? 0x9F : 0xBF;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    low = first == 0xF0 ? 0x90 : 0x80;
    high = first == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (text.size() - at < length || byte(1) < low || byte(1) > high)
    return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF)
      return 0;
  return length;
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
    const std::size_t length = Utf8Length(text, at);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++at;
    } else if (length > 1 || !AppendEscape(static_cast<unsigned char>(text[at]), out)) {
      out.append(text, at, length);
    }
    at += length;
  }
  return out;
}

LineFormat::LineFormat(const LineFormatOptions& options, FileLineSink& out)
    : options_(options), out_(out) {}

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
  out_.Write(prefix_.data(), prefix_.size());
  if (options_.radix != 0)
    WriteOffset(offset);
  out_.Write(data, length);
  out_.Write(options_.separator.data(), options_.separator.size());
}

// Right-aligned in seven places and a blank, wider when it must be.
void LineFormat::WriteOffset(uint64_t offset) {
  static const char kDigits[] = "0123456789abcdef";
  const unsigned base = options_.radix == 'x' ? 16 : options_.radix == 'o' ? 8 : 10;
  char text[32];
  char* end = text + sizeof text;
  char* at = end;
  *--at = ' ';
  do {
    *--at = kDigits[offset % base];
    offset /= base;
  } while (offset != 0);
  while (end - at < 8)
    *--at = ' ';
  out_.Write(at, static_cast<std::size_t>(end - at));
}

void LineFormat::JsonLine(const char* data, std::size_t length, uint64_t offset) {
  std::string line = prefix_;
  line += std::to_string(offset);
  line += ",\"encoding\":\"8\",\"text\":\"";
  line += JsonLatin1(data, length);
  line += "\"}\n";
  out_.Write(line.data(), line.size());
}

#pragma once
// How the characters of a run are stored in the input: one byte each, a
// fixed width of two or four bytes in either byte order, or UTF-8.

#include <string>

enum class Encoding { Bytes8, Utf16Le, Utf16Be, Utf32Le, Utf32Be, Utf8 };

// "8", "16le", "16be", "32le", "32be" or "utf8": what --encoding takes and
// what JSON output names.
const char* EncodingName(Encoding encoding);
// Bytes per character; 0 for UTF-8, whose characters vary.
unsigned EncodingWidth(Encoding encoding);
bool IsBigEndian(Encoding encoding);

struct EncodingChoice {
  Encoding encoding = Encoding::Bytes8;
  // GNU strings' "S": one byte a character, every byte 0x80-0xFF accepted
  // besides the classes.
  bool allHighBytes = false;
};

// Reads one name or GNU strings letter (s, S, l, b, L, B); false when `text`
// is neither.
bool ParseEncoding(const std::string& text, EncodingChoice& choice);

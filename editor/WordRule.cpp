#include "editor/WordRule.h"

ByteClass WordRule::ClassOf(char byte) {
  const auto c = static_cast<unsigned char>(byte);
  if (c == '\n' || c == '\r')
    return ByteClass::LineEnd;
  if (c <= 0x20)
    return ByteClass::Blank;
  if (c >= 0x80 || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
      (c >= 'a' && c <= 'z'))
    return ByteClass::Word;
  return ByteClass::Punctuation;
}

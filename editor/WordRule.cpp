#include "editor/WordRule.h"

#include <algorithm>

namespace {
constexpr std::size_t kBlock = 4096;
} // namespace

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

std::size_t WordRule::RunEnd(const TextBuffer& text, std::size_t from, ByteClass kind) {
  char block[kBlock];
  const std::size_t size = text.Size();
  while (from < size) {
    const std::size_t count = std::min(kBlock, size - from);
    text.CopyOut(from, from + count, block);
    for (std::size_t i = 0; i < count; ++i)
      if (ClassOf(block[i]) != kind)
        return from + i;
    from += count;
  }
  return size;
}

std::size_t WordRule::RunStart(const TextBuffer& text, std::size_t to, ByteClass kind) {
  char block[kBlock];
  to = std::min(to, text.Size());
  while (to > 0) {
    const std::size_t count = std::min(kBlock, to);
    text.CopyOut(to - count, to, block);
    for (std::size_t i = count; i > 0; --i)
      if (ClassOf(block[i - 1]) != kind)
        return to - count + i;
    to -= count;
  }
  return 0;
}

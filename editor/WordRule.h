#pragma once
// Which bytes make a word, for moving by words and selecting one: the same
// classes as the search's whole-word rule (line ends, blanks, word bytes,
// punctuation), so that what a double click selects is what a whole-word
// search finds.

#include "text/TextBuffer.h"

#include <cstddef>

enum class ByteClass { LineEnd, Blank, Word, Punctuation };

class WordRule {
public:
  static ByteClass ClassOf(char byte);
  static bool IsWord(char byte) { return ClassOf(byte) == ByteClass::Word; }
  // Where the run of `kind` bytes from `from` on ends, and where the one
  // ending at `to` starts; read a block at a time, since a run may be a
  // line of hundreds of megabytes.
  static std::size_t RunEnd(const TextBuffer& text, std::size_t from, ByteClass kind);
  static std::size_t RunStart(const TextBuffer& text, std::size_t to, ByteClass kind);
};

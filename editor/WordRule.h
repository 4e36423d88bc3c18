#pragma once
// Which bytes make a word, for moving by words and selecting one: the same
// classes as the search's whole-word rule (line ends, blanks, word bytes,
// punctuation), so that what a double click selects is what a whole-word
// search finds.

enum class ByteClass { LineEnd, Blank, Word, Punctuation };

class WordRule {
public:
  static ByteClass ClassOf(char byte);
  static bool IsWord(char byte) { return ClassOf(byte) == ByteClass::Word; }
};

#pragma once
// The forward search of a document's 8-bit text.
//
// Case: without "match case", letters compare as ISO 8859-1 letters: A-Z
// with a-z, and the capitals 0xC0-0xDE (but 0xD7) with 0xE0-0xFE.
// Whole word: a match counts only when a word starts at its first byte and
// ends after its last one. Every byte belongs to one class:
//   line end     0x0A, 0x0D
//   blank        0x00-0x1F but the line ends, and 0x20
//   word         0-9, A-Z, a-z, "_", and every byte from 0x80 up
//   punctuation  all others (0x21-0x2F, 0x3A-0x40, 0x5B-0x5E, 0x60, 0x7B-0x7F)
// A word starts at the start of the text or where the class of a word or
// punctuation byte differs from the byte before; it ends at the end of the
// text or where the class of the byte after a word or punctuation byte
// differs from it.

#include "text/ByteFold.h"

#include <cstdint>
#include <string>

class TextBuffer;

class TextSearch {
public:
  // `pattern` is 8-bit text; an empty one matches nothing.
  TextSearch(const std::string& pattern, bool matchCase, bool wholeWord);

  std::size_t Length() const { return folded_.size(); }
  // The first match in `text` starting at or after `from`, or -1; searched
  // where the text is stored, without copying it. `before` is the byte the
  // word rule sees before `from` (-1 at the text's start): Replace All
  // searches the old text while the byte before may be a replacement's.
  // Only a match starting before `startsBefore` is looked for, so that a
  // long search can be made in slices.
  int64_t FindIn(const TextBuffer& text, int64_t from, int before,
                 int64_t startsBefore = INT64_MAX) const;

private:
  // `before` and `after` are -1 at the text's start and end.
  static bool WordStart(int before, unsigned char first);
  static bool WordEnd(unsigned char last, int after);

  ByteFold fold_;
  std::string folded_; // the pattern's folded bytes
  bool wholeWord_;
};

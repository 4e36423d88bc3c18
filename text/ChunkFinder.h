#pragma once
// The searches of a TextBuffer (its Find and FindBackward), run over its
// chunks in place: a match may cross chunk boundaries and nothing is copied.
// Kept apart from the buffer so that its bookkeeping and its search can each
// be read, and changed, on their own.

#include "text/ByteFold.h"

#include <cstddef>
#include <string_view>

class TextBuffer;

class ChunkFinder {
public:
  // As TextBuffer::Find and TextBuffer::FindBackward.
  static std::size_t Find(const TextBuffer& text, std::string_view needle, std::size_t from,
                          std::size_t to, const ByteFold* fold);
  static std::size_t FindBackward(const TextBuffer& text, std::string_view needle, std::size_t from,
                                  std::size_t to, const ByteFold* fold);

private:
  class Matcher;

  // Whether the needle starts at byte `rest` of chunk `chunk`.
  static bool MatchesAt(const TextBuffer& text, const Matcher& m, std::size_t chunk,
                        std::size_t rest);
  // The first (last) match starting in [from, lastStart], or npos.
  static std::size_t FindIn(const TextBuffer& text, const Matcher& m, std::size_t from,
                            std::size_t lastStart);
  static std::size_t FindBackIn(const TextBuffer& text, const Matcher& m, std::size_t from,
                                std::size_t lastStart);
};

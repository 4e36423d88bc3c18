#pragma once
// The growth of one text (a pass's result, a Replace All's new text),
// checked against MemoryHeadroom as it goes: it may take no more than the
// figures left at the first check, nor more than they leave at the latest.
// They are read again only once the growth since the last reading may have
// used up what they left, so that a check costs nothing in the common case.

#include <cstdint>

class MemoryGrowth {
public:
  // Whether `bytes` more of text may be held; counted as taken when so.
  bool Allows(uint64_t bytes);

private:
  bool started_ = false;
  uint64_t budget_ = 0; // of the first reading, less what was taken since
  uint64_t left_ = 0;   // of the last reading, less what was taken since
};

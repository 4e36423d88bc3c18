#include "text/ByteFold.h"

ByteFold::ByteFold() {
  for (std::size_t c = 0; c < 256; ++c)
    map_[c] = static_cast<unsigned char>(c);
  Count();
}

ByteFold ByteFold::Exact() {
  return ByteFold();
}

ByteFold ByteFold::Latin1Case() {
  ByteFold fold;
  for (unsigned c = 'A'; c <= 'Z'; ++c)
    fold.Join(static_cast<unsigned char>(c), static_cast<unsigned char>(c + 0x20));
  for (unsigned c = 0xC0; c <= 0xDE; ++c)
    if (c != 0xD7)
      fold.Join(static_cast<unsigned char>(c), static_cast<unsigned char>(c + 0x20));
  fold.Count();
  return fold;
}

// Both bytes take the lower one's representative; the tables built here only
// ever join pairs, so one level is enough.
void ByteFold::Join(unsigned char a, unsigned char b) {
  const unsigned char to = a < b ? map_[a] : map_[b];
  map_[a] = to;
  map_[b] = to;
}

void ByteFold::Count() {
  classSize_.fill(0);
  for (std::size_t c = 0; c < 256; ++c)
    ++classSize_[map_[c]];
}

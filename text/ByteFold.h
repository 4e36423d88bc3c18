#pragma once
// Which bytes a search treats as equal: each byte maps to the representative
// of its class, and two bytes match when their representatives are the same.

#include <array>
#include <cstddef>

class ByteFold {
public:
  // Every byte only equals itself.
  static ByteFold Exact();
  // ISO 8859-1 letters equal their other case: A-Z with a-z, and the accented
  // capitals 0xC0-0xDE (without the multiplication sign 0xD7) with 0xE0-0xFE
  // (without the division sign 0xF7). 0xDF and 0xFF have no capital here.
  static ByteFold Latin1Case();

  unsigned char operator[](unsigned char c) const { return map_[c]; }
  // How many bytes share c's class (1 when c only equals itself).
  std::size_t ClassSize(unsigned char c) const { return classSize_[map_[c]]; }

private:
  ByteFold();
  void Join(unsigned char a, unsigned char b);
  void Count();

  std::array<unsigned char, 256> map_;
  std::array<unsigned short, 256> classSize_;
};

#pragma once
// The 256 flags that say which byte values may stand in a run of text.

#include "settings/TextOptions.h"

#include <array>
#include <cstddef>

// The 11 punctuation characters followed by the 21 symbol characters.
extern const char PunctSymbolChars[33];
constexpr std::size_t PunctCharCount = 11;
constexpr std::size_t SymbolCharCount = 21;

class AcceptTable {
public:
  AcceptTable() { Flags.fill(false); }

  // Wider values are reduced to their low 8 bits.
  bool IsAccepted(unsigned value) const { return Flags[value & 0xFFu]; }

  std::array<bool, 256> Flags;
};

// Fills `table` with the union of the classes `options` enables.
void BuildAcceptTable(const TextOptions& options, AcceptTable& table);

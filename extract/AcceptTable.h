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
  AcceptTable() { Clear(); }

  // Wider values are reduced to their low 8 bits.
  bool IsAccepted(unsigned value) const { return flags_[value & 0xFFu]; }
  // Byte 0x00 is refused: it is never text, whatever a settings file or a
  // caller puts into the options, so every table ends runs at it.
  void Accept(unsigned value) {
    if ((value & 0xFFu) != 0)
      flags_[value & 0xFFu] = true;
  }
  void Clear() { flags_.fill(false); }

  bool operator==(const AcceptTable& o) const { return flags_ == o.flags_; }
  bool operator!=(const AcceptTable& o) const { return !(*this == o); }

private:
  std::array<bool, 256> flags_;
};

// Fills `table` with the union of the classes `options` enables.
void BuildAcceptTable(const TextOptions& options, AcceptTable& table);

#pragma once
// The text options: which bytes count as text and how long a run must be.
// Plain C++ so that the extraction core can read it without Qt.

#include <cstdint>
#include <string>

struct TextOptions {
  uint32_t MinChar = 4; // a run is kept when it is strictly longer
  uint32_t MaxChar = 0; // 0: no upper limit; otherwise runs are cut at this length
  bool Upper = true;
  bool Lower = true;
  bool Number = false;
  bool Space = false;
  bool Punct = false;
  bool Symbol = false;
  bool ISO = false;
  std::string Other; // 8-bit extra characters, blanks included

  bool operator==(const TextOptions& o) const {
    return MinChar == o.MinChar && MaxChar == o.MaxChar && Upper == o.Upper && Lower == o.Lower &&
           Number == o.Number && Space == o.Space && Punct == o.Punct && Symbol == o.Symbol &&
           ISO == o.ISO && Other == o.Other;
  }
  bool operator!=(const TextOptions& o) const { return !(*this == o); }
};

// The one record the whole process works with: loaded when the main window
// is created, changed by the options dialog, saved when the main window closes.
TextOptions& GlobalTextOptions();

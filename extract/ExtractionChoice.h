#pragma once
// What a pass in the window looks for besides the text options: the
// encodings searched and the offset written before each run. The defaults
// (single bytes, no offset) give the plain runs.

#include "extract/Encoding.h"

#include <string>
#include <vector>

struct ExtractionChoice {
  // In the order the encodings are listed everywhere: 8, 16le, 16be, 32le,
  // 32be, utf8; never empty.
  std::vector<Encoding> encodings{Encoding::Bytes8};
  char radix = 0; // 'd', 'o' or 'x'; 0: no offset

  bool IsDefault() const {
    return radix == 0 && encodings == std::vector<Encoding>{Encoding::Bytes8};
  }
  bool operator==(const ExtractionChoice& o) const {
    return encodings == o.encodings && radix == o.radix;
  }
  bool operator!=(const ExtractionChoice& o) const { return !(*this == o); }
};

// Every encoding, in the order of the list.
const std::vector<Encoding>& AllEncodings();
// "8,16le": the names, comma-separated.
std::string EncodingsText(const std::vector<Encoding>& encodings);
// Reads such a list into the order of AllEncodings(); false (and `out`
// untouched) when it is empty or holds a name that is not one of them.
bool ParseEncodings(const std::string& text, std::vector<Encoding>& out);
// "none", "d", "o" or "x".
std::string OffsetsText(char radix);
bool ParseOffsets(const std::string& text, char& radix);

// The choice the window's passes use: read at start, changed by its dialog.
ExtractionChoice& GlobalExtractionChoice();

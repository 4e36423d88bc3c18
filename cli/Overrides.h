#pragma once
// The text options given on the command line, applied over the stored ones.

#include "cli/ClassNames.h"
#include "extract/EncodingScanners.h"
#include "settings/TextOptions.h"

#include <array>
#include <cstdint>
#include <string>

struct Overrides {
  bool minChar = false, maxChar = false, classes = false, other = false;
  // GNU strings' -w: every white-space byte is text, whatever -x says.
  bool allWhitespace = false;
  uint32_t MinChar = 0, MaxChar = 0;
  std::array<bool, kClassCount> Classes{}; // by kClassNames' order
  std::string Other;
  EncodingList Encodings{EncodingChoice{}};

  void ApplyTo(TextOptions& options) const;
};

#pragma once
// The scanner of a window's pass that asks for more than single-byte runs
// without offsets: every chosen encoding in one read of the input, merged in
// the order of the offsets, each line written as the command line writes it
// for the same encodings and radix.

#include "extract/BlockScanner.h"
#include "extract/ExtractionChoice.h"
#include "extract/MergedScanner.h"
#include "extract/OffsetLines.h"
#include "settings/TextOptions.h"

#include <memory>
#include <vector>

class EncodedLines {
public:
  // `options` is read, not copied, as the byte scanner reads it: limits
  // changed during the scan count from the next block. `sink` takes the
  // lines, offsets included.
  EncodedLines(const TextOptions& options, const ExtractionChoice& choice, LineSink& sink);

  // Where the scanner's offset 0 lies in the input.
  void SetBase(uint64_t base);
  BlockScanner& Scanner() { return *scanner_; }

private:
  std::vector<std::unique_ptr<OffsetLines>> offsets_;
  std::unique_ptr<MergedScanner> scanner_;
};

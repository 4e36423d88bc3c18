#pragma once
// The scanners of every encoding asked for on the command line, one pass
// over each file, each encoding's runs written by its own line format into
// one output in the order of their offsets.

#include "extract/LineFormat.h"
#include "extract/Encoding.h"
#include "extract/FileLineSink.h"
#include "extract/MergedScanner.h"
#include "settings/TextOptions.h"

#include <memory>
#include <string>
#include <vector>

using EncodingList = std::vector<EncodingChoice>;

// The options `choice` is read by: GNU strings' "S" accepts the high bytes
// too.
TextOptions OptionsFor(const TextOptions& options, const EncodingChoice& choice);

class EncodingScanners {
public:
  // The arguments are read, not copied, and must outlive the scanners.
  EncodingScanners(const TextOptions& options, const EncodingList& encodings,
                   const LineFormatOptions& formatOptions, FileLineSink& out);

  // The file the next lines come from, as given ("-" is standard input),
  // and where in it the scan starts (a part of the file).
  void StartFile(const std::string& name, uint64_t firstOffset = 0);
  BlockScanner& Scanner() { return *scanner_; }

private:
  struct Output {
    TextOptions options;
    std::unique_ptr<LineFormat> format;
  };
  std::vector<std::unique_ptr<Output>> outputs_;
  std::unique_ptr<MergedScanner> scanner_;
};

#include "extract/EncodedLines.h"

EncodedLines::EncodedLines(const TextOptions& options, const ExtractionChoice& choice,
                           LineSink& sink) {
  std::vector<MergedScanner::Target> targets;
  for (const Encoding encoding : choice.encodings) {
    LineSink* target = &sink;
    if (choice.radix != 0) {
      offsets_.push_back(std::make_unique<OffsetLines>(choice.radix, sink));
      target = offsets_.back().get();
    }
    targets.push_back({encoding, &options, target});
  }
  scanner_ = std::make_unique<MergedScanner>(targets);
}

void EncodedLines::SetBase(uint64_t base) {
  for (auto& lines : offsets_)
    lines->SetBase(base);
}

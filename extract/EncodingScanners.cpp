#include "extract/EncodingScanners.h"

TextOptions OptionsFor(const TextOptions& options, const EncodingChoice& choice) {
  TextOptions chosen = options;
  if (choice.allHighBytes)
    for (unsigned b = 0x80; b <= 0xFF; ++b)
      chosen.Other += static_cast<char>(b);
  return chosen;
}

EncodingScanners::EncodingScanners(const TextOptions& options, const EncodingList& encodings,
                                   const LineFormatOptions& formatOptions, FileLineSink& out) {
  out.SetTakesPieces(true);
  std::vector<MergedScanner::Target> targets;
  for (const EncodingChoice& choice : encodings) {
    auto output = std::make_unique<Output>();
    output->options = OptionsFor(options, choice);
    output->format = std::make_unique<LineFormat>(formatOptions, out, choice.encoding);
    // Plain lines go straight to the output, the way that costs least.
    LineSink* sink = formatOptions.IsPlain() ? static_cast<LineSink*>(&out) : output->format.get();
    targets.push_back({choice.encoding, &output->options, sink});
    outputs_.push_back(std::move(output));
  }
  scanner_ = std::make_unique<MergedScanner>(targets);
}

void EncodingScanners::StartFile(const std::string& name, uint64_t firstOffset) {
  for (auto& output : outputs_)
    output->format->StartFile(name, firstOffset);
}

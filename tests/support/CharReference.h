#pragma once
// The simplest reading of the wide and UTF-8 run rules, over a whole input
// in memory: what the block path must give, line for line. Plain C++, so
// that the fuzz targets use it too.

#include "extract/CharDecoder.h"
#include "extract/LineSink.h"
#include "settings/TextOptions.h"

#include <cstdint>
#include <string>

inline void ReferenceCharRuns(const TextOptions& options, Encoding encoding, const uint8_t* data,
                              std::size_t size, LineSink& sink) {
  CharDecoder decoder;
  decoder.Build(options, encoding);
  const auto text = [&](std::size_t at) {
    // At the end of the input an unfinished character is no text.
    return decoder.Decode(data + at, size - at);
  };
  std::size_t at = 0;
  while (at < size) {
    CharDecoder::Char c = text(at);
    if (c.verdict != CharDecoder::Verdict::Accepted) {
      ++at; // the search goes on from the next byte, whatever the width
      continue;
    }
    const std::size_t start = at;
    std::string run;
    uint64_t chars = 0;
    for (;;) {
      if (encoding == Encoding::Utf8)
        run.append(reinterpret_cast<const char*>(data + at), c.length);
      else
        run.push_back(static_cast<char>(c.value));
      ++chars;
      at += c.length;
      if (options.MaxChar != 0 && chars >= options.MaxChar)
        break; // the next run starts right after the cut
      c = text(at);
      if (c.verdict != CharDecoder::Verdict::Accepted) {
        ++at;
        break;
      }
    }
    if (chars > options.MinChar)
      sink.Line(run.data(), run.size(), start);
  }
}

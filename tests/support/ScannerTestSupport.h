#pragma once
// The reference the scanner tests compare with: the lines the simple byte
// path makes of an input, collected in memory.

#include "extract/LineSink.h"
#include "settings/TextOptions.h"

#include <string>
#include <vector>

class CollectSink : public LineSink {
public:
  std::vector<std::string> lines;
  void Line(const char* data, std::size_t length) override { lines.emplace_back(data, length); }
};

// `input` fed byte by byte, then the final flush.
std::vector<std::string> ByBytes(const TextOptions& options, const std::string& input);

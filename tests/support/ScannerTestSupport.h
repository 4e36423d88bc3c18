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
  std::vector<uint64_t> offsets;
  void Line(const char* data, std::size_t length, uint64_t offset) override {
    lines.emplace_back(data, length);
    offsets.push_back(offset);
  }
};

// `input` fed byte by byte, then the final flush: the lines and offsets.
CollectSink CollectBytes(const TextOptions& options, const std::string& input);
// The same, the lines only.
std::vector<std::string> ByBytes(const TextOptions& options, const std::string& input);

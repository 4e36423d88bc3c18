#pragma once
// Where the scanner puts each kept run: one call per line, without line end.

#include <cstddef>

class LineSink {
public:
  virtual ~LineSink() = default;
  virtual void Line(const char* data, std::size_t length) = 0;
};

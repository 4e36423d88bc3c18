#pragma once
// Where the scanner puts each kept run: one call per line, without line end.

#include <cstddef>

class LineSink {
public:
  virtual ~LineSink() = default;
  virtual void Line(const char* data, std::size_t length) = 0;
  // True once the sink can take no more lines (a failed write): a pass over a
  // file then stops instead of reading the rest for nothing.
  virtual bool Failed() const { return false; }
};

#pragma once
// Where the scanner puts each kept run: one call per line, without line end.

#include <cstddef>
#include <cstdint>

class LineSink {
public:
  virtual ~LineSink() = default;
  // `offset`: where the run's first byte lies in the input, counted from the
  // scanner's reset; the piece after a MaxChar cut starts right after the cut.
  virtual void Line(const char* data, std::size_t length, uint64_t offset) = 0;
  // True once the sink can take no more lines (a failed write): a pass over a
  // file then stops instead of reading the rest for nothing.
  virtual bool Failed() const { return false; }
};

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

  // A sink that takes a long run in pieces, so that the scanner never holds
  // it whole: once an open run is longer than MinChar, its bytes so far come
  // as a Piece, then each later stretch of it, then EndPieces. The run is
  // then certainly kept, unless the limits change before it ends; then
  // DropPieces takes the line back.
  virtual bool TakesPieces() const { return false; }
  // The next bytes of the open line; `offset` is where the line starts.
  virtual void Piece(const char* /*data*/, std::size_t /*length*/, uint64_t /*offset*/) {}
  virtual void EndPieces() {}
  virtual void DropPieces() {}

  // A sink whose lines are the runs each followed by '\n' may take, in one
  // call, a stretch of consecutive kept runs that the input already holds in
  // that form: each run ended there by a '\n' and the next run starting
  // right after it. Copying a stretch at once costs far less than a call and
  // a short copy for each of many short lines (a text file scanned).
  virtual bool TakesStretches() const { return false; }
  // `data`: whole lines, each followed by '\n' (which no run holds);
  // `offset`: where the first line starts.
  virtual void Lines(const char* /*data*/, std::size_t /*length*/, uint64_t /*offset*/) {}
};

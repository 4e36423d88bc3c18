#pragma once
// Puts each run's offset before it, as GNU strings writes it, and passes
// the line on to another sink; a long run's pieces stay pieces.

#include "extract/LineSink.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class OffsetLines : public LineSink {
public:
  // `radix`: 'd', 'o' or 'x'. `target` is used, not owned.
  OffsetLines(char radix, LineSink& target) : radix_(radix), target_(target) {}

  // Where the scanner's offset 0 lies in the input (a part, or a scan that
  // resumes midway).
  void SetBase(uint64_t base) { base_ = base; }

  void Line(const char* data, std::size_t length, uint64_t offset) override;
  bool Failed() const override { return target_.Failed(); }
  bool TakesPieces() const override { return target_.TakesPieces(); }
  void Piece(const char* data, std::size_t length, uint64_t offset) override;
  void EndPieces() override;
  void DropPieces() override;

private:
  const char radix_;
  LineSink& target_;
  uint64_t base_ = 0;
  bool inPieces_ = false;
  // The line with its offset; kept, so that its memory serves every line
  // (never cleared: every byte used is written first).
  std::unique_ptr<char[]> line_;
  std::size_t capacity_ = 0;
};

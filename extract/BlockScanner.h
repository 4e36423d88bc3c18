#pragma once
// What the read loop drives: a scanner fed the input in blocks, in order,
// that hands its kept runs to a line sink.

#include <cstddef>
#include <cstdint>

class BlockScanner {
public:
  virtual ~BlockScanner() = default;
  // Starts a pass over a new input.
  virtual void ResetScanner() = 0;
  // The next `length` bytes of the input; blocks may have any size.
  virtual void ScanBlock(const uint8_t* data, std::size_t length) = 0;
  // The input has ended: judges the open run and ends it.
  virtual void EmitRun() = 0;
  // No line handed over later can start before this offset: the start of the
  // open run, or the first byte not yet decided.
  virtual uint64_t Frontier() const = 0;

  // Some scanners can do part of the work on each block ahead, on the thread
  // that reads the input: ScanAhead is then called for every block, in
  // order, before ScanBlock is called for it on the scanning thread.
  virtual bool CanScanAhead() const { return false; }
  virtual void ScanAhead(const uint8_t* /*data*/, std::size_t /*length*/) {}
};

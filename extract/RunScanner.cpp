#include "extract/RunScanner.h"

RunScanner::RunScanner(const TextOptions& options, LineSink& sink)
    : options_(options), sink_(sink) {}

void RunScanner::ResetScanner() {
  run_.clear();
  runLength_ = 0;
  BuildAcceptTable(options_, table_);
}

uint64_t RunScanner::RunLength() const { return runLength_; }

void RunScanner::ScanByte(uint8_t byte) {
  if (!table_.IsAccepted(byte)) {
    EmitRun();
    return;
  }
  run_.push_back(static_cast<char>(byte));
  ++runLength_;
  if (options_.MaxChar != 0 && runLength_ >= options_.MaxChar)
    EmitRun();
}

void RunScanner::EmitRun() {
  if (runLength_ == 0)
    return;
  if (runLength_ > options_.MinChar)
    sink_.Line(run_.data(), run_.size());
  run_.clear();
  runLength_ = 0;
}

void RunScanner::ScanBlock(const uint8_t* data, std::size_t length) {
  // Reference behaviour; the fast path replaces this.
  for (std::size_t i = 0; i < length; ++i)
    ScanByte(data[i]);
}

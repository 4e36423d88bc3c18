#pragma once
// The reference the scanner tests compare with: the lines the simple byte
// path makes of an input, collected in memory.

#include "extract/LineSink.h"
#include "settings/TextOptions.h"
#include "support/StretchLines.h"

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

// Takes long runs in pieces and puts each line together again, as a sink
// that never holds a whole run stores it; notes any piece out of order.
class PieceSink : public CollectSink {
public:
  std::size_t pieces = 0, dropped = 0;
  bool TakesPieces() const override { return true; }
  void Piece(const char* data, std::size_t length, uint64_t offset) override {
    if (!open_) {
      open_ = true;
      openOffset_ = offset;
      partial_.clear();
    } else if (offset != openOffset_) {
      broken_ = true;
    }
    partial_.append(data, length);
    ++pieces;
  }
  void EndPieces() override {
    broken_ = broken_ || !open_;
    open_ = false;
    CollectSink::Line(partial_.data(), partial_.size(), openOffset_);
  }
  void DropPieces() override {
    broken_ = broken_ || !open_;
    open_ = false;
    ++dropped;
  }
  void Line(const char* data, std::size_t length, uint64_t offset) override {
    broken_ = broken_ || open_; // a whole line while a pieced one is open
    CollectSink::Line(data, length, offset);
  }
  // Every pieced line was ended or dropped, in order.
  bool Consistent() const { return !broken_ && !open_; }

private:
  bool open_ = false, broken_ = false;
  uint64_t openOffset_ = 0;
  std::string partial_;
};

// Also takes stretches of lines and splits them again, each line with its
// offset; notes a stretch that comes while a pieced line is open or that
// does not end a line.
class StretchSink : public PieceSink {
public:
  std::size_t stretches = 0;
  bool TakesStretches() const override { return true; }
  void Lines(const char* data, std::size_t length, uint64_t offset) override {
    ++stretches;
    if (!PieceSink::Consistent() || length == 0 || data[length - 1] != '\n')
      wrongStretch_ = true;
    ForEachStretchLine(data, length, offset,
                       [this](const char* line, std::size_t size, uint64_t at) {
                         CollectSink::Line(line, size, at);
                       });
  }
  // Hides PieceSink's: stretches count too.
  bool Consistent() const { return PieceSink::Consistent() && !wrongStretch_; }

private:
  bool wrongStretch_ = false;
};

// `input` fed byte by byte, then the final flush: the lines and offsets.
CollectSink CollectBytes(const TextOptions& options, const std::string& input);
// The same, the lines only.
std::vector<std::string> ByBytes(const TextOptions& options, const std::string& input);

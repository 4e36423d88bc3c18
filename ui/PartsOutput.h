#pragma once
// The output file of a pass in parts: each slice is written and kept for
// the editor as long as the memory holds it, so that the file need not be
// read back; once it does not, the file is still written to its end.

#include "text/LineEdge.h"
#include "text/TextBuffer.h"

#include <cstdint>
#include <functional>
#include <vector>

class FileLineSink;

class PartsOutput : public LineEdge::Target {
public:
  // Whether `bytes` more fit in the memory left.
  using Holds = std::function<bool(uint64_t bytes)>;

  PartsOutput(FileLineSink& file, Holds holds) : file_(file), holds_(std::move(holds)) {}

  // What was written, kept whole (Whole), in part as the memory ran short
  // (Part), or not at all: the file is then read back.
  enum class Kept { None, Whole, Part };
  Kept State() const { return state_; }
  // From now on nothing is kept: the text is read back from the file.
  void Forget();
  std::vector<TextBuffer>& Slices() { return kept_; }

  int64_t Length() const override { return 0; }
  void Append(const char* data, std::size_t length) override;
  void AppendText(TextBuffer&& text) override;
  // A pass in parts hands its runs over in slices, never in pieces.
  void AppendPiece(const char* data, std::size_t length) override { Append(data, length); }
  void KeepPieces() override {}
  void DropPieces() override {}

private:
  FileLineSink& file_;
  const Holds holds_;
  std::vector<TextBuffer> kept_;
  Kept state_ = Kept::Whole;
};

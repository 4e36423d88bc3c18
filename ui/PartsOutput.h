#pragma once
// The output file of a pass in parts: each slice is written and kept for
// the editor as long as the memory (and, beyond the text's memory budget,
// the disk) holds it, so that the file need not be read back; once it does
// not, the file is still written to its end.

#include "text/LineEdge.h"
#include "text/TextBuffer.h"

#include <cstdint>
#include <functional>

class FileLineSink;

class PartsOutput : public LineEdge::Target {
public:
  // Whether `bytes` more fit in the memory left.
  using Holds = std::function<bool(uint64_t bytes)>;

  PartsOutput(FileLineSink& file, Holds holds) : file_(file), holds_(std::move(holds)) {
    kept_.AllowSpill();
  }

  // What was written, kept whole (Whole), in part as the memory ran short
  // (Part), or not at all: the file is then read back.
  enum class Kept { None, Whole, Part };
  Kept State() const { return state_; }
  // From now on nothing is kept: the text is read back from the file.
  void Forget();
  // The error number of a failed write of the kept text to disk, or 0.
  int SpillError() const { return kept_.SpillError(); }
  // As the editor's: the kept text's writes to disk are far behind; those
  // done are taken in.
  bool SpillBehind() const { return kept_.SpillBehind(); }
  void CollectSpilled() { kept_.CollectSpilled(false); }
  // What was kept, handed over (its chunks move, wherever they are).
  TextBuffer TakeText() { return std::move(kept_); }

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
  TextBuffer kept_;
  Kept state_ = Kept::Whole;
};

#pragma once
// The output file of a pass in parts: each slice is written and kept for
// the editor as long as the memory holds it, so that the file need not be
// read back; once it does not, the file is still written to its end. The
// writes go through a thread of their own (BackgroundWriter) on a second
// descriptor of the file, so that the window never waits for the disk.
// What was written leaves memory and is read back from the file when read:
// the text is the file, and needs neither a copy in memory nor a second
// one on disk. A file that cannot be read back (no descriptor of its own)
// has the text go to a spill file beyond the memory budget instead.

#include "extract/BackgroundWriter.h"
#include "extract/FileLineSink.h"
#include "text/LineEdge.h"
#include "text/TextBuffer.h"

#include <cstdint>
#include <functional>

class PartsOutput : public LineEdge::Target {
public:
  // Whether `bytes` more fit in the memory left.
  using Holds = std::function<bool(uint64_t bytes)>;

  // `file` must have nothing buffered; until Finish, nothing else writes to
  // it.
  PartsOutput(FileLineSink& file, Holds holds);
  // Whether a write failed; the writes are behind (the caller should let
  // them catch up); and the end of the writes: the last buffer written and
  // waited for and the second descriptor closed, the error number of a
  // failed write or 0. Any thread may Finish, as long as nothing else is
  // written meanwhile; nothing is written after it.
  bool Failed();
  bool WritesBehind();
  int Finish();

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
  void CollectSpilled();
  // What was kept, handed over (its chunks move, wherever they are); after
  // Finish, all of it but the last chunk is read from the file.
  TextBuffer TakeText();

  int64_t Length() const override { return 0; }
  void Append(const char* data, std::size_t length) override;
  void AppendText(TextBuffer&& text) override;
  // A pass in parts hands its runs over in slices, never in pieces.
  void AppendPiece(const char* data, std::size_t length) override { Append(data, length); }
  void KeepPieces() override {}
  void DropPieces() override {}

private:
  // Writes a slice to the file.
  void Write(const TextBuffer& text);
  // After Finish, anything more goes to the file's own sink, after the rest.
  FileLineSink& Sink() { return writer_ && !finished_ ? ownSink_ : file_; }
  // Sets the kept text to be read back from the file it is written to.
  void ReadBackFromFile(int fd);
  // The kept text that is in the file leaves memory.
  void LeaveWritten();

  FileLineSink& file_;
  // The buffers of the writes, and the thread that writes them; none when
  // the file has no descriptor of its own to share (the writes then go to
  // `file_` as they come).
  FileLineSink ownSink_;
  std::unique_ptr<BackgroundWriter> writer_;
  bool finished_ = false;
  const Holds holds_;
  TextBuffer kept_;
  Kept state_ = Kept::Whole;
  // The file the kept text is read back from, null when it spills instead;
  // where the writer's first byte went, and the bytes given to the file.
  std::shared_ptr<SpillFile> backing_;
  uint64_t base_ = 0;
  uint64_t sent_ = 0;
};

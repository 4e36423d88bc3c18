#pragma once
// A line sink that writes each line and "\n" to a file in large buffers and
// notices every failed write.

#include "extract/LineSink.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Takes the full buffers of a sink that writes to no descriptor, for a
// writer elsewhere that puts several sinks' output in order.
class ChunkTaker {
public:
  virtual ~ChunkTaker() = default;
  // Takes the first `used` bytes of `buffer` (of FileLineSink::kBufferSize
  // bytes) and gives back an empty buffer of that size, or null when no more
  // output is wanted: the sink then fails with ECANCELED.
  virtual std::unique_ptr<char[]> Take(std::unique_ptr<char[]> buffer, std::size_t used) = 0;
};

class FileLineSink : public LineSink {
public:
  static constexpr std::size_t kBufferSize = 1 << 20;

  FileLineSink() = default;
  ~FileLineSink() override;
  FileLineSink(const FileLineSink&) = delete;
  FileLineSink& operator=(const FileLineSink&) = delete;

  // Creates the file or empties it; a file a text still reads from (see
  // FilesInUse) gets a new one in its place instead. False when it cannot
  // be opened.
  bool Open(const std::string& path);
  // Open in two steps, for a caller that must keep answering meanwhile:
  // emptying a large file takes the file system a while. OpenFile only
  // opens (any thread): the descriptor, or -1 with the error in `error`.
  // Adopt then writes to that descriptor and closes it at the end.
  static int OpenFile(const std::string& path, int& error);
  void Adopt(int fd);
  // Writes to an open descriptor (standard output); it is not closed.
  void OpenDescriptor(int fd);
  // Hands each full buffer to `taker` instead of writing it.
  void OpenChunks(ChunkTaker& taker);
  bool IsOpen() const { return fd_ >= 0 || taker_ != nullptr; }
  // The descriptor written to, or -1 (none, or buffers go to a taker).
  int Descriptor() const { return taker_ == nullptr ? fd_ : -1; }

  // The offset is not written: plain output is the run and its line end.
  void Line(const char* data, std::size_t length, uint64_t) override { Line(data, length); }
  void Line(const char* data, std::size_t length);
  // Buffers bytes as they are, for the writers that make lines of their own.
  void Write(const char* data, std::size_t length);
  // A stretch is written as it is: it already holds each line and its "\n".
  bool TakesStretches() const override { return true; }
  void Lines(const char* data, std::size_t length, uint64_t) override { Write(data, length); }
  // Room for `length` bytes in the buffer, to be filled and taken with
  // Commit: a line built in place costs one call. Null when the output has
  // failed or `length` would not fit an empty buffer (then use Write).
  char* Reserve(std::size_t length) {
    if (buffer_ && error_ == 0 && used_ + length <= kBufferSize)
      return buffer_.get() + used_;
    return ReserveAfterFlush(length);
  }
  void Commit(std::size_t length) { used_ += length; }
  // Writes out what is buffered. False once any write has failed.
  bool Flush();
  // Flushes and closes. False when any write or the close failed.
  bool Close();
  // Flushes and closes all but the descriptor, which the caller closes (on
  // any thread: closing a file that was emptied and written again makes
  // ext4 write it back). -1 when there is none to close. Error() keeps
  // the writes' outcome.
  int Release();
  bool Failed() const override { return error_ != 0; }
  int Error() const { return error_; }

  // Long runs written as they are found, never held whole. A piece already
  // written can be taken back only from a regular file the sink opened
  // itself; other outputs take pieces only where the limits cannot change
  // during a pass (the command line).
  void SetTakesPieces(bool on) { takesPieces_ = on; }
  bool TakesPieces() const override { return takesPieces_; }
  bool CanTakeBack() const { return regular_; }
  void Piece(const char* data, std::size_t length, uint64_t) override;
  void EndPieces() override;
  // Takes the open line's pieces back out of the buffer and, when some were
  // written already, off the end of the file.
  void DropPieces() override;

private:
  char* ReserveAfterFlush(std::size_t length);
  // Writes all of `data`, retrying after signals. False on failure (error_).
  bool WriteOut(const char* data, std::size_t length);
  bool HandOut(const char* data, std::size_t length);
  bool HandBuffer(std::size_t used);

  int fd_ = -1;
  ChunkTaker* taker_ = nullptr;
  bool owned_ = false;
  int error_ = 0;
  bool takesPieces_ = false;
  bool regular_ = false;           // opened here, and a regular file
  std::unique_ptr<char[]> buffer_; // made at the first line
  uint64_t pieceBytes_ = 0;        // of the open line

  std::size_t used_ = 0;
};

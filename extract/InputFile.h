#pragma once
// An input file read in large blocks, with 64-bit sizes. A window reads
// pipes, FIFOs and devices without ever blocking for long (Waiting::InSlices).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class InputFile {
public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // How reads wait for a pipe, FIFO, terminal or device that has no data
  // yet. Blocking suits a program that has nothing else to do; a window
  // must keep answering, so it waits at most a time slice per read.
  enum class Waiting { Block, InSlices };

  // False when the file cannot be opened for reading, or is a directory or
  // anything else that cannot be read as a file. "-" is not special here.
  // InSlices also opens without blocking, so that a FIFO with no writer
  // yet does not hold the caller in open().
  bool Open(const std::string& path, Waiting waiting = Waiting::Block);
  // Takes over an open descriptor (standard input); it is not closed.
  void OpenDescriptor(int fd);
  // Reads the part of `whole`'s regular file from `start` to `end` (or on
  // to the file's end, with kToEnd), through a descriptor it shares: parts
  // are read on several threads at once. `whole` must stay open. `findEnd`,
  // when given, is shown every block read, in order (the bytes and their
  // offset), and says where the part ends when that lies in them: the
  // part's end is found as it is read. It gives kToEnd otherwise.
  static constexpr uint64_t kToEnd = ~uint64_t(0);
  using FindEnd =
      std::function<uint64_t(const uint8_t* bytes, std::size_t length, uint64_t offset)>;
  void OpenPart(const InputFile& whole, uint64_t start, uint64_t end, FindEnd findEnd = {});
  // Of a part: the offset in the file the next read starts at.
  uint64_t PartPosition() const { return partAt_; }
  bool IsOpen() const { return fd_ >= 0; }
  // Size of a regular file; 0 for devices, FIFOs and other streams.
  uint64_t Size() const { return size_; }
  bool IsRegular() const { return regular_; }
  // Reads up to `capacity` bytes: the count read, 0 at end of file, -1 on a
  // read error (Error() tells which). Opened InSlices, NothingYet when no
  // byte came within SliceMs; a FIFO whose writer has not come yet is
  // waited for, never taken for an empty file.
  static constexpr int64_t NothingYet = -2;
  static constexpr int SliceMs = 10;
  int64_t Read(uint8_t* buffer, std::size_t capacity);
  // Reads at `offset` of a regular file, as Read counts, without moving
  // the file's position; several threads may. A failure is not kept for
  // Error(): `error`, when given, takes its errno.
  int64_t ReadAt(uint8_t* buffer, std::size_t capacity, uint64_t offset,
                 int* error = nullptr) const;
  // Reads the first bytes ahead, without waiting, so that an input that
  // opens but cannot be read is known before anything else is asked; the
  // next Read returns them. False on a read error.
  bool Probe();
  void Close();
  // True when the open file is a regular file and `fd` refers to it too (the
  // output appended to the input, which would make it grow without end).
  bool IsSameFile(int fd) const;
  // errno of the last failure, 0 when none.
  int Error() const { return error_; }

private:
  int64_t ReadNow(uint8_t* buffer, std::size_t capacity, int sliceMs);
  int64_t ReadWithin(uint8_t* buffer, std::size_t capacity, int sliceMs);

  int fd_ = -1;
  bool owned_ = false;
  uint64_t size_ = 0;
  int error_ = 0;
  bool regular_ = false;
  bool part_ = false; // a part: read at partAt_ up to partEnd_
  uint64_t partAt_ = 0, partEnd_ = 0;
  FindEnd findEnd_;
  Waiting waiting_ = Waiting::Block;
  // What Probe read, handed out by the next Read; `probedEnd_` when the
  // probe found the end already.
  std::vector<uint8_t> probed_;
  std::size_t probedAt_ = 0;
  bool probedEnd_ = false;
};

#pragma once
// An input file read in large blocks, with 64-bit sizes.

#include <cstddef>
#include <cstdint>
#include <string>

class InputFile {
public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // False when the file cannot be opened for reading, or is a directory or
  // anything else that cannot be read as a file. "-" is not special here.
  bool Open(const std::string& path);
  // Takes over an open descriptor (standard input); it is not closed.
  void OpenDescriptor(int fd);
  bool IsOpen() const { return fd_ >= 0; }
  // Size of a regular file; 0 for devices, FIFOs and other streams.
  uint64_t Size() const { return size_; }
  // Reads up to `capacity` bytes: the count read, 0 at end of file, -1 on a
  // read error (Error() tells which).
  int64_t Read(uint8_t* buffer, std::size_t capacity);
  void Close();
  // True when the open file is a regular file and `fd` refers to it too (the
  // output appended to the input, which would make it grow without end).
  bool IsSameFile(int fd) const;
  // errno of the last failure, 0 when none.
  int Error() const { return error_; }

private:
  int fd_ = -1;
  bool owned_ = false;
  uint64_t size_ = 0;
  int error_ = 0;
};

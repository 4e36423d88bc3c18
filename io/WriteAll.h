#pragma once
// The one loop that writes a whole block to a descriptor: short writes go
// on, a signal's interruption is tried again.

#include <cstddef>
#include <cstdint>

// Writes all of `data` to `fd`; 0, or the error number of the failure (EIO
// for a write that took nothing).
int WriteAll(int fd, const char* data, std::size_t length);
// The same at `at` bytes into the file, whatever the descriptor's position.
int WriteAllAt(int fd, const char* data, std::size_t length, uint64_t at);

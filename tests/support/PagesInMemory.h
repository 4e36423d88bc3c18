#pragma once
// How a test sees whether a file's pages are held in memory (the page
// cache).

#include <cstddef>

// How many of the pages of bytes [0, bytes) of the file open as `fd` are in
// memory; `bytes` / page size when it cannot be told.
std::size_t PagesInMemory(int fd, std::size_t bytes);

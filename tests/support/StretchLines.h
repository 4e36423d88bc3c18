#pragma once
// Splits a stretch of lines (see LineSink::Lines) into the lines it holds,
// each with its own offset, as separate calls would have brought them.

#include <cstddef>
#include <cstdint>
#include <cstring>

template <class Line>
void ForEachStretchLine(const char* data, std::size_t length, uint64_t offset, Line line) {
  for (std::size_t at = 0; at < length;) {
    const char* end = static_cast<const char*>(std::memchr(data + at, '\n', length - at));
    const std::size_t lineEnd = end ? static_cast<std::size_t>(end - data) : length;
    line(data + at, lineEnd - at, offset + at);
    at = lineEnd + 1;
  }
}

#pragma once
// The plainest reading of what the document text model answers, over one
// std::string: what the text model's tests and fuzz target compare with.
// Plain C++, for both.

#include "text/ByteFold.h"
#include "text/TextBuffer.h"

#include <algorithm>
#include <string>

inline std::size_t ModelLineCount(const std::string& s) {
  return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n')) + 1;
}

inline std::size_t ModelLineStart(const std::string& s, std::size_t line) {
  std::size_t pos = 0;
  for (std::size_t l = 0; l < line; ++l) {
    const std::size_t next = s.find('\n', pos);
    if (next == std::string::npos)
      break;
    pos = next + 1;
  }
  return pos;
}

inline std::size_t ModelLineEnd(const std::string& s, std::size_t line) {
  const std::size_t end = s.find('\n', ModelLineStart(s, line));
  return end == std::string::npos ? s.size() : end;
}

inline std::size_t ModelLineOf(const std::string& s, std::size_t pos) {
  pos = std::min(pos, s.size());
  return static_cast<std::size_t>(std::count(s.begin(), s.begin() + pos, '\n'));
}

inline bool ModelMatch(const std::string& s, std::size_t at, const std::string& needle,
                       const ByteFold* fold) {
  for (std::size_t k = 0; k < needle.size(); ++k) {
    const auto a = static_cast<unsigned char>(s[at + k]);
    const auto b = static_cast<unsigned char>(needle[k]);
    if (fold ? (*fold)[a] != (*fold)[b] : a != b)
      return false;
  }
  return true;
}

// The first (or with `backward` the last) match lying wholly in [from, to).
inline std::size_t ModelFind(const std::string& s, const std::string& needle, std::size_t from,
                             std::size_t to, const ByteFold* fold, bool backward = false) {
  to = std::min(to, s.size());
  if (from > to || to - from < needle.size())
    return TextBuffer::npos;
  if (backward) {
    for (std::size_t p = to - needle.size() + 1; p-- > from;)
      if (ModelMatch(s, p, needle, fold))
        return p;
  } else {
    for (std::size_t p = from; p + needle.size() <= to; ++p)
      if (ModelMatch(s, p, needle, fold))
        return p;
  }
  return TextBuffer::npos;
}

#include "text/ChunkFinder.h"

#include "text/TextBuffer.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// A needle with its fold: which bytes may start a match, whether plain byte
// comparison (memchr, memcmp) is enough, and the test of its two ends.
class ChunkFinder::Matcher {
public:
  Matcher(std::string_view needle, const ByteFold* fold) : needle_(needle), fold_(fold) {
    exact_ = true;
    if (fold)
      for (char c : needle)
        if (fold->ClassSize(static_cast<unsigned char>(c)) > 1)
          exact_ = false;
    if (!exact_) {
      const unsigned char first = (*fold)[static_cast<unsigned char>(needle[0])];
      for (std::size_t c = 0; c < 256; ++c)
        starts_[c] = (*fold)[static_cast<unsigned char>(c)] == first;
    }
    filtered_ = first_.Build(fold, static_cast<unsigned char>(needle.front())) &&
                last_.Build(fold, static_cast<unsigned char>(needle.back()));
  }

  bool exact() const { return exact_; }
  // Whether NextCandidate may be used.
  bool filtered() const { return filtered_; }
  std::size_t size() const { return needle_.size(); }
  const char* data() const { return needle_.data(); }
  char first() const { return needle_[0]; }
  bool Starts(char c) const { return starts_[static_cast<unsigned char>(c)]; }

  // Whether needle bytes [k, k + n) equal data[0, n).
  bool Equal(const char* data, std::size_t k, std::size_t n) const {
    if (exact_)
      return std::memcmp(data, needle_.data() + k, n) == 0;
    const ByteFold& fold = *fold_;
    for (std::size_t j = 0; j < n; ++j)
      if (fold[static_cast<unsigned char>(data[j])] !=
          fold[static_cast<unsigned char>(needle_[k + j])])
        return false;
    return true;
  }

  // The first s in [s, end) whose bytes s and s + size() - 1 may be the
  // needle's first and last, or end; bytes[end + size() - 2] must be
  // readable. Testing both ends at once lets a folded search skip most of a
  // text sixteen bytes at a time, whatever the fold.
  std::size_t NextCandidate(const char* bytes, std::size_t s, std::size_t end) const {
    const std::size_t back = needle_.size() - 1;
#ifdef __SSE2__
    const __m128i firstBit = _mm_set1_epi8(static_cast<char>(first_.bit));
    const __m128i firstValue = _mm_set1_epi8(static_cast<char>(first_.value));
    const __m128i lastBit = _mm_set1_epi8(static_cast<char>(last_.bit));
    const __m128i lastValue = _mm_set1_epi8(static_cast<char>(last_.value));
    for (; end - s >= 16; s += 16) {
      const auto* at = reinterpret_cast<const __m128i*>(bytes + s);
      const auto* atBack = reinterpret_cast<const __m128i*>(bytes + s + back);
      const __m128i a = _mm_cmpeq_epi8(_mm_or_si128(_mm_loadu_si128(at), firstBit), firstValue);
      const __m128i b = _mm_cmpeq_epi8(_mm_or_si128(_mm_loadu_si128(atBack), lastBit), lastValue);
      if (const int hits = _mm_movemask_epi8(_mm_and_si128(a, b)))
        return s + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
    }
#endif
    for (; s < end; ++s)
      if (first_.May(bytes[s]) && last_.May(bytes[s + back]))
        return s;
    return end;
  }

private:
  // The bytes a fold class may hold, tested as (byte | bit) == value: a
  // class of one byte, or of two that differ only in bit 0x20 (the case bit
  // of ISO 8859-1 letters). Bytes it lets through are checked in full.
  struct ClassTest {
    unsigned char bit = 0;
    unsigned char value = 0;
    bool Build(const ByteFold* fold, unsigned char c) {
      const std::size_t size = fold ? fold->ClassSize(c) : 1;
      const auto other = static_cast<unsigned char>(c ^ 0x20);
      if (size > 2 || (size == 2 && (*fold)[other] != (*fold)[c]))
        return false;
      bit = size == 2 ? 0x20 : 0;
      value = static_cast<unsigned char>(c | bit);
      return true;
    }
    bool May(char c) const { return (static_cast<unsigned char>(c) | bit) == value; }
  };

  std::string_view needle_;
  const ByteFold* fold_;
  bool exact_;
  bool filtered_ = false;
  bool starts_[256] = {};
  ClassTest first_;
  ClassTest last_;
};

std::size_t ChunkFinder::Find(const TextBuffer& text, std::string_view needle, std::size_t from,
                              std::size_t to, const ByteFold* fold) {
  to = std::min(to, text.Size());
  if (from > to || to - from < needle.size())
    return TextBuffer::npos;
  if (needle.empty())
    return from;
  const Matcher m(needle, fold);
  return FindIn(text, m, from, to - needle.size());
}

std::size_t ChunkFinder::FindBackward(const TextBuffer& text, std::string_view needle,
                                      std::size_t from, std::size_t to, const ByteFold* fold) {
  to = std::min(to, text.Size());
  if (from > to || to - from < needle.size())
    return TextBuffer::npos;
  if (needle.empty())
    return to;
  const Matcher m(needle, fold);
  return FindBackIn(text, m, from, to - needle.size());
}

bool ChunkFinder::MatchesAt(const TextBuffer& text, const Matcher& m, std::size_t chunk,
                            std::size_t rest) {
  for (std::size_t k = 0; k < m.size(); ++chunk, rest = 0) {
    const TextBuffer::Chunk& c = *text.chunks_[chunk];
    const std::size_t n = std::min(c.size - rest, m.size() - k);
    if (!m.Equal(text.Bytes(chunk) + rest, k, n))
      return false;
    k += n;
  }
  return true;
}

std::size_t ChunkFinder::FindIn(const TextBuffer& text, const Matcher& m, std::size_t from,
                                std::size_t lastStart) {
  const std::size_t n = m.size();
  TextBuffer::Place at = text.Locate(from);
  std::size_t chunkStart = from - at.rest;
  for (std::size_t i = at.chunk; chunkStart <= lastStart; ++i) {
    const TextBuffer::Chunk& c = *text.chunks_[i];
    const char* bytes = text.Bytes(i);
    // A match that runs over many chunks read back from disk may push this
    // one out of those kept: its bytes are asked for again after each try.
    const auto matches = [&](std::size_t s) {
      const bool hit = MatchesAt(text, m, i, s);
      bytes = text.Bytes(i);
      return hit;
    };
    // Local offsets where a match may start: [lo, hi].
    const std::size_t lo = at.rest;
    const std::size_t hi = std::min(c.size - 1, lastStart - chunkStart);
    std::size_t s = lo;
    if (m.filtered() && lo + n <= c.size) {
      // Matches inside the chunk come before any that run into the next one.
      const std::size_t end = std::min(c.size - n + 1, hi + 1);
      for (; (s = m.NextCandidate(bytes, s, end)) < end; ++s)
        if (matches(s))
          return chunkStart + s;
    }
    // Those that start here and end in a later chunk (or all of them when the
    // filter cannot serve the fold).
    if (m.exact()) {
      while (s <= hi) {
        const void* p = std::memchr(bytes + s, m.first(), hi + 1 - s);
        if (!p)
          break;
        s = static_cast<std::size_t>(static_cast<const char*>(p) - bytes);
        if (matches(s))
          return chunkStart + s;
        ++s;
      }
    } else {
      for (; s <= hi; ++s)
        if (m.Starts(bytes[s]) && matches(s))
          return chunkStart + s;
    }
    chunkStart += c.size;
    at.rest = 0;
  }
  return TextBuffer::npos;
}

std::size_t ChunkFinder::FindBackIn(const TextBuffer& text, const Matcher& m, std::size_t from,
                                    std::size_t lastStart) {
  const TextBuffer::Place at = text.Locate(lastStart);
  std::size_t chunkStart = lastStart - at.rest;
  std::size_t hi = at.rest;
  for (std::size_t i = at.chunk;; --i) {
    const char* bytes = text.Bytes(i);
    const auto matches = [&](std::size_t s) {
      const bool hit = MatchesAt(text, m, i, s);
      bytes = text.Bytes(i);
      return hit;
    };
    const std::size_t lo = from > chunkStart ? from - chunkStart : 0;
    // Candidates in [lo, hi], last first; `end` is one past the next to try.
    std::size_t end = hi + 1;
    if (m.exact()) {
      while (end > lo) {
        const void* p = memrchr(bytes + lo, m.first(), end - lo);
        if (!p)
          break;
        const std::size_t s = static_cast<std::size_t>(static_cast<const char*>(p) - bytes);
        if (matches(s))
          return chunkStart + s;
        end = s;
      }
    } else {
      for (; end > lo; --end)
        if (m.Starts(bytes[end - 1]) && matches(end - 1))
          return chunkStart + end - 1;
    }
    if (chunkStart <= from || i == 0)
      return TextBuffer::npos;
    hi = text.chunks_[i - 1]->size - 1;
    chunkStart -= text.chunks_[i - 1]->size;
  }
}

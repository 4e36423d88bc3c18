#include "ui/TextSearch.h"

#include "text/TextBuffer.h"

namespace {

enum ByteClass : unsigned char { LineEnd, Blank, WordChar, Punctuation };

const std::array<unsigned char, 256>& Classes() {
  static const std::array<unsigned char, 256> classes = [] {
    std::array<unsigned char, 256> c{};
    for (int b = 0; b < 256; ++b) {
      if (b == '\n' || b == '\r')
        c[b] = LineEnd;
      else if (b <= ' ')
        c[b] = Blank;
      else if (b >= 0x80 || b == '_' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
               (b >= 'a' && b <= 'z'))
        c[b] = WordChar;
      else
        c[b] = Punctuation;
    }
    return c;
  }();
  return classes;
}

bool InWord(unsigned char cls) {
  return cls == WordChar || cls == Punctuation;
}

} // namespace

TextSearch::TextSearch(const std::string& pattern, bool matchCase, bool wholeWord)
    : fold_(matchCase ? ByteFold::Exact() : ByteFold::Latin1Case()), wholeWord_(wholeWord) {
  const auto n = static_cast<int64_t>(pattern.size());
  folded_.resize(pattern.size());
  shift_.fill(n);
  for (int64_t i = 0; i < n; ++i) {
    const auto folded = fold_[static_cast<unsigned char>(pattern[i])];
    folded_[i] = static_cast<char>(folded);
    if (i < n - 1)
      shift_[folded] = n - 1 - i;
  }
}

bool TextSearch::WordStart(int before, unsigned char first) {
  if (before < 0)
    return true;
  const unsigned char cls = Classes()[first];
  return InWord(cls) && cls != Classes()[static_cast<unsigned char>(before)];
}

bool TextSearch::WordEnd(unsigned char last, int after) {
  if (after < 0)
    return true;
  const unsigned char cls = Classes()[last];
  return InWord(cls) && cls != Classes()[static_cast<unsigned char>(after)];
}

int64_t TextSearch::FindIn(const unsigned char* bytes, int64_t first, int64_t length,
                           int64_t from) const {
  const auto n = static_cast<int64_t>(folded_.size());
  from = from < 0 ? 0 : from;
  if (n == 0 || length - from < n)
    return -1;
  // From here on positions count from `bytes`.
  const int64_t end = length - first;
  const ByteFold& fold = fold_;
  const auto* folded = reinterpret_cast<const unsigned char*>(folded_.data());
  const unsigned char last = folded[n - 1];
  for (int64_t pos = from - first; pos <= end - n;) {
    const unsigned char c = fold[bytes[pos + n - 1]];
    if (c == last) {
      int64_t i = n - 2;
      while (i >= 0 && fold[bytes[pos + i]] == folded[i])
        --i;
      if (i < 0 &&
          (!wholeWord_ || (WordStart(pos + first == 0 ? -1 : bytes[pos - 1], bytes[pos]) &&
                           WordEnd(bytes[pos + n - 1], pos + n < end ? bytes[pos + n] : -1))))
        return pos + first;
    }
    pos += shift_[c];
  }
  return -1;
}

int64_t TextSearch::FindIn(const TextBuffer& text, int64_t from, int before) const {
  const auto n = static_cast<std::size_t>(folded_.size());
  const auto size = text.Size();
  if (n == 0)
    return -1;
  const auto start = static_cast<std::size_t>(from < 0 ? 0 : from);
  for (std::size_t at = start;; ++at) {
    at = text.Find(folded_, at, TextBuffer::npos, &fold_);
    if (at == TextBuffer::npos)
      return -1;
    if (!wholeWord_)
      return static_cast<int64_t>(at);
    const int prev = at == start ? before : static_cast<unsigned char>(text.At(at - 1));
    const int next = at + n < size ? static_cast<unsigned char>(text.At(at + n)) : -1;
    if (WordStart(prev, static_cast<unsigned char>(text.At(at))) &&
        WordEnd(static_cast<unsigned char>(text.At(at + n - 1)), next))
      return static_cast<int64_t>(at);
  }
}

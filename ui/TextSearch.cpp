#include "ui/TextSearch.h"

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

const std::array<unsigned char, 256>& ExactFold() {
  static const std::array<unsigned char, 256> fold = [] {
    std::array<unsigned char, 256> f{};
    for (int b = 0; b < 256; ++b)
      f[b] = static_cast<unsigned char>(b);
    return f;
  }();
  return fold;
}

const std::array<unsigned char, 256>& CaselessFold() {
  static const std::array<unsigned char, 256> fold = [] {
    std::array<unsigned char, 256> f = ExactFold();
    for (int b = 'A'; b <= 'Z'; ++b)
      f[b] = static_cast<unsigned char>(b + 32);
    for (int b = 0xC0; b <= 0xDE; ++b)
      if (b != 0xD7)
        f[b] = static_cast<unsigned char>(b + 32);
    return f;
  }();
  return fold;
}

bool InWord(unsigned char cls) {
  return cls == WordChar || cls == Punctuation;
}

} // namespace

TextSearch::TextSearch(const std::string& pattern, bool matchCase, bool wholeWord)
    : fold_(matchCase ? &ExactFold() : &CaselessFold()), wholeWord_(wholeWord) {
  const auto n = static_cast<int64_t>(pattern.size());
  folded_.resize(pattern.size());
  shift_.fill(n);
  for (int64_t i = 0; i < n; ++i) {
    const auto folded = (*fold_)[static_cast<unsigned char>(pattern[i])];
    folded_[i] = static_cast<char>(folded);
    if (i < n - 1)
      shift_[folded] = n - 1 - i;
  }
}

bool TextSearch::WordStart(const unsigned char* bytes, int64_t position) const {
  // Only the text's own start is position 0: any other start of `bytes`
  // lies before the first position searched.
  if (position == 0)
    return true;
  const unsigned char cls = Classes()[bytes[position]];
  return InWord(cls) && cls != Classes()[bytes[position - 1]];
}

bool TextSearch::WordEnd(const unsigned char* bytes, int64_t length, int64_t end) const {
  if (end >= length)
    return true;
  const unsigned char before = Classes()[bytes[end - 1]];
  return InWord(before) && before != Classes()[bytes[end]];
}

int64_t TextSearch::FindIn(const unsigned char* bytes, int64_t first, int64_t length,
                           int64_t from) const {
  const auto n = static_cast<int64_t>(folded_.size());
  from = from < 0 ? 0 : from;
  if (n == 0 || length - from < n)
    return -1;
  // From here on positions count from `bytes`.
  const int64_t end = length - first;
  const auto& fold = *fold_;
  const auto* folded = reinterpret_cast<const unsigned char*>(folded_.data());
  const unsigned char last = folded[n - 1];
  for (int64_t pos = from - first; pos <= end - n;) {
    const unsigned char c = fold[bytes[pos + n - 1]];
    if (c == last) {
      int64_t i = n - 2;
      while (i >= 0 && fold[bytes[pos + i]] == folded[i])
        --i;
      if (i < 0 && (!wholeWord_ || (WordStart(bytes, pos) && WordEnd(bytes, end, pos + n))))
        return pos + first;
    }
    pos += shift_[c];
  }
  return -1;
}

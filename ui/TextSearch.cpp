#include "ui/TextSearch.h"

#include "text/TextBuffer.h"

#include <algorithm>
#include <array>

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
  folded_.reserve(pattern.size());
  for (const char c : pattern)
    folded_.push_back(static_cast<char>(fold_[static_cast<unsigned char>(c)]));
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

int64_t TextSearch::FindIn(const TextBuffer& text, int64_t from, int before,
                           int64_t startsBefore) const {
  const auto n = static_cast<std::size_t>(folded_.size());
  const auto size = text.Size();
  if (n == 0)
    return -1;
  const auto start = static_cast<std::size_t>(from < 0 ? 0 : from);
  // A match lies wholly inside what Find searches.
  const std::size_t end = startsBefore >= static_cast<int64_t>(size - std::min(size, n - 1))
                              ? TextBuffer::npos
                              : static_cast<std::size_t>(startsBefore) + n - 1;
  for (std::size_t at = start;; ++at) {
    at = text.Find(folded_, at, end, &fold_);
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

#include "ui/ReplacedText.h"

#include "text/SpillFile.h"
#include "text/TextBudget.h"
#include "ui/TextSearch.h"

#include <algorithm>
#include <new>

namespace {
// The new text is checked against the memory left this often.
constexpr std::size_t kGrowthCheck = std::size_t(16) << 20;
// The old text is copied and searched in slices, so that the pulse comes
// between them: a copy of 1 MiB takes well under a millisecond, a search
// through 4 MiB a few.
constexpr int64_t kCopySlice = int64_t(1) << 20;
constexpr int64_t kSearchSlice = int64_t(4) << 20;
// The clock is read once this much work has gone by, a match counting as
// many bytes copied: every few thousand matches, every slice copied.
constexpr std::size_t kMatchWork = 64;
constexpr std::size_t kWorkPerLook = std::size_t(256) << 10;
} // namespace

ReplacedText::ReplacedText(const TextBuffer& old, const TextSearch& search,
                           const QByteArray& replacement)
    : old_(old), search_(search), replacement_(replacement) {}

void ReplacedText::Make(int64_t from, const Pulse& pulse, int everyMs) {
  pulse_ = &pulse;
  everyMs_ = everyMs;
  clock_.start();
  const auto oldLength = static_cast<int64_t>(old_.Size());
  from = std::clamp<int64_t>(from, 0, oldLength);
  made_.AllowSpill();
  // Checked as large as the old one first, then as it outgrows that.
  allowed_ = static_cast<std::size_t>(oldLength);
  if (!growth_.Allows(TextBudget::InMemoryShare(allowed_)))
    throw std::bad_alloc();
  CopyOld(0, from);
  source_ = from;
  caret_ = from;
  const auto needle = static_cast<int64_t>(search_.Length());
  for (int64_t found = NextMatch(); found >= 0; found = NextMatch()) {
    Grow(replacement_.constData(), static_cast<std::size_t>(replacement_.size()));
    source_ = found + needle;
    caret_ = static_cast<int64_t>(made_.Size());
    ++count_;
    Done(kMatchWork);
  }
  CopyOld(source_, oldLength);
  made_.CollectSpilled(true);
  if (made_.SpillError() != 0)
    throw SpillFailure();
}

int64_t ReplacedText::NextMatch() {
  const auto oldLength = static_cast<int64_t>(old_.Size());
  for (;;) {
    const int before = made_.Empty() ? -1 : static_cast<unsigned char>(made_.At(made_.Size() - 1));
    const int64_t sliceEnd = source_ + std::min(kSearchSlice, oldLength - source_);
    const int64_t found = search_.FindIn(old_, source_, before, sliceEnd);
    if (found >= 0) {
      CopyOld(source_, found);
      return found;
    }
    if (sliceEnd >= oldLength)
      return -1;
    // No match starts in the slice: it is old text, and the search goes on
    // after it with its last byte before.
    CopyOld(source_, sliceEnd);
    source_ = sliceEnd;
  }
}

void ReplacedText::CopyOld(int64_t begin, int64_t end) {
  const auto grow = [this](const char* data, std::size_t length) { Grow(data, length); };
  while (begin < end) {
    const int64_t stop = std::min(end, begin + kCopySlice);
    old_.VisitRange(static_cast<std::size_t>(begin), static_cast<std::size_t>(stop), grow);
    Done(static_cast<std::size_t>(stop - begin));
    begin = stop;
  }
}

void ReplacedText::Grow(const char* data, std::size_t length) {
  if (made_.Size() + length > allowed_) {
    if (!growth_.Allows(TextBudget::InMemoryShare(kGrowthCheck)))
      throw std::bad_alloc();
    allowed_ += kGrowthCheck;
  }
  made_.Append(data, length);
  if (made_.SpillError() != 0)
    throw SpillFailure();
}

void ReplacedText::Done(std::size_t work) {
  work_ += work;
  if (work_ < kWorkPerLook)
    return;
  work_ = 0;
  if (clock_.elapsed() < everyMs_)
    return;
  (*pulse_)(source_);
  clock_.restart();
}

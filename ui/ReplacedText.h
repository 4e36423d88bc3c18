#pragma once
// The new text of a Replace All, made in one pass beside the old one: the
// step-by-step rule (each search goes on after the text put in), where the
// text after the caret is always the old text from the search's place on,
// and only the byte before the caret, which the whole-word rule reads, may
// come from a replacement. Splicing each match into the text instead would
// move half a chunk per match.
//
// All or nothing: what of the new text stays in memory must fit in the
// memory left (std::bad_alloc), and the rest on disk (SpillFailure).

#include "memory/MemoryGrowth.h"
#include "text/TextBuffer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <cstdint>
#include <functional>

class TextSearch;

class ReplacedText {
public:
  // Heard at least every `everyMs` of work with how far the search has got
  // in the old text. It may let events run, and may throw to give up the
  // new text; the old text must then not be touched again, as an event
  // may have freed it.
  using Pulse = std::function<void(int64_t searched)>;

  // `old`, `search` and `replacement` must outlive Make.
  ReplacedText(const TextBuffer& old, const TextSearch& search, const QByteArray& replacement);

  // Replaces every match from `from` on.
  void Make(int64_t from, const Pulse& pulse, int everyMs);
  // After Make: how many matches were replaced, and the position after the
  // last replacement (`from` when there was none).
  int64_t Count() const { return count_; }
  int64_t Caret() const { return caret_; }
  TextBuffer Take() { return std::move(made_); }

private:
  // Copies old[begin, end) a slice at a time, the pulse heard between.
  void CopyOld(int64_t begin, int64_t end);
  void Grow(const char* data, std::size_t length);
  // The first match from `source` on, searched a slice at a time; what
  // lies before it is copied as the search passes it. -1 at the end.
  int64_t NextMatch();
  // Counts `work` done and heeds the pulse once enough has gone by.
  void Done(std::size_t work);

  const TextBuffer& old_;
  const TextSearch& search_;
  const QByteArray& replacement_;
  TextBuffer made_;
  MemoryGrowth growth_;
  std::size_t allowed_ = 0; // of made_, checked against the memory left
  int64_t source_ = 0;      // the old text's position at the caret
  int64_t caret_ = 0;
  int64_t count_ = 0;
  std::size_t work_ = 0; // since the clock was last read
  const Pulse* pulse_ = nullptr;
  int everyMs_ = 0;
  QElapsedTimer clock_;
};

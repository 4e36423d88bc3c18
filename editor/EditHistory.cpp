#include "editor/EditHistory.h"

#include "editor/WordRule.h"

void EditHistory::Record(EditStep step) {
  steps_.resize(done_);
  steps_.push_back(std::move(step));
  done_ = steps_.size();
  typing_ = false;
}

bool EditHistory::JoinsTyping(const EditStep& step, int64_t atMsecs) const {
  if (!typing_ || done_ == 0 || done_ != steps_.size() || step.inserted.Empty() ||
      atMsecs - lastTyped_ >= kPauseMsecs)
    return false;
  const EditStep& last = steps_.back();
  if (!last.inserted.CanGrow() || last.position + last.inserted.Size() != step.position)
    return false;
  // Typing over text (overtype) joins too: what it took lies right after
  // what the step before took, so one step can give all of it back.
  if (!step.removed.Empty() &&
      (!last.removed.CanGrow() || step.removed.Size() != step.inserted.Size()))
    return false;
  const std::string more = step.inserted.Bytes();
  // A word typed after a blank or punctuation starts a step of its own.
  return !(WordRule::IsWord(more.front()) && !last.inserted.Empty() &&
           !WordRule::IsWord(last.inserted.Back()));
}

void EditHistory::RecordTyping(EditStep step, int64_t atMsecs) {
  if (JoinsTyping(step, atMsecs)) {
    steps_.back().inserted.Grow(step.inserted.Bytes());
    if (!step.removed.Empty())
      steps_.back().removed.Grow(step.removed.Bytes());
  } else
    Record(std::move(step));
  typing_ = true;
  lastTyped_ = atMsecs;
}

const EditStep& EditHistory::Undo() {
  typing_ = false;
  return steps_[--done_];
}

const EditStep& EditHistory::Redo() {
  typing_ = false;
  return steps_[done_++];
}

void EditHistory::Clear() {
  steps_.clear();
  done_ = 0;
  typing_ = false;
}

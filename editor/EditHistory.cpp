#include "editor/EditHistory.h"

#include "editor/WordRule.h"

void EditHistory::Record(EditStep step) {
  steps_.resize(done_);
  steps_.push_back(std::move(step));
  done_ = steps_.size();
  run_ = Run::None;
}

bool EditHistory::JoinsTyping(const EditStep& step, int64_t atMsecs) const {
  if (run_ != Run::Typing || done_ == 0 || done_ != steps_.size() || step.inserted.Empty() ||
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
  run_ = Run::Typing;
  lastTyped_ = atMsecs;
}

bool EditHistory::JoinsDeletion(const EditStep& step, Direction direction, int64_t atMsecs) const {
  const Run run = direction == Direction::Backward ? Run::Backward : Run::Forward;
  if (run_ != run || done_ == 0 || done_ != steps_.size() || !step.inserted.Empty() ||
      atMsecs - lastTyped_ >= kPauseMsecs)
    return false;
  const EditStep& last = steps_.back();
  // A step stays small enough to be kept as bytes.
  if (!last.inserted.Empty() || !last.removed.CanGrow() ||
      last.removed.Size() + step.removed.Size() > TextPiece::kCopyLimit)
    return false;
  return direction == Direction::Backward ? step.position + step.removed.Size() == last.position
                                          : step.position == last.position;
}

void EditHistory::RecordDeletion(EditStep step, Direction direction, int64_t atMsecs) {
  if (JoinsDeletion(step, direction, atMsecs)) {
    EditStep& last = steps_.back();
    if (direction == Direction::Backward) {
      last.removed.GrowFront(step.removed.Bytes());
      last.position = step.position;
    } else
      last.removed.Grow(step.removed.Bytes());
  } else
    Record(std::move(step));
  run_ = direction == Direction::Backward ? Run::Backward : Run::Forward;
  lastTyped_ = atMsecs;
}

const EditStep& EditHistory::Undo() {
  run_ = Run::None;
  return steps_[--done_];
}

const EditStep& EditHistory::Redo() {
  run_ = Run::None;
  return steps_[done_++];
}

void EditHistory::Clear() {
  steps_.clear();
  done_ = 0;
  run_ = Run::None;
}

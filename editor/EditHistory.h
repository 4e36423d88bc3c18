#pragma once
// The user's own edits, for undo and redo. Each step replaced the text
// `removed` at `position` with `inserted`. Typed characters join the step
// before them while they go on from where it ended, without a pause and
// without starting a new word, so that undo takes back a word at a time.
// Bytes taken one by one with Backspace, or with Delete, join the same way,
// but across words: a run of either is taken back whole.

#include "editor/TextPiece.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct EditStep {
  std::size_t position = 0;
  TextPiece removed;
  TextPiece inserted;
  // Undone and redone with the step before it, as one (a drag that moves
  // text takes it out, then puts it in).
  bool withPrevious = false;
};

class EditHistory {
public:
  // Typing that waits this long starts a new step.
  static constexpr int64_t kPauseMsecs = 1000;
  // Which way a key deletes: Backspace the byte before the caret, Delete
  // the one after it.
  enum class Direction { Backward, Forward };

  // A new step; the steps undone before it can no longer be redone.
  void Record(EditStep step);
  // A typed insertion at `atMsecs` (a monotonic clock).
  void RecordTyping(EditStep step, int64_t atMsecs);
  // A deletion by a key at `atMsecs`, which joins the step before it when
  // that was a deletion in the same direction right beside it.
  void RecordDeletion(EditStep step, Direction direction, int64_t atMsecs);
  // Ends the current typing step: the next typed character starts a new one.
  void Seal() { run_ = Run::None; }
  // The step recorded last goes with the one before it.
  void JoinLast() {
    if (done_ > 1 && done_ == steps_.size())
      steps_.back().withPrevious = true;
  }

  bool CanUndo() const { return done_ > 0; }
  bool CanRedo() const { return done_ < steps_.size(); }
  // The step to take back (or make again); it moves to the other side.
  // Steps that go together are taken one after another, until these say
  // the whole edit is back (or made again).
  const EditStep& Undo();
  const EditStep& Redo();
  bool UndoGoesOn() const { return done_ < steps_.size() && steps_[done_].withPrevious; }
  bool RedoGoesOn() const { return CanRedo() && steps_[done_].withPrevious; }
  void Clear();

private:
  // What the last step was made by, while later keys may still join it.
  enum class Run { None, Typing, Backward, Forward };

  bool JoinsTyping(const EditStep& step, int64_t atMsecs) const;
  bool JoinsDeletion(const EditStep& step, Direction direction, int64_t atMsecs) const;

  std::vector<EditStep> steps_;
  std::size_t done_ = 0;
  Run run_ = Run::None;
  int64_t lastTyped_ = 0;
};

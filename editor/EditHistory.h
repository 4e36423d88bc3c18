#pragma once
// The user's own edits, for undo and redo. Each step replaced the text
// `removed` at `position` with `inserted`. Typed characters join the step
// before them while they go on from where it ended, without a pause and
// without starting a new word, so that undo takes back a word at a time.

#include "editor/TextPiece.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct EditStep {
  std::size_t position = 0;
  TextPiece removed;
  TextPiece inserted;
};

class EditHistory {
public:
  // Typing that waits this long starts a new step.
  static constexpr int64_t kPauseMsecs = 1000;

  // A new step; the steps undone before it can no longer be redone.
  void Record(EditStep step);
  // A typed insertion at `atMsecs` (a monotonic clock).
  void RecordTyping(EditStep step, int64_t atMsecs);
  // Ends the current typing step: the next typed character starts a new one.
  void Seal() { typing_ = false; }

  bool CanUndo() const { return done_ > 0; }
  bool CanRedo() const { return done_ < steps_.size(); }
  // The step to take back (or make again); it moves to the other side.
  const EditStep& Undo();
  const EditStep& Redo();
  void Clear();

private:
  bool JoinsTyping(const EditStep& step, int64_t atMsecs) const;

  std::vector<EditStep> steps_;
  std::size_t done_ = 0;
  bool typing_ = false;
  int64_t lastTyped_ = 0;
};

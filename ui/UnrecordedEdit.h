#pragma once
// Changes to an editor that are not edits of the user's: undo collection is
// off while they are made, and the undo history is emptied afterwards,
// because its earlier steps no longer fit the text. A quiet one also holds
// back the editor's change notifications, each of which costs work that
// grows with the position of the change: a large fill or a long Replace
// All would otherwise take seconds.

class QsciScintilla;

class UnrecordedEdit {
public:
  UnrecordedEdit(QsciScintilla* edit, bool quiet);
  ~UnrecordedEdit();
  UnrecordedEdit(const UnrecordedEdit&) = delete;
  UnrecordedEdit& operator=(const UnrecordedEdit&) = delete;

private:
  QsciScintilla* edit_;
  bool quiet_;
  long eventMask_ = 0;
};

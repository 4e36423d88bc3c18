#pragma once
// What assistive technology (a screen reader, through AT-SPI) learns of a
// TextView: its text by ranges and by characters, words and lines, the
// caret, the selection and where characters are on screen; and edits made
// through it. The text may be hundreds of megabytes, so an answer reads only
// the bytes it returns and those of the piece around its offset, never the
// whole text, and no answer holds more than kMaxAnswer characters.
//
// Offsets are int, as the interfaces have them: of a text longer than
// INT_MAX bytes the first INT_MAX are offered. A byte is the ISO 8859-1
// character of its number, as the view shows it.

#include <QAccessibleWidget>
#include <cstdint>

class TextView;

class TextViewAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
  static constexpr int kMaxAnswer = 1 << 20;
  // A change notice holds at most the first kMaxNotice characters of what
  // changed: a screen reader speaks no more of it, and a pass appending a
  // megabyte at a time would otherwise send each megabyte over D-Bus.
  static constexpr int kMaxNotice = 4096;

  explicit TextViewAccessible(TextView* view);

  // Gives every TextView made from now on this interface.
  static void Install();
  // What the view tells listening assistive technology; nothing is read or
  // sent while none listens. Removal is told before the bytes leave,
  // insertion after they are in.
  static void NoteRemoval(TextView* view, int64_t from, int64_t to);
  static void NoteInsertion(TextView* view, int64_t from, int64_t to);
  // After the caret or the selection may have moved: tells what did.
  static void NoteSelection(TextView* view);

  // The text is the whole of the object: the viewport and the scroll bars
  // are no children of their own.
  QAccessible::Role role() const override;
  QAccessible::State state() const override;
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;
  void* interface_cast(QAccessible::InterfaceType type) override;

  void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
  int selectionCount() const override;
  void addSelection(int startOffset, int endOffset) override;
  void removeSelection(int selectionIndex) override;
  void setSelection(int selectionIndex, int startOffset, int endOffset) override;
  int cursorPosition() const override;
  void setCursorPosition(int position) override;
  QString text(int startOffset, int endOffset) const override;
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                           int* endOffset) const override;
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                          int* endOffset) const override;
  QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                       int* endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint& point) const override;
  void scrollToSubstring(int startIndex, int endIndex) override;
  QString attributes(int offset, int* startOffset, int* endOffset) const override;

  void deleteText(int startOffset, int endOffset) override;
  void insertText(int offset, const QString& text) override;
  void replaceText(int startOffset, int endOffset, const QString& text) override;

  using QAccessibleWidget::text;

private:
  // A piece of the text, [start, end).
  struct Piece {
    int64_t start;
    int64_t end;
  };

  TextView* View() const;
  int64_t Count() const;
  // The character, word (a run of one word class) or line (with its line
  // break) at `offset`, which is at most Count(); the whole text for
  // NoBoundary.
  Piece PieceAt(int64_t offset, QAccessible::TextBoundaryType type) const;
  Piece WordAt(int64_t offset) const;
  Piece LineAt(int64_t offset) const;
  // The piece's text, with its bounds put out.
  QString Answer(Piece piece, int* startOffset, int* endOffset) const;
  // At most `limit` characters of [from, to).
  static QString Read(const TextView& view, int64_t from, int64_t to, int limit = kMaxAnswer);
  static TextViewAccessible* Listening(TextView* view);

  // The caret and selection last told (-1: no selection), so that a notice
  // says only what moved.
  int64_t toldCaret_;
  int64_t toldStart_;
  int64_t toldEnd_;
};

#pragma once
// The document editor: 8-bit text held in a TextBuffer, drawn by the program
// itself one screen at a time. Positions count bytes (a line break is one
// LF), lines and columns count from 0; all of them are 64-bit, and nothing
// the view does costs more for a position deep in a huge text or line than
// for one at its start, but for the first look at a long line (LineColumns).
//
// Bytes are shown as ISO 8859-1 characters in a fixed-pitch font, one column
// each; control bytes as a small coloured box with their hex value in one column, and a tab
// up to the next multiple of 8 columns. Long lines are never wrapped.

#include "editor/EditHistory.h"
#include "editor/LineColumns.h"
#include "editor/LinePainter.h"
#include "editor/ScrollMapping.h"
#include "memory/EditRoom.h"
#include "text/TextBuffer.h"
#include "text/TrackedRanges.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QClipboard>
#include <QElapsedTimer>
#include <QKeySequence>
#include <QList>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

class QMenu;

class SnapshotMimeData;

class TextView : public QAbstractScrollArea {
  Q_OBJECT
public:
  explicit TextView(QWidget* parent = nullptr);
  ~TextView() override;

  // The text.
  const TextBuffer& Text() const { return text_; }
  // Takes in the text's writes to disk that are done, and sends more while
  // it is over budget; never waits.
  void CollectSpilled() { text_.CollectSpilled(false); }
  int64_t Length() const { return static_cast<int64_t>(text_.Size()); }
  // The bytes text[from, to), clipped to the text.
  QByteArray Range(int64_t from, int64_t to) const;
  int64_t LineOf(int64_t position) const;
  int64_t LineStart(int64_t line) const;
  // Where the line's LF is, or Length() for the last line.
  int64_t LineEnd(int64_t line) const;
  int64_t LineCount() const { return static_cast<int64_t>(text_.LineCount()); }

  // The view.
  // Where text dragged over the view would go if dropped now; -1 when
  // nothing is dragged over it.
  int64_t DropPosition() const { return dropAt_; }
  int64_t FirstVisibleLine() const { return firstLine_; }
  int64_t FirstVisibleColumn() const { return firstColumn_; }
  // Lines and columns wholly in view.
  int64_t VisibleLineCount() const;
  int64_t VisibleColumnCount() const;
  bool WrapsLines() const { return false; }
  QFont TextFont() const { return font(); }
  // Magnification of the view in steps of one point (or pixel) of its font,
  // as Ctrl+wheel, Ctrl+Plus and Ctrl+Minus set it (Ctrl+0 undoes it); the
  // document's font, which printing uses, stays as it is.
  int Zoom() const { return zoom_; }
  void SetZoom(int steps);
  // Typed characters take the place of those after the caret, never of a
  // line break; the Insert key switches it.
  bool Overtype() const { return overtype_; }
  void SetOvertype(bool on);
  // What an input method is composing, shown at the caret until it is
  // committed (then typed) or dropped.
  QString Preedit() const { return preedit_; }
  // The first line and column in view, kept within the text.
  void ScrollTo(int64_t line, int64_t column);
  // The column at which the byte at `position` starts on its line.
  int64_t ColumnOf(int64_t position) const;
  // Cell size and the left edge of a column in viewport pixels (columns left
  // of the view give negative values).
  qreal ColumnWidth() const;
  int LineHeight() const;
  qreal XOfColumn(int64_t column) const;
  // The position nearest to a point of the viewport.
  int64_t PositionAt(QPoint point) const;
  const ScrollMapping& LineScroll() const { return lineScroll_; }
  const ScrollMapping& ColumnScroll() const { return columnScroll_; }

  // The selection runs from the anchor to the caret.
  int64_t Caret() const { return static_cast<int64_t>(caret_); }
  int64_t Anchor() const { return static_cast<int64_t>(anchor_); }
  int64_t SelectionStart() const { return static_cast<int64_t>(std::min(anchor_, caret_)); }
  int64_t SelectionEnd() const { return static_cast<int64_t>(std::max(anchor_, caret_)); }
  bool HasSelection() const { return anchor_ != caret_; }
  // Sets the selection and scrolls the caret into view.
  void Select(int64_t anchor, int64_t caret);
  void GoTo(int64_t position) { Select(position, position); }
  void SelectAll();
  // At most the first `limit` bytes of the selection.
  QByteArray SelectedText(int64_t limit = INT64_MAX) const;

  // Edits. The user's own edits can be undone; a change that is not the
  // user's (a fill, a replacement) empties the undo history, which no longer
  // fits the text.
  enum class Recording { Undoable, NotUndoable };
  // The caret ends after the bytes put in.
  void ReplaceSelection(const QByteArray& bytes, Recording recording);
  // Replaces text[from, to) the same way.
  void Replace(int64_t from, int64_t to, const QByteArray& bytes, Recording recording);
  // The clipboard holds the text as ISO 8859-1 characters; a pasted
  // character outside it becomes "?", CR LF or CR a line break. With no text
  // on the clipboard Paste changes nothing.
  void Cut();
  void Copy();
  void Paste();
  void DeleteSelection();
  void Undo();
  void Redo();
  bool CanUndo() const { return history_.CanUndo(); }
  bool CanRedo() const { return history_.CanRedo(); }
  // Not undoable: the text is emptied, or added to at its end; the caret
  // stays where it is.
  void Clear();
  // Clear, with the text handed to the caller (to be freed elsewhere).
  TextBuffer TakeText();
  void Append(const char* data, std::size_t length);
  // The same with a text made apart, whose bytes are not copied.
  void AppendText(TextBuffer&& text);
  // Between these, Append is expected to bring much text quickly: memory
  // for it is made ready on a thread of its own.
  void BeginGrowth();
  void EndGrowth();
  // Not undoable: the whole text replaced by `text` (made elsewhere, say by
  // Replace All), the caret at `caret`, the view where it was.
  void SetText(TextBuffer text, int64_t caret);
  // A run that may yet be rejected comes in pieces, appended as Append
  // does; they are followed through the user's edits until they are kept
  // or dropped, wherever they then stand. Dropping is not undoable.
  void AppendPiece(const char* data, std::size_t length);
  void DropPieces();
  void KeepPieces() { pieces_.Clear(); }

  // While busy (a Replace All makes a new text from this one, or a save
  // writes it) the user's keys, input, pastes, drops and edit commands
  // change nothing; the program's own changes (fills, SetText) still go in.
  void SetBusy(bool busy);
  bool Busy() const { return busy_; }

  // Keys that belong to menu items, which the view must leave alone.
  void ReserveKeys(const QList<QKeySequence>& keys);
  // The context menu of the view, its items enabled as they apply.
  QMenu* CreateContextMenu(QWidget* parent);

signals:
  // The selection or the caret moved, or the text changed.
  void SelectionChanged();
  void TextChanged();
  // An edit by the user's keys, pointer or context menu could not get its
  // memory and was not made: the text is as it was.
  void ChangeRefused();
  // Another program asked for text copied or dragged from this view, and
  // the memory left would not hold it: it was given nothing.
  void CopyTooLarge();
  // Part of the text could not be read back from disk; said once a text.
  void TextUnreadable();
  // Files dragged over the view are offered here before the view would take
  // them as text: accept the event to take them.
  void DropOffered(QDropEvent* event);

protected:
  bool event(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  enum class Unit { Byte, Word, Line, Page, Text };
  // Bytes [first, second) of the text.
  using Span = std::pair<std::size_t, std::size_t>;

  // Text changes.
  // Insertions larger than this are checked against the memory left first.
  static constexpr std::size_t kCheckedInsert = std::size_t(1) << 20;
  void Splice(std::size_t from, std::size_t to, const TextPiece& inserted);
  // Runs `change`, which inserts `inserted` bytes (kUnknownSize: not known
  // beforehand); should it run out of memory, the text, the selection and
  // the pieces followed are as they were, and std::bad_alloc goes on.
  static constexpr std::size_t kUnknownSize = SIZE_MAX;
  template <class Change> void AllOrNothing(Change change, std::size_t inserted = kUnknownSize);
  // Runs a command of the user's; one refused for want of memory is told
  // by ChangeRefused.
  template <class Command> void Refusable(Command command);
  bool HandleEvent(QEvent* event);
  void Edit(const TextPiece& inserted, bool typed);
  void Type(const QString& text);
  void CommitReplacing(const QString& text, int start, int length);
  Span ImContext() const;
  QVariant ImText(Qt::InputMethodQuery query) const;
  // Backspace and Delete: the selection, or else one byte; a run of either
  // is one step to undo.
  void DeleteByKey(EditHistory::Direction direction);
  void PastePiece(const TextPiece& piece);
  void PasteFrom(QClipboard::Mode mode);
  void PutOnClipboard(QClipboard::Mode mode) const;
  // The selection as clipboard or drag data.
  SnapshotMimeData* SelectionData(std::size_t from, std::size_t to) const;
  // Where X has a primary selection, a selection the user makes is offered
  // there (lazily, as Copy does).
  void OfferPrimary() const;
  void Restore(std::size_t at, std::size_t removed, const TextPiece& inserted);
  void TextHasChanged();
  // While writes of the text to disk are under way, takes them in now and
  // then, so that the memory they held goes back.
  void KeepSpilling();
  // Sends TextUnreadable the first time a read of the text failed.
  void TellIfUnreadable();
  bool OfferDrop(QDropEvent* event);

  // Moves.
  bool HandleCommand(const QKeyEvent* event);
  bool HandleMove(const QKeyEvent* event);
  bool IsReserved(const QKeyEvent* event) const;
  bool IsOwnKey(const QKeyEvent* event) const;
  static bool Typing(Qt::KeyboardModifiers mods);
  std::size_t Moved(int key, bool control) const;
  std::size_t LineMoved(int64_t lines) const;
  std::size_t WordLeft(std::size_t from) const;
  std::size_t WordRight(std::size_t from) const;
  // The word (or run of blanks or punctuation) at `position`, and its line
  // with the line break.
  Span WordAt(std::size_t position) const;
  Span LineAt(std::size_t position) const;
  void SelectWordAt(std::size_t position);
  void SelectLineAt(std::size_t position);
  void SetSelection(std::size_t anchor, std::size_t caret, bool keepColumn = false);
  void PlaceAfterChange(std::size_t caret);
  void EnsureCaretVisible();
  void AutoScroll();
  // A press that selected a word or a line goes on selecting by that unit
  // while the mouse is held.
  void StartUnitDrag(Unit unit, QPoint point);
  void DragTo(std::size_t position);
  // Text dragged over the view: where it would go, and scrolling while it
  // hovers near an edge.
  void HoverDrop(const QPoint& point);
  void DropScroll();
  void EndHover();
  void DragSelection();
  void MoveDraggedTo(std::size_t at);

  // Drawing.
  LinePainter::Colors Colors() const;
  // Paints one row of the view; the width of its line in columns.
  int64_t PaintLine(QPainter& painter, int64_t row, const LinePainter::Colors& colors);
  // The scroll ranges measured anew and shown in the bars.
  void UpdateScrollBars();
  void MeasureScroll();
  void ShowScrollBars();
  // The ranges at once; the bars at once, or soon while the text grows.
  void FollowSize();
  void NoteWidth(int64_t columns);
  void RestartBlink();
  // What every way of appending does after the bytes are in; `lastBefore`:
  // the last line before them, `sizeBefore` the length.
  void Appended(int64_t lastBefore, int64_t sizeBefore);
  QRect CaretRect() const;
  // A caret's bar at `position`; empty when it is not in view.
  QRect BarAt(std::size_t position) const;
  QFont ShownFont() const;
  void PaintPreedit(QPainter& painter) const;
  int PreeditWidth() const;
  int64_t PaintComposingLine(QPainter& painter, int64_t row, const LinePainter::Colors& colors);

  TextBuffer text_;
  TrackedRanges pieces_;                // of a run that may yet be dropped
  EditRoom room_;                       // whether an edit plainly has room in memory
  std::unique_ptr<ChunkSupply> supply_; // text_'s, between BeginGrowth and EndGrowth
  mutable LineColumns columns_;
  EditHistory history_;
  std::unique_ptr<LinePainter> painter_;
  QElapsedTimer clock_;

  std::size_t anchor_ = 0;
  std::size_t caret_ = 0;
  int64_t wantedColumn_ = -1; // kept by Up and Down; -1: the caret's

  int64_t firstLine_ = 0;
  int64_t firstColumn_ = 0;
  int64_t widest_ = 0; // the widest line seen, in columns
  ScrollMapping lineScroll_;
  ScrollMapping columnScroll_;
  // What the bars show, which lags behind while the text grows: a move of
  // a bar is read by it.
  ScrollMapping barLines_;
  ScrollMapping barColumns_;
  bool settingBars_ = false;

  QTimer blink_;
  bool caretShown_ = true;
  int zoom_ = 0;
  bool overtype_ = false;
  bool busy_ = false;
  QString preedit_;
  QTimer dragScroll_;
  bool dragging_ = false;
  // What a drag selects by, and the word or line it started from.
  Unit dragUnit_ = Unit::Byte;
  std::size_t unitFrom_ = 0;
  std::size_t unitTo_ = 0;
  // A press on the selection may start a drag of it: until the mouse has
  // moved far enough, or is let go (then it was a click).
  bool pressedOnSelection_ = false;
  QPoint pressPoint_;
  // The selection being dragged, and whether it was dropped in this view.
  std::size_t dragFrom_ = 0;
  std::size_t dragTo_ = 0;
  bool droppedHere_ = false;
  QPoint dragPoint_;
  // Text dragged over the view: where it would go (-1: none), the pointer.
  int64_t dropAt_ = -1;
  QPoint dropPoint_;
  QTimer dropScroll_;
  QTimer spillCollect_;
  QTimer barsDue_; // the bars' next showing while the text grows
  bool unreadableTold_ = false;
  QElapsedTimer sinceDoubleClick_;
  QPoint doubleClickPoint_;

  QList<QKeyCombination> reserved_;
  int wheelAngle_ = 0;
  std::string lineBytes_; // one row's bytes while painting
};

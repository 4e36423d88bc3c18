#pragma once
// The editor control of a document window, in the program's own terms:
// 8-bit text whose positions count bytes (a line break is one LF), a
// selection, edits that the user can undo or that are not the user's, a
// forward search, filling by an extraction pass, files written and read in
// slices, and printing. Nothing else in the program speaks to the control
// underneath.
//
// The search's case folding and word rule are TextSearch's (TextSearch.h).

#include "editor/TextView.h"
#include "text/LineEdge.h"
#include "ui/TextPrinter.h"

#include <QByteArray>
#include <QKeySequence>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

class QDropEvent;
class QFileDevice;
class QIODevice;
class QPrinter;
class ReplacedText;
class TextBuffer;
class TextSearch;

// Typing goes to the text area inside, the editor's focusProxy().
class TextEditor : public QWidget, public LineEdge::Target {
  Q_OBJECT
public:
  explicit TextEditor(QWidget* parent = nullptr);
  ~TextEditor() override;

  int64_t Length() const override;
  // The bytes text[from, to), clipped to the text.
  QByteArray Range(int64_t from, int64_t to) const;
  // Lines count from 0.
  int64_t LineOf(int64_t position) const;
  int64_t LineStart(int64_t line) const;
  int64_t LineCount() const;

  int64_t FirstVisibleLine() const;
  int64_t VisibleLineCount() const;
  // Long lines are never wrapped: a line of the text is a line on screen.
  bool WrapsLines() const;
  // The font the text is shown in.
  QFont TextFont() const;

  int64_t Caret() const;
  int64_t SelectionStart() const;
  int64_t SelectionEnd() const;
  bool HasSelection() const { return SelectionEnd() > SelectionStart(); }
  // The selection from `anchor` to the caret, which is scrolled into view.
  void Select(int64_t anchor, int64_t caret);
  // An empty selection at `position`, scrolled into view.
  void GoTo(int64_t position);
  void SelectAll();
  // At most the first `limit` bytes of the selection.
  QByteArray SelectedText(int64_t limit = INT64_MAX) const;

  // Whether a change is the user's own edit, which Undo takes back, or not
  // (a replacement): then the undo history, which no longer fits the text,
  // is emptied.
  using Recording = TextView::Recording;
  void ReplaceSelection(const QByteArray& bytes, Recording recording);
  // The clipboard holds text as ISO 8859-1 characters; a pasted character
  // outside it becomes "?", and CR LF or CR a line break. With no text on
  // the clipboard Paste changes nothing.
  void Cut();
  void Copy();
  void Paste();
  void DeleteSelection();
  void Undo();
  bool CanUndo() const;

  // The first match of `search` lying wholly in text[from, end), or -1.
  int64_t Find(const TextSearch& search, int64_t from) const;
  // Replaces every match from `from` on, each search going on after the
  // text put in; not undoable. The position after the last replacement
  // (`from` when there was none). All or nothing: a new text that neither
  // the memory left nor the disk can hold is not made, and a message says
  // so.
  // While the new text is made, events run now and then and ReplaceProgress
  // tells how far it has got; the user's edits of this text are ignored
  // meanwhile (Busy). -1, with the text as it was, when it was stopped
  // (StopReplacing), when the editor was destroyed meanwhile (then nothing
  // of it may be touched), or when the editor is already busy.
  int64_t ReplaceAll(const TextSearch& search, int64_t from, const QByteArray& replacement);
  // A Replace All or a save runs with events let run: the text takes no
  // other change, search or pass meanwhile.
  bool Busy() const;
  // A Replace All under way gives up its new text at its next pause.
  void StopReplacing() { stopReplacing_ = true; }

  // Empties the editor, undo history included, and hands its text over, to
  // be freed elsewhere.
  TextBuffer TakeText();
  // The error number of the last failed write of the text to disk (beyond
  // the memory budget), or 0.
  int SpillError() const;
  // The text's writes to disk are so far behind that it should not grow
  // until more are done; CollectSpilled takes in those done.
  bool SpillBehind() const;
  void CollectSpilled();
  // A fill by an extraction pass: the text is cleared, and until EndFill
  // the appended text is neither undoable nor notified piece by piece.
  void BeginFill();
  void Append(const char* data, std::size_t length) override;
  // A text made apart, its lines each ended by a line break; its bytes are
  // not copied.
  void AppendText(TextBuffer&& text) override;
  // A run that may yet be rejected: its pieces are appended as Append does
  // and followed through the user's edits, until they are kept or dropped
  // wherever they then stand.
  void AppendPiece(const char* data, std::size_t length) override;
  void DropPieces() override;
  void KeepPieces() override;
  // Appends up to `limit` bytes read from `file`: the count, 0 at its end.
  // A read error is thrown.
  int64_t AppendFrom(QIODevice& file, int64_t limit);
  void EndFill();

  // Writes the whole text with each line break as CR LF; false when the
  // device failed or the editor went meanwhile (then nothing of it may be
  // touched). Events run now and then and SaveProgress tells how far it has
  // got; the user's edits of this text are ignored meanwhile (Busy).
  bool SaveCrLf(QIODevice& out);

  // Prints the whole text in the editor's font on `printer`, as one job
  // named by printer.docName(): every line in full, a line too long for the
  // page going on in the next printed line. `progress` hears of each page
  // and may cancel the job.
  PrintResult Print(QPrinter& printer, const PrintProgress& progress) const;

  // Keys that belong to menu items, which the control's own key bindings
  // must not take.
  void ReserveKeys(const QList<QKeySequence>& keys);

  // The message for an edit that could not get its memory and was not made.
  static void ReportRefusal(QWidget* parent);

signals:
  // The selection or the caret moved, or the text was filled or replaced.
  void SelectionChanged();
  // Files dragged over the editor are offered here before the editor would
  // take them as text: accept the event to take them.
  void DropOffered(QDropEvent* event);
  // A Replace All has made `percent` of its new text; then it has ended,
  // however it ended.
  void ReplaceProgress(int percent);
  void ReplaceEnded();
  // A save has written `percent` of the text.
  void SaveProgress(int percent);

protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // Makes the disk hold what was written to `file`, letting events run.
  // False when it cannot.
  bool SyncWhilePumping(QFileDevice& file);
  int64_t ReplaceEvery(const TextSearch& search, int64_t from, const QByteArray& replacement,
                       const QPointer<TextEditor>& alive);
  // Writes text[from, from + limit) with each line break as CR LF; where
  // it stopped. False in `ok` when the device failed.
  int64_t WriteCrLf(QIODevice& out, int64_t from, int64_t limit, bool& ok) const;
  // Makes the new text with events let run meanwhile and the user's edits
  // held off.
  void MakeAnswering(ReplacedText& made, int64_t from, const QPointer<TextEditor>& alive);
  // Reports progress and lets events run; throws once the Replace All is
  // to stop.
  void Pump(int64_t searched, const QPointer<TextEditor>& alive);
  // Runs an edit; one that cannot get its memory is not made, and a
  // message says so.
  template <class Edit> void Refusable(Edit edit);

  TextView* view_;
  // A save's bytes with CR LF line ends, one stretch at a time.
  mutable std::vector<char> crlf_;
  bool stopReplacing_ = false;
  std::vector<char> loadBuffer_; // one buffer for a whole load
};

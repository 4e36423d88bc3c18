#pragma once
// Find and replace in one document window: its two modeless dialogs and the
// find and replace steps. The last search is shared by every window.

#include <QObject>
#include <QPointer>
#include <QString>

class QByteArray;
class QsciScintilla;
class TFindDialog;
class TRTFchild;
class TReplaceDialog;

struct SearchOptions {
  bool MatchCase = false;
  bool WholeWord = false;
};

struct LastSearchRecord {
  QString Text;
  SearchOptions Options;
};

// The one record of the last search, for the whole application.
LastSearchRecord& LastSearch();

class FindReplaceController : public QObject {
  Q_OBJECT
public:
  // Works on window->Edit; sets window->FindDialog and window->ReplaceDialog
  // when it makes them.
  explicit FindReplaceController(TRTFchild* window);

  // Seed the dialog's search text from the selection (first 255 characters)
  // and show it; an open dialog only comes to the front.
  void FindClick();
  void ReplaceMenuClick();
  // The find step. `sender` is the find or replace dialog the search comes
  // from, or anything else (the Find again item) to repeat LastSearch().
  // True when a match was selected.
  bool FindDialogFind(QObject* sender);
  // The replace step, from the replace dialog's Replace (all false) or
  // Replace All (all true) button.
  void ReplaceDialogReplace(bool all);

private:
  // The dialogs are made on first use and live as long as the window.
  TFindDialog* FindDialog();
  TReplaceDialog* ReplaceDialog();
  void ShowDialog(TFindDialog* dialog);
  // The first characters of the selection, at most a search text's length.
  QString SelectionStart() const;
  // Copies text and switches into LastSearch() when `sender` is a dialog.
  void TakeSearchFrom(QObject* sender);
  // LastSearch() made ready for searching the editor's bytes.
  struct Pattern;
  Pattern MakePattern() const;
  // The first match lying wholly between `from` and the end, or -1; the
  // match is left as the editor's target.
  long Search(const Pattern& pattern, long from) const;
  void ReportEnd(QObject* sender);
  // Replaces the selection, not undoably; the caret ends after the text.
  void ReplaceSelection(const QByteArray& replacement);

  TRTFchild* window_;
  QPointer<TFindDialog> findDialog_;
  QPointer<TReplaceDialog> replaceDialog_;
};

#pragma once
// Find and replace in one document window: its two modeless dialogs and the
// find and replace steps. The last search is shared by every window.

#include <QObject>
#include <QPointer>
#include <QString>

class QByteArray;
class TFindDialog;
class TRTFchild;
class TReplaceDialog;
class TextEditor;
class TextSearch;

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
  // Works on `editor`; the dialogs belong to `window` and report to its
  // FindDialogFind and ReplaceDialogReplace.
  FindReplaceController(TRTFchild* window, TextEditor* editor);

  // The dialogs once made, else nullptr.
  TFindDialog* FindDialogIfMade() const { return findDialog_; }
  TReplaceDialog* ReplaceDialogIfMade() const { return replaceDialog_; }
  // True while the find or the replace dialog is on the screen.
  bool DialogOpen() const;

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
  TextSearch MakeSearch() const;
  void ReportEnd(QObject* sender);
  TRTFchild* window_;
  TextEditor* editor_;
  QPointer<TFindDialog> findDialog_;
  QPointer<TReplaceDialog> replaceDialog_;
};

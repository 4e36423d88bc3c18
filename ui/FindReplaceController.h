#pragma once
// Find and replace in one document window: its two modeless dialogs and the
// find and replace steps. The last search is shared by every window.

#include <QObject>
#include <QString>

class QsciScintilla;
class TRTFchild;

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
  TRTFchild* window_;
};

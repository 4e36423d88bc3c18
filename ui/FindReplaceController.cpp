#include "ui/FindReplaceController.h"

#include "ui/DialogService.h"
#include "ui/TFindDialog.h"
#include "ui/TRTFchild.h"
#include "ui/TReplaceDialog.h"
#include "ui/TextEditor.h"
#include "ui/TextSearch.h"

#include <QByteArray>

namespace {
// The text as the editor's bytes; empty when a character has no byte in
// ISO 8859-1, so that it can never match the 8-bit text.
std::string ToEditorBytes(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return QString::fromLatin1(bytes) == text ? bytes.toStdString() : std::string();
}
} // namespace

LastSearchRecord& LastSearch() {
  static LastSearchRecord record;
  return record;
}

FindReplaceController::FindReplaceController(TRTFchild* window, TextEditor* editor)
    : QObject(window), window_(window), editor_(editor) {}

bool FindReplaceController::DialogOpen() const {
  return (findDialog_ && findDialog_->isVisible()) ||
         (replaceDialog_ && replaceDialog_->isVisible());
}

TFindDialog* FindReplaceController::FindDialog() {
  if (!findDialog_) {
    findDialog_ = new TFindDialog(window_);
    connect(findDialog_, &TFindDialog::FindNext, window_, &TRTFchild::FindDialogFind);
  }
  return findDialog_;
}

TReplaceDialog* FindReplaceController::ReplaceDialog() {
  if (!replaceDialog_) {
    replaceDialog_ = new TReplaceDialog(window_);
    connect(replaceDialog_, &TFindDialog::FindNext, window_, &TRTFchild::FindDialogFind);
    connect(replaceDialog_, &TReplaceDialog::Replace, window_, &TRTFchild::ReplaceDialogReplace);
  }
  return replaceDialog_;
}

QString FindReplaceController::SelectionStart() const {
  // Only the first characters are wanted, whatever the selection's size.
  return QString::fromLatin1(editor_->SelectedText(TFindDialog::MaxText));
}

void FindReplaceController::ShowDialog(TFindDialog* dialog) {
  if (!dialog->isVisible())
    dialog->SetFindText(SelectionStart());
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

void FindReplaceController::FindClick() {
  ShowDialog(FindDialog());
}

void FindReplaceController::ReplaceMenuClick() {
  ShowDialog(ReplaceDialog());
}

void FindReplaceController::TakeSearchFrom(QObject* sender) {
  if (const auto* dialog = qobject_cast<const TFindDialog*>(sender)) {
    LastSearchRecord& last = LastSearch();
    last.Options.MatchCase = dialog->MatchCase();
    last.Options.WholeWord = dialog->WholeWord();
    last.Text = dialog->FindText();
  }
}

TextSearch FindReplaceController::MakeSearch() const {
  const LastSearchRecord& last = LastSearch();
  return TextSearch(ToEditorBytes(last.Text), last.Options.MatchCase, last.Options.WholeWord);
}

void FindReplaceController::ReportEnd(QObject* sender) {
  auto* dialog = qobject_cast<QWidget*>(sender);
  QWidget* parent = dialog && dialog->isVisible() ? dialog : window_;
  Dialogs().MessageBox(parent, QStringLiteral("End of document reached."),
                       QStringLiteral("Find/Replace"), DialogService::Buttons::Ok,
                       DialogService::Icon::None);
}

bool FindReplaceController::FindDialogFind(QObject* sender) {
  // Events run while Replace All makes its new text or a save writes it:
  // nothing else searches it meanwhile.
  if (editor_->Busy())
    return false;
  TakeSearchFrom(sender);
  if (LastSearch().Text.isEmpty())
    return false;
  // With a selection, from one character past its start, so that
  // overlapping matches are found; else from the caret.
  const int64_t start = editor_->SelectionStart();
  int64_t from = editor_->SelectionEnd();
  if (from > start) {
    from = start + 1;
    editor_->GoTo(from);
  }
  const TextSearch search = MakeSearch();
  const int64_t found = editor_->Find(search, from);
  if (found < 0) {
    ReportEnd(sender);
    return false;
  }
  // The caret ends after the match and is scrolled into view.
  editor_->Select(found, found + static_cast<int64_t>(search.Length()));
  return true;
}

void FindReplaceController::ReplaceDialogReplace(bool all) {
  if (editor_->Busy())
    return;
  TReplaceDialog* dialog = ReplaceDialog();
  // A character outside ISO 8859-1 becomes "?", as pasted text does.
  const QByteArray replacement = dialog->ReplaceText().toLatin1();
  if (editor_->HasSelection())
    editor_->ReplaceSelection(replacement, TextEditor::Recording::NotUndoable);
  if (!all) {
    FindDialogFind(dialog);
    return;
  }
  // Replace All: replace each match and search on after the inserted text,
  // until the first search that fails; the end is the same as one Replace
  // after another.
  TakeSearchFrom(dialog);
  if (LastSearch().Text.isEmpty())
    return;
  // Stopped, or this window went while events ran: no more to say.
  if (editor_->ReplaceAll(MakeSearch(), editor_->SelectionEnd(), replacement) < 0)
    return;
  ReportEnd(replaceDialog_);
}

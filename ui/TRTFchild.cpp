#include "ui/TRTFchild.h"

#include "ui/DialogService.h"
#include "ui/ExtractionPass.h"
#include "ui/FindReplaceController.h"
#include "ui/Hint.h"
#include "ui/PassQueue.h"
#include "ui/TFindDialog.h"
#include "ui/TReplaceDialog.h"
#include "ui/TScanDlg.h"
#include "ui/TextEditor.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QStatusBar>
#include <QVBoxLayout>
#include <stdexcept>
#include <utility>

namespace {
// A saved document is written this much at a time.
// The print progress counts in thousandths of the text.
constexpr int kPrintSteps = 1000;
// A job that ends sooner shows no progress at all.
constexpr int kPrintProgressDelayMs = 500;
} // namespace

TRTFchild::TRTFchild(QWidget* parent) : QWidget(parent) {
  QFont font(QStringLiteral("Courier"));
  font.setStyleHint(QFont::TypeWriter);
  // A character height of 13 pixels at 96 dots per inch, given in points
  // because the editor takes its font sizes in points.
  font.setPointSizeF(13 * 72.0 / 96.0);
  setFont(font);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  resize(501, 353);

  edit_ = new TextEditor(this);
  edit_->setFont(font);
  statusBar_ = new QStatusBar(this);
  statusBar_->setFixedHeight(19);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(edit_, 1);
  layout->addWidget(statusBar_);

  createActions();
  createMenus();
  findReplace_ = new FindReplaceController(this, edit_);
  connect(edit_, &TextEditor::SelectionChanged, this, &TRTFchild::EditSelectionChange);
  connect(edit_, &TextEditor::DropOffered, this, &TRTFchild::DropOffered);
  connect(edit_, &TextEditor::ReplaceProgress, this, &TRTFchild::ShowReplaceProgress);
  connect(edit_, &TextEditor::ReplaceEnded, this, &TRTFchild::EditSelectionChange);
  connect(edit_, &TextEditor::SaveProgress, this, &TRTFchild::ShowSaveProgress);
  EditSelectionChange();
}

TRTFchild::~TRTFchild() {
  // Destroyed by its owner in the middle of its pass: the pass notices and
  // stops at its next pump.
  if (PassQueue::IsRunning(this))
    ScanCancelled = true;
  PassQueue::Leave(this);
}

void TRTFchild::createActions() {
  auto make = [this](const char* name, const QString& text, const QKeySequence& shortcut,
                     const QString& hint, auto slot) {
    auto* action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(shortcut);
    // Every document window has the same shortcuts: only the one that
    // holds the focus answers them.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    SetHint(action, hint);
    connect(action, &QAction::triggered, this, slot);
    addAction(action);
  };
  const QKeySequence none;

  make("FileNewItem", tr("&New"), QKeySequence(Qt::CTRL | Qt::Key_N), tr("Create a new file"),
       &TRTFchild::FileNewItemClick);
  make("FileOpenItem", tr("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O),
       tr("Open an existing file"), &TRTFchild::FileOpenItemClick);
  make("Reload", tr("&Load again"), QKeySequence(Qt::CTRL | Qt::Key_L),
       tr("Read again current file"), &TRTFchild::ReloadClick);
  make("FileCloseItem", tr("&Close"), QKeySequence(Qt::CTRL | Qt::Key_F4), tr("Close current file"),
       &TRTFchild::FileCloseItemClick);
  make("FileSaveItem", tr("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S), tr("Save current file"),
       &TRTFchild::FileSaveItemClick);
  make("FileSaveAsItem", tr("Save &As..."), none, tr("Save current file under a new name"),
       &TRTFchild::FileSaveAsItemClick);
  make("FilePrintItem", tr("&Print"), QKeySequence(Qt::CTRL | Qt::Key_P), tr("Print current file"),
       &TRTFchild::FilePrintItemClick);
  make("FilePrintSetupItem", tr("P&rint Setup..."), none, tr("Change printer setup"),
       &TRTFchild::FilePrintSetupItemClick);
  make("FileExitItem", tr("E&xit"), none, tr("Exit this application"),
       &TRTFchild::FileExitItemClick);

  make("EditUndoItem", tr("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), tr("Undo the last action"),
       &TRTFchild::EditUndoItemClick);
  make("EditCutItem", tr("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X), tr("Delete selected text"),
       &TRTFchild::EditCutItemClick);
  make("EditCopyItem", tr("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C),
       tr("Copy selected text to clipboard"), &TRTFchild::EditCopyItemClick);
  make("EditPasteItem", tr("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V),
       tr("Paste contents of clipboard"), &TRTFchild::EditPasteItemClick);
  make("EditDeleteItem", tr("&Delete"), QKeySequence(Qt::CTRL | Qt::Key_D),
       tr("Delete selected text"), &TRTFchild::EditDeleteItemClick);
  make("EditSelectAllItem", tr("&Select all"), QKeySequence(Qt::CTRL | Qt::Key_A),
       tr("Select all text"), &TRTFchild::EditSelectAllItemClick);
  make("FindMenu", tr("&Find..."), QKeySequence(Qt::CTRL | Qt::Key_F), tr("Search strng in tex"),
       &TRTFchild::FindClick);
  make("FindAgain", tr("Find &again"), QKeySequence(Qt::Key_F3), tr("Repeat last search"),
       &TRTFchild::FindDialogFind);
  make("ReplaceMenu", tr("&Replace"), QKeySequence(Qt::CTRL | Qt::Key_R), QString(),
       &TRTFchild::ReplaceMenuClick);

  QList<QKeySequence> keys;
  for (QAction* action : actions())
    keys.append(action->shortcut());
  ReserveKeys(keys);
}

void TRTFchild::createMenus() {
  auto menu = [this](const char* name, const QString& title, const QStringList& items) {
    auto* result = new QMenu(title, this);
    result->setObjectName(QLatin1String(name));
    // "-N1" is a separator named N1.
    for (const QString& item : items) {
      if (item.startsWith(QLatin1Char('-')))
        result->addSeparator()->setObjectName(item.mid(1));
      else
        result->addAction(findChild<QAction*>(item, Qt::FindDirectChildrenOnly));
    }
    return result;
  };
  fileMenu_ =
      menu("FileMenu", tr("&File"),
           {"FileNewItem", "FileOpenItem", "Reload", "FileCloseItem", "FileSaveItem",
            "FileSaveAsItem", "-N1", "FilePrintItem", "FilePrintSetupItem", "-N4", "FileExitItem"});
  editMenu_ =
      menu("EditMenu", tr("&Edit"),
           {"EditUndoItem", "-N2", "EditCutItem", "EditCopyItem", "EditPasteItem", "EditDeleteItem",
            "EditSelectAllItem", "-N3", "FindMenu", "FindAgain", "ReplaceMenu"});
}

void TRTFchild::ReserveKeys(const QList<QKeySequence>& keys) {
  edit_->ReserveKeys(keys);
}

QDialog* TRTFchild::FindDialog() const {
  return findReplace_->FindDialogIfMade();
}

QDialog* TRTFchild::ReplaceDialog() const {
  return findReplace_->ReplaceDialogIfMade();
}

// ---------------------------------------------------------------------------
// The extraction pass

void TRTFchild::ScanFile(bool askOutput) {
  // Load again while this window's pass runs or waits, or while Replace
  // All makes its new text from the old or a save writes it, does nothing.
  if (IsScanning() || edit_->Busy() || !PassQueue::StartOrWait(this, askOutput))
    return;
  QPointer<TRTFchild> self(this);
  bool alive = false;
  try {
    ExtractionPass pass(*this);
    alive = pass.Run(askOutput);
  } catch (...) {
    // Leave the order of passes sound, then let the error reach the
    // standard error box.
    PassQueue::Finish();
    if (self)
      closeAfterPass_ = false;
    throw;
  }
  PassQueue::Finish();
  if (!alive || !self)
    return;
  emit ScanFinished();
  if (self && closeAfterPass_) {
    closeAfterPass_ = false;
    QMetaObject::invokeMethod(this, &TRTFchild::CloseWindow, Qt::QueuedConnection);
  }
}

bool TRTFchild::IsScanning() const {
  return PassQueue::IsRunning(this) || PassQueue::IsWaiting(this);
}

bool TRTFchild::AnyPassRunning() {
  return PassQueue::AnyRunning();
}

QString TRTFchild::ChooseOutput(bool ask) {
  saveDialogName_ = outputName_;
  if (!ask)
    return QString();
  const QString chosen = Dialogs().GetSaveFileName(
      this, saveDialogName_, QStringLiteral("All files (*)"), QStringLiteral("txt"));
  if (!chosen.isEmpty())
    saveDialogName_ = chosen;
  return chosen;
}

void TRTFchild::ReloadClick() {
  ScanFile(false);
}

// ---------------------------------------------------------------------------
// Names and caption

void TRTFchild::OpenInput(const QString& name) {
  inputName_ = name;
  inputPath_ = QFile::encodeName(name);
  SetCaption(name);
}

void TRTFchild::OpenInputPath(const QByteArray& path) {
  inputPath_ = path;
  inputName_ = QFile::decodeName(path);
  SetCaption(inputName_);
}

void TRTFchild::SetCaption(const QString& caption) {
  caption_ = caption;
  QString title = caption;
  // "[*][*]" is Qt's way of showing "[*]" itself.
  title.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
  setWindowTitle(title);
}

void TRTFchild::RefreshCaption() {
  const int arrow = caption_.indexOf(QLatin1String(" -> "));
  const QString base = arrow < 0 ? caption_ : caption_.left(arrow);
  SetCaption(outputName_.isEmpty() ? base : base + QLatin1String(" -> ") + outputName_);
}

void TRTFchild::EditSelectionChange() {
  const int64_t start = edit_->SelectionStart();
  const int64_t end = std::max(start, edit_->SelectionEnd());
  auto lineAndColumn = [this](int64_t position) {
    const int64_t line = edit_->LineOf(position);
    return std::make_pair(line + 1, position - edit_->LineStart(line) + 1);
  };
  const auto [startLine, startColumn] = lineAndColumn(start);
  QString text;
  if (start == end) {
    text = QStringLiteral("Line %1, Column %2").arg(startLine).arg(startColumn);
  } else {
    const auto [endLine, endColumn] = lineAndColumn(end);
    text = QStringLiteral("(%1,%2)-(%3,%4)")
               .arg(startLine)
               .arg(startColumn)
               .arg(endLine)
               .arg(endColumn);
  }
  if (statusBar_->currentMessage() != text)
    statusBar_->showMessage(text);
}

void TRTFchild::ShowReplaceProgress(int percent) {
  statusBar_->showMessage(tr("Replacing... %1%").arg(percent));
}

void TRTFchild::ShowSaveProgress(int percent) {
  statusBar_->showMessage(tr("Saving... %1%").arg(percent));
}

// ---------------------------------------------------------------------------
// Closing

bool TRTFchild::FormCloseQuery() {
  if (!findReplace_->DialogOpen())
    return true;
  Dialogs().MessageBox(this,
                       QStringLiteral("Sorry, this application (or my compiler) is still buggy\n"
                                      "You must close the Find/Replace box before the window"),
                       QStringLiteral("Sift Well Error"), DialogService::Buttons::Ok,
                       DialogService::Icon::None);
  return false;
}

void TRTFchild::FormClose() {
  setAttribute(Qt::WA_DeleteOnClose);
}

void TRTFchild::closeEvent(QCloseEvent* event) {
  if (PassQueue::IsRunning(this)) {
    // Never destroyed under its own pass: cancel it, and go once it has
    // returned.
    ScanCancelled = true;
    closeAfterPass_ = true;
    event->ignore();
    return;
  }
  if (saving_) {
    // The text being written stays until it is saved.
    closeAfterSave_ = true;
    event->ignore();
    return;
  }
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  // A Replace All under way gives up its new text: the window goes.
  edit_->StopReplacing();
  PassQueue::Leave(this);
  FormClose();
  event->accept();
}

void TRTFchild::CloseWindow() {
  // Inside the frame the sub-window closes, which asks this widget first.
  if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
    frame->close();
  else
    close();
}

// ---------------------------------------------------------------------------
// File commands

void TRTFchild::FileNewItemClick() {
  emit NewRequested(sender());
}
void TRTFchild::FileOpenItemClick() {
  emit OpenRequested(sender());
}
void TRTFchild::FileExitItemClick() {
  emit ExitRequested(sender());
}
void TRTFchild::FileCloseItemClick() {
  CloseWindow();
}

void TRTFchild::FileSaveItemClick() {
  // Events run while a save writes: a second one waits for none.
  if (saving_)
    return;
  if (outputName_.isEmpty()) {
    FileSaveAsItemClick();
    return;
  }
  QSaveFile file(outputName_);
  auto fail = [&](const char* what) {
    return std::runtime_error(QStringLiteral("%1 %2: %3")
                                  .arg(QLatin1String(what), outputName_, file.errorString())
                                  .toStdString());
  };
  if (!file.open(QIODevice::WriteOnly))
    throw fail("Cannot create file");
  // Line breaks are one LF in the editor and CR LF in a saved document.
  const QPointer<TRTFchild> self(this);
  saving_ = true;
  bool written = false;
  try {
    written = edit_->SaveCrLf(file);
  } catch (...) {
    saving_ = false;
    closeAfterSave_ = false;
    throw;
  }
  if (!self)
    return;
  saving_ = false;
  EditSelectionChange();
  // A close asked for meanwhile goes ahead only once the text is safe.
  const bool close = std::exchange(closeAfterSave_, false);
  if (!written || !file.commit())
    throw fail("Cannot write file");
  if (close)
    QMetaObject::invokeMethod(this, &TRTFchild::CloseWindow, Qt::QueuedConnection);
}

void TRTFchild::FileSaveAsItemClick() {
  if (saving_)
    return;
  QString name = Dialogs().GetSaveFileName(this, saveDialogName_, QStringLiteral("All files (*)"),
                                           QStringLiteral("txt"));
  if (name.isEmpty())
    return;
  name = WithDefaultSuffix(name, QStringLiteral("txt"));
  saveDialogName_ = name;
  outputName_ = name;
  RefreshCaption();
  FileSaveItemClick();
}

QPrinter& TRTFchild::SharedPrinter() {
  static QPrinter printer(QPrinter::HighResolution);
  return printer;
}

void TRTFchild::FilePrintItemClick() {
  QPrinter& printer = SharedPrinter();
  if (!Dialogs().ExecPrintDialog(this, &printer))
    return;
  printer.setDocName(outputName_.isEmpty() ? inputName_ : outputName_);
  printer.setFullPage(false);
  // Shown only when the job runs longer than a moment: many pages.
  QProgressDialog progress(tr("Printing..."), tr("Cancel"), 0, kPrintSteps, this);
  progress.setObjectName(QStringLiteral("PrintProgress"));
  progress.setWindowTitle(tr("Print"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(kPrintProgressDelayMs);
  progress.setAutoReset(false);
  const auto onPage = [&progress](int page, int64_t printed, int64_t total) {
    progress.setLabelText(tr("Printing page %1...").arg(page));
    progress.setValue(total > 0 ? static_cast<int>(printed * kPrintSteps / total) : 0);
    QCoreApplication::processEvents();
    return !progress.wasCanceled();
  };
  if (edit_->Print(printer, onPage) == PrintResult::Failed)
    throw std::runtime_error(
        QStringLiteral("Cannot print %1").arg(printer.docName()).toStdString());
}

void TRTFchild::FilePrintSetupItemClick() {
  Dialogs().ExecPrintSetupDialog(this, &SharedPrinter());
}

// ---------------------------------------------------------------------------
// Edit commands

void TRTFchild::EditUndoItemClick() {
  edit_->Undo();
}
void TRTFchild::EditCutItemClick() {
  edit_->Cut();
}
void TRTFchild::EditCopyItemClick() {
  edit_->Copy();
}
void TRTFchild::EditPasteItemClick() {
  edit_->Paste();
}
void TRTFchild::EditDeleteItemClick() {
  edit_->DeleteSelection();
}
void TRTFchild::EditSelectAllItemClick() {
  edit_->SelectAll();
}

void TRTFchild::FindClick() {
  findReplace_->FindClick();
}
void TRTFchild::ReplaceMenuClick() {
  findReplace_->ReplaceMenuClick();
}
void TRTFchild::FindDialogFind() {
  findReplace_->FindDialogFind(sender());
}
void TRTFchild::ReplaceDialogReplace(bool all) {
  findReplace_->ReplaceDialogReplace(all);
}

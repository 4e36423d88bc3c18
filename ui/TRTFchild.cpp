#include "ui/TRTFchild.h"

#include "ui/DialogService.h"
#include "ui/FindReplaceController.h"
#include "ui/TScanDlg.h"
#include "ui/UnrecordedEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSaveFile>
#include <QStatusBar>
#include <QVBoxLayout>
#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciprinter.h>
#include <Qsci/qsciscintilla.h>
#include <algorithm>
#include <stdexcept>

TRTFchild::TRTFchild(QWidget* parent)
    : QWidget(parent), Scanner(GlobalTextOptions(), *static_cast<LineSink*>(this)) {
  QFont font(QStringLiteral("Courier"));
  font.setStyleHint(QFont::TypeWriter);
  // A character height of 13 pixels at 96 dots per inch, given in points
  // because the editor takes its font sizes in points.
  font.setPointSizeF(13 * 72.0 / 96.0);
  setFont(font);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  resize(501, 353);

  createEditor();
  StatusBar = new QStatusBar(this);
  StatusBar->setFixedHeight(19);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Edit, 1);
  layout->addWidget(StatusBar);

  createActions();
  createMenus();
  FindReplace = new FindReplaceController(this);
  EditSelectionChange();
}

TRTFchild::~TRTFchild() {
  // Destroyed by its owner in the middle of its pass: the pass notices and
  // stops at its next pump.
  if (PassRunning())
    ScanCancelled = true;
  LeaveQueue();
}

void TRTFchild::createEditor() {
  Edit = new QsciScintilla(this);
  // A document without style bytes: plain text needs none, and a large
  // result then costs one byte per character.
  const long doc =
      Edit->SendScintilla(QsciScintillaBase::SCI_CREATEDOCUMENT, 0UL,
                          static_cast<long>(QsciScintillaBase::SC_DOCUMENTOPTION_STYLES_NONE));
  if (doc) {
    Edit->SendScintilla(QsciScintillaBase::SCI_SETDOCPOINTER, 0UL, doc);
    Edit->SendScintilla(QsciScintillaBase::SCI_RELEASEDOCUMENT, 0UL, doc);
  }
  Edit->setUtf8(false);
  Edit->SendScintilla(QsciScintillaBase::SCI_SETCODEPAGE, 0UL);
  Edit->setEolMode(QsciScintilla::EolUnix);
  Edit->setWrapMode(QsciScintilla::WrapNone);
  Edit->SendScintilla(QsciScintillaBase::SCI_SETHSCROLLBAR, 1UL);
  Edit->SendScintilla(QsciScintillaBase::SCI_SETVSCROLLBAR, 1UL);
  Edit->SendScintilla(QsciScintillaBase::SCI_SETSCROLLWIDTH, 1UL);
  Edit->SendScintilla(QsciScintillaBase::SCI_SETSCROLLWIDTHTRACKING, 1UL);
  Edit->SendScintilla(QsciScintillaBase::SCI_HIDESELECTION, 0UL);
  for (int margin = 0; margin < 5; ++margin)
    Edit->setMarginWidth(margin, 0);
  Edit->setFont(font());
  Edit->SendScintilla(QsciScintillaBase::SCI_STYLESETCHARACTERSET,
                      static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT),
                      static_cast<long>(QsciScintillaBase::SC_CHARSET_ANSI));

  connect(Edit, &QsciScintilla::cursorPositionChanged, this, &TRTFchild::EditSelectionChange);
  connect(Edit, &QsciScintilla::selectionChanged, this, &TRTFchild::EditSelectionChange);
}

void TRTFchild::createActions() {
  auto make = [this](QAction*& action, const char* name, const QString& text,
                     const QKeySequence& shortcut, const QString& hint, auto slot) {
    action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(shortcut);
    // Every document window has the same shortcuts: only the one that
    // holds the focus answers them.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    action->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
    action->setStatusTip(hint.section(QLatin1Char('|'), -1));
    connect(action, &QAction::triggered, this, slot);
    addAction(action);
  };
  const QKeySequence none;

  make(FileNewItem, "FileNewItem", tr("&New"), QKeySequence(Qt::CTRL | Qt::Key_N),
       tr("Create a new file"), &TRTFchild::FileNewItemClick);
  make(FileOpenItem, "FileOpenItem", tr("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O),
       tr("Open an existing file"), &TRTFchild::FileOpenItemClick);
  make(Reload, "Reload", tr("&Load again"), QKeySequence(Qt::CTRL | Qt::Key_L),
       tr("Read again current file"), &TRTFchild::ReloadClick);
  make(FileCloseItem, "FileCloseItem", tr("&Close"), QKeySequence(Qt::CTRL | Qt::Key_F4),
       tr("Close current file"), &TRTFchild::FileCloseItemClick);
  make(FileSaveItem, "FileSaveItem", tr("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
       tr("Save current file"), &TRTFchild::FileSaveItemClick);
  make(FileSaveAsItem, "FileSaveAsItem", tr("Save &As..."), none,
       tr("Save current file under a new name"), &TRTFchild::FileSaveAsItemClick);
  make(FilePrintItem, "FilePrintItem", tr("&Print"), QKeySequence(Qt::CTRL | Qt::Key_P),
       tr("Print current file"), &TRTFchild::FilePrintItemClick);
  make(FilePrintSetupItem, "FilePrintSetupItem", tr("P&rint Setup..."), none,
       tr("Change printer setup"), &TRTFchild::FilePrintSetupItemClick);
  make(FileExitItem, "FileExitItem", tr("E&xit"), none, tr("Exit this application"),
       &TRTFchild::FileExitItemClick);

  make(EditUndoItem, "EditUndoItem", tr("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z),
       tr("Undo the last action"), &TRTFchild::EditUndoItemClick);
  make(EditCutItem, "EditCutItem", tr("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X),
       tr("Delete selected text"), &TRTFchild::EditCutItemClick);
  make(EditCopyItem, "EditCopyItem", tr("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C),
       tr("Copy selected text to clipboard"), &TRTFchild::EditCopyItemClick);
  make(EditPasteItem, "EditPasteItem", tr("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V),
       tr("Paste contents of clipboard"), &TRTFchild::EditPasteItemClick);
  make(EditDeleteItem, "EditDeleteItem", tr("&Delete"), QKeySequence(Qt::CTRL | Qt::Key_D),
       tr("Delete selected text"), &TRTFchild::EditDeleteItemClick);
  make(EditSelectAllItem, "EditSelectAllItem", tr("&Select all"),
       QKeySequence(Qt::CTRL | Qt::Key_A), tr("Select all text"),
       &TRTFchild::EditSelectAllItemClick);
  make(FindMenu, "FindMenu", tr("&Find..."), QKeySequence(Qt::CTRL | Qt::Key_F),
       tr("Search strng in tex"), &TRTFchild::FindClick);
  make(FindAgain, "FindAgain", tr("Find &again"), QKeySequence(Qt::Key_F3),
       tr("Repeat last search"), &TRTFchild::FindDialogFind);
  make(ReplaceMenu, "ReplaceMenu", tr("&Replace"), QKeySequence(Qt::CTRL | Qt::Key_R), QString(),
       &TRTFchild::ReplaceMenuClick);

  QList<QKeySequence> keys;
  for (QAction* action : actions())
    keys.append(action->shortcut());
  ReserveKeys(keys);
}

void TRTFchild::ReserveKeys(const QList<QKeySequence>& keys) {
  // The editor's own bindings (line cut on Ctrl+L, duplicate on Ctrl+D,
  // transpose on Ctrl+T, its clipboard commands) would otherwise take these
  // keys before the menu items that own them.
  QList<int> combined;
  for (const QKeySequence& key : keys)
    if (!key.isEmpty())
      combined.append(key[0].toCombined());
  for (QsciCommand* command : Edit->standardCommands()->commands()) {
    if (combined.contains(command->key()))
      command->setKey(0);
    if (combined.contains(command->alternateKey()))
      command->setAlternateKey(0);
  }
}

void TRTFchild::createMenus() {
  FileMenu = new QMenu(tr("&File"), this);
  FileMenu->setObjectName(QStringLiteral("FileMenu"));
  FileMenu->addAction(FileNewItem);
  FileMenu->addAction(FileOpenItem);
  FileMenu->addAction(Reload);
  FileMenu->addAction(FileCloseItem);
  FileMenu->addAction(FileSaveItem);
  FileMenu->addAction(FileSaveAsItem);
  FileMenu->addSeparator()->setObjectName(QStringLiteral("N1"));
  FileMenu->addAction(FilePrintItem);
  FileMenu->addAction(FilePrintSetupItem);
  FileMenu->addSeparator()->setObjectName(QStringLiteral("N4"));
  FileMenu->addAction(FileExitItem);

  EditMenu = new QMenu(tr("&Edit"), this);
  EditMenu->setObjectName(QStringLiteral("EditMenu"));
  EditMenu->addAction(EditUndoItem);
  EditMenu->addSeparator()->setObjectName(QStringLiteral("N2"));
  EditMenu->addAction(EditCutItem);
  EditMenu->addAction(EditCopyItem);
  EditMenu->addAction(EditPasteItem);
  EditMenu->addAction(EditDeleteItem);
  EditMenu->addAction(EditSelectAllItem);
  EditMenu->addSeparator()->setObjectName(QStringLiteral("N3"));
  EditMenu->addAction(FindMenu);
  EditMenu->addAction(FindAgain);
  EditMenu->addAction(ReplaceMenu);
}

// ---------------------------------------------------------------------------
// Caption, status bar, closing

void TRTFchild::RefreshCaption() {
  const int arrow = caption_.indexOf(QLatin1String(" -> "));
  const QString base = arrow < 0 ? caption_ : caption_.left(arrow);
  SetCaption(OutputFileName.isEmpty() ? base : base + QLatin1String(" -> ") + OutputFileName);
}

void TRTFchild::SetCaption(const QString& caption) {
  caption_ = caption;
  QString title = caption;
  // "[*][*]" is Qt's way of showing "[*]" itself.
  title.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
  setWindowTitle(title);
}

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

void TRTFchild::EditSelectionChange() {
  auto send = [this](unsigned int message, unsigned long wParam = 0) {
    return std::max(0L, Edit->SendScintilla(message, wParam));
  };
  const long start = send(QsciScintillaBase::SCI_GETSELECTIONSTART);
  const long end = std::max(start, send(QsciScintillaBase::SCI_GETSELECTIONEND));
  auto lineAndColumn = [&](long position) {
    const long line = send(QsciScintillaBase::SCI_LINEFROMPOSITION, position);
    const long first = send(QsciScintillaBase::SCI_POSITIONFROMLINE, line);
    return std::make_pair(static_cast<qulonglong>(line) + 1,
                          static_cast<qulonglong>(position - first) + 1);
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
  if (StatusBar->currentMessage() != text)
    StatusBar->showMessage(text);
}

bool TRTFchild::FormCloseQuery() {
  const bool dialogOpen =
      (FindDialog && FindDialog->isVisible()) || (ReplaceDialog && ReplaceDialog->isVisible());
  if (!dialogOpen)
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
  if (PassRunning()) {
    // Never destroyed under its own pass: cancel it, and go once it has
    // returned.
    ScanCancelled = true;
    closeAfterPass_ = true;
    event->ignore();
    return;
  }
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  LeaveQueue();
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
// Menu commands

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
void TRTFchild::ReloadClick() {
  ScanFile(false);
}

void TRTFchild::FileSaveItemClick() {
  if (OutputFileName.isEmpty()) {
    FileSaveAsItemClick();
    return;
  }
  const long length = Edit->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
  const char* text = reinterpret_cast<const char*>(
      Edit->SendScintilla(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
  QSaveFile file(OutputFileName);
  if (!file.open(QIODevice::WriteOnly))
    throw std::runtime_error(QStringLiteral("Cannot create file %1: %2")
                                 .arg(OutputFileName, file.errorString())
                                 .toStdString());
  // Line breaks are one LF in the editor and CR LF in a saved document.
  QByteArray chunk;
  chunk.reserve(1 << 20);
  for (long i = 0; i < length; ++i) {
    if (text[i] == '\n')
      chunk.append('\r');
    chunk.append(text[i]);
    if (chunk.size() >= (1 << 20)) {
      file.write(chunk);
      chunk.clear();
    }
  }
  file.write(chunk);
  if (!file.commit())
    throw std::runtime_error(QStringLiteral("Cannot write file %1: %2")
                                 .arg(OutputFileName, file.errorString())
                                 .toStdString());
}

void TRTFchild::FileSaveAsItemClick() {
  QString name = Dialogs().GetSaveFileName(this, SaveDialogName, QStringLiteral("All files (*)"),
                                           QStringLiteral("txt"));
  if (name.isEmpty())
    return;
  name = WithDefaultSuffix(name, QStringLiteral("txt"));
  SaveDialogName = name;
  OutputFileName = name;
  RefreshCaption();
  FileSaveItemClick();
}

QPrinter& TRTFchild::SharedPrinter() {
  static QsciPrinter printer(QPrinter::HighResolution);
  return printer;
}

void TRTFchild::FilePrintItemClick() {
  auto& printer = static_cast<QsciPrinter&>(SharedPrinter());
  if (!Dialogs().ExecPrintDialog(this, &printer))
    return;
  printer.setDocName(OutputFileName.isEmpty() ? inputName_ : OutputFileName);
  printer.setFullPage(false);
  if (!printer.printRange(Edit))
    throw std::runtime_error(
        QStringLiteral("Cannot print %1").arg(printer.docName()).toStdString());
}

void TRTFchild::FilePrintSetupItemClick() {
  Dialogs().ExecPrintSetupDialog(this, &SharedPrinter());
}

QByteArray TRTFchild::SelectedBytes() const {
  const long start = Edit->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
  const long end = Edit->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
  if (end <= start)
    return QByteArray();
  const char* text = reinterpret_cast<const char*>(Edit->SendScintilla(
      QsciScintillaBase::SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), end - start));
  return QByteArray(text, static_cast<qsizetype>(end - start));
}

void TRTFchild::ReplaceSelection(const QByteArray& bytes) {
  Edit->SendScintilla(QsciScintillaBase::SCI_BEGINUNDOACTION);
  Edit->SendScintilla(QsciScintillaBase::SCI_REPLACESEL, 0UL, "");
  if (!bytes.isEmpty())
    Edit->SendScintilla(QsciScintillaBase::SCI_ADDTEXT, static_cast<unsigned long>(bytes.size()),
                        bytes.constData());
  Edit->SendScintilla(QsciScintillaBase::SCI_ENDUNDOACTION);
  EditSelectionChange();
}

void TRTFchild::EditUndoItemClick() {
  Edit->undo();
  EditSelectionChange();
}

void TRTFchild::EditCutItemClick() {
  const QByteArray bytes = SelectedBytes();
  if (bytes.isEmpty())
    return;
  QApplication::clipboard()->setText(QString::fromLatin1(bytes));
  ReplaceSelection(QByteArray());
}

void TRTFchild::EditCopyItemClick() {
  const QByteArray bytes = SelectedBytes();
  if (!bytes.isEmpty())
    QApplication::clipboard()->setText(QString::fromLatin1(bytes));
}

void TRTFchild::EditPasteItemClick() {
  // With no text on the clipboard there is nothing to put in place of the
  // selection, which stays.
  const QString text = QApplication::clipboard()->text();
  if (text.isEmpty())
    return;
  // A character outside ISO 8859-1 becomes "?"; line breaks become LF.
  QByteArray bytes = text.toLatin1();
  bytes.replace("\r\n", "\n");
  bytes.replace('\r', '\n');
  ReplaceSelection(bytes);
}

void TRTFchild::EditDeleteItemClick() {
  if (!SelectedBytes().isEmpty())
    ReplaceSelection(QByteArray());
}

void TRTFchild::EditSelectAllItemClick() {
  Edit->SendScintilla(QsciScintillaBase::SCI_SELECTALL);
  EditSelectionChange();
}

void TRTFchild::FindClick() {
  FindReplace->FindClick();
}
void TRTFchild::ReplaceMenuClick() {
  FindReplace->ReplaceMenuClick();
}
void TRTFchild::FindDialogFind() {
  FindReplace->FindDialogFind(sender());
  EditSelectionChange();
}
void TRTFchild::ReplaceDialogReplace(bool all) {
  FindReplace->ReplaceDialogReplace(all);
  EditSelectionChange();
}

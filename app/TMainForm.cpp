#include "app/TMainForm.h"

#include "app/AppResources.h"
#include "app/ButtonPicture.h"
#include "app/DroppedFiles.h"
#include "app/MdiArrangement.h"
#include "app/WindowList.h"
#include "settings/ExtractionChoiceStore.h"
#include "settings/QSettingsStore.h"
#include "settings/TextOptions.h"
#include "settings/TextOptionsStore.h"
#include "ui/DialogService.h"
#include "ui/Help.h"
#include "ui/Hint.h"
#include "ui/TEncodings.h"
#include "ui/TMyAboutBox.h"
#include "ui/TOptions.h"
#include "ui/TRTFchild.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPixmap>
#include <QPointer>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QThread>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <stdexcept>

TMainForm* MainForm = nullptr;

TMainForm::TMainForm(const QList<QByteArray>& commandLineFiles)
    : QMainWindow(nullptr), commandLineFiles_(commandLineFiles) {
  UseAppResources();
  setWindowTitle(QStringLiteral("Sift Well"));
  QFont formFont = font();
  formFont.setPixelSize(11);
  setFont(formFont);

  mdiArea_ = new QMdiArea;
  mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdiArea_);

  createActions();
  createMenus();
  createSpeedBar();
  createStatusBar();
  connect(mdiArea_, &QMdiArea::subWindowActivated, this, &TMainForm::updateMenuBar);
  connect(mdiArea_, &QMdiArea::subWindowActivated, this, &TMainForm::updateWindowMenu);

  // The design client area, below the menu bar.
  resize(564, 344 + mainMenu_->sizeHint().height());

  // As with any window's creation handler, an error in it is shown and ends
  // only the handler: the window itself is made all the same.
  try {
    FormCreate();
  } catch (const std::exception& e) {
    ShowErrorBox(QString::fromStdString(e.what()));
  }
}

TMainForm::~TMainForm() {
  // FormDestroy: the documents go down with the frame, and no notification
  // may reach it half destroyed.
  disconnect(qApp, nullptr, this, nullptr);
  disconnect(mdiArea_, nullptr, this, nullptr);
}

void TMainForm::FormCreate() {
  // 1. Hints reach ShowHint as status tip events (see event()).
  // 2. The help file belongs to the program file.
  SetHelpFile(HelpFileFor(QCoreApplication::applicationFilePath()));
  // 3. Active-window changes: a document activated, made or closed, or
  //    another top-level window (a dialog) taking over.
  connect(mdiArea_, &QMdiArea::subWindowActivated, this, &TMainForm::UpdateMenuItems);
  connect(qApp, &QGuiApplication::focusWindowChanged, this, &TMainForm::UpdateMenuItems);
  // 4. A value of the wrong type stops the load, and with it this handler.
  //    The encodings and offsets come after them, from their own file,
  //    whatever became of the text options' load.
  QSettingsStore store;
  try {
    LoadTextOptions(store, GlobalTextOptions());
  } catch (...) {
    GlobalExtractionChoice() = LoadExtractionChoice();
    throw;
  }
  GlobalExtractionChoice() = LoadExtractionChoice();
  // 5.
  setAcceptDrops(true);
}

void TMainForm::createActions() {
  auto make = [this](QAction*& action, const QString& text, const QKeySequence& shortcut,
                     const QString& hint, void (TMainForm::*slot)()) {
    action = new QAction(text, this);
    action->setShortcut(shortcut);
    SetHint(action, hint);
    connect(action, &QAction::triggered, this, slot);
  };
  const QKeySequence none;

  make(fileNewItem_, QStringLiteral("&New"), QKeySequence(Qt::CTRL | Qt::Key_N),
       QStringLiteral("Create a new file"), &TMainForm::FileNew);
  make(fileOpenItem_, QStringLiteral("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O),
       QStringLiteral("Open an existing file"), &TMainForm::FileOpen);
  make(fileExitItem_, QStringLiteral("E&xit"), none, QStringLiteral("Exit this application"),
       &TMainForm::FileExit);
  make(windowTileItem_, QStringLiteral("&Tile"), none, QStringLiteral("Tile all windows"),
       &TMainForm::WindowTile);
  make(windowCascadeItem_, QStringLiteral("&Cascade"), none, QStringLiteral("Cascade all windows"),
       &TMainForm::WindowCascade);
  make(windowArrangeItem_, QStringLiteral("&Arrange icons"), none,
       QStringLiteral("Arrange minimized windows"), &TMainForm::WindowArrange);
  make(optionsEntry_, QStringLiteral("&Text options..."), QKeySequence(Qt::CTRL | Qt::Key_T),
       QStringLiteral("Enter text options"), &TMainForm::OptionsEntryClick);
  make(encodingsEntry_, QStringLiteral("&Encodings and offsets..."), none,
       QStringLiteral("Encodings and offsets|Choose the encodings searched and the offsets shown"),
       &TMainForm::EncodingsEntryClick);
  make(helpContentsItem_, QStringLiteral("&Contents"), none,
       QStringLiteral("Display the help contents screen"), &TMainForm::HelpContents);
  make(helpSearchItem_, QStringLiteral("&Search for Help On..."), none,
       QStringLiteral("Search help file for a topic"), &TMainForm::HelpSearch);
  make(helpAboutItem_, QStringLiteral("&About..."), none,
       QStringLiteral("Show program information"), &TMainForm::HelpAbout);
}

void TMainForm::createMenus() {
  mainMenu_ = menuBar();

  fileMenu_ = new QMenu(QStringLiteral("&File"), this);
  fileMenu_->addAction(fileNewItem_);
  fileMenu_->addAction(fileOpenItem_);
  fileMenu_->addSeparator();
  fileMenu_->addAction(fileExitItem_);

  windowMenu_ = new QMenu(QStringLiteral("&Window"), this);
  windowMenu_->addAction(windowTileItem_);
  windowMenu_->addAction(windowCascadeItem_);
  windowMenu_->addAction(windowArrangeItem_);
  windowList_ = new WindowList(windowMenu_, mdiArea_);
  connect(windowMenu_, &QMenu::aboutToShow, this, &TMainForm::updateMenuBar);
  connect(windowMenu_, &QMenu::aboutToShow, this, &TMainForm::updateWindowMenu);

  optionsMenu_ = new QMenu(QStringLiteral("&Options"), this);
  optionsMenu_->addAction(optionsEntry_);
  optionsMenu_->addAction(encodingsEntry_);

  helpMenu_ = new QMenu(QStringLiteral("&Help"), this);
  helpMenu_->addAction(helpContentsItem_);
  helpMenu_->addAction(helpSearchItem_);
  helpMenu_->addSeparator();
  helpMenu_->addAction(helpAboutItem_);

  updateMenuBar();
}

QToolButton* TMainForm::createButton(const QString& picture, int left, const QString& hint,
                                     void (TMainForm::*command)()) {
  auto* button = new QToolButton(speedBar_);
  button->setObjectName(picture);
  button->setGeometry(left, 0, 25, 25);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setIconSize(QSize(20, 20));
  // The button shows an action of its own: a shown action lends the button
  // its tips and its enabled state, so it carries the button's short hint,
  // never the longer one of the menu item for the same command.
  auto* action =
      new QAction(ButtonPicture(QStringLiteral(":/%1.xpm").arg(picture)), QString(), button);
  SetHint(action, hint);
  // A picture says nothing to a screen reader: the short hint names it.
  button->setAccessibleName(action->toolTip());
  connect(action, &QAction::triggered, this, command);
  button->setDefaultAction(action);
  return button;
}

void TMainForm::createSpeedBar() {
  speedBar_ = new QWidget;
  speedBar_->setFixedHeight(27);
  speedBar_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

  struct Button {
    QToolButton* TMainForm::*member;
    const char* name;
    int left;
    const char* hint;
    void (TMainForm::*command)();
  };
  // Six groups; neighbours in a group overlap by one pixel.
  static const Button buttons[] = {
      {&TMainForm::openBtn_, "OpenBtn", 8, "Open|Open", &TMainForm::FileOpen},
      {&TMainForm::saveBtn_, "SaveBtn", 32, "Save|Save", &TMainForm::SaveBtnClick},
      {&TMainForm::printBtn_, "PrintBtn", 56, "Print|Print", &TMainForm::PrintBtnClick},
      {&TMainForm::undoBtn_, "UndoBtn", 84, "Undo|Undo", &TMainForm::UndoBtnClick},
      {&TMainForm::cutBtn_, "CutBtn", 112, "Cut|Cut", &TMainForm::CutBtnClick},
      {&TMainForm::copyBtn_, "CopyBtn", 136, "Copy|Copy", &TMainForm::CopyBtnClick},
      {&TMainForm::pasteBtn_, "PasteBtn", 160, "Paste|Paste", &TMainForm::PasteBtnClick},
      {&TMainForm::tileBtn_, "TileBtn", 188, "Tile|Tile", &TMainForm::WindowTile},
      {&TMainForm::cascadeBtn_, "CascadeBtn", 212, "Cascade|Cascade", &TMainForm::WindowCascade},
      {&TMainForm::arrangeBtn_, "ArrangeBtn", 236, "Arrange|Arrange", &TMainForm::WindowArrange},
      {&TMainForm::helpBtn_, "HelpBtn", 264, "Help Contents|Help Contents",
       &TMainForm::HelpContents},
      {&TMainForm::aboutBtn_, "AboutBtn", 288, "About|About", &TMainForm::HelpAbout},
      {&TMainForm::exitBtn_, "ExitBtn", 316, "Exit|Exit", &TMainForm::FileExit},
  };
  for (const Button& b : buttons)
    this->*b.member = createButton(QLatin1String(b.name), b.left, QLatin1String(b.hint), b.command);

  speedBarHolder_ = new QToolBar(QStringLiteral("Tool bar"), this);
  speedBarHolder_->setMovable(false);
  speedBarHolder_->setFloatable(false);
  speedBarHolder_->setContextMenuPolicy(Qt::PreventContextMenu);
  speedBarHolder_->setContentsMargins(0, 0, 0, 0);
  speedBarHolder_->setStyleSheet(QStringLiteral("QToolBar { border: 0px; padding: 0px; }"));
  speedBarHolder_->addWidget(speedBar_);
  addToolBar(Qt::TopToolBarArea, speedBarHolder_);
}

void TMainForm::createStatusBar() {
  statusLine_ = statusBar();
  statusLine_->setFixedHeight(23);
}

// ---------------------------------------------------------------------------
// Documents

TRTFchild* TMainForm::CreateMDIChild(const QString& fileName, bool askOutput) {
  return CreateMDIChild(QFile::encodeName(fileName), askOutput);
}

TRTFchild* TMainForm::CreateMDIChild(const QByteArray& path, bool askOutput) {
  auto* child = new TRTFchild;
  QMdiSubWindow* window = mdiArea_->addSubWindow(child);
  window->setAttribute(Qt::WA_DeleteOnClose);
  // The document's own Close item owns Ctrl+F4; the sub-window's system
  // menu binds the same key, which would make the key ambiguous.
  for (QAction* action : window->systemMenu()->actions())
    action->setShortcuts({});
  connect(child, &TRTFchild::NewRequested, this, &TMainForm::FileNew);
  connect(child, &TRTFchild::OpenRequested, this, &TMainForm::FileOpen);
  connect(child, &TRTFchild::ExitRequested, this, &TMainForm::FileExit);
  QList<QKeySequence> frameKeys;
  for (QAction* action : findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly))
    frameKeys.append(action->shortcut());
  child->ReserveKeys(frameKeys);
  // Files dropped on a document are opened, not pasted into it.
  connect(child, &TRTFchild::DropOffered, this, &TMainForm::OfferDrop);

  if (path.isEmpty())
    child->SetCaption(QStringLiteral("(No Name %1)").arg(mdiArea_->subWindowList().size()));
  else
    child->OpenInputPath(path);
  window->show();
  mdiArea_->setActiveSubWindow(window);

  // The pass lets events run, so the window may be gone when it returns.
  QPointer<TRTFchild> alive(child);
  if (!path.isEmpty()) {
    child->ScanFile(askOutput);
    // The progress dialog was the active window; once it is gone the user
    // works on in the frame, keyboard included.
    if (isVisible() && !QApplication::activeWindow())
      activateWindow();
  }
  return alive;
}

TRTFchild* TMainForm::ActiveChild() const {
  // The current sub-window stays current while another top-level window
  // (the progress dialog, a message box) is active.
  QMdiSubWindow* window = mdiArea_->currentSubWindow();
  return window ? qobject_cast<TRTFchild*>(window->widget()) : nullptr;
}

QList<TRTFchild*> TMainForm::Children() const {
  QList<TRTFchild*> children;
  const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
  for (QMdiSubWindow* window : windows) {
    if (auto* child = qobject_cast<TRTFchild*>(window->widget()))
      children.append(child);
  }
  return children;
}

// ---------------------------------------------------------------------------
// Commands

void TMainForm::FileNew() {
  CreateMDIChild(QString(), false);
}

void TMainForm::FileOpen() {
  const QString path = Dialogs().GetOpenFileName(this, QStringLiteral("All files (*)"));
  if (!path.isEmpty())
    CreateMDIChild(path, true);
}

void TMainForm::FileExit() {
  close();
}

void TMainForm::WindowTile() {
  TileOneAboveAnother(*mdiArea_);
}

void TMainForm::WindowCascade() {
  mdiArea_->cascadeSubWindows();
}

void TMainForm::WindowArrange() {
  ArrangeIcons(*mdiArea_);
}

void TMainForm::HelpContents() {
  ShowHelpContents();
}

void TMainForm::HelpSearch() {
  ShowHelpIndex();
}

void TMainForm::HelpAbout() {
  if (MyAboutBox)
    MyAboutBox->exec();
}

void TMainForm::OptionsEntryClick() {
  RunOptionsDialog();
}

void TMainForm::EncodingsEntryClick() {
  RunEncodingsDialog(this);
}

void TMainForm::ActOnActiveChild(void (TRTFchild::*handler)()) {
  // As if chosen in the document's own menu; without a document, nothing.
  if (TRTFchild* child = ActiveChild())
    (child->*handler)();
}

void TMainForm::SaveBtnClick() {
  ActOnActiveChild(&TRTFchild::FileSaveItemClick);
}

void TMainForm::PrintBtnClick() {
  ActOnActiveChild(&TRTFchild::FilePrintItemClick);
}

void TMainForm::UndoBtnClick() {
  ActOnActiveChild(&TRTFchild::EditUndoItemClick);
}

void TMainForm::CutBtnClick() {
  ActOnActiveChild(&TRTFchild::EditCutItemClick);
}

void TMainForm::CopyBtnClick() {
  ActOnActiveChild(&TRTFchild::EditCopyItemClick);
}

void TMainForm::PasteBtnClick() {
  ActOnActiveChild(&TRTFchild::EditPasteItemClick);
}

void TMainForm::PostInit() {
  for (const QByteArray& file : commandLineFiles_)
    CreateMDIChild(file, false);
}

void TMainForm::ShowHint(const QString& hint) {
  if (hint.isEmpty())
    statusLine_->clearMessage();
  else
    statusLine_->showMessage(hint);
}

void TMainForm::UpdateMenuItems() {
  // A closing window is hidden before it goes; it no longer counts.
  qsizetype count = 0;
  const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
  for (QMdiSubWindow* window : windows) {
    if (!window->isHidden())
      ++count;
  }
  // The menu items, then the buttons through the actions they show, in
  // this order; nothing else is touched.
  QList<QAction*> ruled = {windowCascadeItem_, windowTileItem_, windowArrangeItem_};
  for (QToolButton* button : {saveBtn_, printBtn_, undoBtn_, cutBtn_, copyBtn_, pasteBtn_, tileBtn_,
                              cascadeBtn_, arrangeBtn_})
    ruled.append(button->defaultAction());
  for (QAction* item : ruled)
    item->setEnabled(count > 0);
}

// ---------------------------------------------------------------------------
// Menu bar and window list

void TMainForm::updateMenuBar() {
  TRTFchild* child = ActiveChild();
  QList<QAction*> wanted;
  wanted.append(child ? child->FileMenu()->menuAction() : fileMenu_->menuAction());
  if (child)
    wanted.append(child->EditMenu()->menuAction());
  wanted << windowMenu_->menuAction() << optionsMenu_->menuAction() << helpMenu_->menuAction();
  // Left alone when nothing changed, so that an open menu stays open.
  if (mainMenu_->actions() == wanted)
    return;
  mainMenu_->clear();
  mainMenu_->addActions(wanted);
}

void TMainForm::updateWindowMenu() {
  windowList_->Rebuild();
}

// ---------------------------------------------------------------------------
// Events

bool TMainForm::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QMainWindow::event(event);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // Every document is asked first; one refusal keeps everything open.
  const QList<TRTFchild*> children = Children();
  for (TRTFchild* child : children) {
    if (!child->FormCloseQuery()) {
      event->ignore();
      return;
    }
  }
  // FormClose: the close goes ahead only once the options are saved. A save
  // error propagates to the error box with the close still refused.
  event->ignore();
  QSettingsStore store;
  SaveTextOptions(store, GlobalTextOptions());
  event->accept();
  // The program ends when the event loop gets back control, which a pass
  // still running or waiting would hold, unseen, until it was done: those
  // documents close now, a running pass cancelled first.
  const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
  for (QMdiSubWindow* window : windows) {
    auto* child = qobject_cast<TRTFchild*>(window->widget());
    if (child && child->IsScanning())
      window->close();
  }
  // The loop ends with the frame, even while the progress dialog or the
  // help viewer, windows of their own, are still on the screen (the last
  // window closed would never be seen); a cancelled pass returns first.
  // Before the loop has started (a pass over a command-line file) there is
  // no loop to end, and none is started.
  if (QThread::currentThread()->loopLevel() > 0)
    QCoreApplication::quit();
}

QMenu* TMainForm::createPopupMenu() {
  return nullptr;
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFiles(event->mimeData()).isEmpty())
    event->acceptProposedAction();
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event) {
  if (!DroppedFiles(event->mimeData()).isEmpty())
    event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  const QList<QByteArray> files = DroppedFiles(event->mimeData());
  if (files.isEmpty())
    return;
  event->acceptProposedAction();
  WMDropFiles(files);
}

void TMainForm::OfferDrop(QDropEvent* event) {
  // Drags of files over a document's editor belong to the frame, once the
  // frame takes drops at all.
  if (!acceptDrops() || DroppedFiles(event->mimeData()).isEmpty())
    return;
  if (event->type() == QEvent::Drop)
    dropEvent(event);
  else
    event->acceptProposedAction();
}

void TMainForm::WMDropFiles(const QList<QByteArray>& files) {
  for (const QByteArray& file : files)
    CreateMDIChild(file, false);
}

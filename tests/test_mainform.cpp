// The main window: document creation, menus and their merging, the window
// list, the tool bar and its routing, the enable rule, hints, drops and the
// closing sequence, driven through real events.

#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "settings/QSettingsStore.h"
#include "settings/TextOptions.h"
#include "support/DocumentTestSupport.h"
#include "support/FakeDialogService.h"
#include "ui/Hint.h"
#include "ui/TOptions.h"
#include "ui/TRTFchild.h"
#include "ui/TScanDlg.h"
#include "ui/TextEditor.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray EditorText(const TRTFchild* child) {
  return child->Edit()->Range(0, child->Edit()->Length());
}

QString SettingsPath() {
  return QSettingsStore::FileName();
}

QStringList MenuTitles(const QMenuBar* bar) {
  QStringList titles;
  const QList<QAction*> actions = bar->actions();
  for (const QAction* action : actions)
    titles.append(action->text());
  return titles;
}

// Sends a file manager's drop of `files` to `target`.
bool Drop(QWidget* target, const QMimeData& data) {
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  if (!enter.isAccepted())
    return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

bool Drop(QWidget* target, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  return Drop(target, data);
}

// Answers the real file dialogs as a user would: the open dialog's folder is
// noted and `choice` taken; a save dialog is cancelled.
class FileDialogUser : public QObject {
public:
  explicit FileDialogUser(const QString& choice) : choice_(choice) {
    connect(&timer_, &QTimer::timeout, this, &FileDialogUser::Answer);
    timer_.start(20);
  }
  QStringList openedIn;

private:
  void Answer() {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible())
      return;
    if (dialog->acceptMode() == QFileDialog::AcceptSave) {
      dialog->reject();
      return;
    }
    openedIn.append(dialog->directory().absolutePath());
    // Typed into the name field and confirmed with Enter.
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name)
      return;
    name->setText(choice_);
    QTest::keyClick(name, Qt::Key_Return);
  }
  QString choice_;
  QTimer timer_;
};

// Notes, in order, each time one of the watched menu items or buttons is
// switched on or off.
class EnabledChanges : public QObject {
public:
  void Watch(QAction* item, const QString& name) {
    connect(item, &QAction::enabledChanged, this, [this, name] { names.append(name); });
  }
  void Watch(QWidget* button) { button->installEventFilter(this); }
  QStringList names;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::EnabledChange)
      names.append(watched->objectName());
    return false;
  }
};
} // namespace

class TestMainForm : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  std::unique_ptr<FakeDialogService> dialogs;
  TMainForm* form = nullptr;

  QString WriteSample(const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
      file.write(bytes);
    return path;
  }

  void CloseDocument(TRTFchild* child) {
    for (QMdiSubWindow* window : form->MdiArea()->subWindowList()) {
      if (window->widget() == child)
        window->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // Keys go where the user's typing goes: the focused widget.
  void Type(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form;
    QTest::keyClick(target, Qt::Key(key), modifiers);
  }

private slots:
  void init() {
    QFile::remove(SettingsPath());
    GlobalTextOptions() = TextOptions();
    dialogs = std::make_unique<FakeDialogService>();
    form = new TMainForm;
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form));
  }

  void cleanup() {
    delete form;
    form = nullptr;
    dialogs.reset();
  }

  void buttonPicturesHaveTheirTwoHalves() {
    // Every picture loads; its disabled half differs from the normal one, and
    // olive, the bottom-left colour, is see-through.
    const QList<QToolButton*> buttons = form->SpeedBar()->findChildren<QToolButton*>();
    QCOMPARE(buttons.size(), 13);
    for (QToolButton* button : buttons) {
      const QImage normal = button->icon().pixmap(20, 20, QIcon::Normal).toImage();
      const QImage disabled = button->icon().pixmap(20, 20, QIcon::Disabled).toImage();
      QVERIFY2(!normal.isNull(), qPrintable(button->objectName()));
      QVERIFY(normal != disabled);
      QCOMPARE(qAlpha(normal.pixel(0, 19)), 0);
      QVERIFY(form->SpeedBar()->rect().contains(button->geometry()));
    }
  }

  void fileNewNumbersByWindowCount() {
    form->FileNew();
    QCOMPARE(form->Children().at(0)->Caption(), QStringLiteral("(No Name 1)"));
    QVERIFY(form->Children().at(0)->InputFileName().isEmpty());
    form->FileNew();
    form->FileNew();
    QCOMPARE(form->Children().at(2)->Caption(), QStringLiteral("(No Name 3)"));
    CloseDocument(form->Children().at(0));
    QCOMPARE(form->Children().size(), 2);
    form->FileNew();
    // Two left plus the new one: the number repeats.
    QCOMPARE(form->Children().at(2)->Caption(), QStringLiteral("(No Name 3)"));
  }

  void ctrlNMakesExactlyOneWindow() {
    Type(Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(form->Children().size(), 1);
    form->FileNew();
    QCOMPARE(form->Children().size(), 2);
    QVERIFY(form->ActiveChild()->isAncestorOf(QApplication::focusWidget()));
    Type(Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(form->Children().size(), 3);
    // The document's own File menu reaches the frame's commands too.
    Item(form->ActiveChild(), "FileNewItem")->trigger();
    QCOMPARE(form->Children().size(), 4);
    QCOMPARE(form->Children().at(3)->Caption(), QStringLiteral("(No Name 4)"));
  }

  void fileOpenOffersAnOutputFile() {
    const QString path = WriteSample(QStringLiteral("open.bin"), "\x01Hellothere\x02");
    dialogs->openAnswers = {path};
    Type(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(dialogs->openFilters, QStringList({"All files (*)"}));
    QCOMPARE(form->Children().size(), 1);
    TRTFchild* child = form->Children().at(0);
    QCOMPARE(child->InputFileName(), path);
    QCOMPARE(child->Caption(), path);
    // The pass offered the output file (answered with cancel: the editor).
    QCOMPARE(dialogs->saveProposals.size(), 1);
    QVERIFY(EditorText(child).contains("Hellothere"));

    // The frame is active again once the progress dialog has gone, with the
    // new document's editor focused.
    QVERIFY(QTest::qWaitForWindowActive(form));
    QVERIFY(child->isAncestorOf(QApplication::focusWidget()));
    // Cancelling the open dialog does nothing; with a document active the
    // shortcut is the document's and asks the frame the same way.
    Type(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(dialogs->openFilters.size(), 2);
    QCOMPARE(form->Children().size(), 1);
  }

  void menuBarMergesTheActiveDocument() {
    form->FileNew();
    TRTFchild* child = form->ActiveChild();
    QVERIFY(child);
    QCOMPARE(MenuTitles(form->MainMenu()),
             QStringList({"&File", "&Edit", "&Window", "&Options", "&Help"}));
    QCOMPARE(form->MainMenu()->actions().at(0), child->FileMenu()->menuAction());
    QCOMPARE(form->MainMenu()->actions().at(1), child->EditMenu()->menuAction());

    form->FileNew();
    TRTFchild* second = form->ActiveChild();
    QVERIFY(second != child);
    QCOMPARE(form->MainMenu()->actions().at(0), second->FileMenu()->menuAction());

    CloseDocument(second);
    CloseDocument(child);
    QCOMPARE(MenuTitles(form->MainMenu()), QStringList({"&File", "&Window", "&Options", "&Help"}));
    QCOMPARE(form->MainMenu()->actions().at(0), form->FileMenu()->menuAction());
  }

  void windowListMarksAndActivates() {
    form->FileNew();
    form->FileNew();
    emit form->WindowMenu()->aboutToShow();
    QStringList entries;
    QAction* first = nullptr;
    QList<bool> checked;
    for (QAction* action : form->WindowMenu()->actions()) {
      if (action->isSeparator() || !action->isCheckable())
        continue;
      entries.append(action->text());
      checked.append(action->isChecked());
      if (!first)
        first = action;
    }
    QCOMPARE(entries, QStringList({"&1 (No Name 1)", "&2 (No Name 2)"}));
    QCOMPARE(checked, QList<bool>({false, true}));
    first->trigger();
    QCOMPARE(form->ActiveChild()->Caption(), QStringLiteral("(No Name 1)"));
    emit form->WindowMenu()->aboutToShow();
    int marked = 0;
    for (QAction* action : form->WindowMenu()->actions())
      marked += action->isChecked() ? 1 : 0;
    QCOMPARE(marked, 1);
    QCOMPARE(form->WindowMenu()->actions().at(0), form->WindowTileItem());
  }

  void enableRuleFollowsTheDocumentCount() {
    const QList<QToolButton*> ruled = {form->SaveBtn(), form->PrintBtn(),   form->UndoBtn(),
                                       form->CutBtn(),  form->CopyBtn(),    form->PasteBtn(),
                                       form->TileBtn(), form->CascadeBtn(), form->ArrangeBtn()};
    const QList<QAction*> ruledItems = {form->WindowTileItem(), form->WindowCascadeItem(),
                                        form->WindowArrangeItem()};
    const QList<QToolButton*> always = {form->OpenBtn(), form->HelpBtn(), form->AboutBtn(),
                                        form->ExitBtn()};
    // The window's activation was the first active-form change.
    for (QToolButton* b : ruled)
      QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    for (QAction* a : ruledItems)
      QVERIFY(!a->isEnabled());
    for (QToolButton* b : always)
      QVERIFY(b->isEnabled());

    form->FileNew();
    for (QToolButton* b : ruled)
      QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    for (QAction* a : ruledItems)
      QVERIFY(a->isEnabled());

    CloseDocument(form->Children().at(0));
    for (QToolButton* b : ruled)
      QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    for (QAction* a : ruledItems)
      QVERIFY(!a->isEnabled());
    for (QToolButton* b : always)
      QVERIFY(b->isEnabled());
    QVERIFY(form->FileNewItem()->isEnabled() && form->OptionsEntry()->isEnabled() &&
            form->HelpAboutItem()->isEnabled());

    // Not applied before the first notification: a new frame has all on.
    TMainForm fresh;
    for (QToolButton* b :
         {fresh.SaveBtn(), fresh.PrintBtn(), fresh.UndoBtn(), fresh.CutBtn(), fresh.CopyBtn(),
          fresh.PasteBtn(), fresh.TileBtn(), fresh.CascadeBtn(), fresh.ArrangeBtn()})
      QVERIFY(b->isEnabled());
    QVERIFY(fresh.WindowTileItem()->isEnabled());
  }

  void buttonsShowActionsWithTheirOwnHints() {
    // Each button shows an action of its own at its place on the panel; its
    // tips are the button's hint, not the longer one of the document's menu
    // item for the same command.
    struct Expected {
      const char* name;
      int left;
      const char* tip;
    };
    const Expected expected[] = {{"OpenBtn", 8, "Open"},
                                 {"SaveBtn", 32, "Save"},
                                 {"PrintBtn", 56, "Print"},
                                 {"UndoBtn", 84, "Undo"},
                                 {"CutBtn", 112, "Cut"},
                                 {"CopyBtn", 136, "Copy"},
                                 {"PasteBtn", 160, "Paste"},
                                 {"TileBtn", 188, "Tile"},
                                 {"CascadeBtn", 212, "Cascade"},
                                 {"ArrangeBtn", 236, "Arrange"},
                                 {"HelpBtn", 264, "Help Contents"},
                                 {"AboutBtn", 288, "About"},
                                 {"ExitBtn", 316, "Exit"}};
    form->FileNew();
    QList<QAction*> shown;
    for (const Expected& e : expected) {
      auto* button = form->SpeedBar()->findChild<QToolButton*>(QLatin1String(e.name));
      QVERIFY2(button, e.name);
      QCOMPARE(button->geometry(), QRect(e.left, 0, 25, 25));
      QVERIFY(button->autoRaise());
      QCOMPARE(button->focusPolicy(), Qt::NoFocus);
      QAction* action = button->defaultAction();
      QVERIFY2(action && !shown.contains(action), e.name);
      shown.append(action);
      QCOMPARE(button->toolTip(), QLatin1String(e.tip));
      QCOMPARE(button->statusTip(), QLatin1String(e.tip));
      QCOMPARE(action->toolTip(), QLatin1String(e.tip));
      QCOMPARE(action->statusTip(), QLatin1String(e.tip));
      QVERIFY(button->text().isEmpty());
    }
    TRTFchild* child = form->ActiveChild();
    QCOMPARE(Item(child, "FileSaveItem")->statusTip(), QStringLiteral("Save current file"));
    QTest::mouseMove(form->SaveBtn());
    QCOMPARE(form->StatusLine()->currentMessage(), QStringLiteral("Save"));
    QTest::mouseMove(form->HelpBtn());
    QCOMPARE(form->StatusLine()->currentMessage(), QStringLiteral("Help Contents"));
  }

  void hintIsSplitAtItsBar() {
    QAction action;
    SetHint(&action, QStringLiteral("Short|The long one"));
    QCOMPARE(action.toolTip(), QStringLiteral("Short"));
    QCOMPARE(action.statusTip(), QStringLiteral("The long one"));
    // Without a bar the hint serves as both.
    SetHint(&action, QStringLiteral("Both"));
    QCOMPARE(action.toolTip(), QStringLiteral("Both"));
    QCOMPARE(action.statusTip(), QStringLiteral("Both"));
  }

  void disabledButtonsDoNothing() {
    // With no document the ruled buttons are off: a click reaches no command.
    const QList<QToolButton*> ruled = {form->SaveBtn(), form->PrintBtn(),   form->UndoBtn(),
                                       form->CutBtn(),  form->CopyBtn(),    form->PasteBtn(),
                                       form->TileBtn(), form->CascadeBtn(), form->ArrangeBtn()};
    for (QToolButton* button : ruled) {
      QSignalSpy triggered(button->defaultAction(), &QAction::triggered);
      QTest::mouseClick(button, Qt::LeftButton);
      QVERIFY2(triggered.isEmpty(), qPrintable(button->objectName()));
    }
    QVERIFY(dialogs->saveProposals.isEmpty());
    QCOMPARE(dialogs->printDialogs, 0);

    // An enabled button runs its command once per click.
    QTest::mouseClick(form->OpenBtn(), Qt::LeftButton);
    QCOMPARE(dialogs->openFilters.size(), 1);
    QVERIFY(form->Children().isEmpty());
    form->FileNew();
    QSignalSpy tiled(form->TileBtn()->defaultAction(), &QAction::triggered);
    QTest::mouseClick(form->TileBtn(), Qt::LeftButton);
    QCOMPARE(tiled.size(), 1);
  }

  void enableRuleKeepsItsOrderWithTheButtonsInStep() {
    // The Window items, then the buttons, each button as its action is set.
    EnabledChanges changes;
    changes.Watch(form->WindowCascadeItem(), QStringLiteral("WindowCascadeItem"));
    changes.Watch(form->WindowTileItem(), QStringLiteral("WindowTileItem"));
    changes.Watch(form->WindowArrangeItem(), QStringLiteral("WindowArrangeItem"));
    const QList<QToolButton*> buttons = form->SpeedBar()->findChildren<QToolButton*>();
    for (QToolButton* button : buttons)
      changes.Watch(button);
    const QStringList order = {
        "WindowCascadeItem", "WindowTileItem", "WindowArrangeItem", "SaveBtn",  "PrintBtn",
        "UndoBtn",           "CutBtn",         "CopyBtn",           "PasteBtn", "TileBtn",
        "CascadeBtn",        "ArrangeBtn"};
    auto inStep = [&buttons] {
      for (QToolButton* button : buttons) {
        if (button->isEnabled() != button->defaultAction()->isEnabled())
          return false;
      }
      return true;
    };

    form->FileNew();
    QCOMPARE(changes.names, order);
    QVERIFY(inStep());
    changes.names.clear();
    form->FileNew();
    QVERIFY(changes.names.isEmpty());
    CloseDocument(form->Children().at(0));
    CloseDocument(form->Children().at(0));
    QCOMPARE(changes.names, order);
    QVERIFY(inStep());
  }

  void toolBarActsLikeTheDocumentsMenu() {
    form->FileNew();
    TRTFchild* child = form->ActiveChild();
    SetEditorText(*child, "alpha beta");
    child->Edit()->Select(0, 5);
    QTest::mouseClick(form->CopyBtn(), Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("alpha"));
    QCOMPARE(EditorText(child), QByteArray("alpha beta"));

    QTest::mouseClick(form->CutBtn(), Qt::LeftButton);
    QCOMPARE(EditorText(child), QByteArray(" beta"));
    child->Edit()->GoTo(5);
    QTest::mouseClick(form->PasteBtn(), Qt::LeftButton);
    QCOMPARE(EditorText(child), QByteArray(" betaalpha"));
    QTest::mouseClick(form->UndoBtn(), Qt::LeftButton);
    QCOMPARE(EditorText(child), QByteArray(" beta"));
    // The same steps through the document's own items give the same text.
    Item(child, "EditUndoItem")->trigger();
    QCOMPARE(EditorText(child), QByteArray("alpha beta"));

    const QString saved = dir.filePath(QStringLiteral("saved.txt"));
    dialogs->saveAnswers = {saved};
    QTest::mouseClick(form->SaveBtn(), Qt::LeftButton);
    QCOMPARE(dialogs->saveProposals.size(), 1);
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("alpha beta"));
    QCOMPARE(child->Caption(), QStringLiteral("(No Name 1) -> ") + saved);

    QTest::mouseClick(form->PrintBtn(), Qt::LeftButton);
    QCOMPARE(dialogs->printDialogs, 1);

    // With no document the routing does nothing.
    CloseDocument(child);
    form->SaveBtnClick();
    form->PrintBtnClick();
    form->PasteBtnClick();
    QCOMPARE(dialogs->saveProposals.size(), 1);
    QCOMPARE(dialogs->printDialogs, 1);
  }

  void hintsGoToTheStatusLine() {
    QTest::mouseMove(form->SaveBtn());
    QCOMPARE(form->StatusLine()->currentMessage(), QStringLiteral("Save"));
    QTest::mouseMove(form->ExitBtn());
    QCOMPARE(form->StatusLine()->currentMessage(), QStringLiteral("Exit"));
    QCOMPARE(form->ExitBtn()->toolTip(), QStringLiteral("Exit"));
    // Over the empty client area there is no hint.
    QTest::mouseMove(form->MdiArea()->viewport(), form->MdiArea()->viewport()->rect().center());
    QVERIFY(form->StatusLine()->currentMessage().isEmpty());

    // A highlighted menu item's hint, the document's items included.
    form->FileNew();
    form->MainMenu()->setActiveAction(form->MainMenu()->actions().at(1)); // Edit
    QMenu* edit = form->ActiveChild()->EditMenu();
    QTRY_VERIFY(edit->isVisible());
    edit->setActiveAction(Item(form->ActiveChild(), "EditCopyItem"));
    QCOMPARE(form->StatusLine()->currentMessage(),
             QStringLiteral("Copy selected text to clipboard"));
    edit->hide();
    form->MainMenu()->setActiveAction(form->MainMenu()->actions().at(2)); // Window
    QTRY_VERIFY(form->WindowMenu()->isVisible());
    form->WindowMenu()->setActiveAction(form->WindowTileItem());
    QCOMPARE(form->StatusLine()->currentMessage(), QStringLiteral("Tile all windows"));
    form->WindowMenu()->hide();
    QVERIFY(form->StatusLine()->currentMessage().isEmpty());
  }

  void dropOpensFilesInOrder() {
    const QString a = WriteSample(QStringLiteral("a.bin"), "firstfile");
    const QString b = WriteSample(QStringLiteral("b.bin"), "secondfile");
    const QString c = WriteSample(QStringLiteral("c.bin"), "thirdfile");
    QVERIFY(form->acceptDrops());
    QVERIFY(Drop(form, {QUrl::fromLocalFile(a), QUrl::fromLocalFile(b), QUrl::fromLocalFile(c)}));
    QCOMPARE(form->Children().size(), 3);
    QCOMPARE(form->Children().at(0)->Caption(), a);
    QCOMPARE(form->Children().at(1)->Caption(), b);
    QCOMPARE(form->Children().at(2)->Caption(), c);
    QVERIFY(EditorText(form->Children().at(1)).contains("secondfile"));
    QVERIFY(dialogs->saveProposals.isEmpty());

    // Dropped on a document, the file opens in a window of its own instead
    // of being pasted as text.
    TRTFchild* target = form->Children().at(0);
    // Where a file manager drops: the widget under the pointer, the text area.
    QWidget* under = target->Edit()->childAt(target->Edit()->rect().center());
    QVERIFY(under);
    QVERIFY(Drop(under, {QUrl::fromLocalFile(b)}));
    QCOMPARE(form->Children().size(), 4);
    QVERIFY(!EditorText(target).contains("b.bin"));

    // Only local files count.
    QVERIFY(!Drop(form, {QUrl(QStringLiteral("https://example.org/x.bin"))}));
    QCOMPARE(form->Children().size(), 4);
  }

  void optionsEntryRunsTheDialog() {
    TOptions dialog;
    Options = &dialog;
    bool shown = false;
    QTimer::singleShot(0, &dialog, [&] {
      shown = dialog.isVisible();
      dialog.reject();
    });
    Type(Qt::Key_T, Qt::ControlModifier);
    Options = nullptr;
    QVERIFY(shown);
  }

  void frameKeysReachTheFrameFromADocumentsEditor() {
    // The editor binds Ctrl+T to a command of its own; the frame's item wins.
    form->FileNew();
    TRTFchild* child = form->Children().at(0);
    child->Edit()->setFocus();
    QVERIFY(QApplication::focusWidget() == child->Edit()->focusProxy());
    optionsEntryRunsTheDialog();
  }

  void closeAbandonedWhileADocumentRefuses() {
    form->FileNew();
    form->FileNew();
    TRTFchild* child = form->Children().at(0);
    Item(child, "FindMenu")->trigger();
    QVERIFY(child->FindDialog() && child->FindDialog()->isVisible());

    QVERIFY(!form->close());
    QVERIFY(form->isVisible());
    QCOMPARE(form->Children().size(), 2);
    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->messages.at(0).caption, QStringLiteral("Sift Well Error"));
    // The options were not saved.
    QVERIFY(!QFileInfo::exists(SettingsPath()) || QFileInfo(SettingsPath()).size() == 0);

    child->FindDialog()->hide();
    GlobalTextOptions().MinChar = 7;
    // Exit from the document's own File menu closes the frame.
    Item(form->ActiveChild(), "FileExitItem")->trigger();
    QVERIFY(!form->isVisible());
    QSettings check(SettingsPath(), QSettings::IniFormat);
    QCOMPARE(check.value(QStringLiteral("Options/MinChar")).toString(), QStringLiteral("7"));
    QCOMPARE(check.value(QStringLiteral("Options/Upper")).toString(), QStringLiteral("1"));
  }

  void closeWithUnwritableSettingsKeepsRunning() {
    // Root ignores permission bits: the settings folder's parent is a file.
    const QString blocker = WriteSample(QStringLiteral("not-a-folder"), "x");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocker);
    form->FileNew();
    QTest::mouseClick(form->ExitBtn(), Qt::LeftButton);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")));
    QVERIFY(form->isVisible());
    QCOMPARE(form->Children().size(), 1);
    QCOMPARE(dialogs->messages.size(), 1);
    QCOMPARE(dialogs->messages.at(0).text, QStringLiteral("Failed to create key Options."));
    QCOMPARE(dialogs->messages.at(0).icon, DialogService::Icon::Critical);

    // Once the store can be written again, the same close goes through.
    QTest::mouseClick(form->ExitBtn(), Qt::LeftButton);
    QVERIFY(!form->isVisible());
    QVERIFY(QFileInfo::exists(SettingsPath()));
  }

  void exitDuringAPassEndsThePass() {
    // An endless input: only the exit can end this pass, however fast the
    // machine.
    QTimer::singleShot(0, form, &TMainForm::FileExit);
    QPointer<TRTFchild> child = form->CreateMDIChild(QStringLiteral("/dev/zero"), false);
    QVERIFY(!form->isVisible());
    QVERIFY(QFileInfo::exists(SettingsPath()));
    // The pass ended and its window went with it, once ScanFile had returned.
    QTRY_VERIFY(!child);
  }

  void captionShowsTheNameUnchanged() {
    // "[*]" is Qt's modified marker in a window title; here it is part of a
    // file name and must be shown as it stands.
    const QString path = WriteSample(QStringLiteral("draft [*] copy.bin"), "Drafted text");
    TRTFchild* child = form->CreateMDIChild(path, false);
    QCOMPARE(child->Caption(), path);
    emit form->WindowMenu()->aboutToShow();
    QStringList entries;
    for (QAction* action : form->WindowMenu()->actions()) {
      if (action->isCheckable())
        entries.append(action->text());
    }
    QCOMPARE(entries, QStringList({QStringLiteral("&1 ") + path}));
    // Maximised, the document's caption joins the frame's title bar.
    child->parentWidget()->showMaximized();
    QTRY_VERIFY(form->windowHandle()->title().contains(path));
  }

  void openDialogStartsWhereItWasLeft() {
    const QString first = WriteSample(QStringLiteral("deep/first.bin"), "First file");
    const QString second = WriteSample(QStringLiteral("deep/second.bin"), "Second file");
    dialogs.reset(); // the real dialogs
    {
      FileDialogUser user(first);
      Type(Qt::Key_O, Qt::ControlModifier);
      QCOMPARE(user.openedIn.size(), 1);
    }
    QCOMPARE(form->Children().size(), 1);
    QVERIFY(QTest::qWaitForWindowActive(form));
    FileDialogUser user(QFileInfo(second).fileName());
    Type(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(user.openedIn, QStringList({QFileInfo(first).absolutePath()}));
    QCOMPARE(form->Children().size(), 2);
    QCOMPARE(form->Children().at(1)->InputFileName(), second);
  }

  void ctrlF4ClosesTheActiveDocument() {
    QTest::failOnWarning(QRegularExpression(QStringLiteral("Ambiguous shortcut")));
    form->FileNew();
    form->FileNew();
    form->FileNew();
    TRTFchild* active = form->ActiveChild();
    QCOMPARE(active->Caption(), QStringLiteral("(No Name 3)"));
    active->Edit()->setFocus();
    QPointer<TRTFchild> gone(active);
    Type(Qt::Key_F4, Qt::ControlModifier);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!gone);
    QCOMPARE(form->Children().size(), 2);
    // Again, on whichever document is active now.
    form->ActiveChild()->Edit()->setFocus();
    Type(Qt::Key_F4, Qt::ControlModifier);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(form->Children().size(), 1);
  }

  void toolBarCannotBeHidden() {
    // A right click on the menu bar or the tool bar offers no menu that
    // could hide the tool bar.
    QVERIFY(!form->createPopupMenu());
    bool popped = false;
    QTimer closer;
    connect(&closer, &QTimer::timeout, [&] {
      if (QWidget* popup = QApplication::activePopupWidget()) {
        popped = true;
        popup->close();
      }
    });
    closer.start(20);
    for (QWidget* target : {static_cast<QWidget*>(form->MainMenu()), form->SpeedBar()}) {
      QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(300, 5),
                             target->mapToGlobal(QPoint(300, 5)));
      QCoreApplication::sendEvent(target, &menu);
    }
    QVERIFY(!popped);
    // Shown only while the tool bar that holds it is.
    QVERIFY(form->SpeedBar()->isVisible());
  }

  void dropOfANameThatIsNotUtf8() {
    // A file manager percent-encodes a name's bytes in the list it drops.
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray name = folder + "/\xff\xfe old name.bin";
    QVERIFY(WriteFileNamed(name, "Dropped\x01text"));
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"),
                 "file://" + folder.toPercentEncoding("/") + "/%FF%FE%20old%20name.bin\r\n");
    QVERIFY(Drop(form, data));
    QCOMPARE(form->Children().size(), 1);
    TRTFchild* child = form->Children().at(0);
    QCOMPARE(child->InputPath(), name);
    QCOMPARE(child->Caption(),
             QFile::decodeName(folder) + QStringLiteral("/\ufffd\ufffd old name.bin"));
    QCOMPARE(EditorText(child), QByteArray("Dropped"));
    QVERIFY(dialogs->messages.isEmpty());
    ::unlink(name.constData());
  }

  void exitDuringAPassOnAPipeEndsTheProgram() {
    // A pipe whose writer sends a line and then stays open: the pass waits
    // on it while the progress dialog, and another top-level window (as the
    // help viewer is), stay on the screen. Exit must still end the loop.
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("exit.fifo")));
    ::unlink(fifo.constData());
    QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
    const int writer = ::open(fifo.constData(), O_RDWR | O_NONBLOCK);
    QVERIFY(writer >= 0);
    QVERIFY(::write(writer, "Waiting words\n", 14) == 14);
    QWidget viewer;
    viewer.setWindowTitle(QStringLiteral("Another window"));
    viewer.show();
    bool watchdog = false;
    QPointer<TRTFchild> child;
    QTimer::singleShot(0, form, [&] { child = form->CreateMDIChild(fifo, false); });
    QTimer::singleShot(300, form, [&] {
      QVERIFY(ScanDlg && ScanDlg->isVisible());
      QTest::mouseClick(form->ExitBtn(), Qt::LeftButton);
    });
    QTimer::singleShot(10000, form, [&] {
      watchdog = true;
      QCoreApplication::exit(1);
    });
    const int status = QCoreApplication::exec();
    ::close(writer);
    QVERIFY2(!watchdog, "the event loop went on after Exit");
    QCOMPARE(status, 0);
    QVERIFY(!form->isVisible());
    QVERIFY(QFileInfo::exists(SettingsPath()));
    QTRY_VERIFY(!child);
  }

  void tileCascadeAndArrange() {
    form->resize(700, 600);
    form->FileNew();
    form->FileNew();
    form->FileNew();
    const QRect area = form->MdiArea()->viewport()->rect();
    QTest::mouseClick(form->TileBtn(), Qt::LeftButton);
    const QList<QMdiSubWindow*> windows = form->MdiArea()->subWindowList(QMdiArea::CreationOrder);
    int covered = 0;
    for (QMdiSubWindow* w : windows) {
      QCOMPARE(w->x(), 0);
      QCOMPARE(w->width(), area.width());
      covered += w->height();
    }
    QCOMPARE(covered, area.height());
    QVERIFY(!windows.at(0)->geometry().intersects(windows.at(1)->geometry()));
    QVERIFY(!windows.at(1)->geometry().intersects(windows.at(2)->geometry()));

    form->WindowCascadeItem()->trigger();
    QVERIFY(windows.at(0)->pos() != windows.at(1)->pos());
    QVERIFY(windows.at(1)->pos() != windows.at(2)->pos());

    windows.at(0)->showMinimized();
    windows.at(2)->showMinimized();
    windows.at(0)->move(200, 30);
    QTest::mouseClick(form->ArrangeBtn(), Qt::LeftButton);
    QCOMPARE(windows.at(0)->pos(), QPoint(0, area.height() - windows.at(0)->height()));
    QCOMPARE(windows.at(2)->pos(),
             QPoint(windows.at(0)->width(), area.height() - windows.at(2)->height()));
  }
};

// The error catch point is part of what is tested, so the application is the
// program's own rather than QTEST_MAIN's.
int main(int argc, char* argv[]) {
  TApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  TestMainForm test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "test_mainform.moc"

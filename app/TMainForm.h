#pragma once
// The main window: a multiple-document frame with the menu bar, the tool bar
// of picture buttons and the status line. It makes the document windows for
// new, opened, command-line and dropped files, routes the tool bar to the
// active document and saves the text options when it closes.

#include <QMainWindow>
#include <QStringList>

class QAction;
class QFileDialog;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMenuBar;
class QMimeData;
class QStatusBar;
class QToolBar;
class QToolButton;
class TRTFchild;
class WindowList;

class TMainForm : public QMainWindow {
  Q_OBJECT
public:
  // `commandLineFiles` are the files PostInit opens, in order, named by the
  // bytes the system gave (a name need not be valid UTF-8).
  explicit TMainForm(const QList<QByteArray>& commandLineFiles = {});
  ~TMainForm() override;

  // A document window for `fileName` (empty: a new unnamed document); a named
  // file is extracted into it, offering an output file when `askOutput`.
  TRTFchild* CreateMDIChild(const QString& fileName, bool askOutput);
  // The same for a file named by the bytes of its name.
  TRTFchild* CreateMDIChild(const QByteArray& path, bool askOutput);
  // The active document window, or nullptr.
  TRTFchild* ActiveChild() const;
  QList<TRTFchild*> Children() const;

  // The controls that start-up and tests reach, under the system's names.
  QMdiArea* MdiArea() const { return mdiArea_; }
  QMenuBar* MainMenu() const { return mainMenu_; }
  QMenu* FileMenu() const { return fileMenu_; }
  QMenu* WindowMenu() const { return windowMenu_; }
  QAction* FileNewItem() const { return fileNewItem_; }
  QAction* WindowTileItem() const { return windowTileItem_; }
  QAction* WindowCascadeItem() const { return windowCascadeItem_; }
  QAction* WindowArrangeItem() const { return windowArrangeItem_; }
  QAction* HelpContentsItem() const { return helpContentsItem_; }
  QAction* HelpSearchItem() const { return helpSearchItem_; }
  QAction* HelpAboutItem() const { return helpAboutItem_; }
  QStatusBar* StatusLine() const { return statusLine_; }
  QWidget* SpeedBar() const { return speedBar_; }
  QToolButton* OpenBtn() const { return openBtn_; }
  QToolButton* SaveBtn() const { return saveBtn_; }
  QToolButton* PrintBtn() const { return printBtn_; }
  QToolButton* UndoBtn() const { return undoBtn_; }
  QToolButton* CutBtn() const { return cutBtn_; }
  QToolButton* CopyBtn() const { return copyBtn_; }
  QToolButton* PasteBtn() const { return pasteBtn_; }
  QToolButton* TileBtn() const { return tileBtn_; }
  QToolButton* CascadeBtn() const { return cascadeBtn_; }
  QToolButton* ArrangeBtn() const { return arrangeBtn_; }
  QToolButton* HelpBtn() const { return helpBtn_; }
  QToolButton* AboutBtn() const { return aboutBtn_; }
  QToolButton* ExitBtn() const { return exitBtn_; }
  QAction* OptionsEntry() const { return optionsEntry_; }
  QAction* EncodingsEntry() const { return encodingsEntry_; }

public slots:
  void FileNew();
  void FileOpen();
  void FileExit();
  void WindowTile();
  void WindowCascade();
  void WindowArrange();
  void HelpContents();
  void HelpSearch();
  void HelpAbout();
  void OptionsEntryClick();
  void EncodingsEntryClick();
  void SaveBtnClick();
  void PrintBtnClick();
  void UndoBtnClick();
  void CutBtnClick();
  void CopyBtnClick();
  void PasteBtnClick();
  // Opens every command-line file, in order, without offering output files.
  void PostInit();
  // Puts the current hint's long part in the status line; clears it when empty.
  void ShowHint(const QString& hint);
  // Enables the window commands exactly while there are document windows.
  void UpdateMenuItems();

  // The tool bar is a fixed panel: no menu offers to hide it.
  QMenu* createPopupMenu() override;

protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void createActions();
  void createMenus();
  void createSpeedBar();
  void createStatusBar();
  void FormCreate();
  QToolButton* createButton(const QString& picture, int left, const QString& hint,
                            void (TMainForm::*command)());
  // The menu bar: the active document's File menu in place of the frame's,
  // its Edit menu after it, then Window, Options and Help.
  void updateMenuBar();
  void updateWindowMenu();
  void WMDropFiles(const QList<QByteArray>& files);
  // Files dragged over a document's editor.
  void OfferDrop(QDropEvent* event);
  // Runs `handler` of the active document window, if there is one.
  void ActOnActiveChild(void (TRTFchild::*handler)());

  // The system's controls, in its order.
  QMenuBar* mainMenu_ = nullptr;
  QAction* fileNewItem_ = nullptr;
  QAction* fileOpenItem_ = nullptr;
  QAction* fileExitItem_ = nullptr;
  QAction* windowTileItem_ = nullptr;
  QAction* windowCascadeItem_ = nullptr;
  QAction* windowArrangeItem_ = nullptr;
  QAction* helpContentsItem_ = nullptr;
  QAction* helpSearchItem_ = nullptr;
  QAction* helpAboutItem_ = nullptr;
  QStatusBar* statusLine_ = nullptr;
  QWidget* speedBar_ = nullptr;
  QToolButton* openBtn_ = nullptr;
  QToolButton* saveBtn_ = nullptr;
  QToolButton* printBtn_ = nullptr;
  QToolButton* undoBtn_ = nullptr;
  QToolButton* cutBtn_ = nullptr;
  QToolButton* copyBtn_ = nullptr;
  QToolButton* pasteBtn_ = nullptr;
  QToolButton* tileBtn_ = nullptr;
  QToolButton* cascadeBtn_ = nullptr;
  QToolButton* arrangeBtn_ = nullptr;
  QToolButton* helpBtn_ = nullptr;
  QToolButton* aboutBtn_ = nullptr;
  QToolButton* exitBtn_ = nullptr;
  QMenu* optionsMenu_ = nullptr;
  QAction* optionsEntry_ = nullptr;
  QAction* encodingsEntry_ = nullptr;
  // What the platform adds: the client area, the menus the bar merges with
  // a document's, and the tool bar that holds the fixed panel.
  QMdiArea* mdiArea_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QMenu* windowMenu_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QToolBar* speedBarHolder_ = nullptr;

  QList<QByteArray> commandLineFiles_;
  WindowList* windowList_ = nullptr;
};

// The one main window, made at start-up.
extern TMainForm* MainForm;

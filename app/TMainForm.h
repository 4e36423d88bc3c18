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

  QMdiArea* MdiArea = nullptr;
  QMenuBar* MainMenu = nullptr;
  QMenu* FileMenu = nullptr;
  QMenu* WindowMenu = nullptr;
  QMenu* OptionsMenu = nullptr;
  QMenu* HelpMenu = nullptr;
  QAction* FileNewItem = nullptr;
  QAction* FileOpenItem = nullptr;
  QAction* FileExitItem = nullptr;
  QAction* WindowTileItem = nullptr;
  QAction* WindowCascadeItem = nullptr;
  QAction* WindowArrangeItem = nullptr;
  QAction* HelpContentsItem = nullptr;
  QAction* HelpSearchItem = nullptr;
  QAction* HelpAboutItem = nullptr;
  QStatusBar* StatusLine = nullptr;
  QToolBar* SpeedBarHolder = nullptr;
  QWidget* SpeedBar = nullptr;
  QToolButton* OpenBtn = nullptr;
  QToolButton* SaveBtn = nullptr;
  QToolButton* PrintBtn = nullptr;
  QToolButton* UndoBtn = nullptr;
  QToolButton* CutBtn = nullptr;
  QToolButton* CopyBtn = nullptr;
  QToolButton* PasteBtn = nullptr;
  QToolButton* TileBtn = nullptr;
  QToolButton* CascadeBtn = nullptr;
  QToolButton* ArrangeBtn = nullptr;
  QToolButton* HelpBtn = nullptr;
  QToolButton* AboutBtn = nullptr;
  QToolButton* ExitBtn = nullptr;
  QAction* OptionsEntry = nullptr;

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
  bool eventFilter(QObject* watched, QEvent* event) override;
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
  // Runs `handler` of the active document window, if there is one.
  void ActOnActiveChild(void (TRTFchild::*handler)());
  // The local files of a drop, as the bytes of their names.
  static QList<QByteArray> DroppedFiles(const QMimeData* data);

  QList<QByteArray> commandLineFiles_;
  QList<QAction*> windowListActions_;
};

// The one main window, made at start-up.
extern TMainForm* MainForm;

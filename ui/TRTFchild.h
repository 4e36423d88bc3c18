#pragma once
// A document window: one extraction result in a plain-text editor, with its
// status bar, its own File and Edit menus (merged into the frame's menu bar
// by the frame) and the extraction pass that fills it.

#include "extract/FileLineSink.h"
#include "extract/LineSink.h"
#include "extract/RunScanner.h"

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QWidget>
#include <memory>
#include <string>

class FindReplaceController;
class QAction;
class QDialog;
class QMenu;
class QPrinter;
class QStatusBar;
class QsciScintilla;
class TScanDlg;
class UnrecordedEdit;

class TRTFchild : public QWidget, private LineSink {
  Q_OBJECT
public:
  explicit TRTFchild(QWidget* parent = nullptr);
  ~TRTFchild() override;

  // Runs one extraction pass over InputFileName into this window; when
  // `askOutput` is true the user may name an output file first. While
  // another window's pass runs, the pass waits and starts after it.
  void ScanFile(bool askOutput);
  // True while this window's pass runs or waits for its turn.
  bool IsScanning() const;
  // True while any window's pass runs.
  static bool AnyPassRunning();

  // Caption := caption before its first " -> ", plus " -> " OutputFileName
  // when that is not empty.
  void RefreshCaption();
  // The window's caption as the user reads it. Qt would take "[*]" in a
  // window title for its modified marker, so the title handed to Qt is
  // escaped and this is the one to read.
  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& caption);

  // The file to extract from, as the user gave it; the caption becomes its
  // name. A name whose bytes are not UTF-8 (Latin-1 names of old archives
  // and memory cards) is kept as those bytes and opened by them, and shown
  // with replacement characters.
  void OpenInput(const QString& name);
  void OpenInputPath(const QByteArray& path);
  const QString& InputFileName() const { return inputName_; }
  const QByteArray& InputPath() const { return inputPath_; }

  // Keys that belong to menu items (this window's, or the frame's) and so
  // must not be taken by the editor's built-in key bindings.
  void ReserveKeys(const QList<QKeySequence>& keys);

  // The printer shared by every document window.
  static QPrinter& SharedPrinter();

  QString OutputFileName;
  bool WriteToFile = false;
  // The pass's output file while it runs.
  FileLineSink OutputFile;

  QsciScintilla* Edit = nullptr;
  QStatusBar* StatusBar = nullptr;

  // RTFMenu: the frame puts these two menus into its menu bar while this
  // window is active.
  QMenu* FileMenu = nullptr;
  QMenu* EditMenu = nullptr;

  QAction* FileNewItem = nullptr;
  QAction* FileOpenItem = nullptr;
  QAction* Reload = nullptr;
  QAction* FileCloseItem = nullptr;
  QAction* FileSaveItem = nullptr;
  QAction* FileSaveAsItem = nullptr;
  QAction* FilePrintItem = nullptr;
  QAction* FilePrintSetupItem = nullptr;
  QAction* FileExitItem = nullptr;
  QAction* EditUndoItem = nullptr;
  QAction* EditCutItem = nullptr;
  QAction* EditCopyItem = nullptr;
  QAction* EditPasteItem = nullptr;
  QAction* EditDeleteItem = nullptr;
  QAction* EditSelectAllItem = nullptr;
  QAction* FindMenu = nullptr;
  QAction* FindAgain = nullptr;
  QAction* ReplaceMenu = nullptr;

  // This window's find and replace dialogs, once made; while either is
  // visible the window refuses to close.
  QDialog* FindDialog = nullptr;
  QDialog* ReplaceDialog = nullptr;

signals:
  // New, Open... and Exit of this window's File menu belong to the frame.
  void NewRequested(QObject* sender);
  void OpenRequested(QObject* sender);
  void ExitRequested(QObject* sender);
  // Every pass of this window ends with this, however it ended.
  void ScanFinished();

public slots:
  void FileSaveItemClick();
  void FileSaveAsItemClick();
  void ReloadClick();
  void FilePrintItemClick();
  void FilePrintSetupItemClick();
  void FileNewItemClick();
  void FileOpenItemClick();
  void FileCloseItemClick();
  void FileExitItemClick();
  void EditUndoItemClick();
  void EditCutItemClick();
  void EditCopyItemClick();
  void EditPasteItemClick();
  void EditDeleteItemClick();
  void EditSelectAllItemClick();
  void EditSelectionChange();
  // Find and replace, carried out by the window's FindReplaceController.
  void FindClick();
  void ReplaceMenuClick();
  void FindDialogFind();
  void ReplaceDialogReplace(bool all);

public:
  // True when the window may close; shows the refusal otherwise.
  bool FormCloseQuery();
  // Lets the window be freed once it has closed.
  void FormClose();

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void createActions();
  void createMenus();
  void createEditor();

  // The steps of one pass; false when the window was destroyed meanwhile.
  bool RunPass(bool askOutput);
  // False when the window was destroyed while the result was loaded.
  bool EndScan();
  // Flushes the lines collected since the last pump, then pumps events.
  // False when the window was destroyed by an event.
  bool Pump();
  TScanDlg& Dialog();
  bool PassRunning() const;
  void LeaveQueue();

  // The run scanner's line sink: the output file, or the editor.
  void Line(const char* data, std::size_t length) override;
  // A pass into a file that can take no more stops reading.
  bool Failed() const override { return WriteToFile && OutputFile.Failed(); }
  void AppendPending();
  // While a pass fills the editor its changes are neither notified nor
  // undoable.
  void BeginFill();
  // Whether `more` bytes need the editor's buffer to grow, and the growth
  // that makes room for them: ahead of time, in large steps.
  bool RoomNeeded(uint64_t more) const;
  void ReserveFor(uint64_t more);
  void EndFill();
  bool LoadFileIntoEditor(const QString& name);

  void CloseWindow();
  QByteArray SelectedBytes() const;
  void ReplaceSelection(const QByteArray& bytes);

  QString caption_;
  QString inputName_;
  QByteArray inputPath_;
  RunScanner Scanner;
  FindReplaceController* FindReplace = nullptr;
  // SaveDialog's remembered file name.
  QString SaveDialogName;
  std::string pending_;
  // Set while a pass fills the editor.
  std::unique_ptr<UnrecordedEdit> fill_;
  uint64_t reserved_ = 0;
  bool closeAfterPass_ = false;
};

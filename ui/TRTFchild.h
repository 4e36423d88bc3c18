#pragma once
// A document window: one extraction result in a plain-text editor, with its
// status bar, its own File and Edit menus (merged into the frame's menu bar
// by the frame), its file names and caption, and the rules by which it
// closes. The extraction pass that fills it is ExtractionPass; find and
// replace are FindReplaceController's.

#include "extract/FileLineSink.h"

#include <QByteArray>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <QWidget>

class FindReplaceController;
class QAction;
class QDialog;
class QDropEvent;
class QMenu;
class QPrinter;
class QStatusBar;
class TextEditor;

class TRTFchild : public QWidget {
  Q_OBJECT
public:
  explicit TRTFchild(QWidget* parent = nullptr);
  ~TRTFchild() override;

  // Runs one extraction pass over the input into this window; when
  // `askOutput` is true the user may name an output file first. While
  // another window's pass runs, the pass waits and starts after it.
  void ScanFile(bool askOutput);
  // True while this window's pass runs or waits for its turn.
  bool IsScanning() const;
  // True while any window's pass runs.
  static bool AnyPassRunning();

  // The file to extract from, as the user gave it; the caption becomes its
  // name. A name whose bytes are not UTF-8 (Latin-1 names of old archives
  // and memory cards) is kept as those bytes and opened by them, and shown
  // with replacement characters.
  void OpenInput(const QString& name);
  void OpenInputPath(const QByteArray& path);
  const QString& InputFileName() const { return inputName_; }
  const QByteArray& InputPath() const { return inputPath_; }

  // The window's caption as the user reads it. Qt would take "[*]" in a
  // window title for its modified marker, so the title handed to Qt is
  // escaped and this is the one to read.
  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  // Caption := caption before its first " -> ", plus " -> " OutputFileName
  // when that is not empty.
  void RefreshCaption();

  // The output file of the last pass that asked for one (empty when the
  // result lives only in the editor): the target of Save, the print title.
  const QString& OutputFileName() const { return outputName_; }
  void SetOutputFileName(const QString& name) { outputName_ = name; }
  // Whether the last pass wrote its lines to OutputFile.
  bool WriteToFile() const { return writeToFile_; }
  void SetWriteToFile(bool toFile) { writeToFile_ = toFile; }
  // The pass's output file while it runs.
  FileLineSink& OutputFile() { return outputFile_; }
  const FileLineSink& OutputFile() const { return outputFile_; }
  // The save dialog of a pass: it proposes OutputFileName, and runs only
  // when `ask`. The chosen name, empty when none.
  QString ChooseOutput(bool ask);

  TextEditor* Edit() const { return edit_; }
  QStatusBar* StatusBar() const { return statusBar_; }
  // RTFMenu: the frame puts these two menus into its menu bar while this
  // window is active.
  QMenu* FileMenu() const { return fileMenu_; }
  QMenu* EditMenu() const { return editMenu_; }
  // This window's find and replace dialogs, once made.
  QDialog* FindDialog() const;
  QDialog* ReplaceDialog() const;

  // Keys that belong to the frame's menu items, which the editor must not
  // take.
  void ReserveKeys(const QList<QKeySequence>& keys);

  // The printer shared by every document window.
  static QPrinter& SharedPrinter();

signals:
  // New, Open... and Exit of this window's File menu belong to the frame.
  void NewRequested(QObject* sender);
  void OpenRequested(QObject* sender);
  void ExitRequested(QObject* sender);
  // Every pass of this window ends with this, however it ended.
  void ScanFinished();
  // Files dragged over the editor; the frame accepts the event to open them.
  void DropOffered(QDropEvent* event);

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
  // The position display: the caret's line and column, or the selection.
  void EditSelectionChange();
  // While Replace All makes its new text, in place of the position.
  void ShowReplaceProgress(int percent);
  void ShowSaveProgress(int percent);
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
  void CloseWindow();

  TextEditor* edit_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QMenu* editMenu_ = nullptr;
  FindReplaceController* findReplace_ = nullptr;

  QString caption_;
  QString inputName_;
  QByteArray inputPath_;
  QString outputName_;
  bool writeToFile_ = false;
  FileLineSink outputFile_;
  // SaveDialog's remembered file name.
  QString saveDialogName_;
  // Closed while its pass ran: it goes once the pass has returned.
  bool closeAfterPass_ = false;
  // A save is writing the text, with events let run; a close waits for it.
  bool saving_ = false;
  bool closeAfterSave_ = false;
};

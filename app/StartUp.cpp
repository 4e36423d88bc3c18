#include "app/StartUp.h"

#include "app/AppResources.h"
#include "app/TMainForm.h"
#include "editor/TextViewAccessible.h"
#include "ui/THelpViewer.h"
#include "ui/TMyAboutBox.h"
#include "ui/TOptions.h"
#include "ui/TScanDlg.h"
#include "ui/TextVersionRecord.h"

#include "text/TextBudget.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStandardPaths>
#include <memory>

namespace {
// Text beyond the memory budget goes to the user's cache folder; without
// one, to $TMPDIR.
void PlaceSpillFiles() {
  const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  if (!cache.isEmpty() && QDir().mkpath(cache))
    TextBudget::SetSpillDirectory(QFile::encodeName(cache).toStdString());
}
} // namespace

void StartUp(const QList<QByteArray>& commandLineFiles) {
  // The title is the application's name; a display name would be appended
  // to every window's caption ("Text options — Sift Well").
  QApplication::setApplicationName(QStringLiteral("Sift Well"));
  // The desktop entry's id, by which the desktop finds the launcher of the
  // program's windows.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.example.maelbrook.SiftWell"));
  QApplication::setWindowIcon(ApplicationIcon());
  PlaceSpillFiles();
  // Before any editor exists, so that a screen reader finds its text.
  TextViewAccessible::Install();

  MainForm = new TMainForm(commandLineFiles);
  MainForm->show();
  ScanDlg = new TScanDlg;
  Options = new TOptions;
  const std::unique_ptr<VersionRecord> record = TextVersionRecord::Program();
  // The box is known by its name before the command-line passes run, so
  // that About works during them as during any other pass.
  MyAboutBox = new TMyAboutBox(record.get(), [](TMyAboutBox& box) {
    MyAboutBox = &box;
    MainForm->PostInit();
  });
}

void ShutDown() {
  if (MainForm) {
    const QList<QMdiSubWindow*> windows = MainForm->MdiArea()->subWindowList();
    qDeleteAll(windows);
  }
  delete MyAboutBox;
  MyAboutBox = nullptr;
  delete Options;
  Options = nullptr;
  delete ScanDlg;
  ScanDlg = nullptr;
  delete MainForm;
  MainForm = nullptr;
  delete THelpViewer::Instance();
}

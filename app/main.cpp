// Sift Well: start-up, the event loop and the end.

#include "app/StartUp.h"
#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "memory/MemoryHeadroom.h"
#include "ui/DialogService.h"

#include <csignal>
#include <stdexcept>

int main(int argc, char* argv[]) {
  MemoryHeadroom::FitHeapsToLimit();
  // Past a file size limit a write fails with EFBIG and is reported, as on a
  // full disk, instead of the signal ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  TApplication app(argc, argv);
  try {
    // Names as the bytes the system gave: a file name need not be UTF-8.
    // Qt has already taken out the arguments it handles itself.
    QList<QByteArray> files;
    for (int i = 1; i < argc; ++i)
      files.append(QByteArray(argv[i]));
    StartUp(files);
    // A main window closed while the command-line files were read leaves
    // no loop to run.
    if (MainForm->isVisible())
      app.exec();
  } catch (const std::exception& e) {
    ShowErrorBox(QString::fromStdString(e.what()));
  }
  ShutDown();
  return 0;
}

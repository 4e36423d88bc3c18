// Sift Well: start-up, the event loop and the end.

#include "app/StartUp.h"
#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "ui/DialogService.h"

#include <stdexcept>

int main(int argc, char* argv[]) {
  TApplication app(argc, argv);
  try {
    StartUp(QCoreApplication::arguments().mid(1));
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

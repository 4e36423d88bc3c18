#include "app/TApplication.h"

#include "ui/DialogService.h"

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowErrorBox(QString::fromStdString(e.what()));
    return false;
  }
}

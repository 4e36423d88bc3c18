#include "app/TApplication.h"

#include "ui/DialogService.h"

#include <exception>
#include <new>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc&) {
    // Every change of a document's text is all or nothing, and a pass
    // handles its own shortage: what ran out of memory here changed nothing.
    Dialogs().MessageBox(
        QApplication::activeWindow(),
        QStringLiteral("Not enough memory for this change. The text is unchanged."),
        QStringLiteral("Not enough memory"), DialogService::Buttons::Ok, DialogService::Icon::None);
    return false;
  } catch (const std::exception& e) {
    ShowErrorBox(QString::fromStdString(e.what()));
    return false;
  }
}

#include "app/TApplication.h"

#include "ui/DialogService.h"
#include "ui/TextEditor.h"

#include <exception>
#include <new>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc&) {
    // Every change of a document's text is all or nothing, and a pass
    // handles its own shortage: what ran out of memory here changed nothing.
    TextEditor::ReportRefusal(QApplication::activeWindow());
    return false;
  } catch (const std::exception& e) {
    ShowErrorBox(QString::fromStdString(e.what()));
    return false;
  }
}

#pragma once
// The application object. It is the one place where errors that escape an
// event handler are caught: they are shown in the standard error box and the
// event loop goes on.

#include <QApplication>

class TApplication : public QApplication {
  Q_OBJECT
public:
  TApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
};

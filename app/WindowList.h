#pragma once
// The list of document windows at the end of the Window menu: one numbered
// item per window (the first nine with their number as accelerator), the
// active one checked; choosing an item activates its window.

#include <QList>
#include <QObject>

class QAction;
class QMdiArea;
class QMenu;

class WindowList : public QObject {
  Q_OBJECT
public:
  WindowList(QMenu* menu, QMdiArea* area);
  // Builds the list anew from the area's windows.
  void Rebuild();

private:
  QMenu* menu_;
  QMdiArea* area_;
  QList<QAction*> items_;
};

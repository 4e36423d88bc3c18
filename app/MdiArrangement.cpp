#include "app/MdiArrangement.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <algorithm>

void TileOneAboveAnother(QMdiArea& area) {
  QList<QMdiSubWindow*> windows;
  const QList<QMdiSubWindow*> all = area.subWindowList(QMdiArea::StackingOrder);
  for (QMdiSubWindow* window : all) {
    if (!window->isHidden() && !window->isMinimized())
      windows.prepend(window); // the active window on top
  }
  if (windows.isEmpty())
    return;
  const QRect client = area.viewport()->rect();
  const int height = client.height() / static_cast<int>(windows.size());
  int top = 0;
  for (int i = 0; i < windows.size(); ++i) {
    QMdiSubWindow* window = windows.at(i);
    if (window->isMaximized())
      window->showNormal();
    const int bottom = i == windows.size() - 1 ? client.height() : top + height;
    window->setGeometry(0, top, client.width(), bottom - top);
    top = bottom;
  }
}

void ArrangeIcons(QMdiArea& area) {
  const QRect client = area.viewport()->rect();
  int left = 0;
  int bottom = client.height();
  int rowHeight = 0;
  const QList<QMdiSubWindow*> windows = area.subWindowList(QMdiArea::CreationOrder);
  for (QMdiSubWindow* window : windows) {
    if (window->isHidden() || !window->isMinimized())
      continue;
    const QSize size = window->size();
    if (left > 0 && left + size.width() > client.width()) {
      left = 0;
      bottom -= rowHeight;
      rowHeight = 0;
    }
    window->move(left, bottom - size.height());
    left += size.width();
    rowHeight = std::max(rowHeight, size.height());
  }
}
